#pragma once
#include <windows.h>

namespace vx::com {

// A Win32 critical section (recursive, like every critical section) owned for
// the lifetime of this object.
class CriticalSection
{
public:
    CriticalSection() noexcept { InitializeCriticalSection(&cs_); }
    ~CriticalSection() { DeleteCriticalSection(&cs_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() noexcept { EnterCriticalSection(&cs_); }
    void Leave() noexcept { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

// Holds a critical section for one scope.
class CriticalSectionLock
{
public:
    explicit CriticalSectionLock(CriticalSection& cs) noexcept : cs_(cs) { cs_.Enter(); }
    ~CriticalSectionLock() { cs_.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& cs_;
};

} // namespace vx::com
