#include "testobjects/ObjectNaming.h"

namespace vxCrTestObjects {
namespace {

bool IsAsciiDigit(wchar_t c) noexcept
{
    return c >= L'0' && c <= L'9';
}
bool IsAsciiUpper(wchar_t c) noexcept
{
    return c >= L'A' && c <= L'Z';
}
bool IsAsciiLower(wchar_t c) noexcept
{
    return c >= L'a' && c <= L'z';
}
bool IsAsciiAlnum(wchar_t c) noexcept
{
    return IsAsciiDigit(c) || IsAsciiUpper(c) || IsAsciiLower(c);
}
wchar_t ToUpper(wchar_t c) noexcept
{
    return IsAsciiLower(c) ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}
wchar_t ToLower(wchar_t c) noexcept
{
    return IsAsciiUpper(c) ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

class AliasWriter
{
public:
    // Copies one source; false once the alias is full.
    bool Append(const wchar_t* source, bool capitalizeFirst)
    {
        if (!source)
            return true;
        capitalizeNext_ = capitalizeFirst && !alias_.empty();
        for (size_t i = 0; source[i]; ++i) {
            if (alias_.size() >= kMaxAliasLength)
                return false;
            const wchar_t c = source[i];
            if (!IsAsciiAlnum(c)) {
                if (!alias_.empty())
                    capitalizeNext_ = true;
                continue;
            }
            if (alias_.empty()) {
                if (IsAsciiDigit(c))
                    continue;
                if (i == 0 && IsAsciiUpper(c) && IsAsciiUpper(source[1]))
                    continue;
            }
            alias_.push_back(capitalizeNext_ ? ToUpper(c) : ToLower(c));
            capitalizeNext_ = false;
        }
        return alias_.size() < kMaxAliasLength;
    }

    std::wstring Take() { return std::move(alias_); }

private:
    std::wstring alias_;
    bool capitalizeNext_ = false;
};

} // namespace

std::wstring BuildDefaultAlias(const wchar_t* prefix, const wchar_t* value)
{
    AliasWriter writer;
    if (writer.Append(prefix, false))
        writer.Append(value, true);
    return writer.Take();
}

} // namespace vxCrTestObjects
