#include "quickbrowser/accessor/OffRendererWorker.h"

#include <deque>
#include <new>

#include "platform/com/CriticalSection.h"
#include "platform/com/UniqueHandle.h"

namespace vxCrQuickBrowser {

namespace {

constexpr DWORD kStopWaitMs = 5000;

} // namespace

// Shared by the owner and the thread, so either may go first.
struct OffRendererWorker::State
{
    vx::com::CriticalSection lock;
    std::deque<std::function<void()>> queue;
    bool stopping = false;
    vx::com::UniqueHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    vx::com::UniqueHandle thread;
};

DWORD WINAPI OffRendererWorker::ThreadMain(void* parameter)
{
    std::unique_ptr<std::shared_ptr<State>> held(static_cast<std::shared_ptr<State>*>(parameter));
    State& state = **held;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (;;) {
        std::function<void()> work;
        bool stop = false;
        {
            vx::com::CriticalSectionLock hold(state.lock);
            if (!state.queue.empty()) {
                work = std::move(state.queue.front());
                state.queue.pop_front();
            } else {
                stop = state.stopping;
            }
        }
        if (work) {
            try {
                work();
            } catch (...) {
                // An item's failure is its own; the next one still runs.
            }
            continue;
        }
        if (stop)
            break;
        WaitForSingleObject(state.wake.Get(), INFINITE);
    }
    CoUninitialize();
    return 0;
}

HRESULT OffRendererWorker::Post(std::function<void()> work) noexcept
try {
    if (!state_) {
        auto state = std::make_shared<State>();
        if (!state->wake)
            return HRESULT_FROM_WIN32(GetLastError());
        auto* forThread = new std::shared_ptr<State>(state);
        state->thread.Reset(CreateThread(nullptr, 0, &OffRendererWorker::ThreadMain, forThread, 0, nullptr));
        if (!state->thread) {
            const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
            delete forThread;
            return hr;
        }
        state_ = std::move(state);
    }
    {
        vx::com::CriticalSectionLock hold(state_->lock);
        state_->queue.push_back(std::move(work));
    }
    SetEvent(state_->wake.Get());
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

OffRendererWorker::~OffRendererWorker()
{
    if (!state_)
        return;
    {
        vx::com::CriticalSectionLock hold(state_->lock);
        state_->stopping = true;
    }
    SetEvent(state_->wake.Get());
    if (GetCurrentThreadId() != GetThreadId(state_->thread.Get()))
        WaitForSingleObject(state_->thread.Get(), kStopWaitMs);
}

} // namespace vxCrQuickBrowser
