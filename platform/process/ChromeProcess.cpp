#include "platform/process/ChromeProcess.h"

#include <wchar.h>

#include "platform/process/CommandLine.h"

ChromeProcessKind GetChromeProcessKind()
{
    return GetChromeProcessKind(CCommandLine());
}

ChromeProcessKind GetChromeProcessKind(const CCommandLine& commandLine)
{
    std::wstring channel;
    if (!commandLine.GetSwitchValue(L"channel", channel))
        return ChromeProcessKind::Browser;
    std::wstring type;
    if (!commandLine.GetSwitchValue(L"type", type))
        return ChromeProcessKind::Other;
    if (_wcsicmp(type.c_str(), L"renderer") == 0)
        return ChromeProcessKind::Renderer;
    if (_wcsicmp(type.c_str(), L"plugin") == 0)
        return ChromeProcessKind::Plugin;
    return ChromeProcessKind::Other;
}

bool GetBrowserProcessId(DWORD ownProcessId, DWORD& browserProcessId)
{
    return GetBrowserProcessId(CCommandLine(), ownProcessId, browserProcessId);
}

bool GetBrowserProcessId(const CCommandLine& commandLine, DWORD ownProcessId, DWORD& browserProcessId)
{
    if (GetChromeProcessKind(commandLine) == ChromeProcessKind::Browser) {
        browserProcessId = ownProcessId;
        return true;
    }
    std::wstring channel;
    if (!commandLine.GetSwitchValue(L"channel", channel))
        return false;
    size_t dot = channel.find(L'.');
    if (dot == std::wstring::npos)
        return false;
    // Leading decimal digits of the part before the dot; none give 0. The
    // value wraps like a 32-bit process id rather than overflowing.
    DWORD id = 0;
    for (size_t i = 0; i < dot && channel[i] >= L'0' && channel[i] <= L'9'; ++i)
        id = id * 10 + static_cast<DWORD>(channel[i] - L'0');
    browserProcessId = id;
    return true;
}
