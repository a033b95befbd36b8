#include "module/CrHookModule.h"

#include "module/CommandLine.h"
#include "module/CrHookModuleAsync.h"
#include "module/RemoteServicesSync.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace {

bool HasConflictingSwitch(const CCommandLine& commandLine)
{
    for (const wchar_t* name : {L"--single-process", L"--in-process-plugins", L"--disable-plugins", L"--disable-extensions"})
        if (commandLine.HasSwitch(name, true))
            return true;
    return false;
}

} // namespace

CCrHookModule::CCrHookModule()
{
    CCommandLine commandLine;
    commandLineConflict_ = HasConflictingSwitch(commandLine);
    hangMonitorEnabled_ = !commandLine.HasSwitch(L"--disable-hang-monitor", true);
}

CCrHookModule::~CCrHookModule()
{
    Shutdown();
}

HRESULT CCrHookModule::Initialize(IvxModuleRegistry* registry, IUnknown* host)
{
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    HRESULT hr = vx::com::CreateComObject(stubManager);
    if (FAILED(hr))
        return hr;
    {
        CriticalSectionLock guard(objectLock_);
        stubManager_ = stubManager;
    }

    hr = RegisterWithHost(registry);
    if (FAILED(hr))
        return hr;

    {
        CriticalSectionLock guard(objectLock_);
        host_ = host;
    }

    auto worker = std::make_unique<CCrHookModuleAsync>(*this);
    CriticalSectionLock guard(asyncLock_);
    async_ = std::move(worker);
    return S_OK;
}

HRESULT CCrHookModule::RunSynchronously(VX_CR_REMOTE_SERVICES_CALLBACK callback, void* userData)
{
    return RunOnSynchronousInvoker(callback, userData);
}

void CCrHookModule::Shutdown()
{
    {
        // From here on service callbacks post nothing.
        CriticalSectionLock guard(asyncLock_);
        async_.reset();
    }
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    {
        CriticalSectionLock guard(objectLock_);
        host_.Reset();
        stubManager = std::move(stubManager_);
    }
    // Base shutdown: unregisters from the host and releases the supports.
    CBaseHookModule::Shutdown();
    if (stubManager)
        stubManager->DisconnectAll();
}

void CCrHookModule::PushChangedOptionsToTabs()
{
    // Tabs and their renderer connections come with the tabs service; until
    // it is attached there is no renderer to push to.
}

bool CCrHookModule::IsTabsServiceConnected()
{
    // No tabs service is attached in this build, so the extension counts as
    // unreachable.
    return false;
}

StartupWarningKind CCrHookModule::CurrentStartupWarning()
{
    return SelectStartupWarning(commandLineConflict_, IsTabsServiceConnected(), hangMonitorEnabled_);
}

void CCrHookModule::CheckBrowserWarnings(HWND window)
{
    if (!window)
        return;
    ComPtr<IUnknown> host;
    {
        CriticalSectionLock guard(objectLock_);
        host = host_;
    }
    ShowStartupWarning(host.Get(), CurrentStartupWarning(), window);
}

ComPtr<vxOpenAppHook::CStubManager> CCrHookModule::StubManager()
{
    CriticalSectionLock guard(objectLock_);
    return stubManager_;
}

bool CCrHookModule::HasWorker()
{
    CriticalSectionLock guard(asyncLock_);
    return async_ != nullptr;
}
