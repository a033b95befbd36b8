#include "quickbrowser/objects/QuickBrowserObjectBase.h"

#include <string>

#include "platform/com/BStr.h"
#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"
#include "quickbrowser/InformationRecords.h"
#include "quickbrowser/objects/RendererCall.h"

using Microsoft::WRL::ComPtr;

namespace vxCrQuickBrowser {

HRESULT CCrQuickBrowserObject_Base::Init(CCrRawBrowserHelper* accessor, NodeImpl* node,
                                         IvxCrQuickBrowserObject_Window* parentWindow)
{
    if (!accessor)
        return E_POINTER;
    accessor_ = accessor;
    node_ = vxWebFw::NodeHandle(accessor);
    if (node) {
        HRESULT hr = accessor->CloneNode(node, node_.Out());
        if (FAILED(hr))
            return hr;
    }
    parentWindow_ = parentWindow;
    return registration_.Register(accessor->GetStubManager(), WeakSelf());
}

void CCrQuickBrowserObject_Base::ReleaseHeld() noexcept
{
    CutOffCallers();
    GiveBackOnRenderer(accessor_.Get(), node_, [this]() noexcept { ReleaseOnRenderer(); });
    registration_.Reset();
    parentWindow_.Reset();
    accessor_.Reset();
}

HRESULT CCrQuickBrowserObject_Base::GetPath(BSTR* path)
{
    if (!path)
        return E_POINTER;
    *path = nullptr;
    vx::com::BStr own;
    HRESULT hr = GetOwnId(own.Out());
    if (FAILED(hr))
        return hr;
    vx::com::BStr parent;
    if (parentWindow_) {
        hr = parentWindow_->GetPath(parent.Out());
        if (FAILED(hr))
            return hr;
    }
    if (parent.Empty()) {
        *path = own.Detach();
        return S_OK;
    }
    std::wstring joined(parent.View());
    joined += L'!';
    joined += own.View();
    vx::com::BStr result(joined);
    if (!result.Get())
        return E_OUTOFMEMORY;
    *path = result.Detach();
    return S_OK;
}

HRESULT CCrQuickBrowserObject_Base::GetThisInformation(VARIANT* record)
{
    if (!record)
        return E_POINTER;
    VariantClear(record);
    ObjectThisInformation information;
    HRESULT hr = GetPath(information.identityPath.Out());
    if (FAILED(hr))
        return hr;
    hr = GetScriptDispatch(information.scriptObject.ReleaseAndGetAddressOf());
    if (FAILED(hr))
        return hr;
    information.kind = static_cast<ULONG>(GetObjectKind());
    information.object = ObjectDispatch();
    information.expandable = expandable_;
    hr = GetObjectIdentifier(information.identifier.Out());
    if (FAILED(hr))
        return hr;
    return PackThisInformation(information, record);
}

HRESULT CCrQuickBrowserObject_Base::GetThisLightInformation(VARIANT* record)
{
    if (!record)
        return E_POINTER;
    VariantClear(record);
    vx::com::BStr path;
    HRESULT hr = GetPath(path.Out());
    if (FAILED(hr))
        return hr;
    return PackLightInformation(path.Get(), static_cast<ULONG>(GetObjectKind()), record);
}

HRESULT CCrQuickBrowserObject_Base::GetChildrenInformation(VARIANT* record)
{
    if (!record)
        return E_POINTER;
    VariantClear(record);
    QuickBrowserObjectList children;
    HRESULT hr = GetChildren(children);
    if (FAILED(hr))
        return hr;
    if (children.empty())
        return S_OK;
    vx::com::SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(children.size())));
    if (!array.Get())
        return E_OUTOFMEMORY;
    for (LONG index = 0; index < static_cast<LONG>(children.size()); ++index) {
        vx::com::Variant element;
        if (FAILED(children[static_cast<size_t>(index)]->GetThisInformation(element.Out())))
            continue; // stays VT_EMPTY
        hr = SafeArrayPutElement(array.Get(), &index, element.Get());
        if (FAILED(hr))
            return hr;
    }
    V_VT(record) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(record) = array.Detach();
    return S_OK;
}

HRESULT CCrQuickBrowserObject_Base::GetExists(VARIANT_BOOL* exists)
{
    if (!exists)
        return E_POINTER;
    *exists = VARIANT_FALSE;
    bool alive = false;
    HRESULT hr = IsAlive(&alive);
    if (FAILED(hr))
        return hr;
    *exists = alive ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_Base::NodeScriptObjectEx(const wchar_t* members, IDispatch** script)
{
    vx::com::BStr names(members);
    if (!names.Get())
        return E_OUTOFMEMORY;
    return accessor_->GetNodeScriptObjectEx(node_.Get(), names.Get(), script);
}

ComPtr<CCrQuickBrowserObject_Base> ImplementationOf(IUnknown* object)
{
    ComPtr<CCrQuickBrowserObject_Base> implementation;
    if (object)
        object->QueryInterface(__uuidof(CCrQuickBrowserObject_Base),
                               reinterpret_cast<void**>(implementation.GetAddressOf()));
    return implementation;
}

} // namespace vxCrQuickBrowser
