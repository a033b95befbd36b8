#pragma once
// A stand-in for Chrome's browser process with the product's Chrome component
// inside it: real browser windows (ChromeWindows), the tabs and browser
// services published under a browser process id, a renderer process per tab
// with the library in it (or, for tests that count or refuse its calls, a
// minimal quick browser per renderer connection), and a control API through
// which tests open, change and close tabs, shape navigation timing, remove
// renderer connections, refuse or delay calls and read what the services saw.
//
// Changes reach every registered notifier from the stand-in's own thread, in
// the order in which they happen: tabs notifiers get OnTabCreated (1,
// record), OnTabRemoved (2, tab id), OnTabUpdated (3, record); browser
// events notifiers get OnRemoveBrowser (1, old browser key).
//
// Create it on a thread with COM initialised; one stand-in per browser
// process id may be published at a time.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChromeWindows.h"
#include "NotifierRegistry.h"
#include "ScheduledRunner.h"
#include "ServicePublisher.h"
#include "StandinLink.h"
#include "platform/com/CriticalSection.h"
#include "platform/com/Variant.h"

namespace harness {
class RendererProcess;
}

namespace chrome_standin {

class StandinQuickBrowser;

// How a tab answers a navigation (tabs DISPID 5) or a scheduled load: loading
// starts startAfterMs after the request (the URL changes then), and stops
// stopAfterMs after it started. A negative value: never starts / never stops.
struct NavigationBehaviour
{
    LONG startAfterMs = 30;
    LONG stopAfterMs = 150;
};

struct StandinOptions
{
    RECT frame = {40, 30, 940, 670}; // screen rectangle of the browser frame
    bool compositorWindows = true;   // each tab window gets a compositor child
    NavigationBehaviour navigation;  // behaviour of new tabs
    // A captured page (Windows path) that every tab shows in a renderer
    // process of its own, started with the tab and started anew when the
    // tab's browser connection is removed, as Chrome gives a tab a new
    // renderer: the tab's browser key then answers with the library's own
    // quick browser in that process. Empty: the stand-in's minimal quick
    // browser answers, which tests use to count or refuse its calls.
    std::wstring rendererPage;
};

struct TabSnapshot
{
    LONG id = 0;
    bool loading = false;
    std::wstring url;
    bool active = false;
    std::wstring browserKey;
    TabWindows windows;
};

struct ReceivedOption
{
    std::wstring key;
    vx::com::Variant value;
};

class ChromeStandin : private StandinServiceHost
{
public:
    explicit ChromeStandin(const StandinOptions& options = {});
    ~ChromeStandin();
    ChromeStandin(const ChromeStandin&) = delete;
    ChromeStandin& operator=(const ChromeStandin&) = delete;

    // Creates the windows; the services answer from then on.
    HRESULT Start();
    // Publishes both services under the names of `browserProcessId`.
    HRESULT Publish(DWORD browserProcessId = GetCurrentProcessId());
    void Withdraw();
    // Withdraws, disconnects every quick browser (their calls then fail with
    // RPC_S_SERVER_UNAVAILABLE, as do service calls on references kept by
    // consumers), destroys the windows. Also done by the destructor.
    void Shutdown();

    // The service objects themselves, for direct in-process calls.
    IDispatch* TabsService() const { return tabsService_.Get(); }
    IDispatch* BrowserService() const { return browserService_.Get(); }

    // Tabs. Unknown ids give E_INVALIDARG; opening an existing id gives
    // HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS). The first tab opened becomes
    // the active one; later ones only with `activate`.
    HRESULT OpenTab(LONG tabId, const std::wstring& url, bool loading = false, bool activate = false);
    HRESULT CloseTab(LONG tabId);
    // Sets URL and loading at once (pending scheduled loading is cancelled).
    HRESULT UpdateTab(LONG tabId, const std::wstring& url, bool loading);
    HRESULT SetTabLoading(LONG tabId, bool loading);
    // A load without navigation (a reload): starts after startAfterMs, stops
    // stopAfterMs later (negative: never stops).
    HRESULT ScheduleLoading(LONG tabId, DWORD startAfterMs, LONG stopAfterMs);
    HRESULT SetNavigationBehaviour(LONG tabId, const NavigationBehaviour& behaviour);
    HRESULT Activate(LONG tabId) { return ActivateTab(tabId); }
    // The renderer connection of the tab goes away: its quick browser stops
    // answering, the tab gets a new browser key (with a new renderer process
    // on the options' renderer page, when there is one), and
    // OnRemoveBrowser(old key) goes out.
    HRESULT RemoveBrowser(LONG tabId, std::wstring* oldKey = nullptr, std::wstring* newKey = nullptr);
    // The rectangle tabs DISPID 7 reports for the tab; null restores the
    // default (the browser frame's window rectangle).
    HRESULT SetTabRectangle(LONG tabId, const RECT* rectangle);
    // Starts a renderer process (vxrendererstandin.exe) for the tab on a
    // captured page: the tab's browser key then answers with the library's
    // own quick browser in that process instead of the stand-in's. A
    // renderer the tab had is ended first; RemoveBrowser and CloseTab end it.
    HRESULT StartRenderer(LONG tabId, const std::wstring& snapshotPath);
    // Ends the tab's renderer process at once, as a crash would; the browser
    // key stays until RemoveBrowser.
    HRESULT KillRenderer(LONG tabId);
    // One command to the tab's renderer process, and its answer line.
    HRESULT RendererCommand(LONG tabId, const std::string& command, std::string& answer);
    // SetFocus on the tab window (on the window thread).
    HRESULT FocusTab(LONG tabId);
    HWND FocusedWindow() { return windows_.FocusedWindow(); }

