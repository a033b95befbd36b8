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
    EXPECT_GT(native_->MemberCalls(L"getElementById"), 0);
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

// The stand-in's own getElementById, which id() above relies on: called
// directly on document handles, as the library calls it.
class StandInElementById : public XPathPageFixture
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }

    // Node id of what getElementById(`elementId`) answers on the node
    // `nodeId`; 0 for null. The handle found is given back at once.
    long Lookup(long nodeId, const wchar_t* elementId, HRESULT expected = S_OK)
    {
        LONG member = 0;
        vx::com::BStr name(L"getElementById");
        EXPECT_EQ(S_OK, native_->GetIDOfName(name.Get(), &member));
        Variant argument;
        V_VT(argument.Get()) = VT_BSTR;
        V_BSTR(argument.Get()) = SysAllocString(elementId);
        DISPPARAMS params = {argument.Get(), nullptr, 1, 0};
        NodeImpl* node = native_->HandleOf(nodeId);
        Variant result;
        const long before = native_->LiveHandles();
        EXPECT_EQ(expected, native_->Invoke(node, member, &params, result.Get())) << elementId;
        long found = 0;
        if (result.Type() == VT_PTR) {
            EXPECT_EQ(before + 1, native_->LiveHandles()) << "the element comes back as a new handle";
            found = native_->NodeIdOf(static_cast<NodeImpl*>(V_BYREF(result.Get())));
            EXPECT_NE(0, found);
            native_->ReleaseNode(static_cast<NodeImpl*>(V_BYREF(result.Get())));
            V_VT(result.Get()) = VT_EMPTY;
        } else if (expected == S_OK) {
            EXPECT_EQ(VT_NULL, result.Type()) << elementId;
            EXPECT_EQ(before, native_->LiveHandles());
        }
        native_->ReleaseNode(node);
        return found;
    }

    long DocumentNode(size_t index) { return native_->Page().documents.at(index).node; }

    // The element of document `doc` whose id attribute is `elementId`
    // (the snapshot has one per frame document).
    long ElementOfDocument(int doc, const wchar_t* elementId)
    {
        const harness::SnapshotPage& page = native_->Page();
        for (long id = 1; id <= page.NodeCount(); ++id) {
            const std::wstring* value = Attribute(page.Node(id), L"id");
            if (page.Node(id).doc == doc && value && *value == elementId)
                return id;
        }
        return 0;
    }
};

TEST_F(StandInElementById, AnswersTheFirstElementInTreeOrderWithExactlyThatId)
{
    const long top = DocumentNode(0);
    // Two DIVs carry id x: the first in tree order is the one the page's
    // own id property names first.
    EXPECT_EQ(native_->Page().FindById(L"x"), Lookup(top, L"x"));
    EXPECT_EQ(native_->Page().FindById(L"DUP"), Lookup(top, L"DUP"));
    EXPECT_EQ(native_->Page().FindById(L"Dup"), Lookup(top, L"Dup"));
    EXPECT_EQ(native_->Page().FindById(L"dup"), Lookup(top, L"dup"));
    EXPECT_EQ(0, Lookup(top, L"dUp"));
    EXPECT_EQ(0, Lookup(top, L""));
    EXPECT_EQ(0, Lookup(top, L"no-such-id"));
}

TEST_F(StandInElementById, EachDocumentAnswersForItsOwnElementsOnly)
{
    ASSERT_GE(native_->Page().documents.size(), 3u);
    EXPECT_EQ(0, Lookup(DocumentNode(0), L"frameBox"));
    for (int doc = 1; doc < static_cast<int>(native_->Page().documents.size()); ++doc) {
        long expected = ElementOfDocument(doc, L"frameBox");
        ASSERT_NE(0, expected) << "document " << doc;
        EXPECT_EQ(expected, Lookup(DocumentNode(static_cast<size_t>(doc)), L"frameBox")) << "document " << doc;
        EXPECT_EQ(0, Lookup(DocumentNode(static_cast<size_t>(doc)), L"x")) << "document " << doc;
    }
}

TEST_F(StandInElementById, RemovedElementsAreNoLongerFound)
{
    const long top = DocumentNode(0);
    const long first = Lookup(top, L"x");
    ASSERT_NE(0, first);
    native_->RemoveNode(first);
    const long second = Lookup(top, L"x");
    EXPECT_NE(0, second);
    EXPECT_NE(first, second);
    native_->RemoveNode(second);
    EXPECT_EQ(0, Lookup(top, L"x"));
}

TEST_F(StandInElementById, OnlyDocumentsHaveTheMethod)
{
    const long element = native_->Page().FindById(L"x");
    EXPECT_EQ(0, Lookup(element, L"x", DISP_E_MEMBERNOTFOUND));

    LONG member = 0;
    vx::com::BStr name(L"getElementById");
    ASSERT_EQ(S_OK, native_->GetIDOfName(name.Get(), &member));
    NodeImpl* document = native_->HandleOf(DocumentNode(0));
    DISPPARAMS none = {};
    Variant result;
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, native_->Invoke(document, member, &none, result.Get()));
    EXPECT_EQ(VT_EMPTY, result.Type());
    native_->ReleaseNode(document);
}
