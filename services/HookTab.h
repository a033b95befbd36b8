#pragma once
// One Chrome tab as the browser module keeps it: URL, loading state and group
// from the tabs service, the connection to the renderer's quick browser that
// serves the tab's page, the tab window, waits for loading and navigation,
// and the page identification object handed to the test engine.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <vector>

#include "generated/vxCrHook.h"
#include "generated/vxOpenAppServices.h"
#include "platform/process/ProcessOptions.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"
#include "comhelp/GlobalInterfaceCookie.h"
#include "services/LoadWaitEvents.h"
#include "testobjects/TestObjectTab.h"

class CCrTabsServiceRemote;
class CCrBrowserServiceRemote;
class CCrQuickBrowserRemote;
class CCrHookTabInstance;
namespace vxCrTestObjects {
class CCrHookObject_Page;
}

// {2BCEE0FE-202C-42BE-9DA2-8CA7F2EFB7FC}
class DECLSPEC_UUID("2BCEE0FE-202C-42BE-9DA2-8CA7F2EFB7FC") CCrHookTab
    : public vx::com::ComObject<CCrHookTab, ITestObjectTab>
{
public:
    // Time limits of the waits, in milliseconds.
    static constexpr DWORD kWaitStartMs = 1500;
    static constexpr DWORD kWaitStopMs = 58500;
    static constexpr DWORD kNavigateStartMs = 3000;
    static constexpr DWORD kNavigateStopMs = 57000;
    static constexpr int kReconnectTries = 5;
    static constexpr DWORD kReconnectIntervalMs = 500;

    // The waits of one tab; the defaults are the product's values (tests
    // shorten them).
    struct Timing
    {
        DWORD waitStartMs = kWaitStartMs;
        DWORD waitStopMs = kWaitStopMs;
        DWORD navigateStartMs = kNavigateStartMs;
        DWORD navigateStopMs = kNavigateStopMs;
        int reconnectTries = kReconnectTries;
        DWORD reconnectIntervalMs = kReconnectIntervalMs;
    };

    CCrHookTab();

    // Stores everything, marks the tab alive, creates the identification
    // object, the two page test objects (registered with `stubManager`) and
    // the tab's own stub manager, copies the option values.
    HRESULT Initialize(vxOpenAppHook::CStubManager* stubManager, LONG tabId, IvxCrRemoteServicesSync* invoker,
                       CCrTabsServiceRemote* tabsService, CCrBrowserServiceRemote* browserService);
    // Tab removed or module shut down: disconnects and releases everything.
    void Close();
    bool IsAlive() override;

    LONG TabId() const noexcept { return tabId_; }
    vx::com::BStr Url();
    void SetUrl(BSTR url);
    bool IsLoading();
    // Signals the registered loading-started (true) or loading-stopped
    // (false) waiters when the value changes.
    void SetLoading(bool loading);
    LONG GroupIndex();
    bool HasGroup();
    void SetGroup(LONG index, bool grouped);

    // Connects to the renderer's quick browser when none is held.
    HRESULT ConnectRenderer();
    void ResetRenderer();
    // True when the tab's renderer connection has this browser key.
    bool HoldsBrowserKey(BSTR key);
    // True while a quick browser is held.
    bool IsRendererConnected();

    // The tab's Chrome_RenderWidgetHostHWND: from the renderer connection, or
    // found by the content rectangle. E_FAIL when there is none.
    HRESULT TabWindow(HWND& window) override;
    HRESULT Geometry(LONG& left, LONG& top, LONG& width, LONG& height);
    HRESULT IsVisible(bool& visible);
    HRESULT IsFocused(bool& focused);
    // True: activates the tab and gives its window the focus.
    HRESULT SetFocused(bool focused) override;

    // IvxWebPage Wait: waits for a load to start and stop; `url` is the URL
    // afterwards.
    HRESULT WaitForLoad(vx::com::BStr& url);
    // IvxWebPage NavigateTo: S_OK when loading finished, S_FALSE when a wait
    // timed out.
    HRESULT Navigate(BSTR url);

    // Sends the option values that changed in the process options store since
    // the last push to the renderer.
    void PushChangedOptions();

    // The page identification object (IvxWebPage and friends).
    HRESULT GetTabInstance(Microsoft::WRL::ComPtr<IDispatch>& instance);

    // The object-name prefix of a model: "Cr<id>!" for the Tree model,
    // "Cr<id>Wnd!" for the DOM model.
    vx::com::BStr ObjectNamePrefix(bool treeModel) override;
    // Counts renderer resets and the close; objects built on an earlier
    // value are out of date.
    LONG ChangeCounter(bool treeModel) override;
    // The page objects that the renderer reported (connecting first when
    // needed): the page's script object and its quick-browser object. S_OK
    // with null when the renderer reported none.
    HRESULT GetPageScriptObject(Microsoft::WRL::ComPtr<IDispatch>& scriptObject) override;
    HRESULT GetPageQuickBrowserObject(Microsoft::WRL::ComPtr<IDispatch>& pageObject);
    HRESULT GetPageQuickBrowserObject(Microsoft::WRL::ComPtr<IDispatch>& pageObject, bool connectFirst) override;
    // The tab's own stub manager, for the objects made for this tab.
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> ObjectStubManager() override;
    // The synchronous invoker (null when the tab has none).
    Microsoft::WRL::ComPtr<IvxCrRemoteServicesSync> Invoker() override;
    void PageState(vx::com::BStr& url, LONG& groupIndex, bool& grouped) override;
    // Makes the tab the browser's active tab (tabs service).
    HRESULT Activate() override;

    // The page test object of a model; E_FAIL once the tab is closed.
    HRESULT GetPageTestObject(bool treeModel, Microsoft::WRL::ComPtr<IvxObject>& page);
    // Light test objects (Tree-model monikers) for the object at a point of
    // the tab window and for the focused object, as the renderer reports
    // them; E_FAIL without renderer connection.
    HRESULT GetObjectAtPoint(LONG x, LONG y, Microsoft::WRL::ComPtr<IvxObject>& object);
    HRESULT GetFocusedObject(Microsoft::WRL::ComPtr<IvxObject>& object);

    void SetTiming(const Timing& timing);
    Timing CurrentTiming();

protected:
    ~CCrHookTab() override;

private:
    struct RendererConnection;

    // One attempt: the lookup and the invoker call run without the object
    // lock; a connection made meanwhile by another thread wins. `connection`
    // is the one held afterwards.
    HRESULT TryConnectRenderer(std::shared_ptr<const RendererConnection>& connection, bool& superseded);
    // The connection, connecting first when there is none.
    HRESULT ConnectedRenderer(std::shared_ptr<const RendererConnection>& connection);
    // Steps of a connection that run on the synchronous invoker: wraps the
    // renderer's quick browser, finds the tab window, keeps the page objects
    // and pushes every option value.
    HRESULT PrepareConnection(IDispatch* quickBrowser, const ProcessOptionValues& options,
                              RendererConnection& connection);
    // Takes the connection out and counts the reset; the caller gives the
    // connection up after leaving the lock.
    std::shared_ptr<const RendererConnection> TakeRendererLocked();
    // Disconnects a connection taken out (called without the lock).
    static void GiveUp(std::shared_ptr<const RendererConnection> connection);
    // Pushes changed option values until no other thread asked for another
    // round; the caller has set pushing_.
    void PushRounds();
    HRESULT FindTabWindowByRectangle(HWND& window);
    HRESULT FetchPageObject(bool scriptObject, bool connectFirst, Microsoft::WRL::ComPtr<IDispatch>& object);
    // A light test object for a light-information record of the renderer.
    HRESULT MakeLightObject(const VARIANT& information, Microsoft::WRL::ComPtr<IvxObject>& object);
    // Sends `keys` with their values in `options`; the first failure is
    // returned after every key was tried.
    static HRESULT PushOptions(CCrQuickBrowserRemote& quickBrowser, const std::vector<GUID>& keys,
                               const ProcessOptionValues& options);
    // Waits for loading to start (unless `alreadyLoading`) and then to stop;
    // true when it stopped within the limits. Holds no lock.
    static bool WaitStartThenStop(const LoadWaitEvents::Waiter& started, const LoadWaitEvents::Waiter& stopped,
                                  bool alreadyLoading, DWORD startLimitMs, DWORD stopLimitMs);
    // The library's error for an operation on a closed tab.
    static HRESULT ClosedTabError();

    bool alive_ = false;
    LONG tabId_ = 0;
    Timing timing_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<IvxCrRemoteServicesSync> invoker_;
    Microsoft::WRL::ComPtr<CCrTabsServiceRemote> tabsService_;
    Microsoft::WRL::ComPtr<CCrBrowserServiceRemote> browserService_;
    Microsoft::WRL::ComPtr<CCrHookTabInstance> instance_;
    Microsoft::WRL::ComPtr<vxCrTestObjects::CCrHookObject_Page> treePage_;
    Microsoft::WRL::ComPtr<vxCrTestObjects::CCrHookObject_Page> domPage_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> ownStubManager_;
    vx::com::BStr treePrefix_;
    vx::com::BStr domPrefix_;

    vx::com::BStr url_;
    bool loading_ = false;
    LONG groupIndex_ = 0;
    bool grouped_ = false;

    // Renderer connection: shared, so that callers use it after leaving the
    // lock; what it holds is given back when the last user lets go.
    std::shared_ptr<const RendererConnection> connection_;
    // Counts resets and closes: a connection made across one is stale.
    unsigned long resetGeneration_ = 0;
    LONG treeChangeCounter_ = 0;
    LONG domChangeCounter_ = 0;

    // Option values as last sent to the renderer; guarded by optionLock_,
    // like the flags that let one thread push at a time while others only
    // ask for another round (pushes never run under the lock).
    vx::com::CriticalSection optionLock_;
    ProcessOptionValues options_;
    bool pushing_ = false;
    bool pushAgain_ = false;

    LoadWaitEvents startedEvents_;
    LoadWaitEvents stoppedEvents_;
};
