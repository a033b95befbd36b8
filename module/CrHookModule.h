#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "generated/vxCrHook.h"
#include "generated/vxOpenAppServices.h"
#include "openapphook/BaseHookModule.h"
#include "openapphook/StubManager.h"
#include "module/StartupWarnings.h"
#include "module/TabList.h"
#include "services/BrowserServiceRemote.h"
#include "services/HookTab.h"
#include "services/TabsServiceRemote.h"

class CCrHookModuleAsync;

// The browser-process hook module: owns the connection to Chrome's tab list,
// the support objects through which the host asks about windows and pages,
// the worker thread on which tab and browser notifications are handled, and
// the start-up warnings about Chrome's command line and the extension.
class CCrHookModule
    : public vxOpenAppHook::CBaseHookModule<CCrHookModule, IvxCrRemoteServicesSync, IvxCrBrowserServiceRemoteCallback,
                                            IvxCrTabsServiceRemoteCallback>
{
public:
    // Reads the command-line flags of the current process.
    CCrHookModule();

    // IvxCrRemoteServicesSync: runs the callback on the synchronous invoker,
    // where every proxy to the browser's services is created.
    HRESULT STDMETHODCALLTYPE RunSynchronously(VX_CR_REMOTE_SERVICES_CALLBACK callback,
                                               void* userData) noexcept override;

    // IvxCrBrowserServiceRemoteCallback: a removed renderer connection is
    // posted to the worker.
    HRESULT STDMETHODCALLTYPE OnBrowserServiceEvent() noexcept override;
    HRESULT STDMETHODCALLTYPE OnRemoveBrowser(BSTR browserKey) noexcept override;
    // IvxCrTabsServiceRemoteCallback: each notification is posted to the
    // worker with a copy of its data.
    HRESULT STDMETHODCALLTYPE OnTabCreated(LONG tabId, VARIANT_BOOL loading, BSTR url) noexcept override;
    HRESULT STDMETHODCALLTYPE OnTabRemoved(LONG tabId) noexcept override;
    HRESULT STDMETHODCALLTYPE OnTabUpdated(LONG tabId, VARIANT_BOOL loading, BSTR url) noexcept override;

    // Creates the stub manager and the two service objects, registers with
    // the host, keeps the host and starts the worker.
    HRESULT Initialize(IvxModuleRegistry* registry, IUnknown* host);
    // Stops the worker, disconnects remote clients and unregisters from the
    // host. Safe after a failed Initialize and when called twice.
    void Shutdown() override;

    // Registers a support with the host interfaces it answers, and keeps it
    // as an extender and as a start-loading listener when it answers those.
    HRESULT AddSupport(IUnknown* support) override;

    // Pushes changed option values to the renderers of every tab.
    void PushChangedOptionsToTabs();

    // Tab notification handlers; run on the worker thread.
    void HandleTabCreated(const TabInfoRecord& record);
    void HandleTabRemoved(LONG tabId);
    void HandleTabUpdated(const TabInfoRecord& record);
    void HandleBrowserRemoved(BSTR browserKey);

    // The tab list. Finding a tab by its window first shows the start-up
    // warning that applies and fills the list when needed.
    Microsoft::WRL::ComPtr<CCrHookTab> FindTabByWindow(HWND window);
    Microsoft::WRL::ComPtr<CCrHookTab> FindTabById(LONG tabId);
    std::vector<Microsoft::WRL::ComPtr<CCrHookTab>> CopyTabs();
    void EnsureTabsLoaded();
    bool TabsLoaded();

    Microsoft::WRL::ComPtr<CCrBrowserServiceRemote> BrowserService();
    Microsoft::WRL::ComPtr<CCrTabsServiceRemote> TabsService();

    // The warning that applies now, and showing it for a browser window.
    StartupWarningKind CurrentStartupWarning();
    void CheckBrowserWarnings(HWND window);

    bool CommandLineConflict() const noexcept { return commandLineConflict_; }
    bool HangMonitorEnabled() const noexcept { return hangMonitorEnabled_; }
    // True when the tabs service published by the Chrome extension answers.
    bool IsTabsServiceConnected();

    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> StubManager();
    bool HasWorker();

protected:
    ~CCrHookModule() override;

private:
    // Posts a work item under the async lock; without a worker the data is
    // freed at once.
    HRESULT PostWork(int32_t kind, void* data);
    HRESULT MakeTab(LONG tabId, Microsoft::WRL::ComPtr<CCrHookTab>& tab);
    // The supports, in the order the host asks them: root, windows, pages,
    // then recording, page-loading events and custom controls.
    HRESULT AddSupports();
    void NotifyStartLoading(CCrHookTab* tab);

    vx::com::CriticalSection asyncLock_;
    std::unique_ptr<CCrHookModuleAsync> async_;
    Microsoft::WRL::ComPtr<IUnknown> host_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<CCrBrowserServiceRemote> browserService_;
    Microsoft::WRL::ComPtr<CCrTabsServiceRemote> tabsService_;
    std::vector<Microsoft::WRL::ComPtr<IvxCrExtender>> extenders_;
    std::vector<Microsoft::WRL::ComPtr<IvxCrStartLoadingListener>> startLoadingListeners_;
    // Guarded by the object lock.
    CCrTabList tabs_{objectLock_};
    bool commandLineConflict_ = false;
    bool hangMonitorEnabled_ = false;
};
