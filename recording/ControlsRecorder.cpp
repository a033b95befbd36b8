#include "recording/ControlsRecorder.h"
#include "platform/com/ComBoundary.h"

const GUID CvxCrControlsRecorder::ModuleId = {
    0x18EC443D, 0xA84E, 0x4D9C, {0xBF, 0x1A, 0x73, 0x7A, 0x23, 0xE7, 0xDC, 0x35}};

HRESULT CvxCrControlsRecorder::GetModuleGuid(GUID* moduleGuid) noexcept
try {
    if (!moduleGuid)
        return E_POINTER;
    *moduleGuid = ModuleId;
    return S_OK;
}
VX_COM_CATCH

VARIANT_BOOL CvxCrControlsRecorder::OnEvent(IUnknown*, IUnknown*, IDispatch*) noexcept
try {
    return VARIANT_FALSE;
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)
