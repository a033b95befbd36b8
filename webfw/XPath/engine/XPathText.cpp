#include "XPathText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <unordered_map>

namespace vxWebFw {
namespace XPath {
namespace Engine {
namespace Text {

namespace {

constexpr bool kUtf16 = sizeof(wchar_t) == 2;

bool isHighSurrogate(wchar_t c) { return kUtf16 && c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return kUtf16 && c >= 0xDC00 && c <= 0xDFFF; }

bool hasSurrogates(std::wstring_view text) {
    if (!kUtf16) return false;
    for (wchar_t c : text)
        if (c >= 0xD800 && c <= 0xDFFF) return true;
    return false;
}

} // namespace

std::wstring formatNumber(double value) {
    if (std::isnan(value)) return L"NaN";
    if (std::isinf(value)) return value > 0 ? L"Infinity" : L"-Infinity";
    if (value == 0) return L"0";
    // Shortest round-trip digits in fixed notation: no exponent ever, and an
    // integer value prints without a decimal point. The longest such text
    // (the smallest subnormal) is about 330 characters.
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::wstring(buffer, result.ptr);
}

double parseNumber(std::wstring_view text) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isWhitespace(text[begin]))
        ++begin;
    while (end > begin && isWhitespace(text[end - 1]))
        --end;
    std::string ascii;
    ascii.reserve(end - begin);
    std::size_t i = begin;
    if (i < end && text[i] == L'-') ascii += '-', ++i;
    std::size_t digitsBefore = 0;
    std::size_t digitsAfter = 0;
    for (; i < end && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digitsBefore)
        ascii += static_cast<char>(text[i]);
    if (i < end && text[i] == L'.') {
        ascii += '.';
        for (++i; i < end && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digitsAfter)
            ascii += static_cast<char>(text[i]);
    }
    if (i != end || digitsBefore + digitsAfter == 0) return nan;
    double value = 0;
    auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::fixed);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large: +-Infinity; too small: +-0.
        bool negative = ascii[0] == '-';
        bool large = digitsBefore > 0 && ascii.find_first_not_of("-0") < ascii.find('.');
        if (large) return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return negative ? -0.0 : 0.0;
    }
    if (result.ec != std::errc()) return nan;
    return value;
}

double round(double value) {
    if (std::isnan(value) || std::isinf(value) || value == 0) return value;
    if (value < 0 && value >= -0.5) return -0.0;
    double lower = std::floor(value);
    return value - lower >= 0.5 ? lower + 1 : lower;
}

std::size_t characterCount(std::wstring_view text) {
    std::size_t count = text.size();
    if (kUtf16)
        for (std::size_t i = 0; i + 1 < text.size(); ++i)
            if (isHighSurrogate(text[i]) && isLowSurrogate(text[i + 1])) --count, ++i;
    return count;
}

std::u32string toCharacters(std::wstring_view text) {
    std::u32string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            char32_t combined =
                0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            result += combined;
            ++i;
        } else {
            result += static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
        }
    }
    return result;
}

void appendCharacter(std::wstring& out, char32_t character) {
    if (kUtf16 && character >= 0x10000) {
        character -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (character >> 10));
        out += static_cast<wchar_t>(0xDC00 + (character & 0x3FF));
    } else {
        out += static_cast<wchar_t>(character);
    }
}

std::wstring substring(std::wstring_view text, double start, double length, bool hasLength) {
    // Characters at positions p (from 1) with round(start) <= p < round(start) + round(length).
    // NaN makes every comparison false, which yields the empty string.
    double first = round(start);
    double last = hasLength ? first + round(length) : std::numeric_limits<double>::infinity();
    std::wstring result;
    if (!(first < last)) return result;
    if (!hasSurrogates(text)) {
        double count = static_cast<double>(text.size());
        double from = first < 1 ? 1 : first; // NaN was excluded above
        double to = last > count + 1 ? count + 1 : last;
        if (!(from < to)) return result;
        std::size_t begin = static_cast<std::size_t>(from) - 1;
        std::size_t end = static_cast<std::size_t>(to) - 1;
        return std::wstring(text.substr(begin, end - begin));
    }
    std::u32string characters = toCharacters(text);
    for (std::size_t i = 0; i < characters.size(); ++i) {
        double position = static_cast<double>(i + 1);
        if (position >= first && position < last) appendCharacter(result, characters[i]);
    }
    return result;
}

std::wstring normalizeSpace(std::wstring_view text) {
    // Written through a pointer into a buffer of the input's size: the
    // result is never longer, and appending character by character costs
    // a capacity check and a terminator store each.
    std::wstring result(text.size(), L'\0');
    wchar_t* out = &result[0];
    wchar_t* const begin = out;
    bool pendingSpace = false;
    for (wchar_t c : text) {
        if (isWhitespace(c)) {
            pendingSpace = out != begin;
        } else {
            if (pendingSpace) *out++ = L' ';
            pendingSpace = false;
            *out++ = c;
        }
    }
    result.resize(static_cast<std::size_t>(out - begin));
    return result;
}

std::wstring translate(std::wstring_view text, std::wstring_view from, std::wstring_view to) {
    std::u32string source = toCharacters(text);
    std::u32string fromChars = toCharacters(from);
    std::u32string toChars = toCharacters(to);
    // A short list is searched as it stands; a long one would make the
    // work the product of the two lengths, so it is looked up in a table.
    constexpr std::size_t kLongList = 64;
    std::unordered_map<char32_t, std::size_t> firstIndex;
    if (fromChars.size() > kLongList) {
        firstIndex.reserve(fromChars.size());
        for (std::size_t i = 0; i < fromChars.size(); ++i)
            firstIndex.emplace(fromChars[i], i); // the first occurrence decides
    }
    auto indexInList = [&](char32_t c) {
        if (fromChars.size() <= kLongList) return fromChars.find(c); // the first occurrence decides
        auto found = firstIndex.find(c);
        return found == firstIndex.end() ? std::u32string::npos : found->second;
    };
    std::wstring result;
    result.reserve(text.size());
    for (char32_t c : source) {
        const std::size_t index = indexInList(c);
        if (index == std::u32string::npos)
            appendCharacter(result, c);
        else if (index < toChars.size())
            appendCharacter(result, toChars[index]);
    }
    return result;
}

std::size_t find(std::wstring_view text, std::wstring_view pattern) {
    constexpr std::size_t kLongPattern = 32;
    if (pattern.size() <= kLongPattern || text.size() < pattern.size()) return text.find(pattern);
    auto at = std::search(text.begin(), text.end(), std::boyer_moore_searcher(pattern.begin(), pattern.end()));
    return at == text.end() ? std::wstring_view::npos : static_cast<std::size_t>(at - text.begin());
}

} // namespace Text
} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
