#include "Utf8.h"

#include <cstdint>

namespace vxXPathTest {

namespace {

// Decodes one code point and advances p; malformed bytes give U+FFFD.
char32_t decode(const unsigned char*& p)
{
    unsigned char c = *p++;
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0)
        return 0xFFFD;
    char32_t value = c & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((*p & 0xC0) != 0x80)
            return 0xFFFD;
        value = (value << 6) | (*p++ & 0x3F);
    }
    return value;
}

void appendCodePoint(char32_t cp, std::wstring& out)
{
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (cp >> 10));
        out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<wchar_t>(cp);
    }
}

} // namespace

void appendUtf8AsWide(const char* utf8, std::wstring& out)
{
    if (!utf8)
        return;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        // Runs of ASCII, most of any page's text, are widened in one go:
        // the navigator reads every text node through here.
        const unsigned char* run = p;
        while (*run && *run < 0x80)
            ++run;
        if (run != p) {
            std::size_t at = out.size();
            out.resize(at + static_cast<std::size_t>(run - p));
            for (wchar_t* w = &out[at]; p != run;)
                *w++ = static_cast<wchar_t>(*p++);
            continue;
        }
        appendCodePoint(decode(p), out);
    }
}

std::wstring wideFromUtf8(const char* utf8)
{
    std::wstring out;
    appendUtf8AsWide(utf8, out);
    return out;
}

std::string utf8FromWide(std::wstring_view wide)
{
    std::string out;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = static_cast<char32_t>(wide[i]);
        if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size()) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(wide[++i]) - 0xDC00);
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

bool utf8EqualsWide(const char* utf8, std::wstring_view wide)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8 ? utf8 : "");
    std::size_t i = 0;
    while (*p) {
        if (*p < 0x80) {
            if (i >= wide.size() || static_cast<char32_t>(wide[i]) != *p)
                return false;
            ++p;
            ++i;
            continue;
        }
        std::wstring one;
        appendCodePoint(decode(p), one);
        for (wchar_t c : one)
            if (i >= wide.size() || wide[i++] != c)
                return false;
    }
    return i == wide.size();
}

} // namespace vxXPathTest
