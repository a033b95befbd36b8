#pragma once
// The browser-process side of the browser service published by the product's
// Chrome component: which renderer connection serves a tab, the renderer's
// quick browser for a connection, and notice when a connection goes away.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"
#include "services/ServiceConnection.h"
#include "services/ServiceNotifiers.h"

// The path handed to the browser service when registering for its events:
// the folder of the module that holds this code + "\vxCrHook.dll".
std::wstring CrHookLibraryPath();

// {240CA50C-4EFF-418F-BCB0-5C7BB51385B6}
class DECLSPEC_UUID("240CA50C-4EFF-418F-BCB0-5C7BB51385B6") CCrBrowserServiceRemote
    : public vx::com::ComObject<CCrBrowserServiceRemote, IUnknown>
{
public:
    CCrBrowserServiceRemote();

    // Keeps the module's stub manager, its synchronous invoker and the
    // callback that hears of removed renderer connections.
    HRESULT Initialize(vxOpenAppHook::CStubManager* stubManager, IvxCrRemoteServicesSync* invoker,
                       IvxCrBrowserServiceRemoteCallback* callback);
    // Switches the notifications off (events registration DISPID 2 with
    // false, through the invoker), revokes both cookies and drops the
    // callback. Safe to call twice.
    void Uninitialize();

    // Browser service DISPID 5: the browser key of the renderer connection
    // that serves the tab. E_UNEXPECTED for a result that is not a string.
    HRESULT GetBrowserKey(LONG tabId, vx::com::BStr& key);

    // Events registration DISPID 1: the renderer's quick browser for a key.
    // Connects the browser events first when no registration is held. Call on
    // the synchronous invoker: the proxy returned belongs to its apartment.
    HRESULT GetRendererQuickBrowser(BSTR key, Microsoft::WRL::ComPtr<IDispatch>& quickBrowser);

    bool IsConnected();

    // Called by the events notifier (any thread): forwards to the callback.
    void OnRemoveBrowser(BSTR key);

    // Browser service: DISPID 33 registers the events notifier, DISPID 5
    // gives a tab's browser key. Events registration: DISPID 1 gives the
    // renderer's quick browser, DISPID 2 switches the notifications on or off.
    static constexpr DISPID kRegisterEventsDispid = 33;
    static constexpr DISPID kBrowserKeyDispid = 5;
    static constexpr DISPID kQuickBrowserDispid = 1;
    static constexpr DISPID kEnableEventsDispid = 2;

protected:
    ~CCrBrowserServiceRemote() override;

private:
    // The service (liveness checked) and its events registration, made on
    // the invoker when none is held.
    HRESULT EnsureEvents(Microsoft::WRL::ComPtr<IDispatch>& service, Microsoft::WRL::ComPtr<IDispatch>& registration);
    // Runs on the invoker: a new notifier handed to DISPID 33.
    HRESULT RegisterEventsNotifier(IDispatch* service, Microsoft::WRL::ComPtr<IDispatch>& registration);
    // Events-registration DISPID 2 with false, through the invoker; failures
    // are ignored (the publisher may be gone).
    void SwitchEventsOff();
    void DetachNotifiers();
    bool IsClosed();

    CCrServiceConnection connection_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<IvxCrRemoteServicesSync> invoker_;
    bool closed_ = false;

    // The callback and every notifier handed out (so that each one's
    // reference back to this object is cut at Uninitialize) have a lock of
    // their own: notifications may arrive while a connecting thread holds the
    // object lock and waits for the invoker.
    vx::com::CriticalSection notifierLock_;
    Microsoft::WRL::ComPtr<IvxCrBrowserServiceRemoteCallback> callback_;
    std::vector<Microsoft::WRL::ComPtr<CCrBrowserEventsNotifier>> notifiers_;
};
