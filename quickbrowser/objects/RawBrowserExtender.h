#pragma once
// The renderer-side entry: the Chrome component hands it the renderer's
// native object and takes quick browsers from it. Every GetQuickBrowser makes
// a new accessor and quick browser, registered with the extender's own stub
// manager; Shutdown cuts every object handed out off from other processes
// and lets the native object go. After Shutdown, GetQuickBrowser fails with
// CO_E_OBJNOTCONNECTED and makes nothing.
#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"

namespace vxCrQuickBrowser {

class CCrRawBrowserExtender final : public vx::com::ComObject<CCrRawBrowserExtender, IvxCrRawBrowserExtender>
{
public:
    // Keeps the native object (E_NOINTERFACE when `rawBrowser` is none) and
    // a new stub manager.
    HRESULT Initialize(IUnknown* rawBrowser);

    // IvxCrRawBrowserExtender
    STDMETHODIMP GetQuickBrowser(IDispatch** result) noexcept override;
    STDMETHODIMP Shutdown() noexcept override;

    // For tests: shorter disconnect waits.
    void SetStubManagerTiming(const vxOpenAppHook::StubManagerTiming& timing);

private:
    // Fields are copied and swapped under the object lock; every call out
    // happens outside it.
    Microsoft::WRL::ComPtr<IvxCrNativeChromeObject> rawBrowser_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
};

} // namespace vxCrQuickBrowser