    // Calls.
    void RefuseCalls(StandinService service, DISPID member, HRESULT failure);
    void DelayCalls(StandinService service, DISPID member, DWORD milliseconds);
    void ClearCallRules(StandinService service);
    LONG CallCount(StandinService service, DISPID member) const;

    // Observation.
    std::vector<TabSnapshot> Tabs() const;
    std::optional<TabSnapshot> Tab(LONG tabId) const;
    std::vector<ReceivedOption> OptionsReceived(LONG tabId) const;
    const BrowserWindows& Windows() const { return windows_.Browser(); }
    RECT FrameRectangle() const { return windows_.FrameRectangle(); }
    size_t TabsNotifierCount() const { return tabsNotifiers_.Count(); }
    size_t BrowserEventsNotifierCount() const { return browserNotifiers_.Count(); }
    std::vector<std::wstring> RegisteredLibraryPaths() const { return browserNotifiers_.Details(); }
    // Waits until every notification of the changes made so far (not the
    // scheduled ones still to come) was delivered.
    bool FlushNotifications(DWORD timeoutMs = 10000)
    {
        return runner_.RunAndWait([] {}, timeoutMs);
    }

private:
    struct TabState;

    // StandinServiceHost.
    HRESULT RegisterTabsNotifier(IDispatch* notifier, LONG& registrationId) override;
    void UnregisterTabsNotifier(LONG registrationId) override;
    HRESULT TabList(VARIANT* result) override;
    HRESULT TabIsActive(LONG tabId, bool& active) override;
    HRESULT TabIsLoading(LONG tabId, bool& loading) override;
    HRESULT TabUrl(LONG tabId, std::wstring& url) override;
    HRESULT NavigateTab(LONG tabId, const std::wstring& url) override;
    HRESULT ActivateTab(LONG tabId) override;
    HRESULT TabRectangle(LONG tabId, RECT& rectangle) override;
    HRESULT RegisterBrowserEvents(const std::wstring& libraryPath, IDispatch* notifier, LONG& registrationId) override;
    void EnableBrowserEvents(LONG registrationId, bool enable) override;
    HRESULT BrowserKey(LONG tabId, std::wstring& key) override;
    HRESULT QuickBrowserForKey(const std::wstring& key, Microsoft::WRL::ComPtr<IDispatch>& quickBrowser) override;
    void OptionReceived(LONG tabId, const std::wstring& key, const VARIANT& value) override;

    // Under lock_.
    TabState* FindTab(LONG tabId) const;
    TabSnapshot Snapshot(const TabState& tab) const;
    void NotifyTabUpdated(const TabState& tab);
    void NotifyTabs(DISPID member, vx::com::Variant&& argument);
    void NotifyBrowserEvents(DISPID member, vx::com::Variant&& argument);
    // Starts a load: `url` (when given) becomes the tab's URL as loading
    // starts. Supersedes any load still scheduled for the tab.
    void ScheduleLoad(TabState& tab, std::optional<std::wstring> url, LONG startAfterMs, LONG stopAfterMs);
    void LoadingStarts(LONG tabId, unsigned serial, const std::optional<std::wstring>& url, LONG stopAfterMs);
    void LoadingStops(LONG tabId, unsigned serial);
    void DisconnectRenderer(TabState& tab);
    // OpenTab without its renderer process.
    HRESULT AddTab(LONG tabId, const std::wstring& url, bool loading, bool activate);
    // Starts a renderer process for the tab's window (without the lock).
    HRESULT LaunchRenderer(LONG tabId, const std::wstring& snapshotPath,
                           std::unique_ptr<harness::RendererProcess>& renderer,
                           Microsoft::WRL::ComPtr<IDispatch>& quickBrowser);

    const StandinOptions options_;
    LinkPtr link_;
    Microsoft::WRL::ComPtr<IDispatch> tabsService_;
    Microsoft::WRL::ComPtr<IDispatch> browserService_;
    ChromeWindows windows_;
    NotifierRegistry tabsNotifiers_;
    NotifierRegistry browserNotifiers_;
    rendezvous_harness::ServicePublisher tabsPublisher_;
    rendezvous_harness::ServicePublisher browserPublisher_;

    mutable vx::com::CriticalSection lock_;
    std::vector<std::unique_ptr<TabState>> tabs_; // in opening order
    std::optional<LONG> activeTab_;
    bool running_ = false;

    // Last member: its thread stops first.
    ScheduledRunner runner_;
};

} // namespace chrome_standin
