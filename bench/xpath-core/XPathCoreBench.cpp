// Evaluates a fixed set of expressions with the engine and with libxml2's
// XPath on the same parsed document, and prints the time of each, the
// ratio engine/libxml2 per expression and for the whole set. Two pages in
// one run: a generated one, and the project's large captured page written
// as XML (HTML element names in upper case, as the captured DOM reports
// them). On the captured page the generated page's expressions run in that
// spelling where they select something there, followed by the adapter
// benchmark's expression list, which was written for that page.
//
// Usage: xpath_core_bench [SECTIONS [CAPTURED_PAGE.xml [EXPRESSIONS.txt]]]
//   SECTIONS: size of the generated page (default 120, about 15,000 nodes);
//   the captured page and its list default to the ones the build prepared.
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchDocument.h"
#include "LibxmlDocument.h"
#include "LibxmlNavigator.h"
#include "Utf8.h"
#include "XPathExpression.h"
#include "XPathText.h"

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

// Each expression as written for the generated page and in the captured
// page's spelling (element names in upper case).
struct BenchExpression
{
    const char* generatedPage;
    const char* capturedPage;
};

const BenchExpression kExpressions[] = {
    {"//div", "//DIV"},
    {"//a[@href]", "//A[@href]"},
    {"//input[@type='text']", "//INPUT[@type='text']"},
    {"//div[@class='item']/p/span", "//DIV[@class='item']/P/SPAN"},
    {"count(//li)", "count(//LI)"},
    {"//table/tr[2]/td[3]", "//TABLE/TR[2]/TD[3]"},
    {"//ul/li[last()]", "//UL/LI[last()]"},
    {"//*[@id='item-300']", "//*[@id='item-300']"},
    {"//a[contains(@href, 'page-9')]", "//A[contains(@href, 'page-9')]"},
    {"/html/body/div/div/div/p", "/HTML/BODY/DIV/DIV/DIV/P"},
    {"//li[position() mod 2 = 0]", "//LI[position() mod 2 = 0]"},
    {"//td[. = '42']", "//TD[. = '42']"},
    {"sum(//td[@class='num'])", "sum(//TD[@class='num'])"},
    {"//h2/following-sibling::div[1]", "//H2/following-sibling::DIV[1]"},
    {"//span/ancestor::div[1]", "//SPAN/ancestor::DIV[1]"},
    {"//p[normalize-space(.) != '']", "//P[normalize-space(.) != '']"},
    {"count(//div[@class='section']//a)", "count(//DIV[@class='section']//A)"},
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
    // libxml2 writes some numbers in another form than XPath's string().
    if (object->type == XPATH_NUMBER)
        return "value:" + vxXPathTest::utf8FromWide(Engine::Text::formatNumber(object->floatval));
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

// One document evaluated by both sides.
class BenchPage
{
public:
    explicit BenchPage(vxXPathTest::XmlDocPtr doc) : doc_(std::move(doc)), context_(xmlXPathNewContext(doc_.get()))
    {
        // Gives libxml2 its fastest document-order comparisons.
        xmlXPathOrderDocElems(doc_.get());
    }

    int nodeCount() const { return countNodes(doc_->children); }

    // libxml2's result summary, without timing.
    std::string libxmlSummary(const char* text)
    {
        std::unique_ptr<xmlXPathCompExpr, CompExprFree> compiled(
            xmlXPathCompile(reinterpret_cast<const xmlChar*>(text)));
        return evaluateLibxml(compiled.get());
    }

    struct Timing
    {
        double engineSeconds = 0;
        double libxmlSeconds = 0;
        std::string engineSummary;
        std::string libxmlSummary;
    };

    Timing measure(const char* text)
    {
        Timing timing;
        Engine::Expression expression = Engine::Expression::compile(vxXPathTest::wideFromUtf8(text));
        std::unique_ptr<xmlXPathCompExpr, CompExprFree> compiled(
            xmlXPathCompile(reinterpret_cast<const xmlChar*>(text)));
        Engine::Node root = vxXPathTest::LibxmlNavigator::documentNode(doc_.get());
        timing.engineSummary = summary(expression.evaluate(navigator_, root), navigator_);
        timing.libxmlSummary = evaluateLibxml(compiled.get());
        timeSideBySide([&] { (void)expression.evaluate(navigator_, root); },
                       [&] {
                           context_->node = reinterpret_cast<xmlNode*>(doc_.get());
                           xmlXPathFreeObject(xmlXPathCompiledEval(compiled.get(), context_.get()));
                       },
                       timing.engineSeconds, timing.libxmlSeconds);
        return timing;
    }

private:
    std::string evaluateLibxml(xmlXPathCompExpr* compiled)
    {
        if (!compiled)
            return "error";
        context_->node = reinterpret_cast<xmlNode*>(doc_.get());
        std::unique_ptr<xmlXPathObject, ObjectFree> result(xmlXPathCompiledEval(compiled, context_.get()));
        return result ? summary(result.get()) : "error";
    }

    vxXPathTest::XmlDocPtr doc_;
    std::unique_ptr<xmlXPathContext, XPathContextFree> context_;
    vxXPathTest::LibxmlNavigator navigator_;
};

// Sums of one page's table.
class PageTotals
{
public:
    void add(double engineSeconds, double libxmlSeconds)
    {
        engine_ += engineSeconds;
        libxml_ += libxmlSeconds;
        logRatios_ += std::log(engineSeconds / libxmlSeconds);
        ++count_;
    }
    void print(const char* page) const
    {
        if (count_ == 0)
            return;
        std::printf("total (%s): engine %.1f us, libxml2 %.1f us, ratio %.2f (geometric mean of ratios %.2f, "
                    "slowest %.2f)\n",
                    page, engine_ * 1e6, libxml_ * 1e6, engine_ / libxml_, std::exp(logRatios_ / count_), slowest_);
    }
    void noteRatio(double ratio) { slowest_ = std::max(slowest_, ratio); }

private:
    double engine_ = 0;
    double libxml_ = 0;
    double logRatios_ = 0;
    double slowest_ = 0;
    int count_ = 0;
};

// Times one expression on the page, prints its row; false on a mismatch.
bool benchRow(BenchPage& page, const char* text, PageTotals& totals)
{
    BenchPage::Timing timing = page.measure(text);
    double ratio = timing.engineSeconds / timing.libxmlSeconds;
    totals.add(timing.engineSeconds, timing.libxmlSeconds);
    totals.noteRatio(ratio);
    bool same = timing.engineSummary == timing.libxmlSummary;
    std::printf("%-58s %12.1f %12.1f %8.2f  %s%s\n", text, timing.engineSeconds * 1e6, timing.libxmlSeconds * 1e6,
                ratio, timing.engineSummary.c_str(), same ? "" : (" MISMATCH libxml2 " + timing.libxmlSummary).c_str());
    return same;
}

void printHeader()
{
    std::printf("%-58s %12s %12s %8s  %s\n", "expression", "engine us", "libxml2 us", "ratio", "result");
}

// An expression selects nothing on a page when libxml2 finds no node, or
// counts or sums none.
bool selectsNothing(const std::string& libxmlSummary)
{
    return libxmlSummary == "nodes:0" || libxmlSummary == "value:0" || libxmlSummary == "error";
}

std::vector<std::string> readExpressionList(const char* path)
{
    std::vector<std::string> expressions;
    std::ifstream list(path);
    for (std::string line; std::getline(list, line);)
        if (!line.empty() && line[0] != '#')
            expressions.push_back(line);
    return expressions;
}

} // namespace

