#include "webfw/chrome/CrFwElementByIdProvider.h"

#include "platform/com/Variant.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"

HRESULT CCrFwElementByIdProvider::GetElementById(NodeImpl* document, const std::wstring& id, NodeImpl** element)
{
    if (!element)
        return E_POINTER;
    *element = nullptr;
    if (!helper_)
        return E_POINTER;
    vx::com::Variant argument;
    V_VT(argument.Get()) = VT_BSTR;
    V_BSTR(argument.Get()) = SysAllocStringLen(id.data(), static_cast<UINT>(id.size()));
    if (!V_BSTR(argument.Get()))
        return E_OUTOFMEMORY;
    // Script answers null when no element has the id (S_FALSE).
    return helper_->CallForOptionalNode(document, L"getElementById", argument.Get(), 1, element);
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
