// libFuzzer target: compiles arbitrary expressions (UTF-8 input) and
// evaluates them against a small fixed document, then against a deep and
// wide one (see DeepDocument.h) under an evaluation budget. Only
// XPathException may escape the engine; anything else, a crash, a sanitizer
// report or a time-out is a finding. An input that spends the budget on the
// deep document is costly by nature (see BudgetNavigator.h), not a finding.
//
// Set in the environment:
//   VX_XPATH_FUZZ_CHEAP=1  for inputs known to cost a few walks of the deep
//                          document, such as the seeds of deep-seeds.xpath:
//                          a larger budget, and spending it is a finding, so
//                          that a walk grown quadratic in the depth or the
//                          width of the document shows.
//   VX_XPATH_FUZZ_COST=1   prints, for every input, the units spent on the
//                          deep document and the time taken there: the
//                          means to check the budget and to see which
//                          inputs come close to it.
#include <libxml/parser.h>
#include <sanitizer/allocator_interface.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "BudgetNavigator.h"
#include "DeepDocument.h"
#include "LibxmlDocument.h"
#include "LibxmlNavigator.h"
#include "Utf8.h"
#include "XPathExpression.h"

namespace {

namespace Engine = vxWebFw::XPath::Engine;

// Units one input may spend on the deep document (see BudgetNavigator.h),
// where a walk of the whole document costs 5,000 to 10,000: an input that
// spends them stops within about a tenth of a second under the sanitizers.
constexpr std::size_t kDeepBudget = 100000;
// The budget of inputs that must stay cheap (VX_XPATH_FUZZ_CHEAP): the seeds
// cost up to about 150,000 units, while a walk quadratic in the width of the
// 1,000 siblings costs half a million, and one quadratic in the depth of the
// 3,000-level chain some millions.
constexpr std::size_t kCheapInputBudget = 300000;

const char* const kDocument = R"(<?xml version="1.0"?>
<!-- c0 --><?pi0 data?>
<root xmlns="urn:d" xmlns:p="urn:p" xml:lang="en" id="r">
  <a xml:id="i1" n="1" p:q="x">one<b>2</b><!-- c1 --><b n="3">three</b></a>
  <p:c n="-0.5"><d>  spaced   text </d><?pi1 more?><e/></p:c>
  <a xml:id="i2" n="NaN" xml:lang="fr-CA">caf&#233; &#x1F600; Z</a>
  <f xmlns=""><g>1.5</g><g>x</g><g/></f>
</root>)";

// Bytes allocated by this thread while an evaluation on the deep document
// is metered.
thread_local bool metering = false;
thread_local std::size_t allocatedBytes = 0;

void countAllocation(const volatile void*, std::size_t size)
{
    if (metering)
        allocatedBytes += size;
}

void ignoreFree(const volatile void*) {}

struct Fixture
{
    vxXPathTest::XmlDocPtr doc = vxXPathTest::parseXml(kDocument);
    vxXPathTest::LibxmlNavigator navigator;
    vxXPathTest::XmlDocPtr deepDoc = vxXPathTest::buildDeepDocument();
    vxXPathTest::BudgetNavigator deepNavigator{&allocatedBytes};
    Engine::NamespaceMap namespaces;
    bool reportCost = std::getenv("VX_XPATH_FUZZ_COST") != nullptr;
    bool mustStayCheap = std::getenv("VX_XPATH_FUZZ_CHEAP") != nullptr;
    Fixture()
    {
        namespaces.declare(L"d", L"urn:d");
        namespaces.declare(L"p", L"urn:p");
        namespaces.declare(L"g", L"urn:g");
        __sanitizer_install_malloc_and_free_hooks(countAllocation, ignoreFree);
    }
};

class Variables : public Engine::VariableResolver
{
public:
    bool lookupVariable(std::wstring_view, std::wstring_view name, Engine::Value& value) const override
    {
        if (name == L"n")
            value = Engine::Value::fromNumber(2);
        else if (name == L"s")
            value = Engine::Value::fromString(L"a b");
        else
            return false;
        return true;
    }
};

void checkError(const Engine::XPathException& error)
{
    if (error.fullMessage().empty())
        __builtin_trap();
}

// Evaluates from the root, converts the result and evaluates again from
// the nodes selected, when there are few: from every one of them, or only
// from the first and the last when everyContext is false (on the deep
// document, where each evaluation may cost walks of thousands of nodes).
void exercise(const Engine::Expression& compiled, const Engine::Navigator& navigator, vxXPathTest::Node root,
              bool everyContext)
{
    Variables variables;
    try {
        Engine::Value value = compiled.evaluate(navigator, root, &variables);
        (void)value.toString(navigator);
        (void)value.toNumber(navigator);
        if (value.isNodeSet() && value.nodes().size() <= 8) {
            const std::vector<vxXPathTest::Node>& nodes = value.nodes();
            for (std::size_t i = 0; i < nodes.size(); ++i)
                if (everyContext || i == 0 || i + 1 == nodes.size())
                    compiled.evaluate(navigator, nodes[i], &variables);
        }
    } catch (const Engine::XPathException& error) {
        checkError(error);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fixture fixture;
    std::string utf8(reinterpret_cast<const char*>(data), size);
    utf8 = utf8.c_str(); // stop at an embedded NUL like a C caller would
    std::wstring expression = vxXPathTest::wideFromUtf8(utf8.c_str());
    std::optional<Engine::Expression> compiled;
    try {
        compiled = Engine::Expression::compile(expression, &fixture.namespaces);
    } catch (const Engine::XPathException& error) {
        checkError(error);
        return 0;
    }

    exercise(*compiled, fixture.navigator, vxXPathTest::LibxmlNavigator::documentNode(fixture.doc.get()), true);

    const auto started = std::chrono::steady_clock::now();
    bool spent = false;
    const std::size_t budget = fixture.mustStayCheap ? kCheapInputBudget : kDeepBudget;
    fixture.deepNavigator.start(budget);
    metering = true;
    try {
        exercise(*compiled, fixture.deepNavigator, vxXPathTest::LibxmlNavigator::documentNode(fixture.deepDoc.get()),
                 false);
    } catch (const vxXPathTest::EvaluationBudgetExceeded&) {
        spent = true;
    }
    metering = false;
    fixture.deepNavigator.stop();
    if (fixture.reportCost) {
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        std::fprintf(stderr, "deep: %s units=%zu ms=%.1f\n", spent ? "budget-spent" : "done",
                     fixture.deepNavigator.spent(), ms);
    }
    if (spent && fixture.mustStayCheap) {
        std::fprintf(stderr, "an input that should cost a few walks of the deep document spends %zu units: %s\n",
                     budget, utf8.c_str());
        std::abort();
    }
    return 0;
}
