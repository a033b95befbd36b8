#pragma once
#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/com/CriticalSection.h"
#include "platform/com/UniqueHandle.h"

// A worker thread that runs posted work items one at a time, in posting
// order. Items are (kind, data) pairs; the derived class runs them
// (Execute) and frees their data (FreeItem). The thread owns a message queue:
// a WM_USER message tells it that items are pending.
class CAsynchronizer
{
public:
    CAsynchronizer() = default;
    virtual ~CAsynchronizer();
    CAsynchronizer(const CAsynchronizer&) = delete;
    CAsynchronizer& operator=(const CAsynchronizer&) = delete;

    // False when the thread runs already or cannot be created.
    bool Start();
    // Queues an item. Items posted before Start or after Stop are freed
    // without running. Posting from the worker thread runs the queue at once.
    void Post(int32_t kind, void* data);
    // Ends the thread after it has run what was queued. False when it was not
    // started.
    bool Stop();

    DWORD WorkerThreadId() const noexcept { return threadId_; }

protected:
    virtual void Execute(int32_t kind, void* data) = 0;
    virtual void FreeItem(int32_t kind, void* data) = 0;

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void RunPending();
    bool StopThread();

    DWORD threadId_ = 0;
    vx::com::UniqueHandle thread_;
    vx::com::UniqueHandle stopEvent_;
    vx::com::UniqueHandle doneEvent_;
    vx::com::CriticalSection queueLock_;
    std::vector<std::pair<int32_t, void*>> pending_;
};
