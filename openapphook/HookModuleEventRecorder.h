#pragma once
#include <windows.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/HookModuleSupports.h"

namespace vxOpenAppHook {

// The hook module's IvxScriptEventRecorder: lives inside the module, shares
// its identity and reference count, and runs the module's recording state
// (start, stop, events) over the module's supports.
class CHookModuleEventRecorder final : public IvxScriptEventRecorder
{
public:
    CHookModuleEventRecorder(IUnknown& outer, HookModuleSupports& supports) noexcept
        : outer_(outer), supports_(supports)
    {
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return outer_.QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_.Release(); }

    HRESULT STDMETHODCALLTYPE OnRecordingStarted() override { return supports_.StartRecording(); }
    HRESULT STDMETHODCALLTYPE OnRecordingStopped() override { return supports_.StopRecording(); }
    VARIANT_BOOL STDMETHODCALLTYPE OnEvent(IUnknown* context, IUnknown* eventRecord, IDispatch* testObject) override
    {
        return supports_.OnRecordedEvent(context, eventRecord, testObject);
    }

private:
    IUnknown& outer_;
    HookModuleSupports& supports_;
};

} // namespace vxOpenAppHook
