#pragma once
// The browser-process handle on one renderer's quick browser. The quick
// browser's proxy is kept in the global interface table, so any thread can
// call it; every call goes by DISPID through IDispatch.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "platform/com/ComObject.h"
#include "comhelp/GlobalInterfaceCookie.h"

// {2E989762-ADC6-43F7-877C-A66CDCF7E721}
class DECLSPEC_UUID("2E989762-ADC6-43F7-877C-A66CDCF7E721") CCrQuickBrowserRemote
    : public vx::com::ComObject<CCrQuickBrowserRemote, IUnknown>
{
public:
    // DISPIDs of IvxCrQuickBrowser.
    static constexpr DISPID kUpdateOption = 1;
    static constexpr DISPID kGetInBrowserWindow = 2;
    static constexpr DISPID kGetPageObjectInformation = 3;
    static constexpr DISPID kGetObjectInformationFromPoint = 4;
    static constexpr DISPID kGetFocusedObjectInformation = 5;

    // Keeps the renderer's quick browser in the global interface table.
    HRESULT Initialize(IDispatch* quickBrowser);
    // Revokes the table entry; later calls fail with E_FAIL.
    void Disconnect();
    bool IsConnected();

    HRESULT UpdateOption(BSTR optionKey, const VARIANT& optionValue);
    // The renderer's window in the browser process.
    HRESULT GetInBrowserWindow(HWND& window);
    // This-information of the page's quick-browser object.
    HRESULT GetPageObjectInformation(VARIANT* information);
    // Light information of the object at a point of the top viewport.
    HRESULT GetObjectInformationFromPointOnTopViewport(LONG x, LONG y, VARIANT* information);
    // Light information of the focused object.
    HRESULT GetFocusedObjectInformation(VARIANT* information);

private:
    HRESULT Fetch(Microsoft::WRL::ComPtr<IDispatch>& quickBrowser);

    GlobalInterfaceCookie cookie_;
};
