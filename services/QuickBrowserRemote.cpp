#include "services/QuickBrowserRemote.h"

#include "openapphook/DispHelper.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;
using vx::com::Variant;

HRESULT CCrQuickBrowserRemote::Initialize(IDispatch* quickBrowser)
{
    if (!quickBrowser)
        return E_POINTER;
    GlobalInterfaceCookie cookie;
    HRESULT hr = cookie.Register(quickBrowser, IID_IDispatch);
    if (FAILED(hr))
        return hr;
    CriticalSectionLock guard(objectLock_);
    cookie_ = std::move(cookie);
    return S_OK;
}

void CCrQuickBrowserRemote::Disconnect()
{
    GlobalInterfaceCookie released;
    {
        CriticalSectionLock guard(objectLock_);
        released = std::move(cookie_);
    }
}

bool CCrQuickBrowserRemote::IsConnected()
{
    CriticalSectionLock guard(objectLock_);
    return !cookie_.Empty();
}

HRESULT CCrQuickBrowserRemote::Fetch(ComPtr<IDispatch>& quickBrowser)
{
    CriticalSectionLock guard(objectLock_);
    return cookie_.Fetch(quickBrowser);
}

HRESULT CCrQuickBrowserRemote::UpdateOption(BSTR optionKey, const VARIANT& optionValue)
{
    ComPtr<IDispatch> quickBrowser;
    HRESULT hr = Fetch(quickBrowser);
    if (FAILED(hr))
        return hr;
    Variant key;
    V_VT(key.Get()) = VT_BSTR;
    V_BSTR(key.Get()) = SysAllocString(optionKey);
    if (optionKey && !V_BSTR(key.Get()))
        return E_OUTOFMEMORY;
    return vxOpenAppHook::CvxDispHelper(quickBrowser.Get()).InvokeMethod(kUpdateOption, *key, optionValue, nullptr);
}

HRESULT CCrQuickBrowserRemote::GetInBrowserWindow(HWND& window)
{
    window = nullptr;
    ComPtr<IDispatch> quickBrowser;
    HRESULT hr = Fetch(quickBrowser);
    if (FAILED(hr))
        return hr;
    Variant result;
    hr = vxOpenAppHook::CvxDispHelper(quickBrowser.Get()).InvokeMethod(kGetInBrowserWindow, result.Get());
    if (FAILED(hr))
        return hr;
    LONG value = 0;
    switch (result.Type()) {
    case VT_UI4:
        value = static_cast<LONG>(V_UI4(result.Get()));
        break;
    case VT_I4:
        value = V_I4(result.Get());
        break;
    case VT_UINT:
        value = static_cast<LONG>(V_UINT(result.Get()));
        break;
    case VT_INT:
        value = V_INT(result.Get());
        break;
    default:
        return E_UNEXPECTED;
    }
    // Window handles travel as 32-bit values; they sign-extend to 64 bits.
    window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(value));
    return S_OK;
}

HRESULT CCrQuickBrowserRemote::GetPageObjectInformation(VARIANT* information)
{
    if (!information)
        return E_POINTER;
    VariantInit(information);
    ComPtr<IDispatch> quickBrowser;
    HRESULT hr = Fetch(quickBrowser);
    if (FAILED(hr))
        return hr;
    return vxOpenAppHook::CvxDispHelper(quickBrowser.Get()).InvokeMethod(kGetPageObjectInformation, information);
}

HRESULT CCrQuickBrowserRemote::GetObjectInformationFromPointOnTopViewport(LONG x, LONG y, VARIANT* information)
{
    if (!information)
        return E_POINTER;
    VariantInit(information);
    ComPtr<IDispatch> quickBrowser;
    HRESULT hr = Fetch(quickBrowser);
    if (FAILED(hr))
        return hr;
    VARIANT first, second;
    V_VT(&first) = VT_I4;
    V_I4(&first) = x;
    V_VT(&second) = VT_I4;
    V_I4(&second) = y;
    return vxOpenAppHook::CvxDispHelper(quickBrowser.Get())
        .InvokeMethod(kGetObjectInformationFromPoint, first, second, information);
}

HRESULT CCrQuickBrowserRemote::GetFocusedObjectInformation(VARIANT* information)
{
    if (!information)
        return E_POINTER;
    VariantInit(information);
    ComPtr<IDispatch> quickBrowser;
    HRESULT hr = Fetch(quickBrowser);
    if (FAILED(hr))
        return hr;
    return vxOpenAppHook::CvxDispHelper(quickBrowser.Get()).InvokeMethod(kGetFocusedObjectInformation, information);
}
