#pragma once
#include <windows.h>

namespace ovComHelp_EXP {

// Waits for any of the handles while the calling thread keeps servicing COM
// calls (so a single-threaded apartment waiting here is not deadlocked by a
// call coming back into it). A thread without COM waits plainly.
// Returns the index of the signalled handle, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitComAware(const HANDLE* handles, DWORD count, DWORD timeoutMs);

inline DWORD WaitComAware(HANDLE handle, DWORD timeoutMs)
{
    return WaitComAware(&handle, 1, timeoutMs);
}

} // namespace ovComHelp_EXP
