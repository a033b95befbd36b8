#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>
#include <string_view>
#include <utility>

namespace vx::com {

// Owner of one BSTR. Copies are deep (SysAllocStringLen), so a BStr can be
// kept in containers; Detach hands the string to a caller that takes over its
// ownership, as OLE Automation out parameters require.
class BStr
{
public:
    BStr() noexcept = default;
    explicit BStr(const wchar_t* text) : s_(text ? SysAllocString(text) : nullptr) {}
    explicit BStr(std::wstring_view text) : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~BStr() { SysFreeString(s_); }
    BStr(const BStr& other) : s_(other.s_ ? SysAllocStringLen(other.s_, other.Length()) : nullptr) {}
    BStr& operator=(const BStr& other)
    {
        if (this != &other)
            Reset(other.s_ ? SysAllocStringLen(other.s_, other.Length()) : nullptr);
        return *this;
    }
    BStr(BStr&& other) noexcept : s_(other.Detach()) {}
    BStr& operator=(BStr&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    // Takes ownership of an existing BSTR.
    static BStr Attach(BSTR s) noexcept
    {
        BStr b;
        b.s_ = s;
        return b;
    }

    BSTR Get() const noexcept { return s_; }
    // Frees the held string and returns the slot for an out parameter.
    BSTR* Out() noexcept
    {
        Reset();
        return &s_;
    }
    BSTR Detach() noexcept { return std::exchange(s_, nullptr); }
    void Reset(BSTR s = nullptr) noexcept
    {
        BSTR old = std::exchange(s_, s);
        SysFreeString(old);
    }

    UINT Length() const noexcept { return SysStringLen(s_); }
    bool Empty() const noexcept { return Length() == 0; }
    std::wstring_view View() const noexcept { return s_ ? std::wstring_view(s_, Length()) : std::wstring_view(); }
    std::wstring Str() const { return std::wstring(View()); }

private:
    BSTR s_ = nullptr;
};

} // namespace vx::com
