#pragma once
// A captured page behind a CCrRawBrowserHelper with a stub manager (the
// registry the result objects join), evaluated through the renderer-side
// XPath entry. Expected values are computed from the snapshot's own node
// table, not from the code under test.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "harness/nativeobject/SnapshotNativeObject.h"
#include "openapphook/HookObjectWithMonikerAndInstance.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwXPathEvaluation.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwNativeModel.h"
#include "tests/support/PagePath.h"

namespace xpathtests {

inline std::wstring SnapshotPath(const std::string& relative)
{
    return testsupport::PagePath(relative);
}

// Reads a property of an automation object by DISPID or by name.
inline HRESULT GetProperty(IDispatch* object, DISPID id, VARIANT* value)
{
    DISPPARAMS none = {};
    VariantInit(value);
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
}

inline std::wstring StringProperty(IDispatch* object, DISPID id)
{
    vx::com::Variant value;
    if (FAILED(GetProperty(object, id, value.Get())) || value.Type() != VT_BSTR || !V_BSTR(value.Get()))
        return L"";
    return V_BSTR(value.Get());
}

inline std::wstring StringProperty(IDispatch* object, const wchar_t* name)
{
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        return L"<no member>";
    return StringProperty(object, id);
}

// The description of this thread's COM error information.
inline std::wstring ThreadErrorDescription()
{
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info)
        return L"<no error info>";
    vx::com::BStr description;
    info->GetDescription(description.Out());
    return description.Str();
}

// The Chrome native-model providers the XPath navigator reads a page
// through, made over a helper's adapters as the renderer-side entry makes them.
struct ChromeProviders
{
    explicit ChromeProviders(CCrRawBrowserHelper* helper)
        : ChromeProviders(helper, helper->Adapters()->nodeLifetime.get())
    {
    }
    ChromeProviders(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime)
        : nodeData(helper, lifetime), attributes(helper, lifetime), attributeData(helper), frames(helper, lifetime),
          iframes(helper, lifetime)
    {
    }

    CCrFwNodeDataProvider nodeData;
    CCrFwNodeAttributesProvider attributes;
    CCrFwAttributeDataProvider attributeData;
    CCrFwFrameDocumentProvider frames;
    CCrFwIFrameDocumentProvider iframes;
};

} // namespace xpathtests

class XPathPageFixture : public ::testing::Test
{
protected:
    static constexpr const wchar_t* kObjectModelKey = L"{66F235D3-108D-4961-A923-03333575E40E}";

    void Load(const std::string& snapshot) { LoadFile(xpathtests::SnapshotPath(snapshot)); }

    // A snapshot anywhere, by its path as this program sees it.
    void LoadFile(const std::wstring& path)
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(native_, harness::SnapshotPage::Load(path))));
        ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(stubs_)));
        ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(helper_)));
        ASSERT_EQ(S_OK, helper_->AttachNative(static_cast<vxOpenAppHook::IStubManager*>(stubs_.Get()), native_.Get(),
                                              CreateCrFwAdapters));
        startHandles_ = native_->LiveHandles();
    }

    void TearDown() override
    {
        if (native_) {
            EXPECT_EQ(startHandles_, native_->LiveHandles()) << "node handles left behind";
            EXPECT_EQ(0, native_->Faults()) << "unknown or released handles passed to the native object";
        }
        helper_.Reset();
        stubs_.Reset();
        native_.Reset();
    }

    void UseObjectModel(long model)
    {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = model;
        ASSERT_EQ(S_OK, helper_->Options().UpdateOption(kObjectModelKey, v));
    }

    // The page's document, reached from its window.
    vxWebFw::NodeHandle Document()
    {
        vxWebFw::NodeHandle window(helper_.Get());
        EXPECT_EQ(S_OK, helper_->GetWindowNode(window.Out()));
        vxWebFw::NodeHandle document(helper_.Get());
        EXPECT_EQ(S_OK, helper_->GetDocument(window.Get(), document.Out()));
        return document;
    }

    // Evaluates on this thread (the stand-in answers on any thread).
    HRESULT Evaluate(const wchar_t* expression, vx::com::Variant& result, const wchar_t* prefix = L"Pfx")
    {
        vx::com::BStr text(expression);
        vx::com::BStr monikerPrefix(prefix);
        return vxWebFw::XPath::CrFwEvaluateXPath(helper_.Get(), text.Get(), monikerPrefix.Get(), result.Out());
    }

    // Clears a result and checks that the evaluation and its result objects
    // gave every node handle back.
    void ExpectHandlesBackAfter(vx::com::Variant& result)
    {
        result.Out();
        EXPECT_EQ(startHandles_, native_->LiveHandles()) << "node handles left behind by the evaluation";
        EXPECT_EQ(0, native_->Faults());
    }

    static std::vector<VARIANT*> Elements(vx::com::Variant& result)
    {
        std::vector<VARIANT*> out;
        if (result.Type() != (VT_ARRAY | VT_VARIANT))
            return out;
        SAFEARRAY* array = V_ARRAY(result.Get());
        LONG lower = 0, upper = -1;
        SafeArrayGetLBound(array, 1, &lower);
        SafeArrayGetUBound(array, 1, &upper);
        EXPECT_EQ(0, lower);
        for (LONG i = lower; i <= upper; ++i)
            out.push_back(static_cast<VARIANT*>(array->pvData) + i);
        return out;
    }

    static std::wstring Moniker(VARIANT* element)
    {
        if (V_VT(element) != VT_DISPATCH || !V_DISPATCH(element))
            return L"<not an object>";
        return xpathtests::StringProperty(V_DISPATCH(element),
                                          vxOpenAppHook::CHookObjectWithMonikerAndInstance::DispIdMoniker);
    }

    static Microsoft::WRL::ComPtr<IDispatch> Instance(VARIANT* element)
    {
        Microsoft::WRL::ComPtr<IDispatch> instance;
        vx::com::Variant value;
        if (V_VT(element) == VT_DISPATCH && V_DISPATCH(element) &&
            SUCCEEDED(xpathtests::GetProperty(
                V_DISPATCH(element), vxOpenAppHook::CHookObjectWithMonikerAndInstance::DispIdInstance, value.Get())) &&
            value.Type() == VT_DISPATCH)
            instance = V_DISPATCH(value.Get());
        return instance;
    }

    // Nodes of the snapshot (every document) that satisfy `test`.
    long CountNodes(const std::function<bool(const harness::SnapNode&)>& test)
    {
        long count = 0;
        const harness::SnapshotPage& page = native_->Page();
        for (long id = 1; id <= page.NodeCount(); ++id)
            if (test(page.Node(id)))
                ++count;
        return count;
    }

    std::wstring NodeName(const harness::SnapNode& node) { return native_->Page().StringProp(node.id, L"nodeName"); }

    static const std::wstring* Attribute(const harness::SnapNode& node, const wchar_t* name)
    {
        for (const auto& attribute : node.attrs)
            if (attribute.first == name)
                return &attribute.second;
        return nullptr;
    }

    std::wstring IdOf(const wchar_t* elementId)
    {
        long id = native_->Page().FindById(elementId);
        EXPECT_NE(0, id);
        return std::to_wstring(id);
    }

    Microsoft::WRL::ComPtr<harness::SnapshotNativeObject> native_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubs_;
    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> helper_;
    long startHandles_ = 0;
};
