#pragma once
// The browser-process side of the tabs service published by the product's
// Chrome component: the tab list, navigation, activation and the content
// rectangle of a tab, and the tab notifications (created, removed, updated).
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <vector>

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"
#include "services/ServiceConnection.h"
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

    // Called by the tabs notifier (any thread) with parsed records: forward
    // to the callback.
    void OnTabCreated(const TabInfoRecord& record);
    void OnTabRemoved(LONG tabId);
    void OnTabUpdated(const TabInfoRecord& record);

protected:
    ~CCrTabsServiceRemote() override;

private:
    CCrServiceConnection connection_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<IvxCrRemoteServicesSync> invoker_;
    Microsoft::WRL::ComPtr<IvxCrTabsServiceRemoteCallback> callback_;
};
