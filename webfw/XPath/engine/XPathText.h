// Conversions and string helpers defined by XPath 1.0: number <-> string,
// whitespace, and character (code point) indexing over std::wstring, which
// holds UTF-16 where wchar_t has 16 bits and UTF-32 elsewhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vxWebFw {
namespace XPath {
namespace Engine {
namespace Text {

// #x20 | #x9 | #xD | #xA
constexpr bool isWhitespace(wchar_t c) { return c == 0x20 || c == 0x9 || c == 0xD || c == 0xA; }

// The string() of a number: NaN, Infinity, -Infinity, integers without a
// decimal point, other values in plain decimal notation with as many digits
// as needed to tell the value apart from every other double; -0 gives "0".
std::wstring formatNumber(double value);

// The number() of a string: optional whitespace, optional minus, a Number,
// optional whitespace; anything else is NaN.
double parseNumber(std::wstring_view text);

// round(), floor() and ceiling() of XPath 1.0.
double round(double value);

// Number of characters; a UTF-16 surrogate pair counts as one.
std::size_t characterCount(std::wstring_view text);

// std::u32string of the characters (surrogate pairs combined on UTF-16).
std::u32string toCharacters(std::wstring_view text);
void appendCharacter(std::wstring& out, char32_t character);

std::wstring substring(std::wstring_view text, double start, double length, bool hasLength);
std::wstring normalizeSpace(std::wstring_view text);
std::wstring translate(std::wstring_view text, std::wstring_view from, std::wstring_view to);
// Position of the first occurrence of pattern in text, or npos. Linear in
// the two lengths also when both are long (values from a page can be
// megabytes long), where a plain search may take their product.
std::size_t find(std::wstring_view text, std::wstring_view pattern);

} // namespace Text
} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
