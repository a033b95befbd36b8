#pragma once
// The COM side that every test object shares: IvxObject (the first and
// canonical interface, also answering IID_IDispatch), IovKeyItem and
// IvxObjectInternal, one dispatch space over the registered interfaces, the
// free-threaded marshaler, the identity key and the stub-manager
// registration.
//
// Class Derived (final) derives from HookObjectCom<Derived, Entries...>
// (directly or through PageChildCom / ControlCom) and supplies, by name:
//   HRESULT IdentifierString(BSTR* out);      // out is null on entry
//   HRESULT NativeObject(IDispatch** out);    // out is null on entry
//   HRESULT Exists(bool& exists);
//   HRESULT Moniker(BSTR* out);
//   LONG CreationValue();
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/MultiDispatch.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComBoundary.h"
#include "testobjects/ObjectNaming.h"

namespace vxCrTestObjects {

// The identity of a test object and what its creator gave it.
class HookObjectCore
{
public:
    HookObjectCore() noexcept = default;
    HookObjectCore(const HookObjectCore&) = delete;
    HookObjectCore& operator=(const HookObjectCore&) = delete;

    const GUID& Key() const noexcept { return key_; }

protected:
    ~HookObjectCore() = default;

    // Keeps the internal object, makes the key and registers `self` with the
    // stub manager.
    HRESULT InitializeCore(vxOpenAppHook::IStubManager* stubManager, IUnknown* internalObject,
                           vx::com::WeaklyHeldObject* self) noexcept;
    HRESULT InternalObject(IUnknown** out) noexcept;
    // Leaves the stub manager (at the start of the final release).
    void Unregister() noexcept { registration_.Reset(); }

private:
    GUID key_ = {};
    Microsoft::WRL::ComPtr<IUnknown> internalObject_;
    vxOpenAppHook::StubRegistration registration_;
};

template <class Derived, class... Entries>
class HookObjectCom
    : public HookObjectCore,
      public vxOpenAppHook::CMultiDispatchObject<Derived, vxOpenAppHook::IDispatchMultiImpl<Derived, IvxObject>,
                                                 IovKeyItem, IvxObjectInternal, Entries...>
{
public:
    // IvxObject
    STDMETHODIMP GetIdentifierString(BSTR* identifier) noexcept override
    try {
        if (!identifier)
            return E_POINTER;
        *identifier = nullptr;
        return Self().IdentifierString(identifier);
    }
    VX_COM_CATCH
    STDMETHODIMP GetNativeObject(IDispatch** nativeObject) noexcept override
    try {
        if (!nativeObject)
            return E_POINTER;
        *nativeObject = nullptr;
        return Self().NativeObject(nativeObject);
    }
    VX_COM_CATCH
    STDMETHODIMP GetNativePropertyName(BSTR* propertyName) noexcept override
    try {
        if (!propertyName)
            return E_POINTER;
        *propertyName = SysAllocString(kNativePropertyName);
        return *propertyName ? S_OK : E_OUTOFMEMORY;
    }
    VX_COM_CATCH
    STDMETHODIMP GetExists(VARIANT_BOOL* exists) noexcept override
    try {
        if (!exists)
            return E_POINTER;
        *exists = VARIANT_FALSE;
        bool value = false;
        HRESULT hr = Self().Exists(value);
        if (SUCCEEDED(hr))
            *exists = value ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    }
    VX_COM_CATCH
    STDMETHODIMP GetMoniker(BSTR* moniker) noexcept override
    try {
        if (!moniker)
            return E_POINTER;
        *moniker = nullptr;
        return Self().Moniker(moniker);
    }
    VX_COM_CATCH
    STDMETHODIMP GetCreationValue(LONG* creationValue) noexcept override
    try {
        if (!creationValue)
            return E_POINTER;
        *creationValue = Self().CreationValue();
        return S_OK;
    }
    VX_COM_CATCH

    // IovKeyItem
    STDMETHODIMP GetKey(GUID* key) noexcept override
    try {
        if (!key)
            return E_POINTER;
        *key = Key();
        return S_OK;
    }
    VX_COM_CATCH

    // IvxObjectInternal
    STDMETHODIMP GetInternalObject(IUnknown** internalObject) noexcept override
    try {
        return InternalObject(internalObject);
    }
    VX_COM_CATCH

protected:
    HookObjectCom() noexcept = default;
    ~HookObjectCom() override { Unregister(); }

    Derived& Self() noexcept { return *static_cast<Derived*>(this); }

    HRESULT InitializeBase(vxOpenAppHook::IStubManager* stubManager, IUnknown* internalObject) noexcept
    {
        return InitializeCore(stubManager, internalObject, this);
    }
};

} // namespace vxCrTestObjects
