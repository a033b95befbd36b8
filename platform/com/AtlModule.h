#pragma once
#include <windows.h>

// The library's module object: a count of live COM objects of the library.
// Every COM object locks it in its constructor and unlocks it in its
// destructor, so the count tells whether anything the library handed out is
// still alive.
class CCrHookAtlModule
{
public:
    static LONG Lock() noexcept { return InterlockedIncrement(&lockCount_); }
    static LONG Unlock() noexcept { return InterlockedDecrement(&lockCount_); }
    static LONG GetLockCount() noexcept { return InterlockedCompareExchange(&lockCount_, 0, 0); }

private:
    static inline LONG lockCount_ = 0;
};
