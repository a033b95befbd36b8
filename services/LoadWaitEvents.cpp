#include "services/LoadWaitEvents.h"

#include <algorithm>

using vx::com::CriticalSectionLock;

LoadWaitEvents::Waiter::Waiter(LoadWaitEvents& events)
    : events_(events), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (event_)
        events_.Register(event_.Get());
}

LoadWaitEvents::Waiter::~Waiter()
{
    if (event_)
        events_.Unregister(event_.Get());
}

bool LoadWaitEvents::Waiter::IsSignalled() const
{
    return event_ && WaitForSingleObject(event_.Get(), 0) == WAIT_OBJECT_0;
}

bool LoadWaitEvents::Waiter::Wait(DWORD limitMs) const
{
    if (!event_)
        return false;
    const DWORD start = GetTickCount();
    for (;;) {
        if (WaitForSingleObject(event_.Get(), kPollStepMs) == WAIT_OBJECT_0)
            return true;
        // The difference stays right when the tick count wraps around.
        if (GetTickCount() - start >= limitMs)
            return false;
    }
}

void LoadWaitEvents::SignalAll()
{
    CriticalSectionLock guard(lock_);
    for (HANDLE event : events_)
        SetEvent(event);
}

size_t LoadWaitEvents::Count() const
{
    CriticalSectionLock guard(lock_);
    return events_.size();
}

void LoadWaitEvents::Register(HANDLE event)
{
    CriticalSectionLock guard(lock_);
    events_.push_back(event);
}

void LoadWaitEvents::Unregister(HANDLE event)
{
    CriticalSectionLock guard(lock_);
    events_.erase(std::remove(events_.begin(), events_.end(), event), events_.end());
}
