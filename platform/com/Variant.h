#pragma once
#include <windows.h>
#include <oleauto.h>

namespace vx::com {

// Owner of one VARIANT: initialised on construction, cleared on destruction.
class Variant
{
public:
    Variant() noexcept { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept
    {
        v_ = other.v_;
        VariantInit(&other.v_);
    }
    Variant& operator=(Variant&& other) noexcept
    {
        if (this != &other) {
            VariantClear(&v_);
            v_ = other.v_;
            VariantInit(&other.v_);
        }
        return *this;
    }

    // Deep copy (VariantCopy); the HRESULT tells whether the copy succeeded.
    HRESULT CopyFrom(const VARIANT& src) noexcept
    {
        VariantClear(&v_);
        return VariantCopy(&v_, const_cast<VARIANT*>(&src));
    }

    VARIANT* Get() noexcept { return &v_; }
    const VARIANT* Get() const noexcept { return &v_; }
    VARIANT& operator*() noexcept { return v_; }
    const VARIANT& operator*() const noexcept { return v_; }
    VARTYPE Type() const noexcept { return V_VT(&v_); }

    // Clears the held value and returns the slot for an out parameter.
    VARIANT* Out() noexcept
    {
        VariantClear(&v_);
        return &v_;
    }
    // Moves the held value into a caller-owned VARIANT (which must be empty).
    void Detach(VARIANT* out) noexcept
    {
        *out = v_;
        VariantInit(&v_);
    }

private:
    VARIANT v_;
};

} // namespace vx::com