int main(int argc, char** argv)
{
    int sections = argc > 1 ? std::atoi(argv[1]) : 120;
    const char* capturedPath = argc > 2 ? argv[2] : VX_BENCH_CAPTURED_PAGE;
    const char* capturedList = argc > 3 ? argv[3] : VX_BENCH_CAPTURED_EXPRESSIONS;
    bool mismatch = false;

    BenchPage generated(vxXPathTest::parseXml(vxXPathBench::makeBenchDocument(sections)));
    std::printf("generated page: %d nodes (elements, attributes, text)\n", generated.nodeCount());
    printHeader();
    PageTotals generatedTotals;
    for (const BenchExpression& expression : kExpressions)
        mismatch = !benchRow(generated, expression.generatedPage, generatedTotals) || mismatch;

    PageTotals capturedTotals;
    if (capturedPath[0]) {
        vxXPathTest::XmlDocPtr doc = vxXPathTest::parseXmlFile(capturedPath);
        if (!doc) {
            std::fprintf(stderr, "cannot parse %s\n", capturedPath);
            return 2;
        }
        BenchPage captured(std::move(doc));
        std::printf("\ncaptured page %s: %d nodes (elements, attributes, text)\n", capturedPath, captured.nodeCount());
        printHeader();
        std::vector<const char*> leftOut;
        for (const BenchExpression& expression : kExpressions) {
            if (selectsNothing(captured.libxmlSummary(expression.capturedPage)))
                leftOut.push_back(expression.capturedPage);
            else
                mismatch = !benchRow(captured, expression.capturedPage, capturedTotals) || mismatch;
        }
        std::printf("-- the adapter benchmark's expressions (%s)\n", capturedList);
        for (const std::string& text : readExpressionList(capturedList))
            mismatch = !benchRow(captured, text.c_str(), capturedTotals) || mismatch;
        std::printf("left out, selecting nothing on this page:");
        for (const char* text : leftOut)
            std::printf(" %s", text);
        std::printf("\n\n");
    } else {
        std::printf("\nno captured page: the build had no Python to write it\n\n");
    }
    generatedTotals.print("generated page");
    capturedTotals.print("captured page");
    return mismatch ? 1 : 0;
}
