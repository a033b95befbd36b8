#pragma once
// For code that reads many DOM members in a row: a failed read becomes a
// CvxBadHRInvokeException naming the call site and the member, to be turned
// back into an HRESULT with error information at the COM boundary.
#include <windows.h>

#include "openapphook/InvokeException.h"

inline void CheckDomRead(HRESULT result, int callSite, const wchar_t* member)
{
    if (FAILED(result))
        throw vxOpenAppHook::CvxBadHRInvokeException(result, callSite, member);
}
