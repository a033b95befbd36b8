#pragma once
// What every test here needs: COM on the test thread, the product folder of
// the test layout (for the COM utility module's synchronous invoker), and the
// library's object count, which must be back where it started at the end.
#include <windows.h>

#include <functional>
#include <string>

#include "platform/com/AtlModule.h"
#include "tests/support/LayoutFolder.h"

namespace browser_services_tests {

using testsupport::LayoutDirectory;

// Polls `condition` every 10 ms until it holds or `timeoutMs` passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

class ComEnvironment
{
public:
    ComEnvironment();
    ~ComEnvironment();
    ComEnvironment(const ComEnvironment&) = delete;
    ComEnvironment& operator=(const ComEnvironment&) = delete;

    LONG StartLockCount() const { return startLockCount_; }
    // Lets the synchronous invoker go (it holds library objects) and waits
    // briefly for objects released on other threads.
    LONG SettledLockCount();

private:
    LONG startLockCount_;
};

} // namespace browser_services_tests
