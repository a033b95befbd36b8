#pragma once
// Runs a function on the thread that owns a window of this process: message
// hooks on that thread pick queued requests up as soon as it handles its
// next message.
#include <windows.h>

#include <cstddef>

#include "generated/ovComHelp.h"

namespace ovComHelp_EXP {

// Runs function(userValue) on the thread of `window`, climbing to the first
// parent window that belongs to this process. Runs at once when that thread
// is the calling one. Waits (servicing COM calls) for the target thread to
// start the function within the window-thread time-out, then for it to end.
// True when the function ran to completion; false when there is no window of
// this process, the request could not be delivered or did not start in time
// (the function then never runs), or the function ended with an exception.
bool RunOnWindowThread(HWND window, OV_INVOKE_PROC function, void* userValue);

// Diagnostics: the number of threads that currently carry the runner's
// hooks, and the number of requests in progress for one thread (0 when it
// carries no hooks).
std::size_t HookedThreadCount();
unsigned WindowThreadHookUseCount(DWORD threadId);

} // namespace ovComHelp_EXP
