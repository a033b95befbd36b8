#pragma once
// One thread (in the multi-threaded COM apartment) that runs posted actions:
// immediate ones first, in posting order, then timed ones when they fall
// due (in due order, posting order among equals). Actions posted after Stop
// are dropped; pending ones are dropped by Stop.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace chrome_standin {

class ScheduledRunner
{
public:
    ScheduledRunner();
    ~ScheduledRunner() { Stop(); }
    ScheduledRunner(const ScheduledRunner&) = delete;
    ScheduledRunner& operator=(const ScheduledRunner&) = delete;

    void Post(std::function<void()> action);
    void PostAfter(DWORD delayMs, std::function<void()> action);
    // Runs `action` on the runner thread after everything posted before it
    // that is not timed, and waits for it; false when it did not run in time
    // (or the runner is stopped). Called on the runner thread, runs at once.
    bool RunAndWait(std::function<void()> action, DWORD timeoutMs = 10000);
    bool OnRunnerThread() const { return std::this_thread::get_id() == thread_.get_id(); }
    void Stop();

private:
    using Key = std::pair<std::uint64_t, std::uint64_t>; // due tick (0: immediate), sequence
    bool Enqueue(std::uint64_t due, std::function<void()> action);
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Key, std::function<void()>> queue_;
    std::uint64_t sequence_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace chrome_standin
