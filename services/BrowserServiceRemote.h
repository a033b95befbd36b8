#pragma once
// The browser-process side of the browser service published by the product's
// Chrome component: which renderer connection serves a tab, the renderer's
// quick browser for a connection, and notice when a connection goes away.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"
#include "services/ServiceConnection.h"

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

protected:
    ~CCrBrowserServiceRemote() override;

private:
    CCrServiceConnection connection_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<IvxCrRemoteServicesSync> invoker_;
    Microsoft::WRL::ComPtr<IvxCrBrowserServiceRemoteCallback> callback_;
};
