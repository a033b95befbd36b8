#include "module/Asynchronizer.h"

#include <objbase.h>

using vx::com::CriticalSectionLock;

CAsynchronizer::~CAsynchronizer()
{
    // Derived classes call Stop in their own destructor, while their Execute
    // and FreeItem are still callable; this only ends a thread left running.
    StopThread();
}

bool CAsynchronizer::Start()
{
    if (thread_)
        return false;
    stopEvent_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    doneEvent_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_ || !doneEvent_) {
        stopEvent_.Reset();
        doneEvent_.Reset();
        return false;
    }
    DWORD id = 0;
    thread_.Reset(CreateThread(nullptr, 0, &CAsynchronizer::ThreadMain, this, 0, &id));
    if (!thread_) {
        stopEvent_.Reset();
        doneEvent_.Reset();
        return false;
    }
    threadId_ = id;
    return true;
}

DWORD WINAPI CAsynchronizer::ThreadMain(void* self)
{
    static_cast<CAsynchronizer*>(self)->Run();
    return 0;
}

void CAsynchronizer::Run()
{
    // Make sure the thread has a message queue before anybody posts to it:
    // PostThreadMessage fails for a thread without one.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);

    bool running = true;
    while (running) {
        HANDLE stop = stopEvent_.Get();
        DWORD reason = MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT);
        if (reason == WAIT_OBJECT_0)
            PostQuitMessage(0);
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                running = false;
                break;
            }
            if (msg.message == WM_USER && msg.hwnd == nullptr) {
                RunPending();
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    RunPending();
    SetEvent(doneEvent_.Get());
    // Returning would run thread-detach notifications under the loader lock,
    // which Stop may hold while it waits (at library detach); Stop ends the
    // thread instead.
    Sleep(INFINITE);
}

void CAsynchronizer::RunPending()
{
    std::vector<std::pair<int32_t, void*>> items;
    {
        CriticalSectionLock guard(queueLock_);
        items.swap(pending_);
    }
    for (auto& [kind, data] : items) {
        Execute(kind, data);
        FreeItem(kind, data);
    }
}

void CAsynchronizer::Post(int32_t kind, void* data)
{
    if (!thread_) {
        FreeItem(kind, data);
        return;
    }
    {
        CriticalSectionLock guard(queueLock_);
        pending_.emplace_back(kind, data);
    }
    if (GetCurrentThreadId() == threadId_)
        RunPending();
    else
        PostThreadMessageA(threadId_, WM_USER, 0, 0);
}

bool CAsynchronizer::Stop()
{
    if (!StopThread())
        return false;
    // Items that raced with the stop are freed, not leaked.
    std::vector<std::pair<int32_t, void*>> leftovers;
    {
        CriticalSectionLock guard(queueLock_);
        leftovers.swap(pending_);
    }
    for (auto& [kind, data] : leftovers)
        FreeItem(kind, data);
    return true;
}

bool CAsynchronizer::StopThread()
{
    if (!thread_)
        return false;
    SetEvent(stopEvent_.Get());
    if (WaitForSingleObject(thread_.Get(), 0) == WAIT_TIMEOUT) {
        HANDLE handles[] = {doneEvent_.Get(), thread_.Get()};
        DWORD index = 0;
        // A COM-aware wait keeps serving calls into this thread's apartment;
        // when it cannot wait (a thread outside COM), a plain wait does.
        HRESULT hr = CoWaitForMultipleHandles(0, INFINITE, 2, handles, &index);
        if (FAILED(hr))
            WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        TerminateThread(thread_.Get(), 0);
        // TerminateThread returns before the thread is gone; wait for it so
        // that nothing of this object is touched afterwards.
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
    thread_.Reset();
    stopEvent_.Reset();
    doneEvent_.Reset();
    threadId_ = 0;
    return true;
}
