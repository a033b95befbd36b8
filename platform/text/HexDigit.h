#pragma once
// The value of a hexadecimal digit, for narrow and wide text alike.

namespace vx::text {

// 0 to 15 for '0'-'9', 'a'-'f' and 'A'-'F'; -1 for any other character.
template <class Char>
constexpr int HexDigitValue(Char c)
{
    if (c >= Char('0') && c <= Char('9'))
        return static_cast<int>(c - Char('0'));
    if (c >= Char('a') && c <= Char('f'))
        return static_cast<int>(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F'))
        return static_cast<int>(c - Char('A')) + 10;
    return -1;
}

static_assert(HexDigitValue('7') == 7 && HexDigitValue(L'b') == 11 && HexDigitValue('F') == 15);
static_assert(HexDigitValue('g') == -1 && HexDigitValue(L'/') == -1 && HexDigitValue(':') == -1);

} // namespace vx::text
