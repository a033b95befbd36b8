#pragma once
#include <windows.h>
#include <utility>

namespace vx::com {

// Owner of a kernel handle. Both null and INVALID_HANDLE_VALUE count as empty,
// because Win32 functions use either to say "no handle".
class UniqueHandle
{
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(HANDLE h) noexcept : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const noexcept { return h_; }
    bool Valid() const noexcept { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const noexcept { return Valid(); }

    HANDLE Release() noexcept { return std::exchange(h_, nullptr); }
    void Reset(HANDLE h = nullptr) noexcept
    {
        HANDLE old = std::exchange(h_, h);
        if (old != nullptr && old != INVALID_HANDLE_VALUE)
            CloseHandle(old);
    }

private:
    HANDLE h_ = nullptr;
};

} // namespace vx::com
