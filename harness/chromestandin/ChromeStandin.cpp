// The stand-in browser process: lifecycle, publishing and the control API.
#include "ChromeStandin.h"

#include <algorithm>
#include <cwchar>

#include "BrowserService.h"
#include "StandinRecords.h"
#include "StandinTabState.h"
#include "TabsService.h"
#include "services/ServiceRendezvous.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;
using vx::com::Variant;

namespace chrome_standin {
namespace {

std::wstring ServiceName(const wchar_t* format, DWORD browserProcessId)
{
    wchar_t name[100] = {};
    std::swprintf(name, 100, format, static_cast<int>(browserProcessId), kServiceVersionMajor, kServiceVersionMinor);
    return name;
}

} // namespace

ChromeStandin::ChromeStandin(const StandinOptions& options)
    : options_(options), link_(std::make_shared<StandinLink>(static_cast<StandinServiceHost*>(this))),
      windows_(options.frame)
{
    ComPtr<chrome_standin::TabsService> tabs;
    ComPtr<chrome_standin::BrowserService> browser;
    if (SUCCEEDED(CreateDispatchObject(tabs, link_)))
        tabsService_ = tabs;
    if (SUCCEEDED(CreateDispatchObject(browser, link_)))
        browserService_ = browser;
}

ChromeStandin::~ChromeStandin()
{
    Shutdown();
}

HRESULT ChromeStandin::Start()
{
    if (!tabsService_ || !browserService_)
        return E_OUTOFMEMORY;
    HRESULT hr = windows_.Start();
    if (FAILED(hr))
        return hr;
    CriticalSectionLock lock(lock_);
    running_ = true;
    return S_OK;
}

HRESULT ChromeStandin::Publish(DWORD browserProcessId)
{
    HRESULT tabsResult = E_FAIL, browserResult = E_FAIL;
    bool ran = runner_.RunAndWait([&] {
        tabsResult = tabsPublisher_.Publish(ServiceName(kTabsServiceNameFormat, browserProcessId), tabsService_.Get());
        browserResult =
            browserPublisher_.Publish(ServiceName(kBrowserServiceNameFormat, browserProcessId), browserService_.Get());
    });
    if (!ran)
        return E_UNEXPECTED;
    if (FAILED(tabsResult) || FAILED(browserResult)) {
        Withdraw();
        return FAILED(tabsResult) ? tabsResult : browserResult;
    }
    return S_OK;
}

void ChromeStandin::Withdraw()
{
    runner_.RunAndWait([&] {
        tabsPublisher_.Withdraw();
        browserPublisher_.Withdraw();
    });
}

void ChromeStandin::Shutdown()
{
    {
        CriticalSectionLock lock(lock_);
        if (!running_ && tabs_.empty() && !tabsService_)
            return;
        running_ = false;
    }
    Withdraw();
    link_->Close(); // waits for service calls in progress; later ones fail
    runner_.RunAndWait([&] {
        std::vector<std::unique_ptr<TabState>> tabs;
        {
            CriticalSectionLock lock(lock_);
            tabs.swap(tabs_);
            activeTab_.reset();
        }
        for (auto& tab : tabs)
            DisconnectRenderer(*tab);
        tabs.clear();
        tabsNotifiers_.RevokeAll();
        browserNotifiers_.RevokeAll();
    });
    runner_.Stop();
    windows_.Stop();
    tabsService_.Reset();
    browserService_.Reset();
}

HRESULT ChromeStandin::OpenTab(LONG tabId, const std::wstring& url, bool loading, bool activate)
{
    HRESULT hr = AddTab(tabId, url, loading, activate);
    if (FAILED(hr) || options_.rendererPage.empty())
        return hr;
    return StartRenderer(tabId, options_.rendererPage);
}

HRESULT ChromeStandin::AddTab(LONG tabId, const std::wstring& url, bool loading, bool activate)
{
    CriticalSectionLock lock(lock_);
    if (!running_)
        return E_UNEXPECTED;
    if (FindTab(tabId))
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    auto tab = std::make_unique<TabState>();
    tab->id = tabId;
    tab->url = url;
    tab->loading = loading;
    tab->navigation = options_.navigation;
    HRESULT hr = windows_.CreateTab(options_.compositorWindows, tab->windows);
    if (FAILED(hr))
        return hr;
    Variant record;
    hr = MakeStandinTabRecord(tabId, loading, url, record.Get());
    if (FAILED(hr)) {
        windows_.DestroyTab(tab->windows);
        return hr;
    }
    tabs_.push_back(std::move(tab));
    NotifyTabs(1, std::move(record));
    if (activate || !activeTab_)
        ActivateTab(tabId);
    return S_OK;
}

HRESULT ChromeStandin::CloseTab(LONG tabId)
{
    CriticalSectionLock lock(lock_);
    auto found = std::find_if(tabs_.begin(), tabs_.end(), [&](const auto& tab) { return tab->id == tabId; });
    if (found == tabs_.end())
        return E_INVALIDARG;
    std::unique_ptr<TabState> tab = std::move(*found);
    tabs_.erase(found);
    DisconnectRenderer(*tab);
    windows_.DestroyTab(tab->windows);
    Variant id;
    V_VT(id.Get()) = VT_I4;
    V_I4(id.Get()) = tabId;
    NotifyTabs(2, std::move(id));
    if (activeTab_ == tabId) {
        activeTab_.reset();
        if (!tabs_.empty())
            ActivateTab(tabs_.front()->id);
    }
    return S_OK;
}

HRESULT ChromeStandin::UpdateTab(LONG tabId, const std::wstring& url, bool loading)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    ++tab->loadSerial;
    tab->url = url;
    tab->loading = loading;
    NotifyTabUpdated(*tab);
    return S_OK;
}

