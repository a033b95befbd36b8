#include "module/ProcessHookModule.h"

#include "platform/process/ChromeProcess.h"
#include "module/CrHookModule.h"
#include "module/ModuleOperationIds.h"
#include "platform/process/ProcessOptions.h"
#include "openapphook/ExceptionGuard.h"
#include "platform/com/ComBoundary.h"
#include "recording/ControlsRecorder.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

CProcessHookModule::CProcessHookModule() = default;
CProcessHookModule::~CProcessHookModule() = default;

HRESULT CProcessHookModule::GetModuleGuid(GUID* moduleGuid) noexcept
try {
    if (!moduleGuid)
        return E_POINTER;
    CriticalSectionLock guard(objectLock_);
    *moduleGuid = moduleGuid_;
    return S_OK;
}
VX_COM_CATCH

HRESULT CProcessHookModule::SetOption(const GUID* key, VARIANT value) noexcept
try {
    if (!key)
        return E_POINTER;
    bool changed = false;
    HRESULT hr = ProcessOptions().SetOption(*key, value, changed);
    if (FAILED(hr))
        return hr;
    if (changed)
        EnsureBrowserModule();
    return S_OK;
}
VX_COM_CATCH

HRESULT CProcessHookModule::OnRecordingStarted() noexcept
try {
    ProcessOptions().SetRecording(true);
    return S_OK;
}
VX_COM_CATCH

HRESULT CProcessHookModule::OnRecordingStopped() noexcept
try {
    ProcessOptions().SetRecording(false);
    return S_OK;
}
VX_COM_CATCH

VARIANT_BOOL CProcessHookModule::OnEvent(IUnknown*, IUnknown*, IDispatch*) noexcept
try {
    return VARIANT_FALSE;
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

namespace {

// The host's registry calls, under the fault guard (nothing in them owns a
// lock of ours).
bool RegisterWithRegistry(IvxModuleRegistry* registry, IUnknown* module)
{
    HRESULT hr = vxOpenAppHook::RunGuarded(ModuleOperationIds::Attach, [registry, module]() -> HRESULT {
        return registry->RegisterModule(module) == VARIANT_FALSE ? E_FAIL : S_OK;
    });
    return SUCCEEDED(hr);
}

void UnregisterFromRegistry(IvxModuleRegistry* registry, GUID moduleGuid)
{
    vxOpenAppHook::RunGuarded(ModuleOperationIds::Detach, [registry, &moduleGuid]() -> HRESULT {
        registry->UnregisterModule(&moduleGuid);
        return S_OK;
    });
}

} // namespace

HRESULT CProcessHookModule::Initialize(IvxModuleRegistry* registry, IUnknown* host)
{
    GUID moduleGuid = GUID_NULL;
    HRESULT hr = CoCreateGuid(&moduleGuid);
    if (FAILED(hr))
        return hr;
    {
        CriticalSectionLock guard(objectLock_);
        registry_ = registry;
        host_ = host;
        moduleGuid_ = moduleGuid;
        closed_ = false;
    }

    EnsureBrowserModule();

    if (!registry || !RegisterWithRegistry(registry, static_cast<IvxModule*>(this)))
        return E_FAIL;

    ComPtr<CvxCrControlsRecorder> recorder;
    hr = vx::com::CreateComObject(recorder);
    if (FAILED(hr))
        return hr;
    ComPtr<IUnknown> recorderIdentity = recorder->Identity();
    {
        CriticalSectionLock guard(objectLock_);
        recorder_ = recorderIdentity;
    }
    if (!RegisterWithRegistry(registry, recorderIdentity.Get()))
        return E_FAIL;
    return S_OK;
}

void CProcessHookModule::EnsureBrowserModule()
{
    ComPtr<CCrHookModule> module;
    ComPtr<IvxModuleRegistry> registry;
    ComPtr<IUnknown> host;
    {
        CriticalSectionLock guard(objectLock_);
        if (closed_)
            return;
        module = browserModule_;
        registry = registry_;
        host = host_;
    }
    if (!module) {
        if (GetChromeProcessKind() != ChromeProcessKind::Browser)
            return;
        // Made and initialised without the lock (it starts a worker and
        // registers with the host); of two threads doing this at once the
        // first to store its module wins.
        ComPtr<CCrHookModule> made;
        if (FAILED(vx::com::CreateComObject(made)))
            return;
        if (FAILED(made->Initialize(registry.Get(), host.Get()))) {
            // Take back whatever the failed initialisation set up (its worker
            // thread, its registration) instead of leaving it to the host.
            made->Shutdown();
            return;
        }
        bool lost = false;
        {
            CriticalSectionLock guard(objectLock_);
            lost = closed_ || browserModule_;
            if (!lost)
                browserModule_ = made;
            module = browserModule_;
        }
        if (lost)
            made->Shutdown();
        if (!module)
            return;
    }
    module->PushChangedOptionsToTabs();
}

void CProcessHookModule::Uninitialize()
{
    // Everything is taken out under the lock and shut down after it: the
    // browser module's shutdown joins its worker and calls other processes.
    ComPtr<CCrHookModule> browser;
    ComPtr<IvxModuleRegistry> registry;
    ComPtr<IUnknown> recorder;
    ComPtr<IUnknown> host;
    GUID moduleGuid = GUID_NULL;
    {
        CriticalSectionLock guard(objectLock_);
        closed_ = true;
        browser = std::move(browserModule_);
        registry = std::move(registry_);
        recorder = std::move(recorder_);
        host = std::move(host_);
        moduleGuid = moduleGuid_;
    }
    if (browser)
        browser->Shutdown();
    if (registry) {
        UnregisterFromRegistry(registry.Get(), moduleGuid);
        ComPtr<IvxModule> recorderModule;
        GUID recorderGuid = GUID_NULL;
        if (recorder && SUCCEEDED(recorder.As(&recorderModule)) &&
            SUCCEEDED(recorderModule->GetModuleGuid(&recorderGuid)))
            UnregisterFromRegistry(registry.Get(), recorderGuid);
    }
}

ComPtr<CCrHookModule> CProcessHookModule::BrowserModule()
{
    CriticalSectionLock guard(objectLock_);
    return browserModule_;
}
