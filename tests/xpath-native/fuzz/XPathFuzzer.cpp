// libFuzzer target: compiles and evaluates arbitrary expressions (UTF-8
// input) against a small fixed document. Only XPathException may escape the
// engine; anything else, a crash or a sanitizer report is a finding.
#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "LibxmlDocument.h"
#include "LibxmlNavigator.h"
#include "Utf8.h"
#include "XPathExpression.h"

namespace {

namespace Engine = vxWebFw::XPath::Engine;

const char* const kDocument = R"(<?xml version="1.0"?>
<!-- c0 --><?pi0 data?>
<root xmlns="urn:d" xmlns:p="urn:p" xml:lang="en" id="r">
  <a xml:id="i1" n="1" p:q="x">one<b>2</b><!-- c1 --><b n="3">three</b></a>
  <p:c n="-0.5"><d>  spaced   text </d><?pi1 more?><e/></p:c>
  <a xml:id="i2" n="NaN" xml:lang="fr-CA">caf&#233; &#x1F600; Z</a>
  <f xmlns=""><g>1.5</g><g>x</g><g/></f>
</root>)";

struct Fixture
{
    vxXPathTest::XmlDocPtr doc = vxXPathTest::parseXml(kDocument);
    vxXPathTest::LibxmlNavigator navigator;
    Engine::NamespaceMap namespaces;
    Fixture()
    {
        namespaces.declare(L"d", L"urn:d");
        namespaces.declare(L"p", L"urn:p");
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fixture fixture;
    std::string utf8(reinterpret_cast<const char*>(data), size);
    utf8 = utf8.c_str(); // stop at an embedded NUL like a C caller would
    std::wstring expression = vxXPathTest::wideFromUtf8(utf8.c_str());
    Variables variables;
    try {
        Engine::Expression compiled = Engine::Expression::compile(expression, &fixture.namespaces);
        vxXPathTest::Node root = vxXPathTest::LibxmlNavigator::documentNode(fixture.doc.get());
        Engine::Value value = compiled.evaluate(fixture.navigator, root, &variables);
        // Exercise the conversions of whatever came out.
        (void)value.toString(fixture.navigator);
        (void)value.toNumber(fixture.navigator);
        // And evaluate again from every node selected, when there are few.
        if (value.isNodeSet() && value.nodes().size() <= 8) {
            for (const auto& node : value.nodes())
                compiled.evaluate(fixture.navigator, node, &variables);
        }
    } catch (const Engine::XPathException& error) {
        if (error.fullMessage().empty())
            __builtin_trap();
    }
    return 0;
}
