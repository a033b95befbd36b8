#include "comhelp/ComAwareWait.h"

#include <objbase.h>

namespace ovComHelp_EXP {

DWORD WaitComAware(const HANDLE* handles, DWORD count, DWORD timeoutMs)
{
    DWORD index = 0;
    HRESULT hr = CoWaitForMultipleHandles(0, timeoutMs, count, const_cast<HANDLE*>(handles), &index);
    if (hr == S_OK)
        return index;
    if (hr == RPC_S_CALLPENDING)
        return WAIT_TIMEOUT;
    if (hr == CO_E_NOTINITIALIZED) {
        DWORD result = WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
        if (result < WAIT_OBJECT_0 + count)
            return result - WAIT_OBJECT_0;
        return result == WAIT_TIMEOUT ? WAIT_TIMEOUT : WAIT_FAILED;
    }
    return WAIT_FAILED;
}

} // namespace ovComHelp_EXP
