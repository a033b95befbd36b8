#include "testobjects/HookObjectCom.h"

namespace vxCrTestObjects {

HRESULT HookObjectCore::InitializeCore(vxOpenAppHook::IStubManager* stubManager, IUnknown* internalObject,
                                       vx::com::WeaklyHeldObject* self) noexcept
{
    internalObject_ = internalObject;
    HRESULT hr = CoCreateGuid(&key_);
    if (FAILED(hr))
        return hr;
    return registration_.Register(stubManager, self);
}

HRESULT HookObjectCore::InternalObject(IUnknown** out) noexcept
{
    if (!out)
        return E_POINTER;
    *out = internalObject_.Get();
    if (*out)
        (*out)->AddRef();
    return S_OK;
}

} // namespace vxCrTestObjects
