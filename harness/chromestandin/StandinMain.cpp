// The stand-in browser process as a program of its own, for tests that need
// Chrome in another process (killing it, reconnecting):
//   vxchromestandin [--publish-pid=N] [--lifetime-ms=M]
// Publishes the services under browser process id N (default: its own id),
// prints "ready <own process id>", then runs one command per line of its
// standard input (verbs in README.md), answering each with one line. Ends on
// "quit", at the end of its input, or after the lifetime (default 300 s), so
// a forgotten stand-in never stays behind.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>

#include "ChromeStandin.h"
#include "CommandChannel.h"
#include "platform/com/UniqueHandle.h"

namespace {

DWORD NumericSwitch(int argc, wchar_t** argv, const wchar_t* name, DWORD fallback)
{
    std::wstring prefix = std::wstring(L"--") + name + L"=";
    for (int i = 1; i < argc; ++i)
        if (std::wcsncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
            return static_cast<DWORD>(std::wcstoul(argv[i] + prefix.size(), nullptr, 10));
    return fallback;
}

void Say(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const DWORD publishPid = NumericSwitch(argc, argv, L"publish-pid", GetCurrentProcessId());
    const DWORD lifetimeMs = NumericSwitch(argc, argv, L"lifetime-ms", 300000);
    int status = 0;
    {
        chrome_standin::ChromeStandin standin;
        HRESULT hr = standin.Start();
        if (SUCCEEDED(hr))
            hr = standin.Publish(publishPid);
        if (FAILED(hr)) {
            char text[64];
            std::snprintf(text, sizeof text, "error start 0x%08lX", static_cast<unsigned long>(hr));
            Say(text);
            status = 2;
        } else {
            Say("ready " + std::to_string(GetCurrentProcessId()));
            vx::com::UniqueHandle finished(CreateEventW(nullptr, TRUE, FALSE, nullptr));
            chrome_standin::CommandChannel channel(standin);
            std::thread commands([&] {
                char line[4096];
                bool quit = false;
                while (!quit && std::fgets(line, sizeof line, stdin)) {
                    line[std::strcspn(line, "\r\n")] = '\0';
                    Say(channel.Execute(line, quit));
                }
                SetEvent(finished.Get());
            });
            WaitForSingleObject(finished.Get(), lifetimeMs);
            // The reader may still sit in fgets: let it go with the process.
            commands.detach();
            standin.Shutdown();
        }
    }
    std::fflush(stdout);
    ExitProcess(static_cast<UINT>(status));
}
