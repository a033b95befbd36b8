// Checks the engine where wchar_t has 16 bits (Windows): strings are UTF-16
// there, and a surrogate pair must count as one character. Built with
// mingw-w64 and run under Wine by run-utf16-check.sh; prints
// "N passed, M failed" and exits non-zero on a failure.
#include <cstdio>
#include <string>

#include "XPathExpression.h"

namespace {

using namespace vxWebFw::XPath::Engine;

// The document <e a="v">TEXT</e>, with TEXT chosen by the check.
class SingleElementNavigator : public Navigator
{
public:
    explicit SingleElementNavigator(std::wstring text) : text_(std::move(text)) {}
    Node root() const { return Node(NodeKind::Root, &root_); }

    Node parent(Node n) const override
    {
        if (n.handle == &element_)
            return root();
        if (n.handle == &text_ || n.handle == &attribute_)
            return element();
        return Node();
    }
    Node firstChild(Node n) const override
    {
        if (n.handle == &root_)
            return element();
        if (n.handle == &element_)
            return Node(NodeKind::Text, &text_);
        return Node();
    }
    Node nextSibling(Node) const override { return Node(); }
    Node previousSibling(Node) const override { return Node(); }
    Node firstAttribute(Node n) const override
    {
        return n.handle == &element_ ? Node(NodeKind::Attribute, &attribute_) : Node();
    }
    Node nextAttribute(Node) const override { return Node(); }
    std::wstring localName(Node n) const override
    {
        return n.handle == &element_ ? L"e" : n.handle == &attribute_ ? L"a" : L"";
    }
    void appendNodeValue(Node n, std::wstring& out) const override
    {
        if (n.handle == &text_)
            out += text_;
        if (n.handle == &attribute_)
            out += L"v";
    }

private:
    Node element() const { return Node(NodeKind::Element, &element_); }
    int root_ = 0;
    int element_ = 0;
    int attribute_ = 0;
    std::wstring text_;
};

int passed = 0;
int failed = 0;

void check(bool ok, const char* what)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAILED: %s\n", what);
    }
}

} // namespace

int main()
{
    const std::wstring grin = L"\xD83D\xDE00"; // U+1F600 as a surrogate pair
    SingleElementNavigator navigator(L"a" + grin + L"b");
    auto evaluate = [&](const wchar_t* text) {
        return Expression::compile(text).evaluate(navigator, navigator.root());
    };

    check(sizeof(wchar_t) == 2, "wchar_t has 16 bits in this build");
    check(evaluate(L"string-length(/e)").numberValue() == 3, "string-length counts a surrogate pair once");
    check(evaluate(L"substring(/e, 2, 1)").stringValue() == grin, "substring keeps the pair whole");
    check(evaluate(L"substring(/e, 3)").stringValue() == L"b", "positions after the pair");
    check(evaluate((L"translate(/e, '" + grin + L"', 'X')").c_str()).stringValue() == L"aXb",
          "translate maps the pair as one character");
    check(evaluate((L"substring-after(/e, '" + grin + L"')").c_str()).stringValue() == L"b",
          "substring-after across the pair");
    check(evaluate(L"string(0.1 + 0.2)").stringValue() == L"0.30000000000000004", "shortest round-trip digits");
    check(evaluate(L"string(-0)").stringValue() == L"0", "-0 prints as 0");
    check(evaluate(L"number(' 12.5 ')").numberValue() == 12.5, "number() of a string");
    check(evaluate(L"count(//e[@a = 'v'])").numberValue() == 1, "attribute predicate");
    try {
        Expression::compile(L"//e[");
        check(false, "syntax error reported");
    } catch (const XPathException& error) {
        check(error.position() == 4 && !error.fullMessage().empty(), "syntax error position");
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
