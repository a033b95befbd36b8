#pragma once
#include <windows.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/HookModuleSupports.h"
#include "platform/com/ComBoundary.h"

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

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override
    try {
        return outer_.QueryInterface(riid, ppv);
    }
    VX_COM_CATCH
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return outer_.AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return outer_.Release(); }

    HRESULT STDMETHODCALLTYPE OnRecordingStarted() noexcept override
    try {
        return supports_.StartRecording();
    }
    VX_COM_CATCH
    HRESULT STDMETHODCALLTYPE OnRecordingStopped() noexcept override
    try {
        return supports_.StopRecording();
    }
    VX_COM_CATCH
    VARIANT_BOOL STDMETHODCALLTYPE OnEvent(IUnknown* context, IUnknown* eventRecord,
                                           IDispatch* testObject) noexcept override
    try {
        return supports_.OnRecordedEvent(context, eventRecord, testObject);
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)

private:
    IUnknown& outer_;
    HookModuleSupports& supports_;
};

} // namespace vxOpenAppHook
