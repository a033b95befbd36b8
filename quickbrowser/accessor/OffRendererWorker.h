#pragma once
// A thread of the accessor's that runs work the renderer thread must not wait
// for: calls into other processes made because of DOM events (the engine's
// listeners may call back into this renderer, which a renderer thread waiting
// on them could not serve). Items run one at a time, in posting order, in the
// multi-threaded apartment. Started on first use.
#include <windows.h>

#include <functional>
#include <memory>

namespace vxCrQuickBrowser {

class OffRendererWorker
{
public:
    OffRendererWorker() = default;
    // Runs what was posted, waiting a bounded time for it; a thread that does
    // not finish in time ends on its own later without touching this object.
    ~OffRendererWorker();
    OffRendererWorker(const OffRendererWorker&) = delete;
    OffRendererWorker& operator=(const OffRendererWorker&) = delete;

    // E_OUTOFMEMORY or the thread-creation failure; the item is not run then.
    HRESULT Post(std::function<void()> work) noexcept;

private:
    struct State;
    static DWORD WINAPI ThreadMain(void* state);

    std::shared_ptr<State> state_;
};

} // namespace vxCrQuickBrowser
