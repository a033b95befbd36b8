#include "openapphook/HookObjectWithMonikerAndInstance.h"
#include "platform/com/ComBoundary.h"

#include <oleauto.h>

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

HRESULT CHookObjectWithMonikerAndInstance::Create(IStubManager* owner, IDispatch* instance, BSTR moniker,
                                                  IDispatch** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!owner)
        return E_POINTER;
    ComPtr<CHookObjectWithMonikerAndInstance> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (FAILED(hr))
        return hr;
    created->instance_ = instance;
    created->moniker_ =
        vx::com::BStr(moniker ? std::wstring_view(moniker, SysStringLen(moniker)) : std::wstring_view());
    hr = created->registration_.Register(owner, created.Get());
    if (FAILED(hr))
        return hr;
    *object = created.Detach();
    return S_OK;
}

CHookObjectWithMonikerAndInstance::~CHookObjectWithMonikerAndInstance() = default;

STDMETHODIMP CHookObjectWithMonikerAndInstance::GetTypeInfoCount(UINT* count) noexcept
try {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CHookObjectWithMonikerAndInstance::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept
try {
    return E_NOTIMPL;
}
VX_COM_CATCH

STDMETHODIMP CHookObjectWithMonikerAndInstance::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept
try {
    return E_NOTIMPL;
}
VX_COM_CATCH

STDMETHODIMP CHookObjectWithMonikerAndInstance::Invoke(DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS*,
                                                       VARIANT* result, EXCEPINFO*, UINT*) noexcept
try {
    if (!(flags & DISPATCH_PROPERTYGET))
        return E_NOTIMPL;
    if (dispId != DispIdInstance && dispId != DispIdMoniker)
        return E_NOTIMPL;
    if (!result)
        return E_POINTER;
    VariantInit(result);
    CriticalSectionLock guard(objectLock_);
    if (dispId == DispIdInstance) {
        if (!instance_)
            return E_FAIL;
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = ComPtr<IDispatch>(instance_).Detach();
        return S_OK;
    }
    BSTR copy = SysAllocStringLen(moniker_.Get(), moniker_.Length());
    if (!copy)
        return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = copy;
    return S_OK;
}
VX_COM_CATCH

} // namespace vxOpenAppHook
