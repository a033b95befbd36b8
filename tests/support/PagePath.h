#pragma once
// Where a file below tests/pages is, as a Windows program under Wine sees it
// (Wine maps the Linux root to drive Z:). The build defines VX_PAGES_DIR.
#include <string>

namespace testsupport {

inline std::wstring PagePath(const std::string& relative)
{
    const std::string path = std::string(VX_PAGES_DIR) + "/" + relative;
    std::wstring out = L"Z:";
    for (char c : path)
        out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

} // namespace testsupport
