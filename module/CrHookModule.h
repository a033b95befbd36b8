#pragma once
#include <windows.h>

#include <memory>

#include "generated/vxCrHook.h"
#include "generated/vxOpenAppServices.h"
#include "openapphook/BaseHookModule.h"
#include "openapphook/StubManager.h"
#include "module/StartupWarnings.h"

class CCrHookModuleAsync;

// The browser-process hook module: owns the connection to Chrome's tab list,
// the support objects through which the host asks about windows and pages,
// the worker thread on which tab and browser notifications are handled, and
// the start-up warnings about Chrome's command line and the extension.
class CCrHookModule : public vxOpenAppHook::CBaseHookModule<CCrHookModule, IvxCrRemoteServicesSync>
{
public:
    // Reads the command-line flags of the current process.
    CCrHookModule();

    // IvxCrRemoteServicesSync: runs the callback on the synchronous invoker,
    // where every proxy to the browser's services is created.
    HRESULT STDMETHODCALLTYPE RunSynchronously(VX_CR_REMOTE_SERVICES_CALLBACK callback, void* userData) override;

    HRESULT Initialize(IvxModuleRegistry* registry, IUnknown* host);
    // Stops the worker, disconnects remote clients and unregisters from the
    // host. Safe after a failed Initialize and when called twice.
    void Shutdown() override;

    // Pushes changed option values to the renderers of every tab.
    void PushChangedOptionsToTabs();

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
    vx::com::CriticalSection asyncLock_;
    std::unique_ptr<CCrHookModuleAsync> async_;
    Microsoft::WRL::ComPtr<IUnknown> host_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    bool tabsLoaded_ = false;
    bool commandLineConflict_ = false;
    bool hangMonitorEnabled_ = false;
};
