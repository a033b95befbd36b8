// The default algorithms of Navigator (document order, string-value, lang)
// and the hooks an adapter overrides (name comparison, id lookup).
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <random>

#include "EngineTestSupport.h"

namespace vxXPathTest {
namespace {

const char* const kDocument = R"(<?xml version="1.0"?>
<root xml:lang="en-US"><A x="1" y="2"><b>one</b><!--c--><b>two<c>three</c></b></A><?pi data?><D xml:lang="fr">four</D></root>)";

TEST(DefaultNavigator, DocumentOrderMatchesAPreOrderWalk)
{
    EngineFixtureDocument doc(kDocument);
    std::vector<Node> all = doc.evaluate(L"//node() | //@* | //namespace::* | /").nodes();
    ASSERT_GT(all.size(), 12u);
    std::vector<Node> shuffled = all;
    std::mt19937 random(7);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    std::sort(shuffled.begin(), shuffled.end(),
              [&](Node a, Node b) { return doc.navigator().compareDocumentOrder(a, b) < 0; });
    EXPECT_EQ(shuffled, all);
    EXPECT_EQ(doc.names(L"(//node() | //@*)[position() < 6]"), "root @xml:lang A @x @y");
}

// Nodes of two documents (frames' documents, say) have no common ancestor;
// their order is arbitrary, but a sort needs it consistent: every node of
// one document on the same side of every node of the other, however deep
// each lies.
TEST(DefaultNavigator, NodesOfDifferentDocumentsKeepOneDocumentOnOneSide)
{
    std::string deep = "<r>";
    for (int i = 0; i < 30; ++i)
        deep += "<d>";
    for (int i = 0; i < 30; ++i)
        deep += "</d>";
    deep += "<s/></r>";
    XmlDocPtr first = parseXml(deep);
    XmlDocPtr second = parseXml("<r><x><y/></x></r>");
    LibxmlNavigator navigator;
    const Engine::Value firstNodes =
        Engine::Expression::compile(L"//*").evaluate(navigator, LibxmlNavigator::documentNode(first.get()));
    const Engine::Value secondNodes =
        Engine::Expression::compile(L"//*").evaluate(navigator, LibxmlNavigator::documentNode(second.get()));
    ASSERT_EQ(firstNodes.nodes().size(), 32u);
    ASSERT_EQ(secondNodes.nodes().size(), 3u);
    const int side = navigator.compareDocumentOrder(firstNodes.nodes().front(), secondNodes.nodes().front());
    ASSERT_NE(side, 0);
    for (Node a : firstNodes.nodes())
        for (Node b : secondNodes.nodes()) {
            EXPECT_EQ(navigator.compareDocumentOrder(a, b), side);
            EXPECT_EQ(navigator.compareDocumentOrder(b, a), -side);
        }
}

TEST(DefaultNavigator, StringValueConcatenatesDescendantTextOnly)
{
    EngineFixtureDocument doc(kDocument);
    EXPECT_EQ(doc.string(L"/"), L"onetwothreefour");
    EXPECT_EQ(doc.string(L"//A"), L"onetwothree");
    EXPECT_EQ(doc.string(L"//comment()"), L"c");
    EXPECT_EQ(doc.string(L"//processing-instruction()"), L"data");
    EXPECT_EQ(doc.string(L"//@y"), L"2");
}

TEST(DefaultNavigator, LangUsesTheNearestXmlLang)
{
    EngineFixtureDocument doc(kDocument);
    EXPECT_EQ(doc.names(L"//*[lang('en')]"), "root A b b c");
    EXPECT_EQ(doc.names(L"//*[lang('fr')]"), "D");
    EXPECT_EQ(doc.names(L"//*[lang('us')]"), "");
}

// Uses the engine's default walks and order instead of the navigator's own
// shortcuts, so that the defaults are checked against them.
class DefaultWalkNavigator : public LibxmlNavigator
{
public:
    Node nextInSubtree(Node node, Node subtreeRoot) const override
    {
        return Navigator::nextInSubtree(node, subtreeRoot);
    }
    Node nextElementInSubtree(Node node, Node subtreeRoot) const override
    {
        return Navigator::nextElementInSubtree(node, subtreeRoot);
    }
};

TEST(DefaultNavigator, DefaultWalksAgreeWithTheNavigatorsOwn)
{
    XmlDocPtr xml = parseXml(kDocument);
    Node root = LibxmlNavigator::documentNode(xml.get());
    LibxmlNavigator own;
    DefaultWalkNavigator defaults;
    for (const wchar_t* text : {L"//node()", L"//*", L"//b", L"//A//node()", L"//b[1]", L"//b//c", L"//text()",
                                L"string(/)", L"string(//A)", L"count(//A/descendant-or-self::*)"}) {
        Engine::Expression expr = Engine::Expression::compile(text);
        Engine::Value a = expr.evaluate(own, root);
        Engine::Value b = expr.evaluate(defaults, root);
        EXPECT_EQ(a.toString(own), b.toString(defaults)) << std::wstring(text).size();
        EXPECT_EQ(a.nodes(), b.nodes()) << std::wstring(text).size();
    }
    EXPECT_EQ(Engine::Expression::compile(L"count(//node())").evaluate(defaults, root).numberValue(), 12);
}

// An adapter that compares element names without regard to case, as an
// HTML DOM adapter may choose to.
class CaseInsensitiveNavigator : public LibxmlNavigator
{
public:
    bool nameEquals(Node node, std::wstring_view local, std::wstring_view uri) const override
    {
        std::wstring name = localName(node);
        if (node.kind != NodeKind::Element)
            return LibxmlNavigator::nameEquals(node, local, uri);
        return name.size() == local.size() &&
               std::equal(name.begin(), name.end(), local.begin(),
                          [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
    }
};

TEST(NavigatorHooks, NameComparisonIsTheNavigatorsChoice)
{
    XmlDocPtr xml = parseXml(kDocument);
    Node root = LibxmlNavigator::documentNode(xml.get());
    LibxmlNavigator exact;
    CaseInsensitiveNavigator relaxed;
    Engine::Expression expr = Engine::Expression::compile(L"count(//a | //d)");
    EXPECT_EQ(expr.evaluate(exact, root).numberValue(), 0);
    EXPECT_EQ(expr.evaluate(relaxed, root).numberValue(), 2);
    EXPECT_EQ(Engine::Expression::compile(L"count(//@X)").evaluate(relaxed, root).numberValue(), 0);
}

// Minimal navigator without namespaces or ids: the engine must work with
// the defaults alone.
class NoIdNavigator : public LibxmlNavigator
{
public:
    Node elementById(Node, std::wstring_view) const override { return Node(); }
    void namespaceNodes(Node, std::vector<Node>&) const override {}
};

TEST(NavigatorHooks, IdAndNamespaceAxisAnswerThroughTheNavigator)
{
    XmlDocPtr xml = parseXml(R"(<r xmlns:p="urn:p"><e xml:id="k"/></r>)");
    Node root = LibxmlNavigator::documentNode(xml.get());
    LibxmlNavigator full;
    NoIdNavigator bare;
    Engine::Expression ids = Engine::Expression::compile(L"count(id('k'))");
    Engine::Expression namespaces = Engine::Expression::compile(L"count(/r/namespace::*)");
    EXPECT_EQ(ids.evaluate(full, root).numberValue(), 1);
    EXPECT_EQ(ids.evaluate(bare, root).numberValue(), 0);
    EXPECT_EQ(namespaces.evaluate(full, root).numberValue(), 2);
    EXPECT_EQ(namespaces.evaluate(bare, root).numberValue(), 0);
}

} // namespace
} // namespace vxXPathTest
