// CCrRawBrowserHelper over captured pages: typed reads and calls, the member
// cache, composite reads, the options record and handle accounting.
#include "InlinePage.h"
#include "PageFixture.h"
#include "quickbrowser/accessor/DomReadCheck.h"

using harness::NativeSlot;

namespace {

class NamingPageTest : public PageFixture
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }
};

class InlinePageTest : public PageFixture
{
protected:
    void SetUp() override { LoadJson(kInlinePage); }
};

struct RunCounter
{
    int runs = 0;
};

HRESULT STDMETHODCALLTYPE CountRendererRun(void* context)
{
    ++static_cast<RunCounter*>(context)->runs;
    return S_OK;
}

} // namespace

TEST_F(NamingPageTest, MembersAreResolvedOnceAndRefusedNamesAreAskedAgain)
{
    vxWebFw::NodeHandle div = Element(L"x");
    for (int i = 0; i < 3; ++i) {
        vx::com::BStr tag;
        ASSERT_EQ(S_OK, helper_->GetTagName(div.Get(), tag.Out()));
        EXPECT_EQ(L"DIV", tag.Str());
    }
    EXPECT_EQ(1, native_->LookupCalls(L"tagName"));
    EXPECT_EQ(3, native_->MemberCalls(L"tagName"));

    native_->RefuseMember(L"className", 2);
    vx::com::BStr cls;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, helper_->GetClassName(div.Get(), cls.Out()));
    EXPECT_EQ(nullptr, cls.Get());
    EXPECT_EQ(DISP_E_UNKNOWNNAME, helper_->GetClassName(div.Get(), cls.Out()));
    EXPECT_EQ(S_OK, helper_->GetClassName(div.Get(), cls.Out()));
    EXPECT_EQ(L"cell", cls.Str());
    EXPECT_EQ(3, native_->LookupCalls(L"className"));
    EXPECT_EQ(1, native_->MemberCalls(L"className")); // only the successful lookup reached the node
}

TEST_F(NamingPageTest, TypedReadsOverTheCapturedPage)
{
    vxWebFw::NodeHandle window(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetWindowNode(window.Out()));
    long width = 0, height = 0;
    EXPECT_EQ(S_OK, helper_->GetInnerWidth(window.Get(), &width));
    EXPECT_EQ(S_OK, helper_->GetInnerHeight(window.Get(), &height));
    EXPECT_EQ(1024, width);
    EXPECT_EQ(768, height);

    vxWebFw::NodeHandle document = Document();
    long type = 0;
    EXPECT_EQ(S_OK, helper_->GetNodeType(document.Get(), &type));
    EXPECT_EQ(9, type);
    vxWebFw::NodeHandle body(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetBody(document.Get(), body.Out()));
    vx::com::BStr id;
    EXPECT_EQ(S_OK, helper_->GetId(body.Get(), id.Out()));
    EXPECT_EQ(L"body-element", id.Str());

    bool has = false;
    EXPECT_EQ(S_OK, helper_->HasChildNodes(body.Get(), &has));
    EXPECT_TRUE(has);
    vxWebFw::NodeHandle first(helper_.Get()), next(helper_.Get()), back(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetFirstChild(body.Get(), first.Out()));
    ASSERT_EQ(S_OK, helper_->GetNextSibling(first.Get(), next.Out()));
    ASSERT_EQ(S_OK, helper_->GetPreviousSibling(next.Get(), back.Out()));
    bool same = false;
    EXPECT_EQ(S_OK, helper_->IsSameNode(first.Get(), back.Get(), &same));
    EXPECT_TRUE(same);
    EXPECT_EQ(S_OK, helper_->IsSameNode(first.Get(), next.Get(), &same));
    EXPECT_FALSE(same);

    vxWebFw::NodeHandle input = NodeById(native_->Page().FindById(L"a"));
    vxWebFw::NodeHandle rect(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetBoundingClientRect(input.Get(), rect.Out()));
    double top = -1, rectHeight = -1;
    EXPECT_EQ(S_OK, helper_->GetRectTop(rect.Get(), &top));
    EXPECT_EQ(S_OK, helper_->GetRectHeight(rect.Get(), &rectHeight));
    EXPECT_DOUBLE_EQ(270, top); // ninth 30-pixel box
    EXPECT_DOUBLE_EQ(30, rectHeight);
}

