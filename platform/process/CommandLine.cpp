#include "platform/process/CommandLine.h"

#include <windows.h>
#include <shellapi.h>
#include <wchar.h>

namespace {

std::wstring AnsiToWide(const char* text)
{
    if (!text || !*text)
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<size_t>(length - 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    return wide;
}

} // namespace

CCommandLine::CCommandLine() : text_(AnsiToWide(GetCommandLineA()))
{
    Split();
}

CCommandLine::CCommandLine(const std::wstring& text) : text_(text)
{
    Split();
}

void CCommandLine::Split()
{
    arguments_.clear();
    if (text_.empty())
        return;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(text_.c_str(), &count);
    if (!argv)
        return;
    arguments_.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        arguments_.emplace_back(argv[i]);
    LocalFree(argv);
}

bool CCommandLine::HasSwitch(const std::wstring& name, bool ignoreCase) const
{
    for (size_t i = 1; i < arguments_.size(); ++i) {
        const std::wstring& argument = arguments_[i];
        bool equal = ignoreCase ? _wcsicmp(argument.c_str(), name.c_str()) == 0 : argument == name;
        if (equal)
            return true;
    }
    return false;
}

bool CCommandLine::GetSwitchValue(const std::wstring& name, std::wstring& value) const
{
    const std::wstring prefix = L"--" + name + L"=";
    for (const std::wstring& argument : arguments_) {
        if (argument.size() >= prefix.size() && _wcsnicmp(argument.c_str(), prefix.c_str(), prefix.size()) == 0) {
            value = argument.substr(prefix.size());
            return true;
        }
    }
    return false;
}
