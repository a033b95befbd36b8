#pragma once
// Where a file is, as a Windows program under Wine sees it (Wine maps the
// Linux root to drive Z:). The build defines VX_PAGES_DIR for files below
// tests/pages.
#include <string>

namespace testsupport {

inline std::wstring WindowsPath(const std::string& linuxPath)
{
    std::wstring out = L"Z:";
    for (char c : linuxPath)
        out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

#ifdef VX_PAGES_DIR
inline std::wstring PagePath(const std::string& relative)
{
    return WindowsPath(std::string(VX_PAGES_DIR) + "/" + relative);
}
#endif

} // namespace testsupport
