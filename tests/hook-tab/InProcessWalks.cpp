#include "InProcessWalks.h"

#include "generated/vxCrHook.h"
#include "harness/nativeobject/SnapshotNativeObject.h"
#include "platform/com/Variant.h"
#include "quickbrowser/objects/RendererCall.h"
#include "tests/support/PagePath.h"
#include "webfw/TreeModel/TreeItemTypes.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwEnumerators.h"

#include <gtest/gtest.h>

using Microsoft::WRL::ComPtr;
using testsupport::PagePath;

namespace hook_tab_tests {
namespace {

class Recorder : public vxWebFw::DOMModel::IDOMAllBuilder
{
public:
    explicit Recorder(harness::SnapshotNativeObject* native) : native_(native) {}
    HRESULT Clear() override { return S_OK; }
    HRESULT Add(vxWebFw::Recognizing::RecognizedNode& node, const VARIANT& id) override
    {
        vx::com::Variant text;
        VariantChangeType(text.Get(), const_cast<VARIANT*>(&id), 0, VT_BSTR);
        all.emplace_back(std::to_wstring(native_->NodeIdOf(node.GetNode())),
                         std::wstring(V_BSTR(text.Get()), SysStringLen(V_BSTR(text.Get()))));
        return S_OK;
    }
    std::vector<std::pair<std::wstring, std::wstring>> all;

private:
    harness::SnapshotNativeObject* native_;
};

} // namespace

std::vector<std::pair<std::wstring, std::wstring>> InProcessAll(const std::string& snapshot)
{
    ComPtr<harness::SnapshotNativeObject> native;
    EXPECT_EQ(S_OK, vx::com::CreateComObject(native, harness::SnapshotPage::Load(PagePath(snapshot))));
    ComPtr<CCrRawBrowserHelper> accessor;
    EXPECT_EQ(S_OK, vx::com::CreateComObject(accessor));
    EXPECT_EQ(S_OK, accessor->AttachNative(nullptr, native.Get(), CreateCrFwAdapters));
    Recorder recorder(native.Get());
    EXPECT_EQ(S_OK, vxCrQuickBrowser::RunOnRenderer(accessor.Get(), [&] {
                  CCrFwAdapters& adapters = *accessor->Adapters();
                  vxWebFw::NodeHandle document(accessor.Get(), native->HandleOf(native->Page().documents[0].node));
                  CCrFwDocumentAllEnumerator all(accessor.Get(), adapters.nodeLifetime.get(), document.Get());
                  return adapters.domAllWalk->DomAllBuild(all, recorder, adapters.nodeAcceptor.get());
              }));
    return recorder.all;
}

// Node numbers and categories of the Tree model's first level (below the
// body) of the in-process walk on the same page.
namespace {

class TreeRecorder : public vxWebFw::TreeModel::ITreeItemsBuilder
{
public:
    explicit TreeRecorder(harness::SnapshotNativeObject* native) : native_(native) {}
    HRESULT Clear() override { return S_OK; }
    HRESULT AddItem(NodeImpl* node, bool, vxWebFw::TreeModel::TreeItemType, const VARIANT&) override
    {
        return Record(node, crqbotTreeItem);
    }
    HRESULT AddFrame(NodeImpl* node, bool, const VARIANT&) override { return Record(node, crqbotTreeFrame); }
    HRESULT AddCell(NodeImpl* node, bool, const VARIANT&, long, long) override { return Record(node, crqbotTreeCell); }
    std::vector<std::pair<std::wstring, ULONG>> items;

private:
    HRESULT Record(NodeImpl* node, ULONG kind)
    {
        items.emplace_back(std::to_wstring(native_->NodeIdOf(node)), kind);
        return S_OK;
    }
    harness::SnapshotNativeObject* native_;
};

} // namespace

std::vector<std::pair<std::wstring, ULONG>> InProcessTreeLevel(const std::string& snapshot)
{
    ComPtr<harness::SnapshotNativeObject> native;
    EXPECT_EQ(S_OK, vx::com::CreateComObject(native, harness::SnapshotPage::Load(PagePath(snapshot))));
    ComPtr<CCrRawBrowserHelper> accessor;
    EXPECT_EQ(S_OK, vx::com::CreateComObject(accessor));
    EXPECT_EQ(S_OK, accessor->AttachNative(nullptr, native.Get(), CreateCrFwAdapters));
    TreeRecorder recorder(native.Get());
    const harness::SnapValue* body = native->Page().Prop(native->Page().documents[0].node, L"body");
    EXPECT_EQ(S_OK, vxCrQuickBrowser::RunOnRenderer(accessor.Get(), [&] {
                  CCrFwAdapters& adapters = *accessor->Adapters();
                  vxWebFw::NodeHandle parent(accessor.Get(), native->HandleOf(body ? body->ref : 0));
                  return adapters.treeItemsBuild->BuildChildren(parent.Get(), recorder, adapters.nodeAcceptor.get());
              }));
    return recorder.items;
}

} // namespace hook_tab_tests
