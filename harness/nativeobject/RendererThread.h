#pragma once
// The stand-in's renderer main thread: runs posted callbacks one at a time in
// posting order. A caller waits for its callback at most the given time-out;
// a callback that has not started by then is dropped (its context lives on
// the caller's stack), one that has started is waited for.
#include <windows.h>

#include <atomic>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "generated/vxCrHook.h"

namespace harness {

class RendererThread
{
public:
    RendererThread();
    ~RendererThread();
    RendererThread(const RendererThread&) = delete;
    RendererThread& operator=(const RendererThread&) = delete;

    // Runs callback(context) on the renderer thread and returns its HRESULT;
    // HRESULT_FROM_WIN32(ERROR_TIMEOUT) when it did not start within
    // `timeoutMs`. COM error information set by the callback is carried to
    // the calling thread. Called on the renderer thread itself, it runs inline.
    HRESULT Run(VxCrRendererThreadCallback callback, void* context, ULONG timeoutMs);

    bool IsCurrent() const { return GetCurrentThreadId() == threadId_; }
    // Time spent running callbacks since the last reset (for benchmarks).
    double BusySeconds() const;
    void ResetBusy() { busyTicks_ = 0; }
    DWORD ThreadId() const { return threadId_; }

    // Keeps the renderer thread busy until the returned guard is destroyed.
    class Block
    {
    public:
        explicit Block(RendererThread& owner);
        ~Block();
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;

    private:
        RendererThread& owner_;
    };

private:
    std::atomic<long long> busyTicks_{0};
    struct Task
    {
        enum class State { Queued, Running, Done, Dropped };
        VxCrRendererThreadCallback callback = nullptr;
        void* context = nullptr;
        State state = State::Queued;
        HRESULT result = S_OK;
        IErrorInfo* errorInfo = nullptr;
        bool blocker = false;
    };

    void Loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Task>> queue_;
    bool stopping_ = false;
    bool blocked_ = false;
    DWORD threadId_ = 0;
    std::thread thread_;
};

} // namespace harness