TEST_F(NamingPageTest, NullMembersAndWrongKindsGiveUnexpectedWithNullOutputs)
{
    vxWebFw::NodeHandle document = Document();
    vxWebFw::NodeHandle parent(helper_.Get());
    EXPECT_EQ(E_UNEXPECTED, helper_->GetParentNode(document.Get(), parent.Out()));
    EXPECT_EQ(nullptr, parent.Get());

    // A string read of a node member gives the node back to the native object.
    long before = native_->LiveHandles();
    vx::com::BStr text;
    EXPECT_EQ(E_UNEXPECTED, helper_->ReadString(document.Get(), L"body", text.Out()));
    EXPECT_EQ(nullptr, text.Get());
    long number = 7;
    EXPECT_FAILED(helper_->ReadLong(document.Get(), L"body", &number));
    EXPECT_EQ(0, number);
    vxWebFw::NodeHandle notANode(helper_.Get());
    EXPECT_EQ(E_UNEXPECTED, helper_->ReadNode(document.Get(), L"nodeName", notANode.Out()));
    EXPECT_EQ(before, native_->LiveHandles());

    // An ignored call result that is a node is given back as well.
    vxWebFw::NodeHandle div = Element(L"x");
    EXPECT_EQ(S_OK, helper_->Call(div.Get(), L"getBoundingClientRect", nullptr, 0));
    EXPECT_EQ(before + 1, native_->LiveHandles());
}

TEST_F(NamingPageTest, IsInsideWalksParentsAndAnswersFalseAtTheTop)
{
    vxWebFw::NodeHandle body = Element(L"body-element");
    vxWebFw::NodeHandle div = Element(L"x");
    vxWebFw::NodeHandle head = Element(L"head-element");
    bool inside = false;
    EXPECT_EQ(S_OK, helper_->IsInside(div.Get(), body.Get(), &inside));
    EXPECT_TRUE(inside);
    EXPECT_EQ(S_OK, helper_->IsInside(div.Get(), div.Get(), &inside));
    EXPECT_TRUE(inside);
    EXPECT_EQ(S_OK, helper_->IsInside(div.Get(), head.Get(), &inside));
    EXPECT_FALSE(inside);
    EXPECT_EQ(S_OK, helper_->IsInside(body.Get(), div.Get(), &inside));
    EXPECT_FALSE(inside);
}

TEST_F(NamingPageTest, FocusMovesTheActiveElement)
{
    vxWebFw::NodeHandle input = Element(L"a");
    ASSERT_EQ(S_OK, helper_->Focus(input.Get()));
    vxWebFw::NodeHandle document = Document();
    vxWebFw::NodeHandle active(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetActiveElement(document.Get(), active.Out()));
    bool same = false;
    helper_->IsSameNode(active.Get(), input.Get(), &same);
    EXPECT_TRUE(same);
}

namespace {
class ScrollingPageTest : public PageFixture
{
protected:
    void SetUp() override { Load("snapshots/scrolling.json"); } // 3000x4000, captured unscrolled
};
} // namespace

TEST_F(ScrollingPageTest, ScrollToMovesBoundingRectangles)
{
    vxWebFw::NodeHandle window(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetWindowNode(window.Out()));
    vxWebFw::NodeHandle document = Document();
    vxWebFw::NodeHandle body(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetBody(document.Get(), body.Out()));
    vxWebFw::NodeHandle rect(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetBoundingClientRect(body.Get(), rect.Out()));
    double top0 = 0, left0 = 0;
    ASSERT_EQ(S_OK, helper_->GetRectTop(rect.Get(), &top0));
    ASSERT_EQ(S_OK, helper_->GetRectLeft(rect.Get(), &left0));

    ASSERT_EQ(S_OK, helper_->ScrollTo(window.Get(), 500, 1100));
    long x = 0, y = 0;
    EXPECT_EQ(S_OK, helper_->GetScrollX(window.Get(), &x));
    EXPECT_EQ(S_OK, helper_->GetScrollY(window.Get(), &y));
    EXPECT_EQ(500, x);
    EXPECT_EQ(1100, y);
    double top1 = 0, left1 = 0;
    EXPECT_EQ(S_OK, helper_->GetRectTop(rect.Get(), &top1));
    EXPECT_EQ(S_OK, helper_->GetRectLeft(rect.Get(), &left1));
    EXPECT_DOUBLE_EQ(top0 - 1100, top1);
    EXPECT_DOUBLE_EQ(left0 - 500, left1);
}

