// Navigator calls made by evaluations that the engine answers in one walk,
// one sibling scan per parent or without building strings. The calls are
// counted, not timed: a shortcut that is lost (a sort in document order, a
// sibling list scanned again for every context node, a string-value built
// in full) fails here instead of only slowing the benchmark. The results are
// checked too; the conformance data compares them with libxml2.
#include <gtest/gtest.h>

#include <string>

#include "EngineTestSupport.h"

namespace vxXPathTest {
namespace {

class CountingNavigator : public LibxmlNavigator
{
public:
    int compareDocumentOrder(Node a, Node b) const override
    {
        ++orderComparisons;
        return LibxmlNavigator::compareDocumentOrder(a, b);
    }
    Node parent(Node node) const override
    {
        ++parentSteps;
        return LibxmlNavigator::parent(node);
    }
    Node nextSibling(Node node) const override
    {
        ++siblingSteps;
        return LibxmlNavigator::nextSibling(node);
    }
    Node previousSibling(Node node) const override
    {
        ++siblingSteps;
        return LibxmlNavigator::previousSibling(node);
    }
    void appendNodeValue(Node node, std::wstring& out) const override
    {
        ++valuesRead;
        LibxmlNavigator::appendNodeValue(node, out);
    }

    void reset() const { orderComparisons = parentSteps = siblingSteps = valuesRead = 0; }

    mutable int orderComparisons = 0;
    mutable int parentSteps = 0;
    mutable int siblingSteps = 0;
    mutable int valuesRead = 0;
};

std::string repeat(int times, const std::string& text)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

class EvaluationCost : public ::testing::Test
{
protected:
    // Evaluates from the root with the counts reset first.
    Engine::Value evaluate(const std::string& xml, const std::wstring& expression)
    {
        doc_ = parseXml(xml);
        navigator_.reset();
        return Engine::Expression::compile(expression).evaluate(navigator_, LibxmlNavigator::documentNode(doc_.get()));
    }
    std::size_t count(const std::string& xml, const std::wstring& expression)
    {
        return evaluate(xml, expression).nodes().size();
    }

