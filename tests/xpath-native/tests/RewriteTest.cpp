// The parser rewrites '//name[...]' into one descendant step and the
// evaluator skips nested context nodes and sorts only when needed. These
// cases have nested same-named elements, where a wrong rewrite or a missed
// sort shows up as a changed result.
#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace vxXPathTest {
namespace {

const char* const kNested = R"(<r>
  <l id="1"><i n="a"/><i n="b"><l id="2"><i n="c"/><i n="d"/></l></i></l>
  <l id="3"><i n="e"/></l>
</r>)";

class Rewrites : public ::testing::Test
{
protected:
    std::string attributeValues(const std::wstring& expression) const
    {
        std::string text;
        const Engine::Value value = doc.evaluate(expression);
        for (const Node& node : value.nodes()) {
            if (!text.empty())
                text += ' ';
            text += utf8FromWide(Engine::stringValueOf(doc.navigator(), node));
        }
        return text;
    }
    EngineFixtureDocument doc{kNested};
};

TEST_F(Rewrites, PositionalPredicateAfterDoubleSlashCountsPerParent)
{
    EXPECT_EQ(attributeValues(L"//i[1]/@n"), "a c e");
    EXPECT_EQ(attributeValues(L"/descendant::i[1]/@n"), "a");
    EXPECT_EQ(attributeValues(L"//i[last()]/@n"), "b d e");
    EXPECT_EQ(attributeValues(L"//i[position() = 2]/@n"), "b d");
    EXPECT_EQ(attributeValues(L"/descendant-or-self::node()/child::i[2]/@n"), "b d");
}

TEST_F(Rewrites, PositionFreePredicatesGiveTheSameNodesEitherWay)
{
    EXPECT_EQ(attributeValues(L"//i[@n = 'c']/@n"), "c");
    EXPECT_EQ(attributeValues(L"//i[@n = 'c' and true()]/@n"), "c");
    EXPECT_EQ(attributeValues(L"//i['c' = @n]/@n"), "c");
    EXPECT_EQ(attributeValues(L"//i[@n != 'c']/@n"), "a b d e");
    EXPECT_EQ(attributeValues(L"//l[i/l]/@id"), "1");
}

TEST_F(Rewrites, NestedContextNodesGiveNoDuplicatesAndStayInOrder)
{
    EXPECT_EQ(attributeValues(L"//l//i/@n"), "a b c d e");
    EXPECT_EQ(attributeValues(L"//l/descendant-or-self::*/@id"), "1 2 3");
    EXPECT_EQ(attributeValues(L"//l/descendant::i[1]/@n"), "a c e"); // per context: no skipping
    EXPECT_EQ(attributeValues(L"//l/i/@n"), "a b c d e");            // children of nested parents, sorted
    EXPECT_EQ(attributeValues(L"//i/parent::l/@id"), "1 2 3");
    EXPECT_EQ(attributeValues(L"//i/ancestor::l/@id"), "1 2 3");
    EXPECT_EQ(attributeValues(L"(//i[@n='d'] | //i[@n='a'])/following::i/@n"), "b c d e");
}

// Counts the element walks of the descendant axis.
class CountingNavigator : public LibxmlNavigator
{
public:
    Node nextElementInSubtree(Node node, Node subtreeRoot) const override
    {
        ++steps;
        return LibxmlNavigator::nextElementInSubtree(node, subtreeRoot);
    }
    mutable int steps = 0;
};

TEST_F(Rewrites, AbsolutePathsInPredicatesAreEvaluatedOncePerEvaluation)
{
    XmlDocPtr xml = parseXml(kNested);
    Node root = LibxmlNavigator::documentNode(xml.get());
    CountingNavigator navigator;
    EXPECT_EQ(Engine::Expression::compile(L"count(//i)").evaluate(navigator, root).numberValue(), 5);
    const int oneWalk = navigator.steps;
    navigator.steps = 0;
    Engine::Expression expr = Engine::Expression::compile(L"count(//i[@n = //i[last()]/@n])");
    EXPECT_EQ(expr.evaluate(navigator, root).numberValue(), 3); // b, d and e end their parents
    EXPECT_LE(navigator.steps, 2 * oneWalk + 2);
    // A second evaluation starts with a fresh cache and gives the same result.
    EXPECT_EQ(expr.evaluate(navigator, root).numberValue(), 3);
}

TEST_F(Rewrites, VariablesHoldingUnorderedNodeSetsAreSortedFirst)
{
    Engine::Value all = doc.evaluate(L"//i");
    ASSERT_EQ(all.nodes().size(), 5u);
    Engine::NodeSet reversed;
    reversed.nodes.assign(all.nodes().rbegin(), all.nodes().rend());
    reversed.nodes.push_back(all.nodes().front()); // and a duplicate
    struct Resolver : Engine::VariableResolver
    {
        Engine::NodeSet set;
        bool lookupVariable(std::wstring_view, std::wstring_view, Engine::Value& value) const override
        {
            value = Engine::Value::fromNodeSet(set);
            return true;
        }
    } resolver;
    resolver.set = reversed;
    Engine::Expression first = Engine::Expression::compile(L"string($v[1]/@n)");
    EXPECT_EQ(first.evaluate(doc.navigator(), doc.root(), &resolver).stringValue(), L"a");
    Engine::Expression count = Engine::Expression::compile(L"count($v)");
    EXPECT_EQ(count.evaluate(doc.navigator(), doc.root(), &resolver).numberValue(), 5);
}

} // namespace
} // namespace vxXPathTest
