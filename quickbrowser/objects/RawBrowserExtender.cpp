#include "quickbrowser/objects/RawBrowserExtender.h"

#include "quickbrowser/objects/QuickBrowser.h"
#include "webfw/chrome/CrFwAdapters.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace vxCrQuickBrowser {

HRESULT CCrRawBrowserExtender::Initialize(IUnknown* rawBrowser)
{
    if (!rawBrowser)
        return E_POINTER;
    ComPtr<IvxCrNativeChromeObject> native;
    HRESULT hr =
        rawBrowser->QueryInterface(__uuidof(IvxCrNativeChromeObject), reinterpret_cast<void**>(native.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    ComPtr<vxOpenAppHook::CStubManager> manager;
    hr = vx::com::CreateComObject(manager);
    if (FAILED(hr))
        return hr;
    CriticalSectionLock hold(objectLock_);
    rawBrowser_ = std::move(native);
    stubManager_ = std::move(manager);
    return S_OK;
}

STDMETHODIMP CCrRawBrowserExtender::GetQuickBrowser(IDispatch** result) noexcept
try {
    if (!result)
        return E_POINTER;
    *result = nullptr;
    ComPtr<vxOpenAppHook::CStubManager> manager;
    ComPtr<IvxCrNativeChromeObject> native;
    {
        CriticalSectionLock hold(objectLock_);
        manager = stubManager_;
        native = rawBrowser_;
    }
    if (!manager || !native)
        return CO_E_OBJNOTCONNECTED;
    ComPtr<CCrRawBrowserHelper> accessor;
    HRESULT hr = vx::com::CreateComObject(accessor);
    if (FAILED(hr))
        return hr;
    hr = accessor->AttachNative(static_cast<vxOpenAppHook::IStubManager*>(manager.Get()), native.Get(),
                                &CreateCrFwAdapters);
    if (FAILED(hr))
        return hr;
    ComPtr<CCrQuickBrowser> quickBrowser;
    hr = vx::com::CreateComObject(quickBrowser);
    if (FAILED(hr))
        return hr;
    hr = quickBrowser->Init(accessor.Get());
    if (FAILED(hr))
        return hr;
    return quickBrowser->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(result));
}
VX_COM_CATCH

STDMETHODIMP CCrRawBrowserExtender::Shutdown() noexcept
try {
    ComPtr<vxOpenAppHook::CStubManager> manager;
    ComPtr<IvxCrNativeChromeObject> native;
    {
        CriticalSectionLock hold(objectLock_);
        manager = std::move(stubManager_);
        native = std::move(rawBrowser_);
    }
    if (manager)
        manager->DisconnectAll();
    return S_OK;
}
VX_COM_CATCH

void CCrRawBrowserExtender::SetStubManagerTiming(const vxOpenAppHook::StubManagerTiming& timing)
{
    CriticalSectionLock hold(objectLock_);
    if (stubManager_)
        stubManager_->SetTiming(timing);
}

} // namespace vxCrQuickBrowser
