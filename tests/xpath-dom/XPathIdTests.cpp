// id() over captured pages: the document's own element-by-id lookup, tokens,
// node-set arguments, unknown ids, frame documents, and the node found being
// the very node plain navigation reaches.
#include "XPathPageFixture.h"

using vx::com::Variant;

namespace {

double Number(Variant& result)
{
    EXPECT_EQ(VT_R8, result.Type());
    return result.Type() == VT_R8 ? V_R8(result.Get()) : -1;
}

std::wstring Text(Variant& result)
{
    EXPECT_EQ(VT_BSTR, result.Type());
    return result.Type() == VT_BSTR && V_BSTR(result.Get()) ? V_BSTR(result.Get()) : L"";
}

} // namespace

class NamingPageIds : public XPathPageFixture
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }

    double Count(const wchar_t* expression)
    {
        Variant result;
        EXPECT_EQ(S_OK, Evaluate(expression, result)) << expression;
        double count = Number(result);
        ExpectHandlesBackAfter(result);
        return count;
    }
};

TEST_F(NamingPageIds, OneIdSelectsTheFirstElementCarryingIt)
{
    // Two DIVs share id x: the document answers the first in tree order, and
    // the union with the same node reached by navigation has one member.
    EXPECT_EQ(1.0, Count(L"count(id('x'))"));
    EXPECT_EQ(1.0, Count(L"count(id('x') | (//DIV[@id='x'])[1])"));
    EXPECT_EQ(2.0, Count(L"count(id('x') | (//DIV[@id='x'])[2])"));

    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"string(id('x'))", result));
    EXPECT_EQ(L"x one", Text(result));
    ASSERT_EQ(S_OK, Evaluate(L"name(id('body-element')/..)", result));
    EXPECT_EQ(L"HTML", Text(result));
    EXPECT_GT(byId_->Lookups(), 0);
    ExpectHandlesBackAfter(result);
}

TEST_F(NamingPageIds, TokensAreLookedUpOneByOneAndCompareExactly)
{
    EXPECT_EQ(3.0, Count(L"count(id('Dup DUP dup'))"));
    EXPECT_EQ(2.0, Count(L"count(id(' dup\tDup dup '))"));
    EXPECT_EQ(1.0, Count(L"count(id('DUP'))"));
    EXPECT_EQ(0.0, Count(L"count(id('dUp'))"));

    // The result is in document order whatever the order of the tokens.
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"string(id('dup DUP Dup')[1])", result));
    EXPECT_EQ(L"Dup", Text(result));
    ASSERT_EQ(S_OK, Evaluate(L"string(id('dup DUP Dup')[last()])", result));
    EXPECT_EQ(L"dup", Text(result));
    ExpectHandlesBackAfter(result);
}

TEST_F(NamingPageIds, NodeSetArgumentUsesEachNodesStringValue)
{
    // @name='b' is on the INPUT with id a; name attributes that are also ids
    // elsewhere: none but that one.
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"string(id(//INPUT[@name='b']/@id)/@value)", result));
    EXPECT_EQ(L"a-b", Text(result));
    // The ids of all DIVs (x twice, Dup, DUP, dup) name four distinct nodes.
    EXPECT_EQ(4.0, Count(L"count(id(//DIV/@id))"));
    ExpectHandlesBackAfter(result);
}

TEST_F(NamingPageIds, UnknownAndEmptyIdsSelectNothing)
{
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"id('no-such-id')", result));
    EXPECT_EQ(VT_EMPTY, result.Type());
    EXPECT_EQ(0.0, Count(L"count(id(''))"));
    EXPECT_EQ(0.0, Count(L"count(id('   '))"));
    // Frame content is another document: its ids are not the page's.
    EXPECT_EQ(0.0, Count(L"count(id('frameBox'))"));
    ExpectHandlesBackAfter(result);
}

TEST_F(NamingPageIds, ElementsFoundByIdCarryTheirInstancePath)
{
    UseObjectModel(0);
    Variant result;
    ASSERT_EQ(S_OK, Evaluate(L"id('a Dup')", result, L"Cr3;"));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(2u, elements.size());
    EXPECT_EQ(L"Cr3;" + IdOf(L"Dup"), Moniker(elements[0]));
    EXPECT_EQ(L"Cr3;" + IdOf(L"a"), Moniker(elements[1]));
    elements.clear();
    ExpectHandlesBackAfter(result);
}

class FramesPageIds : public XPathPageFixture
{
protected:
    void SetUp() override { Load("snapshots/iframes.json"); }
};

TEST_F(FramesPageIds, IdIsAnsweredByTheContextNodesOwnDocument)
{
    Variant result;
    // Evaluated at each BODY: only the outer frame's document has outerBox,
    // only the top document has topBox.
    ASSERT_EQ(S_OK, Evaluate(L"count(//BODY[id('outerBox')])", result));
    EXPECT_EQ(1.0, Number(result));
    ASSERT_EQ(S_OK, Evaluate(L"count(//BODY[id('topBox')])", result));
    EXPECT_EQ(1.0, Number(result));
    ASSERT_EQ(S_OK, Evaluate(L"count(//BODY[id('topBox')]/ancestor::IFRAME)", result));
    EXPECT_EQ(0.0, Number(result));
    ASSERT_EQ(S_OK, Evaluate(L"count(//IFRAME[@id='outerFrame']//BODY[id('innerBox')])", result));
    EXPECT_EQ(1.0, Number(result));
    ASSERT_EQ(S_OK, Evaluate(L"count(id('innerBox'))", result));
    EXPECT_EQ(0.0, Number(result));
    ExpectHandlesBackAfter(result);
}

TEST_F(FramesPageIds, NodeFoundInANestedFrameIsTheNavigatedNode)
{
    UseObjectModel(0);
    Variant result;
    // Every node is tested against what id() answers in its own document;
    // only the element itself is its own union partner.
    ASSERT_EQ(S_OK, Evaluate(L"//*[id('innerBox') and count(. | id('innerBox')) = 1]", result, L"P;"));
    std::vector<VARIANT*> elements = Elements(result);
    ASSERT_EQ(1u, elements.size());
    EXPECT_EQ(L"P;" + IdOf(L"outerFrame") + L"!" + IdOf(L"innerFrame") + L"!" + IdOf(L"innerBox"),
              Moniker(elements[0]));
    elements.clear();
    ExpectHandlesBackAfter(result);

    ASSERT_EQ(S_OK, Evaluate(L"count(//*[id('fromSrcdoc') and count(. | id('fromSrcdoc')) = 1])", result));
    EXPECT_EQ(1.0, Number(result));
    ExpectHandlesBackAfter(result);
}
