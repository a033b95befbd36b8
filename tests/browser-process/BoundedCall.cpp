#include "BoundedCall.h"

#include <objbase.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace browser_process_tests {
namespace {

struct CallState
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    HRESULT hr = E_PENDING;
};

} // namespace

BoundedResult CallWithin(DWORD limitMs, const char* what, std::function<HRESULT()> call)
{
    auto state = std::make_shared<CallState>();
    const DWORD start = GetTickCount();
    std::thread([state, call = std::move(call)] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        HRESULT hr = call();
        CoUninitialize();
        std::lock_guard<std::mutex> guard(state->mutex);
        state->hr = hr;
        state->finished = true;
        state->done.notify_all();
    }).detach();

    std::unique_lock<std::mutex> guard(state->mutex);
    if (!state->done.wait_for(guard, std::chrono::milliseconds(limitMs), [&] { return state->finished; })) {
        // What the test reported so far goes out first: _Exit drops buffers.
        std::fflush(stdout);
        std::fprintf(stderr, "FATAL: %s did not return within %lu ms\n", what, static_cast<unsigned long>(limitMs));
        std::fflush(stderr);
        std::_Exit(3);
    }
    return {state->hr, GetTickCount() - start};
}

} // namespace browser_process_tests