TEST_F(InlinePageTest, IdAndNameFallBackToAttributes)
{
    vxWebFw::NodeHandle div = NodeById(4);
    vx::com::BStr id;
    EXPECT_EQ(S_OK, helper_->GetIdWithFallback(div.Get(), id.Out()));
    EXPECT_EQ(L"fromAttribute", id.Str());
    vxWebFw::NodeHandle input = NodeById(6);
    vx::com::BStr name;
    EXPECT_EQ(S_OK, helper_->GetNameWithFallback(input.Get(), name.Out()));
    EXPECT_EQ(L"attrName", name.Str());
    // The property wins when it is not empty.
    EXPECT_EQ(S_OK, helper_->GetIdWithFallback(input.Get(), id.Out()));
    EXPECT_EQ(L"lowerText", id.Str());
    // Neither property nor attribute: success with nothing.
    vxWebFw::NodeHandle table = NodeById(5);
    EXPECT_EQ(S_OK, helper_->GetNameWithFallback(table.Get(), name.Out()));
    EXPECT_EQ(nullptr, name.Get());
}

TEST_F(InlinePageTest, DisabledComesFromThePropertyOrTheAttributeWords)
{
    bool disabled = false;
    vxWebFw::NodeHandle input = NodeById(6); // disabled property true
    EXPECT_EQ(S_OK, helper_->IsDisabled(input.Get(), &disabled));
    EXPECT_TRUE(disabled);
    vxWebFw::NodeHandle div = NodeById(4); // no property, attribute ON
    EXPECT_EQ(S_OK, helper_->IsDisabled(div.Get(), &disabled));
    EXPECT_TRUE(disabled);
    vxWebFw::NodeHandle table = NodeById(5); // no property, attribute no
    EXPECT_EQ(S_OK, helper_->IsDisabled(table.Get(), &disabled));
    EXPECT_FALSE(disabled);
}

TEST_F(InlinePageTest, AttributesAndTheExclusionAttribute)
{
    EXPECT_EQ(L"data-vxcr-exclude", std::wstring(helper_->GetExclusionAttributeName()));
    vxWebFw::NodeHandle div = NodeById(4);
    vx::com::BStr value;
    EXPECT_EQ(S_OK, helper_->GetAttribute(div.Get(), L"DISABLED", value.Out()));
    EXPECT_EQ(L"ON", value.Str());
    EXPECT_EQ(S_OK, helper_->GetAttribute(div.Get(), L"missing", value.Out()));
    EXPECT_EQ(nullptr, value.Get());
    // A text-less node has no attributes: still success, nothing read.
    vxWebFw::NodeHandle odd = NodeById(7);
    EXPECT_EQ(S_OK, helper_->GetAttribute(odd.Get(), L"id", value.Out()));
    EXPECT_EQ(nullptr, value.Get());

    bool has = true;
    vxWebFw::NodeHandle script = NodeById(10); // attribute present but empty
    EXPECT_EQ(S_OK, helper_->HasExclusionAttribute(script.Get(), &has));
    EXPECT_FALSE(has);
}

