// Every expression of data/conformance is evaluated by the engine and by
// libxml2's own XPath on the same xmlDoc; the results must be equal. Cases
// marked as deviations (libxml2 departing from XPath 1.0) must differ from
// libxml2 and give the result written in the data instead.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "ConformanceData.h"
#include "LibxmlDocument.h"
#include "Outcome.h"

namespace vxXPathTest {
namespace {

const std::string kDataDir = VX_XPATH_TEST_DATA;

std::vector<std::string> conformanceFiles()
{
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(kDataDir + "/conformance"))
        if (entry.path().extension() == ".xpath")
            files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

class DocumentCache
{
public:
    xmlDoc* get(const std::string& name)
    {
        auto found = docs_.find(name);
        if (found == docs_.end())
            found = docs_.emplace(name, parseXmlFile(kDataDir + "/documents/" + name)).first;
        return found->second.get();
    }

private:
    std::map<std::string, XmlDocPtr> docs_;
};

// The context node named by a case, selected by libxml2.
xmlNode* contextNode(xmlDoc* doc, const ConformanceCase& c)
{
    if (c.context == "/")
        return reinterpret_cast<xmlNode*>(doc);
    xmlXPathContext* xpath = xmlXPathNewContext(doc);
    for (const auto& entry : c.namespaces.prefixes)
        xmlXPathRegisterNs(xpath, reinterpret_cast<const xmlChar*>(entry.first.c_str()),
                           reinterpret_cast<const xmlChar*>(entry.second.c_str()));
    xmlXPathObject* result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(c.context.c_str()), xpath);
    xmlNode* node = nullptr;
    if (result && result->type == XPATH_NODESET && result->nodesetval && result->nodesetval->nodeNr == 1)
        node = result->nodesetval->nodeTab[0];
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(xpath);
    return node;
}

Node engineNodeFor(xmlNode* node)
{
    return LibxmlNavigator::wrap(node);
}

class ConformanceTest : public ::testing::TestWithParam<std::string>
{
};

TEST_P(ConformanceTest, EngineAgreesWithLibxml2)
{
    std::vector<ConformanceCase> cases = readConformanceFile(kDataDir + "/conformance/" + GetParam());
    ASSERT_FALSE(cases.empty());
    DocumentCache documents;
    LibxmlNavigator navigator;
    int compared = 0;
    for (const ConformanceCase& c : cases) {
        xmlDoc* doc = documents.get(c.document);
        xmlNode* context = contextNode(doc, c);
        ASSERT_NE(context, nullptr) << c.file << ":" << c.line << ": context '" << c.context
                                    << "' does not select exactly one node";
        Outcome reference = evaluateWithLibxml(doc, context, c.expression, c.namespaces);
        Outcome ours = evaluateWithEngine(navigator, engineNodeFor(context), c.expression, c.namespaces);
        ++compared;
        if (c.deviation) {
            EXPECT_FALSE(sameOutcome(reference, ours))
                << c.file << ":" << c.line << ": listed as a libxml2 deviation but both agree: " << c.expression;
            EXPECT_EQ(ours.canonical(), c.expected) << c.file << ":" << c.line << ": " << c.expression;
        } else {
            EXPECT_TRUE(sameOutcome(reference, ours))
                << c.file << ":" << c.line << ": " << c.expression << "\n  context:  " << c.context
                << "\n  libxml2:  " << reference.canonical() << "\n  engine:   " << ours.canonical()
                << (ours.type == Outcome::Type::Error ? "\n  message:  " + ours.error : std::string());
        }
    }
    RecordProperty("expressions", compared);
}

INSTANTIATE_TEST_SUITE_P(Data, ConformanceTest, ::testing::ValuesIn(conformanceFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Guards the size of the suite: at least 600 expressions over at least five
// documents, so that data files cannot silently go missing.
TEST(ConformanceSuite, CoversEnoughExpressionsAndDocuments)
{
    std::size_t expressions = 0;
    std::set<std::string> documents;
    for (const std::string& file : conformanceFiles()) {
        for (const ConformanceCase& c : readConformanceFile(kDataDir + "/conformance/" + file)) {
            ++expressions;
            documents.insert(c.document);
        }
    }
    EXPECT_GE(expressions, 600u);
    EXPECT_GE(documents.size(), 5u);
}

} // namespace
} // namespace vxXPathTest
