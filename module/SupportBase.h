#pragma once
// What every support object of the browser module shares: the module
// reference it holds until the module shuts down, and IvxCrExtender, whose
// Shutdown gives that reference back.
#include <windows.h>
#include <wrl/client.h>

#include "generated/vxCrHook.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"
#include "platform/com/CriticalSection.h"

class CCrHookModule;

// The module reference that every support holds and gives up at shutdown.
class SupportModuleLink
{
public:
    void Attach(CCrHookModule* module);
    void Release() noexcept;
    // The module, or null after the shutdown.
    Microsoft::WRL::ComPtr<CCrHookModule> Module();

private:
    vx::com::CriticalSection lock_;
    Microsoft::WRL::ComPtr<CCrHookModule> module_;
};

template <class Derived, class... Interfaces>
class SupportBase : public vx::com::ComObject<Derived, IvxCrExtender, Interfaces...>
{
public:
    explicit SupportBase(CCrHookModule* module) { link_.Attach(module); }

    STDMETHODIMP Shutdown() noexcept override
    try {
        link_.Release();
        return S_OK;
    }
    VX_COM_CATCH

protected:
    SupportModuleLink link_;
};
