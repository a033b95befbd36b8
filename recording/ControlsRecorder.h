#pragma once
#include <windows.h>

#include "generated/vxOpenAppServices.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"

// The web-controls recorder module: the engine calls it for every recorded
// user event on a page element. It is registered with the host next to the
// process module. For links, buttons, check boxes, edit boxes, drop-down
// lists and their options it writes the control kind and the value that a
// recorded step needs (new check state, typed text, chosen option) into the
// engine's event record; it answers whether it handled the event.
class CvxCrControlsRecorder
    : public vx::com::ComObject<CvxCrControlsRecorder, IvxModule, IvxModuleHidden, IvxScriptEventRecorder>
{
public:
    // {18EC443D-A84E-4D9C-BF1A-737A23E7DC35}
    static const GUID ModuleId;

    // IvxModule
    HRESULT STDMETHODCALLTYPE GetModuleGuid(GUID* moduleGuid) noexcept override;
    // IvxScriptEventRecorder
    HRESULT STDMETHODCALLTYPE OnRecordingStarted() noexcept override
    try {
        return S_OK;
    }
    VX_COM_CATCH
    HRESULT STDMETHODCALLTYPE OnRecordingStopped() noexcept override
    try {
        return S_OK;
    }
    VX_COM_CATCH
    VARIANT_BOOL STDMETHODCALLTYPE OnEvent(IUnknown* context, IUnknown* eventRecord,
                                           IDispatch* testObject) noexcept override;
};
