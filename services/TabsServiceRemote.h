#pragma once
// The browser-process side of the tabs service published by the product's
// Chrome component: the tab list, navigation, activation and the content
// rectangle of a tab, and the tab notifications (created, removed, updated).
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <vector>

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"
#include "services/ServiceConnection.h"
#include "services/ServiceNotifiers.h"
#include "services/TabRecords.h"

class CCrTabsServiceRemote : public vx::com::ComObject<CCrTabsServiceRemote, IUnknown>
{
public:
    CCrTabsServiceRemote();

    // Keeps the module's stub manager, its synchronous invoker and the
    // callback that receives the parsed tab notifications.
    HRESULT Initialize(vxOpenAppHook::CStubManager* stubManager, IvxCrRemoteServicesSync* invoker,
                       IvxCrTabsServiceRemoteCallback* callback);
    // Unregisters the notifier (tabs registration DISPID 1, through the
    // invoker), revokes both cookies and drops the callback. Safe twice.
    void Uninitialize();

    // Tabs DISPID 1: the whole tab list, strictly parsed.
    HRESULT GetTabList(std::vector<TabInfoRecord>& tabs);
    // Tabs DISPID 5: navigate the tab.
    HRESULT Navigate(LONG tabId, BSTR url);
    // Tabs DISPID 6: activate the tab.
    HRESULT Activate(LONG tabId);
    // Tabs DISPID 7 with (tab id, -1): the tab's content rectangle in screen
    // pixels as (left, top, right, bottom).
    HRESULT GetTabRectangle(LONG tabId, RECT& rectangle);

    // Connects when needed; true when the service answers.
    bool IsConnected();

    // Called once for every connection dropped because the publishing
    // process has ended (a call failed with the error of a gone server): the
    // tabs known so far belonged to that browser. The next use connects to
    // a browser published again. Cleared by Uninitialize.
    void SetPublisherGoneHandler(std::function<void()> handler);

    // Called by the tabs notifier (any thread) with parsed records: forward
    // to the callback.
    void OnTabCreated(const TabInfoRecord& record);
    void OnTabRemoved(LONG tabId);
    void OnTabUpdated(const TabInfoRecord& record);

    // Tabs service: DISPID 32 registers the notifier (the result is the tabs
    // registration), 1 gives the tab list, 5 navigates, 6 activates, 7 gives
    // a tab's content rectangle. Tabs registration: DISPID 1 unregisters.
    static constexpr DISPID kRegisterNotifierDispid = 32;
    static constexpr DISPID kTabListDispid = 1;
    static constexpr DISPID kNavigateDispid = 5;
    static constexpr DISPID kActivateDispid = 6;
    static constexpr DISPID kTabRectangleDispid = 7;
    static constexpr DISPID kUnregisterDispid = 1;

protected:
    ~CCrTabsServiceRemote() override;

private:
    // The service, connected (with the notifier registration) when needed.
    HRESULT EnsureService(Microsoft::WRL::ComPtr<IDispatch>& service, DWORD& serviceCookie);
    // Passes `hr` on; when it says the publisher has gone, drops the
    // connection identified by `serviceCookie` (if still held) and calls the
    // publisher-gone handler.
    HRESULT CheckPublisher(HRESULT hr, DWORD serviceCookie);
    // Runs on the invoker inside the rendezvous: a new notifier handed to
    // DISPID 32 (`made` when it succeeded).
    HRESULT RegisterNotifier(IDispatch* service, vxOpenAppHook::CStubManager* stubManager,
                             Microsoft::WRL::ComPtr<IDispatch>& registration,
                             Microsoft::WRL::ComPtr<CCrTabsNotifierRemote>& made);
    // Takes a notifier off the list and cuts it off.
    void DropNotifier(CCrTabsNotifierRemote* notifier);
    void DetachNotifiers();
    bool IsClosed();
    Microsoft::WRL::ComPtr<IvxCrTabsServiceRemoteCallback> Callback();

    CCrServiceConnection connection_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<IvxCrRemoteServicesSync> invoker_;
    bool closed_ = false;

    // The callback and every notifier handed out (so that each one's
    // reference back to this object is cut at Uninitialize) have a lock of
    // their own, taken by notifications on the service's threads.
    vx::com::CriticalSection notifierLock_;
    Microsoft::WRL::ComPtr<IvxCrTabsServiceRemoteCallback> callback_;
    std::function<void()> publisherGone_;
    std::vector<Microsoft::WRL::ComPtr<CCrTabsNotifierRemote>> notifiers_;
};
