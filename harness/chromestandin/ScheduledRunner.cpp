// The stand-in's action thread.
#include "ScheduledRunner.h"

#include <objbase.h>

#include <chrono>
#include <memory>

namespace chrome_standin {

ScheduledRunner::ScheduledRunner() : thread_([this] { Run(); }) {}

void ScheduledRunner::Post(std::function<void()> action)
{
    Enqueue(0, std::move(action));
}

void ScheduledRunner::PostAfter(DWORD delayMs, std::function<void()> action)
{
    Enqueue(GetTickCount64() + delayMs, std::move(action));
}

bool ScheduledRunner::Enqueue(std::uint64_t due, std::function<void()> action)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_)
        return false;
    queue_.emplace(Key(due, ++sequence_), std::move(action));
    changed_.notify_all();
    return true;
}

bool ScheduledRunner::RunAndWait(std::function<void()> action, DWORD timeoutMs)
{
    if (OnRunnerThread()) {
        action();
        return true;
    }
    struct Completion
    {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto completion = std::make_shared<Completion>();
    bool posted = Enqueue(0, [completion, action = std::move(action)] {
        action();
        std::lock_guard<std::mutex> lock(completion->mutex);
        completion->finished = true;
        completion->done.notify_all();
    });
    if (!posted)
        return false;
    std::unique_lock<std::mutex> lock(completion->mutex);
    return completion->done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return completion->finished; });
}

void ScheduledRunner::Stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable() && !OnRunnerThread())
        thread_.join();
}

void ScheduledRunner::Run()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (queue_.empty()) {
            changed_.wait(lock);
            continue;
        }
        auto first = queue_.begin();
        std::uint64_t now = GetTickCount64();
        if (first->first.first > now) {
            changed_.wait_for(lock, std::chrono::milliseconds(first->first.first - now));
            continue;
        }
        std::function<void()> action = std::move(first->second);
        queue_.erase(first);
        lock.unlock();
        action();
        action = nullptr; // captured references go before the lock is taken again
        lock.lock();
    }
    queue_.clear();
    lock.unlock();
    CoUninitialize();
}

} // namespace chrome_standin
