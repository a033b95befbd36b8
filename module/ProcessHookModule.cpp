#include "module/ProcessHookModule.h"

#include "module/ChromeProcess.h"
#include "module/CrHookModule.h"
#include "module/ProcessOptions.h"
#include "recording/ControlsRecorder.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

CProcessHookModule::CProcessHookModule() = default;
CProcessHookModule::~CProcessHookModule() = default;

HRESULT CProcessHookModule::GetModuleGuid(GUID* moduleGuid)
{
    if (!moduleGuid)
        return E_POINTER;
    *moduleGuid = moduleGuid_;
    return S_OK;
}

HRESULT CProcessHookModule::SetOption(const GUID* key, VARIANT value)
{
    if (!key)
        return E_POINTER;
    CriticalSectionLock guard(objectLock_);
    bool changed = false;
    HRESULT hr = ProcessOptions().SetOption(*key, value, changed);
    if (FAILED(hr))
        return hr;
    if (changed)
        EnsureBrowserModule();
    return S_OK;
}

HRESULT CProcessHookModule::OnRecordingStarted()
{
    ProcessOptions().SetRecording(true);
    return S_OK;
}

HRESULT CProcessHookModule::OnRecordingStopped()
{
    ProcessOptions().SetRecording(false);
    return S_OK;
}

VARIANT_BOOL CProcessHookModule::OnEvent(IUnknown*, IUnknown*, IDispatch*)
{
    return VARIANT_FALSE;
}

HRESULT CProcessHookModule::Initialize(IvxModuleRegistry* registry, IUnknown* host)
{
    CriticalSectionLock guard(objectLock_);
    registry_ = registry;
    host_ = host;
    HRESULT hr = CoCreateGuid(&moduleGuid_);
    if (FAILED(hr))
        return hr;

    EnsureBrowserModule();

    if (!registry_ || registry_->RegisterModule(static_cast<IvxModule*>(this)) == VARIANT_FALSE)
        return E_FAIL;

    ComPtr<CvxCrControlsRecorder> recorder;
    hr = vx::com::CreateComObject(recorder);
    if (FAILED(hr))
        return hr;
    recorder_ = recorder->Identity();
    if (registry_->RegisterModule(recorder_.Get()) == VARIANT_FALSE)
        return E_FAIL;
    return S_OK;
}

void CProcessHookModule::EnsureBrowserModule()
{
    if (!browserModule_) {
        if (GetChromeProcessKind() != ChromeProcessKind::Browser)
            return;
        ComPtr<CCrHookModule> module;
        if (FAILED(vx::com::CreateComObject(module)))
            return;
        if (FAILED(module->Initialize(registry_.Get(), host_.Get()))) {
            // Take back whatever the failed initialisation set up (its worker
            // thread, its registration) instead of leaving it to the host.
            module->Shutdown();
            return;
        }
        browserModule_ = std::move(module);
    }
    browserModule_->PushChangedOptionsToTabs();
}

void CProcessHookModule::Uninitialize()
{
    CriticalSectionLock guard(objectLock_);
    if (ComPtr<CCrHookModule> browser = std::move(browserModule_))
        browser->Shutdown();
    if (registry_) {
        registry_->UnregisterModule(&moduleGuid_);
        if (ComPtr<IUnknown> recorder = std::move(recorder_)) {
            ComPtr<IvxModule> recorderModule;
            GUID recorderGuid = GUID_NULL;
            if (SUCCEEDED(recorder.As(&recorderModule)) && SUCCEEDED(recorderModule->GetModuleGuid(&recorderGuid)))
                registry_->UnregisterModule(&recorderGuid);
        }
    }
    recorder_.Reset();
    registry_.Reset();
    host_.Reset();
}

ComPtr<CCrHookModule> CProcessHookModule::BrowserModule()
{
    CriticalSectionLock guard(objectLock_);
    return browserModule_;
}
