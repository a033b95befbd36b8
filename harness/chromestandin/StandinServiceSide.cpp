// The stand-in browser process's side of the service calls: what the tabs
// service, the browser service and the quick browsers ask of it, the timed
// loading of tabs, and the notifications that changes send out.
#include <memory>

#include "ChromeStandin.h"
#include "StandinRecords.h"
#include "StandinTabState.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;
using vx::com::Variant;

namespace chrome_standin {

HRESULT ChromeStandin::RegisterTabsNotifier(IDispatch* notifier, LONG& registrationId)
{
    return tabsNotifiers_.Add(notifier, std::wstring(), registrationId);
}

void ChromeStandin::UnregisterTabsNotifier(LONG registrationId)
{
    tabsNotifiers_.Remove(registrationId);
}

HRESULT ChromeStandin::TabList(VARIANT* result)
{
    CriticalSectionLock lock(lock_);
    RecordBuilder list;
    for (const auto& tab : tabs_) {
        Variant record;
        HRESULT hr = MakeStandinTabRecord(tab->id, tab->loading, tab->url, record.Get());
        if (FAILED(hr))
            return hr;
        list.Take(std::move(record));
    }
    return list.Detach(result);
}

HRESULT ChromeStandin::TabIsActive(LONG tabId, bool& active)
{
    CriticalSectionLock lock(lock_);
    if (!FindTab(tabId))
        return E_INVALIDARG;
    active = activeTab_ == tabId;
    return S_OK;
}

HRESULT ChromeStandin::TabIsLoading(LONG tabId, bool& loading)
{
    CriticalSectionLock lock(lock_);
    const TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    loading = tab->loading;
    return S_OK;
}

HRESULT ChromeStandin::TabUrl(LONG tabId, std::wstring& url)
{
    CriticalSectionLock lock(lock_);
    const TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    url = tab->url;
    return S_OK;
}

HRESULT ChromeStandin::NavigateTab(LONG tabId, const std::wstring& url)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    ScheduleLoad(*tab, url, tab->navigation.startAfterMs, tab->navigation.stopAfterMs);
    return S_OK;
}

HRESULT ChromeStandin::ActivateTab(LONG tabId)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    activeTab_ = tabId;
    windows_.Activate(tab->windows.renderWidgetHost);
    return S_OK;
}

HRESULT ChromeStandin::TabRectangle(LONG tabId, RECT& rectangle)
{
    CriticalSectionLock lock(lock_);
    const TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    rectangle = tab->rectangle ? *tab->rectangle : windows_.FrameRectangle();
    return S_OK;
}

HRESULT ChromeStandin::RegisterBrowserEvents(const std::wstring& libraryPath, IDispatch* notifier, LONG& registrationId)
{
    return browserNotifiers_.Add(notifier, libraryPath, registrationId);
}

void ChromeStandin::EnableBrowserEvents(LONG registrationId, bool enable)
{
    browserNotifiers_.Enable(registrationId, enable);
}

HRESULT ChromeStandin::BrowserKey(LONG tabId, std::wstring& key)
{
    CriticalSectionLock lock(lock_);
    const TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG;
    key = tab->BrowserKey();
    return S_OK;
}

HRESULT ChromeStandin::QuickBrowserForKey(const std::wstring& key, ComPtr<IDispatch>& quickBrowser)
{
    CriticalSectionLock lock(lock_);
    for (const auto& tab : tabs_) {
        if (tab->BrowserKey() != key)
            continue;
        if (tab->rendererQuickBrowser) {
            quickBrowser = tab->rendererQuickBrowser;
            return S_OK;
        }
        if (!options_.rendererPage.empty())
            return E_FAIL; // its renderer process is not up (yet)
        if (!tab->quickBrowser) {
            HRESULT hr = CreateDispatchObject(tab->quickBrowser, link_, tab->id, tab->RendererWindow(), tab->url);
            if (FAILED(hr))
                return hr;
        }
        quickBrowser = tab->quickBrowser;
        return S_OK;
    }
    return E_INVALIDARG;
}

void ChromeStandin::OptionReceived(LONG tabId, const std::wstring& key, const VARIANT& value)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return;
    ReceivedOption option;
    option.key = key;
    option.value.CopyFrom(value);
    tab->options.push_back(std::move(option));
}

void ChromeStandin::DisconnectRenderer(TabState& tab)
{
    if (tab.quickBrowser)
        tab.quickBrowser->MarkGone();
    tab.quickBrowser.Reset();
    // The renderer process goes with its connection.
    tab.rendererQuickBrowser.Reset();
    if (tab.renderer)
        tab.renderer->Kill();
    tab.renderer.reset();
}

