#pragma once
#include <windows.h>

#include "generated/vxOpenAppServices.h"
#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

// Base of the hook modules registered with the host: the module's identity
// (a GUID made at registration) and its registration with the host's module
// registry.
template <class Derived, class... MoreInterfaces>
class CBaseHookModule : public vx::com::ComObject<Derived, IvxModule, MoreInterfaces...>
{
public:
    // IvxModule
    HRESULT STDMETHODCALLTYPE GetModuleGuid(GUID* moduleGuid) override
    {
        if (!moduleGuid)
            return E_POINTER;
        vx::com::CriticalSectionLock guard(this->objectLock_);
        *moduleGuid = moduleGuid_;
        return S_OK;
    }

protected:
    // Makes the module GUID, keeps the registry and registers the module;
    // E_FAIL when the registry refuses it.
    HRESULT RegisterWithHost(IvxModuleRegistry* registry)
    {
        if (!registry)
            return E_POINTER;
        GUID guid;
        HRESULT hr = CoCreateGuid(&guid);
        if (FAILED(hr))
            return hr;
        {
            vx::com::CriticalSectionLock guard(this->objectLock_);
            moduleGuid_ = guid;
            registry_ = registry;
        }
        if (registry->RegisterModule(static_cast<IvxModule*>(this)) == VARIANT_FALSE)
            return E_FAIL;
        return S_OK;
    }

    // Takes the registry reference out under the lock and unregisters the
    // module with it; does nothing when the module was never registered.
    void UnregisterFromHost()
    {
        Microsoft::WRL::ComPtr<IvxModuleRegistry> registry;
        GUID guid;
        {
            vx::com::CriticalSectionLock guard(this->objectLock_);
            registry = std::move(registry_);
            guid = moduleGuid_;
        }
        if (registry)
            registry->UnregisterModule(&guid);
    }

private:
    GUID moduleGuid_ = GUID_NULL;
    Microsoft::WRL::ComPtr<IvxModuleRegistry> registry_;
};

} // namespace vxOpenAppHook
