// The native-model adapters and enumerators over captured pages.
#include "InlinePage.h"
#include "PageFixture.h"
#include "webfw/chrome/CrFwEnumerators.h"

using vxWebFw::NativeModel::NodeEnumeratorPtr;

namespace {

class NativeModelTest : public PageFixture
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }

    // Node ids of everything an enumerator yields, releasing each node.
    std::vector<long> Drain(vxWebFw::NativeModel::NodeEnumerator& e, HRESULT* last = nullptr)
    {
        std::vector<long> ids;
        for (int guard = 0; guard < 100000; ++guard) {
            NodeImpl* node = nullptr;
            HRESULT hr = e.Next(&node);
            if (hr != S_OK) {
                if (last)
                    *last = hr;
                break;
            }
            ids.push_back(node ? native_->NodeIdOf(node) : 0);
            if (node)
                e.Release(node);
        }
        return ids;
    }
};

class InlineModelTest : public NativeModelTest
{
protected:
    void SetUp() override { LoadJson(kInlinePage); }
};

} // namespace

TEST_F(NativeModelTest, ChildEnumerationFollowsTheDomAndRestarts)
{
    long bodyId = native_->Page().FindById(L"body-element");
    vxWebFw::NodeHandle body = NodeById(bodyId);
    NodeEnumeratorPtr children;
    ASSERT_EQ(S_OK, Adapters().childNodesProvider->GetChildNodes(body.Get(), children));
    HRESULT last = S_OK;
    EXPECT_EQ(native_->Page().Node(bodyId).children, Drain(*children, &last));
    EXPECT_EQ(S_FALSE, last);
    EXPECT_EQ(S_OK, children->Reset());
    std::vector<long> again = Drain(*children);
    EXPECT_EQ(native_->Page().Node(bodyId).children.size(), again.size());

    // Partway through, the enumerator holds its own copy; destroying it gives that back.
    children->Reset();
    NodeImpl* first = nullptr;
    ASSERT_EQ(S_OK, children->Next(&first));
    // A handle from the enumerator may be released through another provider.
    EXPECT_EQ(S_OK, Adapters().parentNodeProvider->Release(first));
    children.reset();
}

TEST_F(NativeModelTest, NodeWithoutChildrenEndsAtOnce)
{
    vxWebFw::NodeHandle meta = NodeById(6); // META
    NodeEnumeratorPtr children;
    ASSERT_EQ(S_OK, Adapters().childNodesProvider->GetChildNodes(meta.Get(), children));
    NodeImpl* node = nullptr;
    EXPECT_EQ(S_FALSE, children->Next(&node));
    EXPECT_EQ(nullptr, node);
}

TEST_F(NativeModelTest, DocumentAllEnumerationAndItsFailure)
{
    vxWebFw::NodeHandle document = Document();
    native_->RefuseMember(L"all", 1); // before the name is first resolved (and cached)
    CCrFwDocumentAllEnumerator unreadable(helper_.Get(), Adapters().nodeLifetime.get(), document.Get());
    NodeImpl* node = nullptr;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, unreadable.Next(&node));
    EXPECT_EQ(nullptr, node);

    CCrFwDocumentAllEnumerator all(helper_.Get(), Adapters().nodeLifetime.get(), document.Get());
    EXPECT_EQ(native_->Page().Prop(1, L"all")->list, Drain(all));
    EXPECT_EQ(S_FALSE, all.Next(&node)); // stays at the end
}

TEST_F(NativeModelTest, ParentNodeDataAndFrameDocuments)
{
    vxWebFw::NodeHandle div = Element(L"x");
    vxWebFw::NodeHandle parent(helper_.Get());
    ASSERT_EQ(S_OK, Adapters().parentNodeProvider->GetParentNode(div.Get(), parent.Out()));
    EXPECT_EQ(native_->Page().FindById(L"body-element"), native_->NodeIdOf(parent.Get()));

    CCrFwNodeDataProvider data(helper_.Get(), Adapters().nodeLifetime.get());
    vx::com::BStr name;
    EXPECT_EQ(S_OK, data.GetNodeName(div.Get(), name.Out()));
    EXPECT_EQ(L"DIV", name.Str());
    vxWebFw::NodeHandle text(helper_.Get());
    ASSERT_EQ(S_OK, data.GetFirstChild(div.Get(), text.Out()));
    vx::com::BStr value;
    EXPECT_EQ(S_OK, data.GetNodeValue(text.Get(), value.Out()));
    EXPECT_EQ(L"x one", value.Str());
    bool has = true;
    EXPECT_EQ(S_OK, data.HasChildNodes(text.Get(), &has));
    EXPECT_FALSE(has);
    NodeImpl* copy = nullptr;
    ASSERT_EQ(S_OK, data.AddRef(text.Get(), &copy));
    EXPECT_EQ(native_->NodeIdOf(text.Get()), native_->NodeIdOf(copy));
    EXPECT_EQ(S_OK, data.Release(copy));

    // The first IFRAME's document is the captured frame document.
    long iframeId = native_->Page().documents.at(1).frameElement;
    vxWebFw::NodeHandle iframe = NodeById(iframeId);
    CCrFwIFrameDocumentProvider iframes(helper_.Get(), Adapters().nodeLifetime.get());
    NodeImpl* frameDocument = nullptr;
    ASSERT_EQ(S_OK, iframes.GetIFrameDocument(iframe.Get(), &frameDocument));
    EXPECT_EQ(native_->Page().documents.at(1).node, native_->NodeIdOf(frameDocument));
    EXPECT_EQ(S_OK, iframes.Release(frameDocument));
}