HRESULT ChromeStandin::SetTabLoading(LONG tabId, bool loading)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    return UpdateTab(tabId, tab->url, loading);
}

HRESULT ChromeStandin::ScheduleLoading(LONG tabId, DWORD startAfterMs, LONG stopAfterMs)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    ScheduleLoad(*tab, std::nullopt, static_cast<LONG>(startAfterMs), stopAfterMs);
    return S_OK;
}

HRESULT ChromeStandin::SetNavigationBehaviour(LONG tabId, const NavigationBehaviour& behaviour)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    tab->navigation = behaviour;
    return S_OK;
}

HRESULT ChromeStandin::RemoveBrowser(LONG tabId, std::wstring* oldKey, std::wstring* newKey)
{
    // The next renderer is up before the new key is given out.
    std::unique_ptr<harness::RendererProcess> nextRenderer;
    ComPtr<IDispatch> nextQuickBrowser;
    if (!options_.rendererPage.empty()) {
        HRESULT hr = LaunchRenderer(tabId, options_.rendererPage, nextRenderer, nextQuickBrowser);
        if (FAILED(hr))
            return hr;
    }
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    std::wstring removed = tab->BrowserKey();
    DisconnectRenderer(*tab);
    tab->renderer = std::move(nextRenderer);
    tab->rendererQuickBrowser = std::move(nextQuickBrowser);
    ++tab->keyGeneration;
    if (oldKey)
        *oldKey = removed;
    if (newKey)
        *newKey = tab->BrowserKey();
    Variant key;
    V_VT(key.Get()) = VT_BSTR;
    V_BSTR(key.Get()) = SysAllocString(removed.c_str());
    NotifyBrowserEvents(1, std::move(key));
    return S_OK;
}

HRESULT ChromeStandin::SetTabRectangle(LONG tabId, const RECT* rectangle)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    if (rectangle)
        tab->rectangle = *rectangle;
    else
        tab->rectangle.reset();
    return S_OK;
}

HRESULT ChromeStandin::FocusTab(LONG tabId)
{
    HWND window = nullptr;
    {
        CriticalSectionLock lock(lock_);
        TabState* tab = FindTab(tabId);
        if (!tab)
            return E_INVALIDARG;
        window = tab->windows.renderWidgetHost;
    }
    windows_.Focus(window);
    return windows_.FocusedWindow() == window ? S_OK : E_FAIL;
}

void ChromeStandin::RefuseCalls(StandinService service, DISPID member, HRESULT failure)
{
    link_->Rules(service).Refuse(member, failure);
}

void ChromeStandin::DelayCalls(StandinService service, DISPID member, DWORD milliseconds)
{
    link_->Rules(service).Delay(member, milliseconds);
}

void ChromeStandin::ClearCallRules(StandinService service)
{
    link_->Rules(service).Clear();
}

LONG ChromeStandin::CallCount(StandinService service, DISPID member) const
{
    return link_->Rules(service).Count(member);
}

std::vector<TabSnapshot> ChromeStandin::Tabs() const
{
    CriticalSectionLock lock(lock_);
    std::vector<TabSnapshot> tabs;
    for (const auto& tab : tabs_)
        tabs.push_back(Snapshot(*tab));
    return tabs;
}

std::optional<TabSnapshot> ChromeStandin::Tab(LONG tabId) const
{
    CriticalSectionLock lock(lock_);
    const TabState* tab = FindTab(tabId);
    if (!tab)
        return std::nullopt;
    return Snapshot(*tab);
}

std::vector<ReceivedOption> ChromeStandin::OptionsReceived(LONG tabId) const
{
    CriticalSectionLock lock(lock_);
    std::vector<ReceivedOption> copies;
    if (const TabState* tab = FindTab(tabId)) {
        for (const ReceivedOption& option : tab->options) {
            ReceivedOption copy;
            copy.key = option.key;
            copy.value.CopyFrom(*option.value);
            copies.push_back(std::move(copy));
        }
    }
    return copies;
}

ChromeStandin::TabState* ChromeStandin::FindTab(LONG tabId) const
{
    for (const auto& tab : tabs_)
        if (tab->id == tabId)
            return tab.get();
    return nullptr;
}

TabSnapshot ChromeStandin::Snapshot(const TabState& tab) const
{
    TabSnapshot snapshot;
    snapshot.id = tab.id;
    snapshot.loading = tab.loading;
    snapshot.url = tab.url;
    snapshot.active = activeTab_ == tab.id;
    snapshot.browserKey = tab.BrowserKey();
    snapshot.windows = tab.windows;
    return snapshot;
}

} // namespace chrome_standin
