// Evaluates a fixed set of expressions with the engine and with libxml2's
// XPath on the same parsed document, and prints the time of each, the
// ratio engine/libxml2 per expression and for the whole set.
//
// Usage: xpath_core_bench [SECTIONS]   (default 120, about 28,000 nodes)
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "BenchDocument.h"
#include "LibxmlDocument.h"
#include "LibxmlNavigator.h"
#include "Utf8.h"
#include "XPathExpression.h"

namespace {

namespace Engine = vxWebFw::XPath::Engine;

// Processor time of this process: unlike wall time it does not count the
// periods in which other processes of a busy machine run instead.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

const char* const kExpressions[] = {
    "//div",
    "//a[@href]",
    "//input[@type='text']",
    "//div[@class='item']/p/span",
    "count(//li)",
    "//table/tr[2]/td[3]",
    "//ul/li[last()]",
    "//*[@id='item-300']",
    "//a[contains(@href, 'page-9')]",
    "/html/body/div/div/div/p",
    "//li[position() mod 2 = 0]",
    "//td[. = '42']",
    "sum(//td[@class='num'])",
    "//h2/following-sibling::div[1]",
    "//span/ancestor::div[1]",
    "//p[normalize-space(.) != '']",
    "count(//div[@class='section']//a)",
};

struct XPathContextFree
{
    void operator()(xmlXPathContext* c) const { xmlXPathFreeContext(c); }
};
struct CompExprFree
{
    void operator()(xmlXPathCompExpr* c) const { xmlXPathFreeCompExpr(c); }
};
struct ObjectFree
{
    void operator()(xmlXPathObject* o) const { xmlXPathFreeObject(o); }
};

// Size of a result, to check that both sides computed the same thing.
std::string summary(const Engine::Value& value, const Engine::Navigator& navigator)
{
    if (value.isNodeSet())
        return "nodes:" + std::to_string(value.nodes().size());
    return "value:" + vxXPathTest::utf8FromWide(value.toString(navigator));
}

std::string summary(xmlXPathObject* object)
{
    if (object->type == XPATH_NODESET)
        return "nodes:" + std::to_string(object->nodesetval ? object->nodesetval->nodeNr : 0);
    xmlChar* text = xmlXPathCastToString(object);
    std::string result = "value:" + std::string(reinterpret_cast<const char*>(text));
    xmlFree(text);
    return result;
}

// Seconds per run of body: runs it in batches of at least minSeconds.
template <class Body>
double timeBatch(Body& body, double minSeconds)
{
    int runs = 0;
    double start = cpuSeconds();
    double elapsed = 0;
    do {
        body();
        ++runs;
        elapsed = cpuSeconds() - start;
    } while (elapsed < minSeconds);
    return elapsed / runs;
}

// Times both bodies in alternating batches and keeps the best batch of
// each, so that load from other processes affects both sides alike.
// Times are processor time of this process.
template <class A, class B>
void timeSideBySide(A engine, B libxml, double& engineSeconds, double& libxmlSeconds)
{
    engine();
    libxml(); // warm-up
    engineSeconds = libxmlSeconds = 1e9;
    for (int round = 0; round < 9; ++round) {
        engineSeconds = std::min(engineSeconds, timeBatch(engine, 0.02));
        libxmlSeconds = std::min(libxmlSeconds, timeBatch(libxml, 0.02));
    }
}

int countNodes(xmlNode* node)
{
    int count = 0;
    for (; node; node = node->next) {
        ++count;
        for (xmlAttr* a = node->properties; a; a = a->next)
            ++count;
        count += countNodes(node->children);
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    int sections = argc > 1 ? std::atoi(argv[1]) : 120;
    vxXPathTest::XmlDocPtr doc = vxXPathTest::parseXml(vxXPathBench::makeBenchDocument(sections));
    // Gives libxml2 its fastest document-order comparisons.
    xmlXPathOrderDocElems(doc.get());
    std::printf("document: %d nodes (elements, attributes, text)\n", countNodes(doc->children));

    vxXPathTest::LibxmlNavigator navigator;
    Engine::Node root = vxXPathTest::LibxmlNavigator::documentNode(doc.get());
    std::unique_ptr<xmlXPathContext, XPathContextFree> context(xmlXPathNewContext(doc.get()));

    std::printf("%-40s %12s %12s %8s  %s\n", "expression", "engine us", "libxml2 us", "ratio", "result");
    double totalEngine = 0;
    double totalLibxml = 0;
    double logRatios = 0;
    int count = 0;
    bool mismatch = false;
    for (const char* text : kExpressions) {
        Engine::Expression expression = Engine::Expression::compile(vxXPathTest::wideFromUtf8(text));
        std::unique_ptr<xmlXPathCompExpr, CompExprFree> compiled(
            xmlXPathCompile(reinterpret_cast<const xmlChar*>(text)));

        std::string ours = summary(expression.evaluate(navigator, root), navigator);
        context->node = reinterpret_cast<xmlNode*>(doc.get());
        std::unique_ptr<xmlXPathObject, ObjectFree> reference(xmlXPathCompiledEval(compiled.get(), context.get()));
        std::string theirs = summary(reference.get());

        double engineTime = 0;
        double libxmlTime = 0;
        timeSideBySide([&] { (void)expression.evaluate(navigator, root); },
                       [&] {
                           context->node = reinterpret_cast<xmlNode*>(doc.get());
                           xmlXPathFreeObject(xmlXPathCompiledEval(compiled.get(), context.get()));
                       },
                       engineTime, libxmlTime);
        double ratio = engineTime / libxmlTime;
        totalEngine += engineTime;
        totalLibxml += libxmlTime;
        logRatios += std::log(ratio);
        ++count;
        bool same = ours == theirs;
        mismatch = mismatch || !same;
        std::printf("%-40s %12.1f %12.1f %8.2f  %s%s\n", text, engineTime * 1e6, libxmlTime * 1e6, ratio, ours.c_str(),
                    same ? "" : (" MISMATCH libxml2 " + theirs).c_str());
    }
    std::printf("total: engine %.1f us, libxml2 %.1f us, ratio %.2f (geometric mean of ratios %.2f)\n",
                totalEngine * 1e6, totalLibxml * 1e6, totalEngine / totalLibxml, std::exp(logRatios / count));
    return mismatch ? 1 : 0;
}