TEST_F(InlinePageTest, DefaultViewNodeIdsAndLiveness)
{
    vxWebFw::NodeHandle document = Document();
    bool has = false;
    EXPECT_EQ(S_OK, helper_->HasDefaultView(document.Get(), &has));
    EXPECT_TRUE(has);
    vxWebFw::NodeHandle div = NodeById(4);
    EXPECT_EQ(S_OK, helper_->HasDefaultView(div.Get(), &has)); // an element has no view
    EXPECT_FALSE(has);

    vx::com::BStr id;
    EXPECT_EQ(S_OK, helper_->GetNodeIdString(div.Get(), id.Out()));
    EXPECT_EQ(L"4", id.Str());

    bool alive = false;
    EXPECT_EQ(S_OK, helper_->IsNodeAlive(div.Get(), &alive));
    EXPECT_TRUE(alive);
    native_->RemoveNode(3);
    EXPECT_EQ(S_OK, helper_->IsNodeAlive(div.Get(), &alive));
    EXPECT_FALSE(alive);
}

TEST_F(InlinePageTest, ReleaseNodeNullsTheHandleAndIgnoresNull)
{
    NodeImpl* node = native_->HandleOf(4);
    long before = native_->LiveHandles();
    EXPECT_EQ(S_OK, helper_->ReleaseNode(node));
    EXPECT_EQ(nullptr, node);
    EXPECT_EQ(before - 1, native_->LiveHandles());
    long releases = native_->SlotCalls(NativeSlot::ReleaseNode);
    EXPECT_EQ(S_OK, helper_->ReleaseNode(node));
    EXPECT_EQ(releases, native_->SlotCalls(NativeSlot::ReleaseNode));
}

TEST(QuickBrowserOptions, DefaultsKeysAndRefusedValues)
{
    CCrQuickBrowserOptions options;
    EXPECT_EQ(3000u, options.RendererCallTimeout());
    EXPECT_EQ(3, options.ObjectModel());
    EXPECT_FALSE(options.PreferName());
    EXPECT_TRUE(options.BrowserSideFlag());
    EXPECT_FALSE(options.MaskRecordedUrls());

    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = 5;
    EXPECT_EQ(E_UNEXPECTED, options.UpdateOption(L"{66F235D3-108D-4961-A923-03333575E40E}", v));
    EXPECT_EQ(3, options.ObjectModel());
    V_I4(&v) = 0;
    EXPECT_EQ(S_OK, options.UpdateOption(L"{66f235d3-108d-4961-a923-03333575e40e}", v));
    EXPECT_EQ(0, options.ObjectModel());
    V_I4(&v) = 1500;
    EXPECT_EQ(S_OK, options.UpdateOption(L"{FB1CAF99-7FA6-447C-B963-D862CA8BFF89}", v));
    EXPECT_EQ(1500u, options.RendererCallTimeout());
    EXPECT_EQ(S_OK, options.UpdateOption(L"{00000000-0000-0000-0000-000000000001}", v)); // unknown key
    EXPECT_EQ(S_OK, options.UpdateOption(L"not a guid", v));

    VARIANT b;
    VariantInit(&b);
    V_VT(&b) = VT_BOOL;
    V_BOOL(&b) = VARIANT_TRUE;
    EXPECT_EQ(S_OK, options.UpdateOption(L"{864E3A4C-B68F-4D37-84A9-3DA543AE07D4}", b));
    EXPECT_TRUE(options.PreferName());

    VARIANT text;
    VariantInit(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"session\n\ntoken\n");
    EXPECT_EQ(S_OK, options.UpdateOption(L"{33C0A94E-7F58-493C-BCCC-91685352F9B4}", text));
    EXPECT_EQ((std::vector<std::wstring>{L"session", L"token"}), options.MaskedUrlParameters());
    VariantClear(&text);

    VARIANT bad;
    VariantInit(&bad);
    V_VT(&bad) = VT_BSTR;
    V_BSTR(&bad) = SysAllocString(L"not a number");
    EXPECT_FAILED(options.UpdateOption(L"{FB1CAF99-7FA6-447C-B963-D862CA8BFF89}", bad));
    EXPECT_EQ(1500u, options.RendererCallTimeout());
    VariantClear(&bad);
}

TEST_F(NamingPageTest, RendererCallsUseTheTimeoutOption)
{
    RunCounter context;
    auto body = &CountRendererRun;
    EXPECT_EQ(S_OK, helper_->RunOnRendererThread(body, &context));
    EXPECT_EQ(1, context.runs);

    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = 30;
    ASSERT_EQ(S_OK, helper_->Options().UpdateOption(L"{FB1CAF99-7FA6-447C-B963-D862CA8BFF89}", v));
    harness::RendererThread::Block busy(native_->Renderer());
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_TIMEOUT), helper_->RunOnRendererThread(body, &context));
}

