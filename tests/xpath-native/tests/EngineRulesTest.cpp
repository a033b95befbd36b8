// Hand-written cases for the rules that are easy to get wrong: lexical
// disambiguation, signed zero, rounding, NaN, comparisons by operand type,
// positions on reverse axes, document order of unions, attribute and
// namespace nodes, error reporting.
#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestSupport.h"

namespace vxXPathTest {
namespace {

const char* const kDocument = R"(<?xml version="1.0"?>
<r xmlns:p="urn:p">
  <div>4</div><div>2</div>
  <mod>3</mod>
  <a id="x" b="1" c="2"><p:e/>text</a>
  <list><i>1</i><i>2</i><i>3</i><i>4</i></list>
</r>)";

class EngineRules : public ::testing::Test
{
protected:
    EngineFixtureDocument doc{kDocument};
};

TEST_F(EngineRules, StarAndNamesAreOperatorsOnlyAfterAnOperand)
{
    EXPECT_EQ(doc.number(L"2 * 3"), 6);
    EXPECT_EQ(doc.names(L"/r/*[1]"), "div");
    EXPECT_EQ(doc.number(L"count(/r/*) * 2"), 10);
    // 'div' and 'mod' are element names at the start of a step, operators after one.
    EXPECT_EQ(doc.number(L"/r/div[1] div /r/div[2]"), 2);
    EXPECT_EQ(doc.number(L"/r/mod mod 2"), 1);
    EXPECT_EQ(doc.number(L"count(//div) div count(//mod)"), 2);
    EXPECT_EQ(doc.names(L"//div/following-sibling::*[1]"), "div mod");
    // '*' after '@' or '::' or '(' or ',' is a name test.
    EXPECT_EQ(doc.number(L"count(//a/@*)"), 3);
    EXPECT_EQ(doc.number(L"count(child::*)"), 1);
    // An NCName after an operand must be an operator name.
    EXPECT_THROW(doc.evaluate(L"1 foo 2"), Engine::XPathException);
    // A name followed by '(' is a function call or node type, even with blanks.
    EXPECT_EQ(doc.number(L"count (//i)"), 4);
    EXPECT_EQ(doc.number(L"count(//a/text ())"), 1);
}

TEST_F(EngineRules, SignedZeroPrintsAsZeroButKeepsItsSign)
{
    EXPECT_EQ(doc.evaluate(L"string(-0)").stringValue(), L"0");
    EXPECT_EQ(doc.evaluate(L"string(round(-0.5))").stringValue(), L"0");
    EXPECT_TRUE(std::signbit(doc.number(L"round(-0.5)")));
    EXPECT_EQ(doc.number(L"1 div round(-0.5)"), -INFINITY);
    EXPECT_EQ(doc.number(L"1 div -0"), -INFINITY);
    EXPECT_TRUE(doc.boolean(L"-0 = 0"));
}

TEST_F(EngineRules, SubstringEdgeCases)
{
    EXPECT_EQ(doc.evaluate(L"substring('12345', 1.5, 2.6)").stringValue(), L"234");
    EXPECT_EQ(doc.evaluate(L"substring('12345', 0, 3)").stringValue(), L"12");
    EXPECT_EQ(doc.evaluate(L"substring('12345', 0 div 0, 3)").stringValue(), L"");
    EXPECT_EQ(doc.evaluate(L"substring('12345', -42, 1 div 0)").stringValue(), L"12345");
    EXPECT_EQ(doc.evaluate(L"substring('12345', -1 div 0, 1 div 0)").stringValue(), L"");
}

TEST_F(EngineRules, NaNIsUnequalToEverythingIncludingItself)
{
    EXPECT_FALSE(doc.boolean(L"0 div 0 = 0 div 0"));
    EXPECT_TRUE(doc.boolean(L"0 div 0 != 0 div 0"));
    EXPECT_FALSE(doc.boolean(L"0 div 0 < 1 or 0 div 0 >= 1"));
    EXPECT_FALSE(doc.boolean(L"//a = 0")); // 'text' converts to NaN
    EXPECT_FALSE(doc.boolean(L"boolean(0 div 0)"));
}

TEST_F(EngineRules, NodeSetComparedWithBooleanUsesItsBooleanValue)
{
    EXPECT_TRUE(doc.boolean(L"//div = true()"));
    EXPECT_TRUE(doc.boolean(L"//missing = false()"));
    EXPECT_FALSE(doc.boolean(L"//missing = true()"));
    EXPECT_TRUE(doc.boolean(L"true() = //div"));
    // Against a number each node counts on its own: some div is 2, some is not 4.
    EXPECT_TRUE(doc.boolean(L"//div = 2"));
    EXPECT_TRUE(doc.boolean(L"//div != 4"));
    EXPECT_TRUE(doc.boolean(L"//div = //i"));
    EXPECT_FALSE(doc.boolean(L"//missing != //div"));
    EXPECT_TRUE(doc.boolean(L"3 > //div")); // operands swapped: some div is below 3
    EXPECT_FALSE(doc.boolean(L"1 > //div"));
}

TEST_F(EngineRules, ReverseAxesCountPositionsFromTheContextNode)
{
    EXPECT_EQ(doc.string(L"//i[3]/preceding-sibling::*[1]"), L"2");
    EXPECT_EQ(doc.string(L"//i[3]/preceding-sibling::*[last()]"), L"1");
    EXPECT_EQ(doc.string(L"//i[4]/preceding::*[2]"), L"2");
    EXPECT_EQ(doc.names(L"//i[1]/ancestor::*[1]"), "list");
    // The result is still in document order.
    EXPECT_EQ(doc.names(L"//i[4]/preceding-sibling::*[position() < 3]"), "i i");
    EXPECT_EQ(doc.string(L"(//i[4]/preceding-sibling::*[position() < 3])[1]"), L"2");
    // Parenthesised, the positions are in document order.
    EXPECT_EQ(doc.string(L"(//i[3]/preceding-sibling::*)[1]"), L"1");
}

TEST_F(EngineRules, UnionIsInDocumentOrderWithoutDuplicates)
{
    EXPECT_EQ(doc.names(L"//mod | //div | //div[1]"), "div div mod");
    EXPECT_EQ(doc.names(L"//a/@c | //a | //a/@b"), "a @b @c");
    EXPECT_EQ(doc.names(L"//i[4] | //i[1] | /r"), "r i i");
    EXPECT_THROW(doc.evaluate(L"//a | 1"), Engine::XPathException);
}

TEST_F(EngineRules, AttributeAndNamespaceNodesFollowTheirElementAndPrecedeItsChildren)
{
    EXPECT_EQ(doc.names(L"//a/@b | //a/namespace::p | //a/* | //a"), "a ns:p @b p:e");
    EXPECT_EQ(doc.names(L"//a/@* | //div[2]"), "div @id @b @c");
    // following:: of an attribute includes the children of its element.
    EXPECT_EQ(doc.names(L"//a/@b/following::*[1]"), "p:e");
    EXPECT_EQ(doc.names(L"//a/@b/preceding::*[1]"), "mod");
    EXPECT_EQ(doc.names(L"//a/@b/following-sibling::node()"), "");
    EXPECT_EQ(doc.names(L"//a/@b/parent::*"), "a");
}

TEST_F(EngineRules, NumericPredicatesSelectByPosition)
{
    EXPECT_EQ(doc.string(L"//i[2]"), L"2");
    EXPECT_EQ(doc.string(L"//i[1 + 1]"), L"2");
    EXPECT_EQ(doc.string(L"//i[last()]"), L"4");
    EXPECT_EQ(doc.names(L"//i[2.5]"), "");
    EXPECT_EQ(doc.names(L"//i[0]"), "");
    // A non-number predicate is converted with boolean().
    EXPECT_EQ(doc.number(L"count(//i['0'])"), 4);
    EXPECT_EQ(doc.number(L"count(//i[.='2' or position()=4])"), 2);
}

TEST_F(EngineRules, SyntaxErrorsCarryAPositionAndMessage)
{
    try {
        doc.evaluate(L"//a[@b = '1'");
        FAIL() << "expected an exception";
    } catch (const Engine::XPathException& error) {
        EXPECT_EQ(error.kind(), Engine::XPathException::Kind::Syntax);
        EXPECT_EQ(error.position(), 12u);
        EXPECT_NE(error.fullMessage().find(L"']'"), std::wstring::npos);
        EXPECT_NE(std::string(error.what()).find("position 12"), std::string::npos);
    }
    for (const wchar_t* bad : {L"", L"/r/", L"//", L"a[", L"'open", L"1 +", L"foo()", L"count()", L"count(1, 2)",
                               L"p:x", L"bogus::x", L"@", L"a!b", L"$", L"(1", L")", L"a/[1]", L"1 =="})
        EXPECT_THROW(Engine::Expression::compile(bad), Engine::XPathException) << std::wstring(bad).size();
}

TEST_F(EngineRules, EvaluationErrorsAreReported)
{
    try {
        doc.evaluate(L"count('x')");
        FAIL() << "expected an exception";
    } catch (const Engine::XPathException& error) {
        EXPECT_EQ(error.kind(), Engine::XPathException::Kind::Evaluation);
        EXPECT_EQ(error.position(), 6u);
    }
    EXPECT_THROW(doc.evaluate(L"$undefined"), Engine::XPathException);
    EXPECT_THROW(doc.evaluate(L"'a'/b"), Engine::XPathException);
    EXPECT_THROW(doc.evaluate(L"(1)[1]"), Engine::XPathException);
}

TEST_F(EngineRules, DeepNestingIsRejectedInsteadOfOverflowingTheStack)
{
    std::wstring nested = std::wstring(10000, L'(') + L"1" + std::wstring(10000, L')');
    EXPECT_THROW(Engine::Expression::compile(nested), Engine::XPathException);
    std::wstring chain = L"1";
    for (int i = 0; i < 10000; ++i)
        chain += L"+1";
    EXPECT_THROW(Engine::Expression::compile(chain), Engine::XPathException);
    std::wstring modest = L"1";
    for (int i = 0; i < 100; ++i)
        modest += L"+1";
    EXPECT_EQ(doc.number(modest), 101);
}

TEST_F(EngineRules, PrefixesResolveThroughTheResolver)
{
    Engine::NamespaceMap namespaces;
    namespaces.declare(L"q", L"urn:p");
    Engine::Expression expr = Engine::Expression::compile(L"count(//q:e | //q:*)", &namespaces);
    EXPECT_EQ(expr.evaluate(doc.navigator(), doc.root()).numberValue(), 1);
    EXPECT_EQ(doc.number(L"count(//a/@xml:lang)"), 0); // 'xml' is always declared
}

TEST_F(EngineRules, CompiledExpressionIsReusableAcrossContexts)
{
    Engine::Expression expr = Engine::Expression::compile(L"string(following-sibling::*[1])");
    Node first = doc.single(L"//i[1]");
    Node third = doc.single(L"//i[3]");
    EXPECT_EQ(expr.evaluate(doc.navigator(), first).stringValue(), L"2");
    EXPECT_EQ(expr.evaluate(doc.navigator(), third).stringValue(), L"4");
}

} // namespace
} // namespace vxXPathTest
