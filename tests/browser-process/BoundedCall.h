#pragma once
// Calls that must come back: each runs on a thread of its own (in the
// multithreaded apartment) and is given a time limit. A call that does not
// return in time ends the test program with a message, since its thread still
// uses the test's objects.
#include <windows.h>

#include <functional>

namespace browser_process_tests {

struct BoundedResult
{
    HRESULT hr = E_PENDING;
    DWORD elapsedMs = 0;
};

BoundedResult CallWithin(DWORD limitMs, const char* what, std::function<HRESULT()> call);

} // namespace browser_process_tests
