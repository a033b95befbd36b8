#pragma once
#include <windows.h>

class CCommandLine;

// What kind of Chrome process this is, from its command line: the browser
// process has no --channel switch; child processes name their type.
enum class ChromeProcessKind {
    Browser = 0,
    Renderer = 1,
    Plugin = 2,
    Other = 3,
};

ChromeProcessKind GetChromeProcessKind();
ChromeProcessKind GetChromeProcessKind(const CCommandLine& commandLine);

// The id of the browser process this process belongs to: the own id in the
// browser process, else the number before the first "." of the --channel
// value ("--channel=1234.5.6" gives 1234).
bool GetBrowserProcessId(DWORD ownProcessId, DWORD& browserProcessId);
bool GetBrowserProcessId(const CCommandLine& commandLine, DWORD ownProcessId, DWORD& browserProcessId);
