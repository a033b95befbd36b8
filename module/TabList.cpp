#include "module/TabList.h"

#include <oleauto.h>

#include <algorithm>
#include <utility>

#include "services/TabGroups.h"

using vx::com::CriticalSectionLock;

namespace {

bool SameUrl(BSTR a, BSTR b)
{
    return VarBstrCmp(a, b, LOCALE_USER_DEFAULT, 0) == static_cast<HRESULT>(VARCMP_EQ);
}

} // namespace

CCrTabList::CCrTabList(vx::com::CriticalSection& lock) : lock_(lock) {}

void CCrTabList::Attach(TabFactory factory, TabSource source)
{
    CriticalSectionLock guard(lock_);
    factory_ = std::move(factory);
    source_ = std::move(source);
}

bool CCrTabList::IsLoaded()
{
    CriticalSectionLock guard(lock_);
    return loaded_;
}

void CCrTabList::EnsureLoaded()
{
    CriticalSectionLock guard(lock_);
    if (loaded_ || !source_)
        return;
    // Read under the lock: a notification handled meanwhile could otherwise
    // be undone by an older list.
    std::vector<TabInfoRecord> records;
    if (FAILED(source_(records)))
        return;
    for (const TabInfoRecord& record : records)
        AddRecord(record);
    Sort();
    RecomputeGroups();
    loaded_ = true;
}

void CCrTabList::OnCreated(const TabInfoRecord& record)
{
    CriticalSectionLock guard(lock_);
    EnsureLoaded();
    AddRecord(record);
    Sort();
    RecomputeGroups();
}

void CCrTabList::OnRemoved(LONG tabId)
{
    Tab removed;
    {
        CriticalSectionLock guard(lock_);
        EnsureLoaded();
        auto found = Find(tabId);
        if (found == tabs_.end())
            return;
        removed = std::move(*found);
        tabs_.erase(found);
        RecomputeGroups();
    }
    removed->Close();
}

CCrTabList::Tab CCrTabList::OnUpdated(const TabInfoRecord& record)
{
    CriticalSectionLock guard(lock_);
    EnsureLoaded();
    auto found = Find(record.tabId);
    if (found == tabs_.end())
        return {};
    const Tab& tab = *found;
    const bool urlChanged = !SameUrl(tab->Url().Get(), record.url.Get());
    tab->SetUrl(record.url.Get());
    Tab startedLoading;
    if (record.loading && !tab->IsLoading())
        startedLoading = tab;
    tab->SetLoading(record.loading);
    if (urlChanged)
        RecomputeGroups();
    return startedLoading;
}

void CCrTabList::OnBrowserRemoved(BSTR browserKey)
{
    for (const Tab& tab : Copy()) {
        if (tab->HoldsBrowserKey(browserKey)) {
            tab->ResetRenderer();
            return;
        }
    }
}

CCrTabList::Tab CCrTabList::FindById(LONG tabId)
{
    CriticalSectionLock guard(lock_);
    auto found = Find(tabId);
    return found == tabs_.end() ? Tab() : *found;
}

CCrTabList::Tab CCrTabList::FindByWindow(HWND window)
{
    EnsureLoaded();
    if (!window)
        return {};
    // Finding a tab's window may ask the renderer or the tabs service: done
    // on a copy, so that notifications are not held up meanwhile.
    const std::vector<Tab> tabs = Copy();
    for (const Tab& tab : tabs) {
        HWND tabWindow = nullptr;
        if (SUCCEEDED(tab->TabWindow(tabWindow)) && tabWindow == window)
            return tab;
    }
    // A hidden tab window has no place on the screen to be found by: its tab
    // knows it once connected to its renderer.
    for (const Tab& tab : tabs) {
        HWND tabWindow = nullptr;
        if (!tab->IsRendererConnected() && SUCCEEDED(tab->ConnectRenderer()) && SUCCEEDED(tab->TabWindow(tabWindow)) &&
            tabWindow == window)
            return tab;
    }
    return {};
}

std::vector<CCrTabList::Tab> CCrTabList::Copy()
{
    CriticalSectionLock guard(lock_);
    return tabs_;
}

std::vector<CCrTabList::Tab> CCrTabList::TakeAll()
{
    CriticalSectionLock guard(lock_);
    loaded_ = false;
    return std::exchange(tabs_, {});
}

void CCrTabList::AddRecord(const TabInfoRecord& record)
{
    auto found = Find(record.tabId);
    if (found != tabs_.end()) {
        (*found)->SetLoading(record.loading);
        (*found)->SetUrl(record.url.Get());
        return;
    }
    Tab tab;
    if (!factory_ || FAILED(factory_(record.tabId, tab)) || !tab)
        return; // a tab that cannot be made is left out
    tab->SetLoading(record.loading);
    tab->SetUrl(record.url.Get());
    tabs_.push_back(std::move(tab));
}

void CCrTabList::Sort()
{
    std::stable_sort(tabs_.begin(), tabs_.end(), [](const Tab& a, const Tab& b) { return a->TabId() < b->TabId(); });
}

void CCrTabList::RecomputeGroups()
{
    std::vector<vx::com::BStr> urls;
    urls.reserve(tabs_.size());
    for (const Tab& tab : tabs_)
        urls.push_back(tab->Url());
    std::vector<BSTR> borrowed;
    borrowed.reserve(urls.size());
    for (const vx::com::BStr& url : urls)
        borrowed.push_back(url.Get());
    std::vector<TabGroup> groups = ComputeTabGroups(borrowed);
    for (size_t i = 0; i < tabs_.size(); ++i)
        tabs_[i]->SetGroup(groups[i].index, groups[i].grouped);
}

std::vector<CCrTabList::Tab>::iterator CCrTabList::Find(LONG tabId)
{
    return std::find_if(tabs_.begin(), tabs_.end(), [tabId](const Tab& tab) { return tab->TabId() == tabId; });
}
