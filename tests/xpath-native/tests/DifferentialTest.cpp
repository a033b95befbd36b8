// Random path expressions, the same on every run (the generator always
// starts alike), evaluated by the engine and by libxml2 on the same
// documents: every result must agree.
// The expressions mix unions of elements with their own attributes, every
// axis on which libxml2 follows XPath 1.0 (not following/preceding, where it
// departs from it for attribute contexts), node tests, positional and
// attribute predicates, and count(); they catch faults that hand-written
// cases miss, such as nodes of a set dropped by a shortcut of the evaluator.
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "LibxmlDocument.h"
#include "Outcome.h"

namespace vxXPathTest {
namespace {

const std::string kDataDir = VX_XPATH_TEST_DATA;

class ExpressionGenerator
{
public:
    // withDoubleSlash: steps are also joined by '//', which the evaluator
    // takes in one walk together with a positional predicate.
    ExpressionGenerator(unsigned start, std::vector<std::string> names, std::vector<std::string> attributes,
                        bool withDoubleSlash = false)
        : random_(start), names_(std::move(names)), attributes_(std::move(attributes)),
          withDoubleSlash_(withDoubleSlash)
    {
    }

    std::string Next()
    {
        std::string expression = "(" + StartSet() + ")";
        const int steps = Pick(1, 3);
        for (int i = 0; i < steps; ++i)
            expression += (withDoubleSlash_ && Pick(0, 1) == 0 ? "//" : "/") + Step();
        return Pick(0, 3) == 0 ? "count(" + expression + ")" : expression;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    const std::string& Of(const std::vector<std::string>& list)
    {
        return list[Pick(0, static_cast<int>(list.size()) - 1)];
    }

    std::string Element() { return "//" + Of(names_) + "[" + std::to_string(Pick(1, 2)) + "]"; }

    // A union of elements, their attributes and the nodes below them.
    std::string StartSet()
    {
        std::string set = Element();
        const int more = Pick(0, 2);
        for (int i = 0; i < more; ++i) {
            switch (Pick(0, 3)) {
            case 0:
                set += " | " + Element() + "/@*";
                break;
            case 1:
                set += " | " + Element() + "/@" + Of(attributes_);
                break;
            case 2:
                set += " | " + Element() + "/node()[" + std::to_string(Pick(1, 3)) + "]";
                break;
            default:
                set += " | " + Element();
                break;
            }
        }
        return set;
    }

    std::string Step()
    {
        static const char* const axes[] = {
            "child",     "descendant",        "descendant-or-self", "self", "parent", "ancestor", "ancestor-or-self",
            "attribute", "following-sibling", "preceding-sibling"};
        const std::string axis = axes[Pick(0, 9)];
        std::string test;
        switch (Pick(0, 3)) {
        case 0:
            test = "node()";
            break;
        case 1:
            test = "*";
            break;
        case 2:
            test = "text()";
            break;
        default:
            test = axis == "attribute" ? Of(attributes_) : Of(names_);
            break;
        }
        std::string step = axis + "::" + test;
        switch (Pick(0, 5)) {
        case 0:
            step += "[1]";
            break;
        case 1:
            step += "[last()]";
            break;
        case 2:
            step += "[@" + Of(attributes_) + "]";
            break;
        case 3:
            if (withDoubleSlash_)
                step += Pick(0, 1) == 0 ? "[position() mod 2 = 0]" : "[2]";
            break;
        default:
            break;
        }
        return step;
    }

    std::mt19937 random_;
    std::vector<std::string> names_;
    std::vector<std::string> attributes_;
    bool withDoubleSlash_;
};

struct Corpus
{
    const char* document;
    std::vector<std::string> names;
    std::vector<std::string> attributes;
};

void PrintTo(const Corpus& corpus, std::ostream* out)
{
    *out << corpus.document;
}

class DifferentialTest : public ::testing::TestWithParam<Corpus>
{
};

// Evaluates 3000 generated expressions on both sides; returns how many
// libxml2 accepted.
int compareGenerated(const Corpus& corpus, ExpressionGenerator& generator)
{
    XmlDocPtr doc = parseXmlFile(kDataDir + "/documents/" + corpus.document);
    EXPECT_TRUE(doc);
    if (!doc)
        return 0;
    LibxmlNavigator navigator;
    xmlNode* root = reinterpret_cast<xmlNode*>(doc.get());
    int compared = 0;
    int differing = 0;
    for (int i = 0; i < 3000 && differing < 10; ++i) {
        const std::string expression = generator.Next();
        const Outcome reference = evaluateWithLibxml(doc.get(), root, expression, {});
        if (reference.type == Outcome::Type::Error)
            continue;
        const Outcome ours = evaluateWithEngine(navigator, LibxmlNavigator::wrap(root), expression, {});
        ++compared;
        if (!sameOutcome(reference, ours)) {
            ++differing;
            ADD_FAILURE() << expression << "\n  libxml2: " << reference.canonical()
                          << "\n  engine:  " << ours.canonical();
        }
    }
    return compared;
}

TEST_P(DifferentialTest, RandomPathsAgreeWithLibxml2)
{
    ExpressionGenerator generator(20261209, GetParam().names, GetParam().attributes);
    EXPECT_GT(compareGenerated(GetParam(), generator), 2000);
}

TEST_P(DifferentialTest, RandomPathsWithDoubleSlashAgreeWithLibxml2)
{
    ExpressionGenerator generator(20261210, GetParam().names, GetParam().attributes, true);
    EXPECT_GT(compareGenerated(GetParam(), generator), 2000);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, DifferentialTest,
    ::testing::Values(
        Corpus{"books.xml", {"library", "section", "book", "title", "author"}, {"isbn", "year", "available", "title"}},
        Corpus{"mixed.xml", {"doc", "para", "b", "i", "values", "v"}, {"lang", "mode"}},
        Corpus{"deep.xml", {"tree", "node", "label", "leaf"}, {"id", "depth", "value"}}),
    [](const ::testing::TestParamInfo<Corpus>& info) {
        std::string name = info.param.document;
        return name.substr(0, name.find('.'));
    });

} // namespace
} // namespace vxXPathTest
