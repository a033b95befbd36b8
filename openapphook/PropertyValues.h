#pragma once
#include <oaidl.h>

namespace vxOpenAppHook {

// "Error: " followed by the exception description (for DISP_E_EXCEPTION with
// a description), else the system message for the code, else the code as
// "0x%x". Null only when the string cannot be allocated.
BSTR DispatchErrorText(HRESULT code, const EXCEPINFO* exceptionInfo);

// Reads several property values of `object` in one call: `ids` holds DISPIDs
// (a VT_ARRAY|VT_I4 vector, whose lower bound the answers keep), one member
// name (VT_BSTR) or one value convertible to a DISPID. `values` receives a
// VT_ARRAY|VT_VARIANT with each value or its error text, `results` a
// VT_ARRAY|VT_I4 with each HRESULT. `succeeded` is VARIANT_FALSE when an out
// pointer is missing or `ids` cannot be read; the return value is then still
// S_OK. Failures of the object's own calls go into `results`.
HRESULT CollectPropertyValues(IDispatch* object, const VARIANT& ids, VARIANT* values, VARIANT* results,
                              VARIANT_BOOL* succeeded);

} // namespace vxOpenAppHook
