#pragma once
// The browser's tabs as the browser module keeps them: tab objects in
// ascending order of tab id, filled from the tabs service once and then kept
// up to date by its notifications, with each tab's place among the tabs that
// show the same URL. The list is guarded by the lock given at construction
// (the module's object lock); calls that reach a tab's own lock or another
// process are made after leaving it.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <vector>

#include "platform/com/CriticalSection.h"
#include "services/HookTab.h"
#include "services/TabRecords.h"

class CCrTabList
{
public:
    using Tab = Microsoft::WRL::ComPtr<CCrHookTab>;
    // Makes and initialises the tab object for a tab id not in the list.
    using TabFactory = std::function<HRESULT(LONG tabId, Tab& tab)>;
    // Reads every tab from the tabs service.
    using TabSource = std::function<HRESULT(std::vector<TabInfoRecord>& records)>;

    explicit CCrTabList(vx::com::CriticalSection& lock);
    CCrTabList(const CCrTabList&) = delete;
    CCrTabList& operator=(const CCrTabList&) = delete;

    void Attach(TabFactory factory, TabSource source);

    // Fills the list from the tabs service unless it was filled already; a
    // failure leaves it unfilled, so the next use tries again.
    void EnsureLoaded();
    bool IsLoaded();

    // Notification handlers (run on the module's worker thread).
    void OnCreated(const TabInfoRecord& record);
    // The removed tab is closed after leaving the lock.
    void OnRemoved(LONG tabId);
    // Returns the tab that started loading with this update, if any.
    Tab OnUpdated(const TabInfoRecord& record);
    // Resets the renderer connection of the first tab that holds the key.
    void OnBrowserRemoved(BSTR browserKey);

    Tab FindById(LONG tabId);
    // The tab whose tab window is `window` (fills the list first).
    Tab FindByWindow(HWND window);
    std::vector<Tab> Copy();
    // Empties the list and returns what it held (module shutdown).
    std::vector<Tab> TakeAll();

private:
    // All below: called with the lock held.
    void AddRecord(const TabInfoRecord& record);
    void Sort();
    void RecomputeGroups();
    std::vector<Tab>::iterator Find(LONG tabId);

    vx::com::CriticalSection& lock_;
    TabFactory factory_;
    TabSource source_;
    std::vector<Tab> tabs_;
    bool loaded_ = false;
};