    CountingNavigator navigator_;

private:
    XmlDocPtr doc_;
};

// 30 items, each holding a list of 5 items: lists nested in lists.
const std::string kNestedLists =
    "<r><ul>" + repeat(30, "<li>t<ul>" + repeat(5, "<li>u</li>") + "</ul></li>") + "</ul></r>";

TEST_F(EvaluationCost, PositionalPredicatesAfterDoubleSlashNeedNoSorting)
{
    EXPECT_EQ(count(kNestedLists, L"//li[1]"), 31u);
    EXPECT_EQ(navigator_.orderComparisons, 0);
    EXPECT_EQ(count(kNestedLists, L"//li[last()]"), 31u);
    EXPECT_EQ(navigator_.orderComparisons, 0);
    EXPECT_EQ(count(kNestedLists, L"//li[position() mod 2 = 0]"), 15u + 60u);
    EXPECT_EQ(navigator_.orderComparisons, 0);
    // Every child is passed once while its parent's group is made.
    const int nodes = 2 + 30 * 3 + 30 * 5 * 2;
    EXPECT_LE(navigator_.siblingSteps, nodes);
}

TEST_F(EvaluationCost, SiblingStepsScanEachParentOnce)
{
    // 200 pairs of siblings and one d at the end, all children of r.
    const std::string flat = "<r>" + repeat(200, "<h/><p/>") + "<d/></r>";
    const int children = 401;
    // Checking the order of the result costs a few steps per node; scanning
    // every context node's siblings would cost 40,000.

    EXPECT_EQ(count(flat, L"//h/following-sibling::d[1]"), 1u);
    EXPECT_LE(navigator_.siblingSteps, 5 * children);
    EXPECT_EQ(count(flat, L"//p/preceding-sibling::h[1]"), 200u);
    EXPECT_LE(navigator_.siblingSteps, 5 * children);
    EXPECT_EQ(count(flat, L"//h/following-sibling::p"), 200u);
    EXPECT_LE(navigator_.siblingSteps, 5 * children);
    EXPECT_EQ(count(flat, L"//p/preceding-sibling::*[self::h]"), 200u);
    EXPECT_LE(navigator_.siblingSteps, 5 * children);
}

TEST_F(EvaluationCost, NearestFollowingSiblingsInSeparateParentsNeedNoSorting)
{
    const std::string sections = "<body>" + repeat(50, "<div><h2/><p/><div/></div>") + "</body>";
    EXPECT_EQ(count(sections, L"//h2/following-sibling::div[1]"), 50u);
    EXPECT_EQ(navigator_.orderComparisons, 0);
    // A context node inside a later sibling of the one before it: sorted.
    const std::string inside = "<r><h/><d><h/><x/></d><x/></r>";
    const Engine::Value value = evaluate(inside, L"//h/following-sibling::x[1]");
    ASSERT_EQ(value.nodes().size(), 2u);
    EXPECT_LT(navigator_.compareDocumentOrder(value.nodes()[0], value.nodes()[1]), 0);
}

TEST_F(EvaluationCost, ChildStepsAfterNonNestingMatchesClimbNoParents)
{
    const std::string tables = "<html><body>" +
                               repeat(50, "<div><table><tr><td>1</td></tr><tr><td>2</td></tr></table></div>") +
                               "</body></html>";
    EXPECT_EQ(count(tables, L"//table/tr[2]/td"), 50u);
    EXPECT_LE(navigator_.parentSteps, 1); // the root's, looking for the document root
    EXPECT_EQ(navigator_.orderComparisons, 0);
    // Nested matches are noticed: the result is still in document order.
    const Engine::Value nested = evaluate(kNestedLists, L"//ul/li/text()");
    ASSERT_EQ(nested.nodes().size(), 180u);
    for (std::size_t i = 1; i < nested.nodes().size(); ++i)
        ASSERT_LT(navigator_.compareDocumentOrder(nested.nodes()[i - 1], nested.nodes()[i]), 0) << i;
}

// Whether a context node lies inside an earlier one's subtree is answered
// without walking up to the root from every node: on a chain of nested
// elements, or many siblings deep down, that walk would be quadratic.
TEST_F(EvaluationCost, NestingChecksOnDeepTreesClimbEachNodeOnce)
{
    const int depth = 200;
    const std::string chain = repeat(depth, "<d>") + repeat(depth, "</d>");
    const int linear = 4 * depth;
    EXPECT_EQ(count(chain, L"//d//d"), static_cast<std::size_t>(depth - 1));
    EXPECT_LE(navigator_.parentSteps, linear);
    EXPECT_EQ(count(chain, L"//d//d[1]"), static_cast<std::size_t>(depth - 1));
    EXPECT_LE(navigator_.parentSteps, linear);
    EXPECT_EQ(count(chain, L"//d/descendant-or-self::d"), static_cast<std::size_t>(depth));
    EXPECT_LE(navigator_.parentSteps, linear);
    // Siblings at the bottom of the chain: checking that none contains the
    // next climbs from each only to their common parent.
    const std::string fan = repeat(depth, "<d>") + repeat(depth, "<e><f/></e>") + repeat(depth, "</d>");
    EXPECT_EQ(count(fan, L"//e/f"), static_cast<std::size_t>(depth));
    EXPECT_LE(navigator_.parentSteps, linear);
    // Nearest siblings of context nodes in separate parents deep down: the
    // check that no parent holds the next one climbs only to their common
    // parent.
    const std::string groups = repeat(depth, "<d>") + repeat(depth, "<g><h/><i/></g>") + repeat(depth, "</d>");
    EXPECT_EQ(count(groups, L"//h/following-sibling::i[1]"), static_cast<std::size_t>(depth));
    EXPECT_LE(navigator_.parentSteps, linear);
}

// Putting nodes of a deep tree in document order compares neighbours that
// lie close together (a node and its child, siblings) by their common
// ancestor a few steps up, not by walks to the root; long stretches of one
// set before the other's next node are merged in a few comparisons. Either
// done node by node with walks to the root costs the square of the depth.
TEST_F(EvaluationCost, DocumentOrderOnDeepTreesClimbsNoFurtherThanNeeded)
{
    const int depth = 240; // within libxml2's nesting limit for parsing
    const int wide = 100;
    // A chain of d, every 20th marked, with an s at the bottom, then s
    // siblings of the chain.
    const std::string chain = "<r>" + repeat(depth / 20, "<d k=''>" + repeat(19, "<d>")) + "<s/>" +
                              repeat(depth, "</d>") + repeat(wide, "<s/>") + "</r>";
    const int linear = 4 * depth;
    // Children of nested parents: checked in order, pair by pair, whether
    // next to each other or 20 levels apart.
    EXPECT_EQ(count(chain, L"//d/d"), static_cast<std::size_t>(depth - 1));
    EXPECT_LE(navigator_.parentSteps, linear);
    EXPECT_EQ(count(chain, L"//d[@k]/d"), static_cast<std::size_t>(depth / 20));
    EXPECT_LE(navigator_.parentSteps, linear);
    // The parents of all elements: a stretch down the chain, then the root
    // element again.
    EXPECT_EQ(count(chain, L"//*/.."), static_cast<std::size_t>(depth + 2));
    EXPECT_LE(navigator_.parentSteps, 2 * linear);
    // Every d comes before every s: a few comparisons across the depth.
    EXPECT_EQ(count(chain, L"//d | //s"), static_cast<std::size_t>(depth + 1 + wide));
    EXPECT_LE(navigator_.orderComparisons, 40);
    EXPECT_LE(navigator_.parentSteps, 10 * linear);
    // Interleaved sets still merge with about one comparison per node.
    EXPECT_EQ(count(chain, L"//d | //d/@x | //s[@y]"), static_cast<std::size_t>(depth));
    EXPECT_EQ(count(chain, L"//s | //r/s[position() mod 2 = 0]"), static_cast<std::size_t>(wide + 1));
    EXPECT_LE(navigator_.orderComparisons, 2 * wide);
}

// [@for = //input/@id]: the absolute path is walked once per evaluation,
// and so are its string-values; each context node then costs a look-up,
// not a pass over the whole set.
TEST_F(EvaluationCost, EqualityWithAnAbsolutePathReadsItsValuesOnce)
{
    const int labels = 200;
    std::string xml = "<r>";
    for (int i = 0; i < labels; ++i)
        xml += "<label for='f" + std::to_string(i * 2) + "'/><input id='f" + std::to_string(i) + "'/>";
    xml += "</r>";
    // Inputs f0..f199, labels for f0, f2, ... f398: the first hundred match.
    EXPECT_EQ(count(xml, L"//label[@for = //input/@id]"), static_cast<std::size_t>(labels / 2));
    EXPECT_LE(navigator_.valuesRead, 2 * labels + 1);
    EXPECT_EQ(count(xml, L"//label[//input/@id = @for]"), static_cast<std::size_t>(labels / 2));
    EXPECT_LE(navigator_.valuesRead, 2 * labels + 1);
    // != holds for a label when some input has another id: for all of them.
    EXPECT_EQ(count(xml, L"//label[@for != //input/@id]"), static_cast<std::size_t>(labels));
    EXPECT_LE(navigator_.valuesRead, 2 * labels + 1);
    // A kept path against a string or a number compares as before.
    EXPECT_EQ(count(xml, L"//label[//input/@id = 'f5']"), static_cast<std::size_t>(labels));
    EXPECT_EQ(count(xml, L"//label[//input/@id = 'f500']"), 0u);
    EXPECT_EQ(count(xml, L"//label[//input/@id != 'f5']"), static_cast<std::size_t>(labels));
}

TEST_F(EvaluationCost, BlankTestsStopAtTheFirstOtherCharacter)
{
    // Each e starts with text, followed by 20 more text nodes.
    const std::string xml = "<r>" + repeat(10, "<e>x" + repeat(20, "<b>y</b>") + "</e>") + "<e> <b> </b></e></r>";
    EXPECT_EQ(count(xml, L"//e[normalize-space() != '']"), 10u);
    EXPECT_EQ(navigator_.valuesRead, 10 + 2); // one for each e, two for the blank one
    EXPECT_EQ(count(xml, L"//e[normalize-space(.) = '']"), 1u);
    EXPECT_EQ(navigator_.valuesRead, 10 + 2);
}

} // namespace
} // namespace vxXPathTest
