#include "comhelp/WindowThreadRunner.h"

#include <list>
#include <map>

#include "comhelp/ComAwareWait.h"
#include "platform/process/WindowThreadTimeout.h"
#include "platform/com/CriticalSection.h"
#include "platform/com/UniqueHandle.h"

using vx::com::CriticalSection;
using vx::com::CriticalSectionLock;
using vx::com::UniqueHandle;

namespace ovComHelp_EXP {
namespace {

struct Request
{
    OV_INVOKE_PROC function = nullptr;
    void* userValue = nullptr;
    bool done = false;
    UniqueHandle started;
    UniqueHandle finished;
    DWORD targetThread = 0;
};

struct HookRecord
{
    HHOOK getMessageHook = nullptr;
    HHOOK callWindowProcHook = nullptr;
    unsigned useCount = 0;
};

class Runner
{
public:
    static Runner& Instance()
    {
        static Runner runner;
        return runner;
    }

    bool Run(HWND window, OV_INVOKE_PROC function, void* userValue);
    void RunPendingForCurrentThread();

    std::size_t HookedThreads()
    {
        CriticalSectionLock guard(lock_);
        return hooks_.size();
    }
    unsigned UseCount(DWORD threadId)
    {
        CriticalSectionLock guard(lock_);
        auto found = hooks_.find(threadId);
        return found == hooks_.end() ? 0 : found->second.useCount;
    }

private:
    bool AcquireHooks(DWORD threadId);
    void ReleaseHooks(DWORD threadId);
    bool RemoveIfQueued(Request* request);
    Request* TakeNextFor(DWORD threadId);

    CriticalSection lock_;
    std::map<DWORD, HookRecord> hooks_;
    std::list<Request*> pending_;
};

LRESULT CALLBACK RunnerHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0)
        Runner::Instance().RunPendingForCurrentThread();
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The window itself or its first ancestor that belongs to this process.
HWND FindWindowOfThisProcess(HWND window)
{
    DWORD self = GetCurrentProcessId();
    for (HWND current = window; current; current = GetAncestor(current, GA_PARENT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(current, &owner);
        if (owner == self)
            return current;
        if (current == GetDesktopWindow())
            break;
    }
    return nullptr;
}

bool RunGuarded(OV_INVOKE_PROC function, void* userValue) noexcept
{
    try {
        function(userValue);
        return true;
    } catch (...) {
        return false;
    }
}

bool Runner::AcquireHooks(DWORD threadId)
{
    CriticalSectionLock guard(lock_);
    auto found = hooks_.find(threadId);
    if (found != hooks_.end()) {
        ++found->second.useCount;
        return true;
    }
    HookRecord record;
    record.getMessageHook = SetWindowsHookExW(WH_GETMESSAGE, RunnerHook, nullptr, threadId);
    record.callWindowProcHook = SetWindowsHookExW(WH_CALLWNDPROC, RunnerHook, nullptr, threadId);
    if (!record.getMessageHook || !record.callWindowProcHook) {
        if (record.getMessageHook)
            UnhookWindowsHookEx(record.getMessageHook);
        if (record.callWindowProcHook)
            UnhookWindowsHookEx(record.callWindowProcHook);
        return false;
    }
    record.useCount = 1;
    hooks_.emplace(threadId, record);
    return true;
}

void Runner::ReleaseHooks(DWORD threadId)
{
    CriticalSectionLock guard(lock_);
    auto found = hooks_.find(threadId);
    if (found == hooks_.end() || --found->second.useCount > 0)
        return;
    UnhookWindowsHookEx(found->second.getMessageHook);
    UnhookWindowsHookEx(found->second.callWindowProcHook);
    hooks_.erase(found);
}

bool Runner::RemoveIfQueued(Request* request)
{
    CriticalSectionLock guard(lock_);
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (*it == request) {
            pending_.erase(it);
            return true;
        }
    }
    return false;
}

Request* Runner::TakeNextFor(DWORD threadId)
{
    CriticalSectionLock guard(lock_);
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if ((*it)->targetThread == threadId) {
            Request* request = *it;
            pending_.erase(it);
            return request;
        }
    }
    return nullptr;
}

void Runner::RunPendingForCurrentThread()
{
    DWORD self = GetCurrentThreadId();
    while (Request* request = TakeNextFor(self)) {
        // Once taken from the queue the request belongs to this thread until
        // its finished event is set: the caller then stops waiting.
        request->done = false;
        SetEvent(request->started.Get());
        request->done = RunGuarded(request->function, request->userValue);
        SetEvent(request->finished.Get());
    }
}

// A started request has no time limit; only the end of the target thread in
// the middle of the function stops the wait (the request then counts as not
// done).
void WaitUntilFinished(const Request& request)
{
    UniqueHandle thread(OpenThread(SYNCHRONIZE, FALSE, request.targetThread));
    HANDLE handles[2] = {request.finished.Get(), thread.Get()};
    DWORD count = thread ? 2 : 1;
    DWORD waited = WaitComAware(handles, count, INFINITE);
    if (waited == WAIT_FAILED)
        WaitForMultipleObjects(count, handles, FALSE, INFINITE);
}

bool Runner::Run(HWND window, OV_INVOKE_PROC function, void* userValue)
{
    if (!function || !IsWindow(window))
        return false;
    HWND target = FindWindowOfThisProcess(window);
    if (!target)
        return false;
    DWORD threadId = GetWindowThreadProcessId(target, nullptr);
    if (threadId == GetCurrentThreadId())
        return RunGuarded(function, userValue);

    if (!AcquireHooks(threadId))
        return false;
    Request request;
    request.function = function;
    request.userValue = userValue;
    request.targetThread = threadId;
    request.started.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    request.finished.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (request.started && request.finished) {
        {
            CriticalSectionLock guard(lock_);
            pending_.push_back(&request);
        }
        if (!PostThreadMessageW(threadId, WM_NULL, 0, 0)) {
            RemoveIfQueued(&request);
        } else {
            DWORD waited = WaitComAware(request.started.Get(), GetWindowThreadCallTimeout());
            // Still queued means not started: it must never run now. Not
            // queued means the target thread took it, so it is running or
            // about to signal its start.
            if (!(waited != 0 && RemoveIfQueued(&request)))
                WaitUntilFinished(request);
        }
    }
    ReleaseHooks(threadId);
    return request.done;
}

} // namespace

bool RunOnWindowThread(HWND window, OV_INVOKE_PROC function, void* userValue)
{
    return Runner::Instance().Run(window, function, userValue);
}

std::size_t HookedThreadCount()
{
    return Runner::Instance().HookedThreads();
}

unsigned WindowThreadHookUseCount(DWORD threadId)
{
    return Runner::Instance().UseCount(threadId);
}

} // namespace ovComHelp_EXP