TEST_F(NamingPageTest, AttachBuildsTheFrameworkObjects)
{
    CCrFwAdapters* a = helper_->Adapters();
    ASSERT_NE(nullptr, a);
    EXPECT_NE(nullptr, a->optionsProvider);
    EXPECT_NE(nullptr, a->nodeLifetime);
    ASSERT_NE(nullptr, a->recognizerSet);
    EXPECT_EQ(a->nodeTypeRecognizer.get(), a->recognizerSet->nodeTypeRecognizer);
    EXPECT_EQ(a->elementTypeRecognizer.get(), a->recognizerSet->elementTypeRecognizer);
    EXPECT_EQ(a->inputElementTypeRecognizer.get(), a->recognizerSet->inputElementTypeRecognizer);
    EXPECT_NE(nullptr, a->domAllWalk);
    EXPECT_NE(nullptr, a->domFramesWalk);
    EXPECT_NE(nullptr, a->nodeAcceptor);
    EXPECT_EQ(0x00C0FFEE, helper_->GetBrowserWindow());
    EXPECT_EQ(L"snapshot http://fixtures.test/naming.html", std::wstring(helper_->GetInfo()));
}

TEST_F(NamingPageTest, FailedReadsBecomeInvokeExceptionsWhereReadsAreChained)
{
    vxWebFw::NodeHandle document = Document();
    vxWebFw::NodeHandle parent(helper_.Get());
    try {
        CheckDomRead(helper_->GetParentNode(document.Get(), parent.Out()), 4101, L"parentNode");
        FAIL() << "a failed read must throw";
    } catch (const vxOpenAppHook::CvxBadHRInvokeException& e) {
        EXPECT_EQ(E_UNEXPECTED, e.Result());
        std::wstring details =
            vxOpenAppHook::CvxBadHRInvokeException::BuildDetails(E_UNEXPECTED, 4101, L"parentNode", nullptr);
        EXPECT_NE(std::wstring::npos, details.find(L"parentNode"));
    }
    EXPECT_NO_THROW(CheckDomRead(S_OK, 4102, L"body"));
}

