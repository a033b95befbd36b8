// Node, element and input types over captured pages, their caching per
// RecognizedNode (counted as native calls) and the node acceptor.
#include "InlinePage.h"
#include "PageFixture.h"

using namespace vxWebFw::Recognizing;

namespace {

class RecognitionTest : public PageFixture
{
protected:
    RecognizedNode Recognized(NodeImpl* node) { return RecognizedNode(node, Adapters().recognizerSet.get()); }

    long ElementTypeOf(long nodeId)
    {
        vxWebFw::NodeHandle node = NodeById(nodeId);
        return Recognized(node.Get()).GetElementType();
    }
    long InputTypeOfId(const wchar_t* id)
    {
        vxWebFw::NodeHandle node = Element(id);
        return Recognized(node.Get()).GetInputType();
    }
    bool AcceptedId(const wchar_t* id)
    {
        vxWebFw::NodeHandle node = Element(id);
        RecognizedNode recognized = Recognized(node.Get());
        return Adapters().nodeAcceptor->Accept(recognized);
    }
};

class NamingRecognitionTest : public RecognitionTest
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }
};

class InputsRecognitionTest : public RecognitionTest
{
protected:
    void SetUp() override { Load("snapshots/inputs.json"); }
};

class InlineRecognitionTest : public RecognitionTest
{
protected:
    void SetUp() override { LoadJson(kInlinePage); }
};

class ExclusionTest : public RecognitionTest
{
protected:
    void SetUp() override { Load("snapshots/exclusion.json"); }
};

} // namespace

TEST_F(NamingRecognitionTest, ElementTypesOfTheCapturedPage)
{
    const harness::SnapshotPage& page = native_->Page();
    EXPECT_EQ(etHTML, ElementTypeOf(page.FindById(L"root-element")));
    EXPECT_EQ(etHEAD, ElementTypeOf(page.FindById(L"head-element")));
    EXPECT_EQ(etTITLE, ElementTypeOf(page.FindById(L"title-element")));
    EXPECT_EQ(etBODY, ElementTypeOf(page.FindById(L"body-element")));
    EXPECT_EQ(etDIV, ElementTypeOf(page.FindById(L"x")));
    EXPECT_EQ(etINPUT, ElementTypeOf(page.FindById(L"a")));
    // Every element of document.all is an element with a type above "none";
    // IFRAMEs, the FORM, the SPAN (unlisted) and the A are told apart.
    std::map<long, int> seen;
    for (long id : page.Prop(1, L"all")->list)
        ++seen[ElementTypeOf(id)];
    EXPECT_EQ(3, seen[etIFRAME]);
    EXPECT_EQ(1, seen[etFORM]);
    EXPECT_EQ(1, seen[etA]);
    EXPECT_EQ(1, seen[etSTYLE]);
    EXPECT_EQ(0, seen[etNone]);
    EXPECT_EQ(2, seen[etOther]); // META and SPAN
}

TEST_F(NamingRecognitionTest, CommentsAndTextHaveNoElementTypeAndNoTagIsRead)
{
    const harness::SnapshotPage& page = native_->Page();
    long comment = 0, text = 0;
    for (long id = 1; id <= page.NodeCount() && (!comment || !text); ++id) {
        if (page.Node(id).nodeType == 8 && !comment)
            comment = id;
        if (page.Node(id).nodeType == 3 && !text)
            text = id;
    }
    ASSERT_NE(0, comment);
    ASSERT_NE(0, text);
    native_->ResetCounters();
    vxWebFw::NodeHandle commentNode = NodeById(comment);
    RecognizedNode recognized = Recognized(commentNode.Get());
    EXPECT_EQ(ntComment, recognized.GetNodeType());
    EXPECT_EQ(etNone, recognized.GetElementType());
    EXPECT_EQ(itNone, recognized.GetInputType());
    vxWebFw::NodeHandle textNode = NodeById(text);
    RecognizedNode recognizedText = Recognized(textNode.Get());
    EXPECT_EQ(ntText, recognizedText.GetNodeType());
    EXPECT_EQ(etNone, recognizedText.GetElementType());
    EXPECT_EQ(0, native_->MemberCalls(L"tagName"));
    EXPECT_EQ(0, native_->MemberCalls(L"type"));
    EXPECT_EQ(2, native_->MemberCalls(L"nodeType"));
}

