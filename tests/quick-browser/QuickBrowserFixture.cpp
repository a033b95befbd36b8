#include "QuickBrowserFixture.h"

#include "platform/com/SafeArray.h"
#include "platform/process/ProcessOptions.h"
#include "tests/support/PagePath.h"

namespace qbtests {

std::wstring SnapshotPath(const std::string& relative)
{
    return testsupport::PagePath(relative);
}

void QuickBrowserTest::Load(const std::string& snapshot)
{
    LoadFile(SnapshotPath(snapshot));
}

void QuickBrowserTest::LoadFile(const std::wstring& path)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_TRUE(LoadLibraryTypeInfo());
    ASSERT_EQ(S_OK, vx::com::CreateComObject(native_, harness::SnapshotPage::Load(path)));
    ASSERT_EQ(S_OK, vx::com::CreateComObject(extender_));
    ASSERT_EQ(S_OK, extender_->Initialize(static_cast<IvxCrNativeChromeObject*>(native_.Get())));
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, extender_->GetQuickBrowser(dispatch.GetAddressOf()));
    ASSERT_EQ(S_OK, dispatch.As(&quickBrowser_));
}

void QuickBrowserTest::TearDown()
{
    quickBrowser_.Reset();
    if (extender_)
        EXPECT_EQ(S_OK, extender_->Shutdown());
    extender_.Reset();
    if (native_) {
        EXPECT_EQ(0, native_->LiveHandles()) << "node handles left behind";
        EXPECT_EQ(0, native_->Faults()) << "unknown or released handles passed to the native object";
        EXPECT_EQ(0, native_->OffRendererThreadCalls()) << "DOM calls off the renderer thread";
    }
    native_.Reset();
}

void QuickBrowserTest::UseObjectModel(LONG model)
{
    wchar_t key[64] = {};
    StringFromGUID2(ProcessOptionKeys::ObjectModel, key, 64);
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = model;
    vx::com::BStr keyText(key);
    ASSERT_EQ(S_OK, quickBrowser_->UpdateOption(keyText.Get(), value));
}

ObjectThisInformation QuickBrowserTest::PageInformation()
{
    ObjectThisInformation page;
    vx::com::Variant record;
    EXPECT_EQ(S_OK, quickBrowser_->GetPageObjectInformation(record.Out()));
    EXPECT_EQ(S_OK, ReadThisInformation(*record, page));
    return page;
}

std::vector<ObjectThisInformation> QuickBrowserTest::Children(IDispatch* object)
{
    std::vector<ObjectThisInformation> children;
    ComPtr<IvxCrQuickBrowserObject> parent;
    EXPECT_EQ(S_OK, object->QueryInterface(__uuidof(IvxCrQuickBrowserObject),
                                           reinterpret_cast<void**>(parent.GetAddressOf())));
    if (!parent)
        return children;
    vx::com::Variant record;
    EXPECT_EQ(S_OK, parent->GetChildrenInformation(record.Out()));
    if (record.Type() == VT_EMPTY)
        return children;
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, record.Type());
    if (record.Type() != (VT_ARRAY | VT_VARIANT))
        return children;
    SAFEARRAY* array = V_ARRAY(record.Get());
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(0, lower);
    for (LONG index = lower; index <= upper; ++index) {
        vx::com::Variant element;
        SafeArrayGetElement(array, &index, element.Get());
        ObjectThisInformation child;
        EXPECT_EQ(S_OK, ReadThisInformation(*element, child)) << "child " << index;
        children.push_back(std::move(child));
    }
    return children;
}

ObjectThisInformation QuickBrowserTest::Child(const ObjectThisInformation& parent, const std::wstring& path)
{
    for (ObjectThisInformation& child : Children(parent))
        if (child.identityPath.View() == path)
            return std::move(child);
    ADD_FAILURE() << "no child with path " << std::string(path.begin(), path.end());
    return {};
}

std::wstring QuickBrowserTest::NodePath(const wchar_t* elementId)
{
    return std::to_wstring(NodeIdOf(elementId));
}

ObjectThisInformation QuickBrowserTest::DomElement(const wchar_t* elementId)
{
    ObjectThisInformation page = PageInformation();
    ObjectThisInformation document = Child(page, L"document");
    for (const wchar_t* collection : {L"all", L"frames"}) {
        for (ObjectThisInformation& child : Children(Child(document, collection)))
            if (child.identityPath.View() == NodePath(elementId))
                return std::move(child);
    }
    ADD_FAILURE() << "no DOM object for element " << std::string(elementId, elementId + wcslen(elementId));
    return {};
}

std::wstring QuickBrowserTest::DomPathOfNode(long nodeId)
{
    std::wstring path = std::to_wstring(nodeId);
    for (int doc = native_->Page().Node(nodeId).doc; doc != 0;) {
        const long frameElement = native_->Page().documents.at(static_cast<size_t>(doc)).frameElement;
        path = std::to_wstring(frameElement) + L"!" + path;
        doc = native_->Page().Node(frameElement).doc;
    }
    return path;
}

ObjectThisInformation QuickBrowserTest::DomObjectOfNode(long nodeId)
{
    std::vector<long> frameChain;
    for (int doc = native_->Page().Node(nodeId).doc; doc != 0;) {
        const long frameElement = native_->Page().documents.at(static_cast<size_t>(doc)).frameElement;
        frameChain.insert(frameChain.begin(), frameElement);
        doc = native_->Page().Node(frameElement).doc;
    }
    ObjectThisInformation document = Child(PageInformation(), L"document");
    std::wstring prefix;
    for (long frameElement : frameChain) {
        ObjectThisInformation frame =
            Child(Child(document, prefix + L"frames"), prefix + std::to_wstring(frameElement));
        prefix += std::to_wstring(frameElement) + L"!";
        document = Child(frame, prefix + L"document");
    }
    const std::wstring own = prefix + std::to_wstring(nodeId);
    for (const wchar_t* collection : {L"all", L"frames"})
        for (ObjectThisInformation& child : Children(Child(document, prefix + collection)))
            if (child.identityPath.View() == own)
                return std::move(child);
    ADD_FAILURE() << "no DOM object for node " << nodeId;
    return {};
}

bool QuickBrowserTest::Exists(const ObjectThisInformation& object)
{
    ComPtr<IvxCrQuickBrowserObject> target;
    EXPECT_EQ(S_OK, object.object.As(&target));
    VARIANT_BOOL exists = VARIANT_FALSE;
    EXPECT_EQ(S_OK, target->GetExists(&exists));
    return exists == VARIANT_TRUE;
}

ObjectLightInformation QuickBrowserTest::AtPoint(LONG x, LONG y)
{
    ObjectLightInformation found;
    vx::com::Variant record;
    EXPECT_EQ(S_OK, quickBrowser_->GetObjectInformationFromPointOnTopViewport(x, y, record.Out()));
    EXPECT_EQ(S_OK, ReadLightInformation(*record, found));
    return found;
}

ObjectLightInformation QuickBrowserTest::Focused()
{
    ObjectLightInformation found;
    vx::com::Variant record;
    EXPECT_EQ(S_OK, quickBrowser_->GetFocusedObjectInformation(record.Out()));
    EXPECT_EQ(S_OK, ReadLightInformation(*record, found));
    return found;
}

} // namespace qbtests
