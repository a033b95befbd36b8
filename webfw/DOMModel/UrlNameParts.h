#pragma once
// Naming elements after their URL: the last path segment of a link's or
// image's address, percent-decoded.
#include <string>
#include <string_view>
#include <vector>

namespace vxWebFw {

struct UrlNameParts
{
    std::wstring scheme;                // text before "://", empty when there is none
    std::vector<std::wstring> segments; // the rest split at every "/" (empty segments kept)
};

UrlNameParts SplitUrlNameParts(std::wstring_view url);

// Decodes "%hh" escapes as UTF-8 bytes; escapes whose bytes are not valid
// UTF-8 vanish, other characters are kept as they are.
std::wstring DecodePercentEscapes(std::wstring_view text);

} // namespace vxWebFw
