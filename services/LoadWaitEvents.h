#pragma once
// The waiters for one kind of loading change of a tab (loading started, or
// loading stopped). Each waiter owns a manual-reset event that it registers
// before the action it waits for, so a change that happens before the wait
// begins is not missed; the tab signals every registered event when the
// loading flag changes. Waits poll in 100 ms steps against GetTickCount and
// never hold any lock.
#include <windows.h>

#include <vector>

#include "platform/com/CriticalSection.h"
#include "platform/com/UniqueHandle.h"

class LoadWaitEvents
{
public:
    static constexpr DWORD kPollStepMs = 100;

    // One registered event: registered on construction, unregistered and
    // closed on destruction.
    class Waiter
    {
    public:
        explicit Waiter(LoadWaitEvents& events);
        ~Waiter();
        Waiter(const Waiter&) = delete;
        Waiter& operator=(const Waiter&) = delete;

        // False when the event could not be created (then it never signals).
        bool Valid() const noexcept { return event_.Valid(); }
        bool IsSignalled() const;
        // True when the event is signalled within `limitMs` (measured from
        // the call); at most one poll step later than the limit otherwise.
        bool Wait(DWORD limitMs) const;

    private:
        LoadWaitEvents& events_;
        vx::com::UniqueHandle event_;
    };

    LoadWaitEvents() = default;
    LoadWaitEvents(const LoadWaitEvents&) = delete;
    LoadWaitEvents& operator=(const LoadWaitEvents&) = delete;

    // Sets every registered event.
    void SignalAll();
    size_t Count() const;

private:
    void Register(HANDLE event);
    void Unregister(HANDLE event);

    mutable vx::com::CriticalSection lock_;
    std::vector<HANDLE> events_;
};
