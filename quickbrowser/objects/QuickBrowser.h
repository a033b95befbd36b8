#pragma once
// The renderer's quick browser: the entry the browser process reaches across
// processes. It hands out the page object's information and finds the
// objects at a point and in focus; the options the browser process pushes
// are kept in the accessor. One per GetQuickBrowser of the extender; every
// page object it makes is new.
#include <windows.h>
#include <oaidl.h>

#include "openapphook/MultiDispatch.h"
#include "openapphook/StubManager.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"

namespace vxCrQuickBrowser {

class CCrQuickBrowser final
    : public vxOpenAppHook::CMultiDispatchObject<CCrQuickBrowser,
                                                 vxOpenAppHook::IDispatchMultiImpl<CCrQuickBrowser, IvxCrQuickBrowser>>
{
public:
    // Keeps the accessor and registers with its stub manager.
    HRESULT Init(CCrRawBrowserHelper* accessor);

    // IvxCrQuickBrowser
    STDMETHODIMP UpdateOption(BSTR optionKey, VARIANT optionValue) noexcept override;
    STDMETHODIMP GetInBrowserWindow(ULONG* value) noexcept override;
    STDMETHODIMP GetPageObjectInformation(VARIANT* value) noexcept override;
    STDMETHODIMP GetObjectInformationFromPointOnTopViewport(LONG x, LONG y, VARIANT* value) noexcept override;
    STDMETHODIMP GetFocusedObjectInformation(VARIANT* value) noexcept override;

    CCrRawBrowserHelper* Accessor() const noexcept { return accessor_.Get(); }

private:
    // Clears `value`, then runs work(accessor, page) on the renderer thread
    // with a new page object on the top window (E_FAIL without one).
    template <class Work>
    HRESULT WithPageObject(VARIANT* value, Work&& work);
    // Light information of the object the search finds (page object when it
    // finds nothing), on the renderer thread.
    HRESULT SearchedObjectInformation(bool atPoint, LONG x, LONG y, VARIANT* value);

    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> accessor_;
    vxOpenAppHook::StubRegistration registration_;
};

} // namespace vxCrQuickBrowser
