#include "webfw/DOMModel/UrlNameParts.h"

#include <windows.h>

#include "platform/text/HexDigit.h"

namespace vxWebFw {

UrlNameParts SplitUrlNameParts(std::wstring_view url)
{
    UrlNameParts parts;
    std::wstring_view rest = url;
    if (url.size() > 3) {
        // A "://" that ends at the last character does not count.
        for (size_t i = 0; i + 4 <= url.size(); ++i) {
            if (url.compare(i, 3, L"://") == 0) {
                parts.scheme.assign(url.substr(0, i));
                rest = url.substr(i + 3);
                break;
            }
        }
    }
    size_t start = 0;
    for (;;) {
        size_t slash = rest.find(L'/', start);
        if (slash == std::wstring_view::npos) {
            parts.segments.emplace_back(rest.substr(start));
            break;
        }
        parts.segments.emplace_back(rest.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

namespace {

void Flush(std::string& bytes, std::wstring& out)
{
    if (bytes.empty())
        return;
    int n =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n > 0) {
        size_t at = out.size();
        out.resize(at + static_cast<size_t>(n));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &out[at], n);
    }
    bytes.clear();
}

} // namespace

std::wstring DecodePercentEscapes(std::wstring_view text)
{
    std::wstring out;
    std::string pending;
    size_t i = 0;
    while (text.size() - i >= 3) {
        int high = vx::text::HexDigitValue(text[i + 1]), low = vx::text::HexDigitValue(text[i + 2]);
        if (text[i] == L'%' && high >= 0 && low >= 0) {
            pending.push_back(static_cast<char>(high * 16 + low));
            i += 3;
        } else {
            Flush(pending, out);
            out.push_back(text[i]);
            ++i;
        }
    }
    Flush(pending, out);
    out.append(text.substr(i));
    return out;
}

} // namespace vxWebFw
