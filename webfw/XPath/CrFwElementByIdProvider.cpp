#include "webfw/XPath/CrFwElementByIdProvider.h"

#include "platform/com/Variant.h"
#include "quickbrowser/RawBrowserHelper.h"

HRESULT CCrFwElementByIdProvider::GetElementById(NodeImpl* document, const std::wstring& id, NodeImpl** element)
{
    if (!element)
        return E_POINTER;
    *element = nullptr;
    IvxCrNativeChromeObject* native = helper_ ? helper_->GetNative() : nullptr;
    if (!native)
        return E_POINTER;
    LONG member = 0;
    HRESULT hr = helper_->ResolveMember(L"getElementById", &member);
    if (FAILED(hr))
        return hr;
    vx::com::Variant argument;
    V_VT(argument.Get()) = VT_BSTR;
    V_BSTR(argument.Get()) = SysAllocStringLen(id.data(), static_cast<UINT>(id.size()));
    if (!V_BSTR(argument.Get()))
        return E_OUTOFMEMORY;
    DISPPARAMS params = {argument.Get(), nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    hr = native->Invoke(document, member, &params, &result);
    if (V_VT(&result) == VT_PTR) {
        // A node comes back as a handle that is now ours, whatever the HRESULT.
        NodeImpl* node = static_cast<NodeImpl*>(V_BYREF(&result));
        if (FAILED(hr)) {
            if (node)
                native->ReleaseNode(node);
            return hr;
        }
        *element = node;
        return node ? S_OK : S_FALSE;
    }
    VariantClear(&result);
    if (FAILED(hr))
        return hr;
    // Script answers null when no element has the id.
    return V_VT(&result) == VT_NULL || V_VT(&result) == VT_EMPTY ? S_FALSE : E_UNEXPECTED;
}

HRESULT CCrFwElementByIdProvider::GetParentNode(NodeImpl* node, NodeImpl** parent)
{
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    return helper_ ? helper_->GetParentNode(node, parent) : E_POINTER;
}

HRESULT CCrFwElementByIdProvider::GetNodeIdentity(NodeImpl* node, LONG* identity)
{
    if (!identity)
        return E_POINTER;
    *identity = 0;
    IvxCrNativeChromeObject* native = helper_ ? helper_->GetNative() : nullptr;
    return native ? native->GetNodeId(node, identity) : E_POINTER;
}
