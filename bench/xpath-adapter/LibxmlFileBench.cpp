// The native side of the adapter benchmark: evaluates each expression of a
// file over an XML document with libxml2's XPath and with the engine core
// (over libxml2's tree), and prints one tab-separated line per expression:
//   RESULT <expression> <result summary> <libxml2 us> <core us>
// Times are the best of nine batches of wall time, as the Wine side
// measures its own.
//
// Usage: xpath_adapter_libxml DOCUMENT.xml EXPRESSIONS.txt
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "LibxmlDocument.h"
#include "LibxmlNavigator.h"
#include "Utf8.h"
#include "XPathExpression.h"
#include "XPathText.h"

namespace {

namespace Engine = vxWebFw::XPath::Engine;

struct ContextFree
{
    void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
};
struct CompiledFree
{
    void operator()(xmlXPathCompExpr* c) const { xmlXPathFreeCompExpr(c); }
};
struct ObjectFree
{
    void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};

double wallSeconds()
{
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

template <class Body>
double bestSeconds(Body body)
{
    body(); // warm-up
    double best = 1e9;
    for (int batch = 0; batch < 9; ++batch) {
        int runs = 0;
        double start = wallSeconds(), elapsed = 0;
        do {
            body();
            ++runs;
            elapsed = wallSeconds() - start;
        } while (elapsed < 0.02);
        best = std::min(best, elapsed / runs);
    }
    return best;
}

// The summary both sides print: node count, or the XPath string of a scalar.
std::string summary(xmlXPathObject* object)
{
    switch (object->type) {
    case XPATH_NODESET:
        return "nodes:" + std::to_string(object->nodesetval ? object->nodesetval->nodeNr : 0);
    case XPATH_NUMBER:
        return "value:" + vxXPathTest::utf8FromWide(Engine::Text::formatNumber(object->floatval));
    default: {
        xmlChar* text = xmlXPathCastToString(object);
        std::string result = "value:" + std::string(reinterpret_cast<const char*>(text));
        xmlFree(text);
        return result;
    }
    }
}

std::string summary(const Engine::Value& value, const Engine::Navigator& navigator)
{
    if (value.isNodeSet())
        return "nodes:" + std::to_string(value.nodes().size());
    return "value:" + vxXPathTest::utf8FromWide(value.toString(navigator));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DOCUMENT.xml EXPRESSIONS.txt\n", argv[0]);
        return 2;
    }
    vxXPathTest::XmlDocPtr doc = vxXPathTest::parseXmlFile(argv[1]);
    if (!doc) {
        std::fprintf(stderr, "cannot parse %s\n", argv[1]);
        return 2;
    }
    xmlXPathOrderDocElems(doc.get());
    std::ifstream list(argv[2]);
    std::vector<std::string> expressions;
    for (std::string line; std::getline(list, line);)
        if (!line.empty() && line[0] != '#')
            expressions.push_back(line);

    vxXPathTest::LibxmlNavigator navigator;
    Engine::Node root = vxXPathTest::LibxmlNavigator::documentNode(doc.get());
    std::unique_ptr<xmlXPathContext, ContextFree> context(xmlXPathNewContext(doc.get()));
    int mismatches = 0;
    for (const std::string& text : expressions) {
        Engine::Expression expression = Engine::Expression::compile(vxXPathTest::wideFromUtf8(text.c_str()));
        std::unique_ptr<xmlXPathCompExpr, CompiledFree> compiled(
            xmlXPathCompile(reinterpret_cast<const xmlChar*>(text.c_str())));
        context->node = reinterpret_cast<xmlNode*>(doc.get());
        std::unique_ptr<xmlXPathObject, ObjectFree> reference(xmlXPathCompiledEval(compiled.get(), context.get()));
        std::string theirs = reference ? summary(reference.get()) : "error";
        std::string ours = summary(expression.evaluate(navigator, root), navigator);
        if (ours != theirs) {
            std::fprintf(stderr, "%s: core %s, libxml2 %s\n", text.c_str(), ours.c_str(), theirs.c_str());
            ++mismatches;
        }
        double libxml = bestSeconds([&] {
            context->node = reinterpret_cast<xmlNode*>(doc.get());
            xmlXPathFreeObject(xmlXPathCompiledEval(compiled.get(), context.get()));
        });
        double core = bestSeconds([&] { (void)expression.evaluate(navigator, root); });
        std::printf("RESULT\t%s\t%s\t%.1f\t%.1f\n", text.c_str(), theirs.c_str(), libxml * 1e6, core * 1e6);
    }
    return mismatches ? 1 : 0;
}
