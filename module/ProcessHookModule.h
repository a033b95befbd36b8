#pragma once
#include <windows.h>

#include "generated/vxOpenAppServices.h"
#include "platform/com/ComObject.h"

class CCrHookModule;

// The module that every attached Chrome process (browser or renderer)
// registers with the host, together with the web-controls recorder. It takes
// option changes and recording start/stop from the host; in the browser
// process it owns the browser module.
class CProcessHookModule
    : public vx::com::ComObject<CProcessHookModule, IvxModule, IvxModuleOptions, IvxScriptEventRecorder>
{
public:
    CProcessHookModule();

    // IvxModule
    HRESULT STDMETHODCALLTYPE GetModuleGuid(GUID* moduleGuid) noexcept override;
    // IvxModuleOptions
    HRESULT STDMETHODCALLTYPE SetOption(const GUID* key, VARIANT value) noexcept override;
    // IvxScriptEventRecorder
    HRESULT STDMETHODCALLTYPE OnRecordingStarted() noexcept override;
    HRESULT STDMETHODCALLTYPE OnRecordingStopped() noexcept override;
    VARIANT_BOOL STDMETHODCALLTYPE OnEvent(IUnknown* context, IUnknown* eventRecord,
                                           IDispatch* testObject) noexcept override;

    HRESULT Initialize(IvxModuleRegistry* registry, IUnknown* host);
    void Uninitialize();

    // The browser module, only in the browser process (null elsewhere or when
    // its creation failed).
    Microsoft::WRL::ComPtr<CCrHookModule> BrowserModule();

protected:
    ~CProcessHookModule() override;

private:
    void EnsureBrowserModule();

    // Set by Uninitialize: no browser module is made afterwards.
    bool closed_ = false;
    GUID moduleGuid_ = GUID_NULL;
    Microsoft::WRL::ComPtr<IvxModuleRegistry> registry_;
    Microsoft::WRL::ComPtr<IUnknown> host_;
    Microsoft::WRL::ComPtr<CCrHookModule> browserModule_;
    Microsoft::WRL::ComPtr<IUnknown> recorder_;
};