TEST_F(NamingPageTest, EveryAccessorOnEveryKindOfObjectLeavesNoHandle)
{
    CCrRawBrowserHelper& h = *helper_.Get();
    std::vector<vxWebFw::NodeHandle> objects;
    objects.emplace_back(&h);
    ASSERT_EQ(S_OK, h.GetWindowNode(objects.back().Out()));
    NodeImpl* window = objects.back().Get();
    objects.push_back(Document());
    NodeImpl* document = objects.back().Get();
    objects.push_back(Element(L"a"));
    NodeImpl* input = objects.back().Get();
    objects.push_back(NodeById(native_->Page().documents.at(1).frameElement));
    objects.push_back(Element(L"x"));
    NodeImpl* div = objects.back().Get();
    objects.emplace_back(&h);
    ASSERT_EQ(S_OK, h.GetFirstChild(div, objects.back().Out())); // a text node
    objects.emplace_back(&h);
    ASSERT_EQ(S_OK, h.GetBoundingClientRect(input, objects.back().Out()));
    objects.emplace_back(&h);
    {
        vxWebFw::NodeHandle attributes(&h);
        ASSERT_EQ(S_OK, h.GetAttributes(input, attributes.Out()));
        ASSERT_EQ(S_OK, h.GetAttributesItem(attributes.Get(), 0, objects.back().Out()));
    }
    objects.emplace_back(&h);
    ASSERT_EQ(S_OK, h.GetComputedStyle(window, input, L"", objects.back().Out()));

    const long before = native_->LiveHandles();
    int failures = 0, successes = 0;
    auto count = [&](HRESULT hr) { (SUCCEEDED(hr) ? successes : failures)++; };
    for (const vxWebFw::NodeHandle& object : objects) {
        NodeImpl* n = object.Get();
        auto node = [&](HRESULT (CCrRawBrowserHelper::*read)(NodeImpl*, NodeImpl**)) {
            vxWebFw::NodeHandle out(&h);
            count((h.*read)(n, out.Out()));
        };
        auto text = [&](HRESULT (CCrRawBrowserHelper::*read)(NodeImpl*, BSTR*)) {
            vx::com::BStr out;
            count((h.*read)(n, out.Out()));
        };
        auto number = [&](HRESULT (CCrRawBrowserHelper::*read)(NodeImpl*, long*)) {
            long out = 0;
            count((h.*read)(n, &out));
        };
        auto flag = [&](HRESULT (CCrRawBrowserHelper::*read)(NodeImpl*, bool*)) {
            bool out = false;
            count((h.*read)(n, &out));
        };
        auto real = [&](HRESULT (CCrRawBrowserHelper::*read)(NodeImpl*, double*)) {
            double out = 0;
            count((h.*read)(n, &out));
        };
        using H = CCrRawBrowserHelper;
        for (auto read : {&H::GetDocument,
                          &H::GetDefaultView,
                          &H::GetBody,
                          &H::GetAll,
                          &H::GetActiveElement,
                          &H::GetParentNode,
                          &H::GetChildNodes,
                          &H::GetOwnerDocument,
                          &H::GetPreviousSibling,
                          &H::GetNextSibling,
                          &H::GetFirstChild,
                          &H::GetLastChild,
                          &H::GetAttributes,
                          &H::GetOffsetParent,
                          &H::GetFrameContentDocument,
                          &H::GetIFrameContentDocument,
                          &H::GetContentWindow,
                          &H::GetRows,
                          &H::GetCells,
                          &H::GetBoundingClientRect})
            node(read);
        for (auto read : {&H::GetNodeName, &H::GetNodeValue, &H::GetAttrName, &H::GetAttrValue, &H::GetData,
                          &H::GetTagName, &H::GetId, &H::GetName, &H::GetClassName, &H::GetInnerText, &H::GetHref,
                          &H::GetSrc, &H::GetUseMap, &H::GetType, &H::GetValue, &H::GetText, &H::GetIdWithFallback,
                          &H::GetNameWithFallback, &H::GetNodeIdString})
            text(read);
        for (auto read : {&H::GetInnerWidth, &H::GetInnerHeight, &H::GetScrollX, &H::GetScrollY, &H::GetAllLength,
                          &H::GetTableCollectionLength, &H::GetElementListLength, &H::GetAttributesLength,
                          &H::GetNodeType, &H::GetOffsetLeft, &H::GetOffsetTop, &H::GetClientLeft, &H::GetClientTop,
                          &H::GetCellIndex, &H::GetRowIndex})
            number(read);
        for (auto read : {&H::HasChildNodes, &H::GetAttrSpecified, &H::GetHidden, &H::GetDisabled, &H::IsDisabled,
                          &H::HasExclusionAttribute, &H::HasDefaultView, &H::IsNodeAlive})
            flag(read);
        for (auto read : {&H::GetRectLeft, &H::GetRectTop, &H::GetRectWidth, &H::GetRectHeight})
            real(read);
        {
            vxWebFw::NodeHandle out(&h);
            count(h.GetAllItem(n, 0, out.Out()));
            count(h.GetTableCollectionItem(n, 0, out.Out()));
            count(h.GetElementListItem(n, 0, out.Out()));
            count(h.GetAttributesItem(n, 0, out.Out()));
            count(h.GetNamedItem(n, L"id", out.Out()));
            count(h.ElementFromPoint(n, 10, 10, out.Out()));
            count(h.GetElementsByTagName(n, L"div", out.Out()));
            count(h.GetComputedStyle(n, input, L"", out.Out()));
            vx::com::BStr value;
            count(h.GetPropertyValue(n, L"display", value.Out()));
            count(h.GetAttribute(n, L"class", value.Out()));
            bool inside = false;
            count(h.IsInside(n, document, &inside));
        }
    }
    EXPECT_GT(successes, 100);
    EXPECT_GT(failures, 300);
    EXPECT_EQ(before, native_->LiveHandles());
}