TEST_F(InputsRecognitionTest, EachTypeIsReadAtMostOncePerRecognizedNode)
{
    vxWebFw::NodeHandle input = Element(L"pass1");
    native_->ResetCounters();
    RecognizedNode recognized = Recognized(input.Get());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(itPASSWORD, recognized.GetInputType());
        EXPECT_EQ(etINPUT, recognized.GetElementType());
        EXPECT_EQ(ntElement, recognized.GetNodeType());
    }
    RecognizedNode copy = recognized; // copies carry the cache
    EXPECT_EQ(itPASSWORD, copy.GetInputType());
    EXPECT_EQ(1, native_->MemberCalls(L"nodeType"));
    EXPECT_EQ(1, native_->MemberCalls(L"tagName"));
    EXPECT_EQ(1, native_->MemberCalls(L"type"));
    EXPECT_EQ(3, native_->TotalMemberCalls());

    // A fresh RecognizedNode of the same node reads again.
    RecognizedNode again = Recognized(input.Get());
    again.GetNodeType();
    EXPECT_EQ(2, native_->MemberCalls(L"nodeType"));
}

TEST_F(InputsRecognitionTest, InputTypesByTheTypeProperty)
{
    EXPECT_EQ(itTEXT, InputTypeOfId(L"text1"));
    EXPECT_EQ(itTEXT, InputTypeOfId(L"textUpper"));
    EXPECT_EQ(itTEXT, InputTypeOfId(L"noType"));    // the browser reports "text"
    EXPECT_EQ(itTEXT, InputTypeOfId(L"bogusType")); // likewise
    EXPECT_EQ(itCHECKBOX, InputTypeOfId(L"check1"));
    EXPECT_EQ(itRADIO, InputTypeOfId(L"radioA"));
    EXPECT_EQ(itRESET, InputTypeOfId(L"reset1"));
    EXPECT_EQ(itBUTTON, InputTypeOfId(L"button1"));
    EXPECT_EQ(itFILE, InputTypeOfId(L"file1"));
    EXPECT_EQ(itHIDDEN, InputTypeOfId(L"hidden1"));
    EXPECT_EQ(itIMAGE, InputTypeOfId(L"image1"));
    EXPECT_EQ(itOther, InputTypeOfId(L"email1"));
    EXPECT_EQ(itOther, InputTypeOfId(L"range1"));

    native_->ResetCounters();
    EXPECT_EQ(itNone, InputTypeOfId(L"select1")); // not an INPUT: its type is never read
    EXPECT_EQ(0, native_->MemberCalls(L"type"));
}

TEST_F(InlineRecognitionTest, CaseFoldingOddNodeTypesAndUnreadableTags)
{
    EXPECT_EQ(etDIV, ElementTypeOf(4));   // tag read as "div"
    EXPECT_EQ(etTABLE, ElementTypeOf(5)); // tag read as "table"
    EXPECT_EQ(etTD, ElementTypeOf(8));    // TH shares TD's value
    {
        vxWebFw::NodeHandle input = NodeById(6); // type "text" in lower case
        EXPECT_EQ(itTEXT, Recognized(input.Get()).GetInputType());
    }
    {
        vxWebFw::NodeHandle odd = NodeById(7); // nodeType 13
        EXPECT_EQ(ntUnknown, Recognized(odd.Get()).GetNodeType());
        vxWebFw::NodeHandle zero = NodeById(11); // nodeType 0
        EXPECT_EQ(ntUnknown, Recognized(zero.Get()).GetNodeType());
    }
    // A node whose tag cannot be read is "other", not an error.
    vxWebFw::NodeHandle noTag = NodeById(7);
    long type = -1;
    EXPECT_EQ(S_OK, Adapters().elementTypeRecognizer->Recognize(noTag.Get(), &type));
    EXPECT_EQ(etOther, type);
    vxWebFw::NodeHandle div = NodeById(4);
    vx::com::BStr nodeName;
    EXPECT_EQ(S_OK, Adapters().nodeTypeRecognizer->GetNodeName(div.Get(), nodeName.Out()));
    EXPECT_EQ(L"div", nodeName.Str());
}

TEST_F(ExclusionTest, OnlyObjectScriptAndParamWithANonEmptyExclusionValueAreRejected)
{
    EXPECT_TRUE(AcceptedId(L"plainScript"));
    EXPECT_FALSE(AcceptedId(L"excludedScript"));
    EXPECT_TRUE(AcceptedId(L"emptyValueScript"));
    EXPECT_FALSE(AcceptedId(L"upperCaseAttrScript"));
    EXPECT_TRUE(AcceptedId(L"plainObject"));
    EXPECT_FALSE(AcceptedId(L"excludedObject"));
    EXPECT_TRUE(AcceptedId(L"plainParam"));
    EXPECT_FALSE(AcceptedId(L"excludedParam"));
    EXPECT_TRUE(AcceptedId(L"embedWithAttribute"));
    EXPECT_TRUE(AcceptedId(L"divWithAttribute"));
    EXPECT_TRUE(AcceptedId(L"linkInExcludedObject")); // only the element itself counts
}
