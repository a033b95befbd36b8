#pragma once
// What a test object needs of the tab it belongs to. The tab (in the layer
// above) implements it; test objects hold it by reference and call it
// without holding any lock of their own.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"

// In-process only: the tab and its test objects live in the browser process
// and the interface carries C++ types.
struct DECLSPEC_NOVTABLE ITestObjectTab : IUnknown
{
    // False once the tab was closed.
    virtual bool IsAlive() = 0;
    // "Cr<id>!" for the Tree model, "Cr<id>Wnd!" for the DOM model.
    virtual vx::com::BStr ObjectNamePrefix(bool treeModel) = 0;
    // Moves on at every renderer reset and at the close.
    virtual LONG ChangeCounter(bool treeModel) = 0;
    // URL, group index and whether the tab is in a group, read together.
    virtual void PageState(vx::com::BStr& url, LONG& groupIndex, bool& grouped) = 0;
    // The tab's Chrome_RenderWidgetHostHWND; E_FAIL when there is none.
    virtual HRESULT TabWindow(HWND& window) = 0;
    // Makes the tab the browser's active tab.
    virtual HRESULT Activate() = 0;
    // True: makes the tab active and gives the tab window the focus; false
    // does nothing.
    virtual HRESULT SetFocused(bool focused) = 0;
    // The page objects the renderer reported, connecting first when needed;
    // S_OK with null when the renderer reported none.
    virtual HRESULT GetPageScriptObject(Microsoft::WRL::ComPtr<IDispatch>& scriptObject) = 0;
    // Without `connectFirst` a tab without renderer connection answers null.
    virtual HRESULT GetPageQuickBrowserObject(Microsoft::WRL::ComPtr<IDispatch>& pageObject, bool connectFirst) = 0;
    // The stub manager of the objects made for this tab.
    virtual Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> ObjectStubManager() = 0;
    // Where calls that make proxies run (null: on the calling thread).
    virtual Microsoft::WRL::ComPtr<IvxCrRemoteServicesSync> Invoker() = 0;

protected:
    ~ITestObjectTab() = default;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ITestObjectTab, 0x2B5F0C41, 0x7E9A, 0x4D63, 0x8C, 0x12, 0x5A, 0x3E, 0x9D, 0x70, 0x1B, 0x64)
#endif