TEST_F(NativeModelTest, AttributesInOrderWithNamesAndValues)
{
    vxWebFw::NodeHandle input = Element(L"a");
    CCrFwNodeAttributesProvider provider(helper_.Get(), Adapters().nodeLifetime.get());
    CCrFwAttributeDataProvider data(helper_.Get());
    NodeEnumeratorPtr attributes;
    ASSERT_EQ(S_OK, provider.GetAttributes(input.Get(), true, attributes));
    std::vector<std::wstring> seen;
    NodeImpl* attribute = nullptr;
    while (attributes->Next(&attribute) == S_OK) {
        vx::com::BStr name, value;
        EXPECT_EQ(S_OK, data.GetAttributeName(attribute, name.Out()));
        EXPECT_EQ(S_OK, data.GetAttributeValue(attribute, value.Out()));
        seen.push_back(name.Str() + L"=" + value.Str());
        attributes->Release(attribute);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"class=cell", L"type=text", L"id=a", L"name=b", L"value=a-b"}), seen);
}

TEST_F(InlineModelTest, UnspecifiedAttributesAreSkippedWithOneEmptyAnswer)
{
    // An element whose attributes are all unspecified.
    native_->Page().Node(4).attrSpecified.assign(native_->Page().Node(4).attrs.size(), false);
    vxWebFw::NodeHandle div = NodeById(4);
    CCrFwNodeAttributesProvider provider(helper_.Get(), Adapters().nodeLifetime.get());
    NodeEnumeratorPtr attributes;
    ASSERT_EQ(S_OK, provider.GetAttributes(div.Get(), true, attributes));
    NodeImpl* node = reinterpret_cast<NodeImpl*>(1);
    EXPECT_EQ(S_OK, attributes->Next(&node));
    EXPECT_EQ(nullptr, node);
    EXPECT_EQ(S_FALSE, attributes->Next(&node));

    NodeEnumeratorPtr all;
    ASSERT_EQ(S_OK, provider.GetAttributes(div.Get(), false, all));
    EXPECT_EQ(2u, Drain(*all).size());
}

TEST_F(NativeModelTest, ForwardingEnumeratorPassesEverythingOn)
{
    vxWebFw::NodeHandle body = Element(L"body-element");
    NodeEnumeratorPtr inner;
    ASSERT_EQ(S_OK, Adapters().childNodesProvider->GetChildNodes(body.Get(), inner));
    vxWebFw::NativeModel::CChildNodesEnumerator_del forwarding(std::move(inner));
    std::vector<long> ids = Drain(forwarding);
    EXPECT_EQ(native_->Page().Node(native_->NodeIdOf(body.Get())).children, ids);
    EXPECT_EQ(S_OK, forwarding.Reset());
    EXPECT_EQ(ids, Drain(forwarding));

    vxWebFw::NativeModel::CChildNodesEnumerator_del empty(nullptr);
    NodeImpl* node = nullptr;
    EXPECT_EQ(E_POINTER, empty.Next(&node));
}

TEST_F(NativeModelTest, OptionsProviderReadsTheOptionsRecord)
{
    vxWebFw::Options::IOptionsProvider& options = *Adapters().optionsProvider;
    EXPECT_EQ(3, options.GetObjectModel());
    EXPECT_FALSE(options.GetPreferName());
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = 0;
    helper_->Options().UpdateOption(L"{66F235D3-108D-4961-A923-03333575E40E}", v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = VARIANT_TRUE;
    helper_->Options().UpdateOption(L"{864E3A4C-B68F-4D37-84A9-3DA543AE07D4}", v);
    EXPECT_EQ(0, options.GetObjectModel());
    EXPECT_TRUE(options.GetPreferName());

    vxWebFw::Options::COptionsProviderImpl defaults;
    EXPECT_EQ(3, defaults.GetObjectModel());
    EXPECT_FALSE(defaults.GetPreferName());
}
