#pragma once
// A child process driven line by line: commands go to its standard input,
// its standard output is collected as lines that the test waits for.
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "platform/com/UniqueHandle.h"

namespace rendezvous_tests {

class InteractiveChild
{
public:
    // Starts `commandLine` with the given variables added to the environment.
    InteractiveChild(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& environment = {});
    ~InteractiveChild();
    InteractiveChild(const InteractiveChild&) = delete;
    InteractiveChild& operator=(const InteractiveChild&) = delete;

    bool Started() const { return process_.Valid(); }
    // Why it did not start: the step that failed and its error code.
    const std::string& StartFailure() const { return startFailure_; }
    DWORD ProcessId() const { return processId_; }

    void Send(const std::string& line);
    // The next output line starting with `prefix` (earlier lines are
    // skipped), without the prefix; "<timeout>" when none comes in time.
    std::string WaitFor(const std::string& prefix, DWORD timeoutMs = 8000);
    // Ends the process at once, as a crash would, and waits for its end;
    // false when it did not end within a minute.
    bool Kill();
    // Closes its input and waits for it to end; its exit code.
    DWORD Finish(DWORD timeoutMs = 8000);

private:
    vx::com::UniqueHandle process_;
    vx::com::UniqueHandle input_;
    vx::com::UniqueHandle output_;
    DWORD processId_ = 0;
    std::string startFailure_;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::string> lines_;
    bool ended_ = false;
    std::atomic<bool> stop_{false};
};

std::wstring ProgramPath(const wchar_t* name);
std::wstring LayoutDirectory();

} // namespace rendezvous_tests
