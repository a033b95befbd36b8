// Evaluations over the deep and wide document of support/DeepDocument.h.
// The fuzzer's seed expressions for that document (fuzz/deep-seeds.xpath)
// are evaluated by the engine and by libxml2: the results must agree, and
// the engine's navigator work must stay within about what sorting the
// document's nodes costs.
// A walk that recurses along the depth overflows the stack here, and one
// whose cost grows with the square of the depth or of the sibling count
// goes over the bound, long before either shows on a small document.
#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <pthread.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "BudgetNavigator.h"
#include "DeepDocument.h"
#include "EngineTestSupport.h"
#include "Outcome.h"

namespace vxXPathTest {
namespace {

const std::string kSeedFile = VX_XPATH_DEEP_SEEDS;

struct Seed
{
    int line = 0;
    std::string expression;
};

std::vector<Seed> readSeeds()
{
    std::ifstream in(kSeedFile);
    std::vector<Seed> seeds;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        if (text.empty() || text[0] == '#')
            continue;
        seeds.push_back({line, text});
    }
    return seeds;
}

// Nodes and attributes of the document, counted without the engine.
std::size_t documentSize(xmlDoc* doc)
{
    std::size_t size = 1;
    xmlNode* top = reinterpret_cast<xmlNode*>(doc);
    xmlNode* node = top->children;
    while (node) {
        ++size;
        if (node->type == XML_ELEMENT_NODE)
            for (xmlAttr* attr = node->properties; attr; attr = attr->next)
                ++size;
        if (node->type == XML_ELEMENT_NODE && node->children) {
            node = node->children;
            continue;
        }
        while (node && !node->next)
            node = node->parent == top ? nullptr : node->parent;
        if (node)
            node = node->next;
    }
    return size;
}

Namespaces deepNamespaces()
{
    Namespaces namespaces;
    namespaces.prefixes["g"] = "urn:g";
    return namespaces;
}

// Navigator work an expression over the document may spend: three times
// its size times the log of its size, about what sorting its nodes costs
// (merging sets that stretch across the chain does compare nodes far apart
// a log number of times), and far below the square of the depth or of the
// sibling count: 240,000 units on the 3,000-level chain, where a walk is
// 6,000 and a walk quadratic in the 1,000 siblings 500,000.
std::size_t workBound(xmlDoc* doc)
{
    const std::size_t size = documentSize(doc);
    return static_cast<std::size_t>(3 * static_cast<double>(size) * std::log2(static_cast<double>(size)));
}

// Evaluates every seed on the document through a BudgetNavigator bounded
// by workBound(); compares with libxml2 when asked.
void checkSeeds(xmlDoc* doc, bool compareWithLibxml)
{
    const std::size_t bound = workBound(doc);
    const std::vector<Seed> seeds = readSeeds();
    ASSERT_GE(seeds.size(), 100u) << "seed file missing or cut short: " << kSeedFile;
    const Namespaces namespaces = deepNamespaces();
    BudgetNavigator navigator;
    const Node root = LibxmlNavigator::documentNode(doc);
    for (const Seed& seed : seeds) {
        Outcome ours;
        navigator.start(bound);
        try {
            ours = evaluateWithEngine(navigator, root, seed.expression, namespaces);
        } catch (const EvaluationBudgetExceeded&) {
            navigator.stop();
            ADD_FAILURE() << kSeedFile << ":" << seed.line << ": " << seed.expression << "\n  spends more than "
                          << bound << " units of navigator work";
            continue;
        }
        navigator.stop();
        EXPECT_NE(ours.type, Outcome::Type::Error) << seed.line << ": " << seed.expression << ": " << ours.error;
        if (!compareWithLibxml)
            continue;
        Outcome reference = evaluateWithLibxml(doc, reinterpret_cast<xmlNode*>(doc), seed.expression, namespaces);
        EXPECT_TRUE(sameOutcome(reference, ours)) << kSeedFile << ":" << seed.line << ": " << seed.expression
                                                  << "\n  libxml2: " << reference.canonical().substr(0, 300)
                                                  << "\n  engine:  " << ours.canonical().substr(0, 300);
    }
}

TEST(DeepDocument, SeedsAgreeWithLibxml2WithinAFewWalks)
{
    XmlDocPtr doc = buildDeepDocument();
    checkSeeds(doc.get(), true);
}

// The budget the fuzzer relies on stops an evaluation whose cost is the
// square of the document's size, and the navigator evaluates normally after.
TEST(DeepDocument, BudgetStopsACostlyEvaluation)
{
    XmlDocPtr doc = buildDeepDocument();
    const std::size_t size = documentSize(doc.get());
    BudgetNavigator navigator;
    const Node root = LibxmlNavigator::documentNode(doc.get());
    const Engine::Expression costly = Engine::Expression::compile(L"count(//*[. = //span])");
    navigator.start(10 * size);
    EXPECT_THROW(costly.evaluate(navigator, root), EvaluationBudgetExceeded);
    EXPECT_GT(navigator.spent(), 10 * size);
    EXPECT_LT(navigator.spent(), 11 * size);
    navigator.stop();
    const Engine::Expression cheap = Engine::Expression::compile(L"count(id('bottom')/ancestor::div)");
    navigator.start(size);
    EXPECT_EQ(cheap.evaluate(navigator, root).numberValue(), DeepDocumentShape().chainDepth + 1);
}

// Runs work on a thread with a stack of the given size, so that a walk
// recursing along the depth of the document overflows it whatever the size
// of its frames.
void runOnStackOf(std::size_t bytes, const std::function<void()>& work)
{
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        try {
            (*static_cast<const std::function<void()>*>(argument))();
        } catch (...) {
            ADD_FAILURE() << "an exception left the work on the small stack";
        }
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// A chain of 100,000 levels, evaluated on a stack of 512 KB: walks along
// every axis, string-values and document order must not recurse along the
// depth, in the engine or in the test navigator, as a walk that keeps one
// frame per level, however small, cannot get through. Every seed runs on it
// too, within the same bound of work.
TEST(DeepDocument, HundredThousandLevelsNeedNoRecursion)
{
    DeepDocumentShape shape;
    shape.chainDepth = 100000;
    XmlDocPtr doc = buildDeepDocument(shape);
    runOnStackOf(512 * 1024, [&] {
        const std::size_t bound = workBound(doc.get());
        BudgetNavigator navigator;
        const Node root = LibxmlNavigator::documentNode(doc.get());
        auto evaluate = [&](const wchar_t* expression) {
            navigator.start(bound);
            Engine::Value value;
            try {
                value = Engine::Expression::compile(expression).evaluate(navigator, root);
            } catch (const EvaluationBudgetExceeded&) {
                ADD_FAILURE() << utf8FromWide(expression) << "\n  spends more than " << bound
                              << " units of navigator work";
            }
            navigator.stop();
            return value;
        };
        const double depth = shape.chainDepth;
        EXPECT_EQ(evaluate(L"count(id('bottom')/ancestor::div)").numberValue(), depth + 1);
        EXPECT_EQ(evaluate(L"count(id('bottom')/ancestor::*[last()])").numberValue(), 1);
        EXPECT_EQ(evaluate(L"count(//div[@id='chain']//div)").numberValue(), depth);
        EXPECT_EQ(evaluate(L"count(/ | //node())").numberValue(),
                  evaluate(L"count((//node())[last()]/preceding::node() | "
                           L"(//node())[last()]/ancestor-or-self::node())")
                      .numberValue());
        EXPECT_EQ(evaluate(L"count(id('bottom')/preceding::*)").numberValue(), 2); // head and title
        EXPECT_EQ(evaluate(L"name(id('bottom')/following::*[1])").stringValue(), L"div");
        EXPECT_EQ(evaluate(L"string(id('d99900'))").stringValue(), L"bottomdeep end");
        EXPECT_TRUE(evaluate(L"starts-with(/, 'deept0t500t1000')").booleanValue());
        EXPECT_EQ(evaluate(L"substring(/, string-length(/) - 3)").stringValue(), L"tail");
        EXPECT_EQ(evaluate(L"count(id('bottom') | //div[@id='chain'])").numberValue(), 2);
        EXPECT_EQ(evaluate(L"name((//div[@class='c0'])[last()]/..)").stringValue(), L"div");
        EXPECT_EQ(evaluate(L"count(//span[@id='bottom']/ancestor-or-self::node())").numberValue(), depth + 5);
        checkSeeds(doc.get(), false);
    });
}

} // namespace
} // namespace vxXPathTest