HRESULT ChromeStandin::LaunchRenderer(LONG tabId, const std::wstring& snapshotPath,
                                      std::unique_ptr<harness::RendererProcess>& renderer,
                                      ComPtr<IDispatch>& quickBrowser)
{
    ULONG window = 0;
    {
        CriticalSectionLock lock(lock_);
        TabState* tab = FindTab(tabId);
        if (!tab)
            return E_INVALIDARG;
        window = tab->RendererWindow();
    }
    // Started without the lock: the process takes a while to come up.
    return harness::RendererProcess::Start(snapshotPath, window, renderer, quickBrowser);
}

HRESULT ChromeStandin::StartRenderer(LONG tabId, const std::wstring& snapshotPath)
{
    {
        CriticalSectionLock lock(lock_);
        TabState* tab = FindTab(tabId);
        if (!tab)
            return E_INVALIDARG;
        tab->rendererQuickBrowser.Reset();
        if (tab->renderer)
            tab->renderer->Kill();
        tab->renderer.reset();
    }
    std::unique_ptr<harness::RendererProcess> renderer;
    ComPtr<IDispatch> quickBrowser;
    HRESULT hr = LaunchRenderer(tabId, snapshotPath, renderer, quickBrowser);
    if (FAILED(hr))
        return hr;
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab)
        return E_INVALIDARG; // closed meanwhile: the process ends with `renderer`
    tab->renderer = std::move(renderer);
    tab->rendererQuickBrowser = std::move(quickBrowser);
    return S_OK;
}

HRESULT ChromeStandin::KillRenderer(LONG tabId)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab || !tab->renderer)
        return E_INVALIDARG;
    tab->renderer->Kill();
    return S_OK;
}

HRESULT ChromeStandin::RendererCommand(LONG tabId, const std::string& command, std::string& answer)
{
    harness::RendererProcess* renderer = nullptr;
    {
        CriticalSectionLock lock(lock_);
        TabState* tab = FindTab(tabId);
        if (!tab || !tab->renderer)
            return E_INVALIDARG;
        renderer = tab->renderer.get();
    }
    // The process object lives until the tab's renderer is replaced, which
    // tests do not do while they talk to it.
    return renderer->Command(command, answer);
}

void ChromeStandin::ScheduleLoad(TabState& tab, std::optional<std::wstring> url, LONG startAfterMs, LONG stopAfterMs)
{
    unsigned serial = ++tab.loadSerial;
    if (startAfterMs < 0)
        return;
    LONG tabId = tab.id;
    runner_.PostAfter(static_cast<DWORD>(startAfterMs), [this, tabId, serial, url = std::move(url), stopAfterMs] {
        LoadingStarts(tabId, serial, url, stopAfterMs);
    });
}

void ChromeStandin::LoadingStarts(LONG tabId, unsigned serial, const std::optional<std::wstring>& url, LONG stopAfterMs)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab || tab->loadSerial != serial)
        return;
    if (url)
        tab->url = *url;
    tab->loading = true;
    NotifyTabUpdated(*tab);
    if (stopAfterMs >= 0)
        runner_.PostAfter(static_cast<DWORD>(stopAfterMs), [this, tabId, serial] { LoadingStops(tabId, serial); });
}

void ChromeStandin::LoadingStops(LONG tabId, unsigned serial)
{
    CriticalSectionLock lock(lock_);
    TabState* tab = FindTab(tabId);
    if (!tab || tab->loadSerial != serial)
        return;
    tab->loading = false;
    NotifyTabUpdated(*tab);
}

void ChromeStandin::NotifyTabUpdated(const TabState& tab)
{
    Variant record;
    if (SUCCEEDED(MakeStandinTabRecord(tab.id, tab.loading, tab.url, record.Get())))
        NotifyTabs(3, std::move(record));
}

// Called under lock_, at the moment of the change: the registrations now
// concerned are taken at once, and the delivery is queued behind the
// deliveries of earlier changes.
void ChromeStandin::NotifyTabs(DISPID member, Variant&& argument)
{
    auto shared = std::make_shared<Variant>(std::move(argument));
    runner_.Post([this, member, shared, registrations = tabsNotifiers_.Enabled()] {
        tabsNotifiers_.Deliver(registrations, member, **shared);
    });
}

void ChromeStandin::NotifyBrowserEvents(DISPID member, Variant&& argument)
{
    auto shared = std::make_shared<Variant>(std::move(argument));
    runner_.Post([this, member, shared, registrations = browserNotifiers_.Enabled()] {
        browserNotifiers_.Deliver(registrations, member, **shared);
    });
}

} // namespace chrome_standin
