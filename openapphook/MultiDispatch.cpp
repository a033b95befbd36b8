#include "openapphook/MultiDispatch.h"

#include <oleauto.h>

#include <wrl/client.h>

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;

void CMultiDispatchRoot::RegisterInterfaceNode(InterfaceNode* node) noexcept
{
    node->next = head_;
    head_ = node;
}

HRESULT CMultiDispatchRoot::NodeTypeInfo(const InterfaceNode* node, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_POINTER;
    *typeInfo = nullptr;
    // The cell is emptied when the type libraries are released at unload.
    if (!node->cell || !node->cell->typeInfo)
        return E_FAIL;
    *typeInfo = node->cell->typeInfo;
    (*typeInfo)->AddRef();
    return S_OK;
}

HRESULT CMultiDispatchRoot::MultiGetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_INVALIDARG;
    UINT n = 0;
    for (const InterfaceNode* node = head_; node; node = node->next)
        ++n;
    *count = n;
    return S_OK;
}

HRESULT CMultiDispatchRoot::MultiGetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_INVALIDARG;
    *typeInfo = nullptr;
    const InterfaceNode* node = head_;
    for (UINT i = 0; node && i < index; ++i)
        node = node->next;
    if (!node)
        return DISP_E_BADINDEX;
    return NodeTypeInfo(node, typeInfo);
}

HRESULT CMultiDispatchRoot::MultiGetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID, DISPID* dispIds)
{
    HRESULT hr = S_OK;
    for (const InterfaceNode* node = head_; node; node = node->next) {
        ComPtr<ITypeInfo> typeInfo;
        hr = NodeTypeInfo(node, &typeInfo);
        if (FAILED(hr))
            return hr;
        hr = DispGetIDsOfNames(typeInfo.Get(), names, nameCount, dispIds);
        if (hr != DISP_E_UNKNOWNNAME)
            return hr;
    }
    return hr;
}

HRESULT CMultiDispatchRoot::MultiInvoke(IUnknown* via, DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                        VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError)
{
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    for (const InterfaceNode* node = head_; node; node = node->next) {
        ComPtr<IUnknown> target;
        hr = via->QueryInterface(*node->iid, reinterpret_cast<void**>(target.GetAddressOf()));
        if (FAILED(hr))
            return hr;
        ComPtr<ITypeInfo> typeInfo;
        hr = NodeTypeInfo(node, &typeInfo);
        if (FAILED(hr))
            return hr;
        hr = DispInvoke(target.Get(), typeInfo.Get(), dispId, flags, params, result, exceptionInfo, argumentError);
        if (hr != DISP_E_MEMBERNOTFOUND)
            return hr;
    }
    return hr;
}

} // namespace vxOpenAppHook
