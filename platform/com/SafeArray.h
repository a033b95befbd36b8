#pragma once
#include <windows.h>
#include <oleauto.h>
#include <utility>

namespace vx::com {

// Owner of one SAFEARRAY, destroyed with SafeArrayDestroy.
class SafeArray
{
public:
    SafeArray() noexcept = default;
    explicit SafeArray(SAFEARRAY* a) noexcept : a_(a) {}
    ~SafeArray() { Reset(); }
    SafeArray(SafeArray&& other) noexcept : a_(other.Detach()) {}
    SafeArray& operator=(SafeArray&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;

    SAFEARRAY* Get() const noexcept { return a_; }
    SAFEARRAY* Detach() noexcept { return std::exchange(a_, nullptr); }
    void Reset(SAFEARRAY* a = nullptr) noexcept
    {
        SAFEARRAY* old = std::exchange(a_, a);
        if (old)
            SafeArrayDestroy(old);
    }

private:
    SAFEARRAY* a_ = nullptr;
};

} // namespace vx::com
