// A process that offers test services the way the product's Chrome component
// does, for a given browser process id:
//   vxservicepublisher --browser-pid=N [--tag=T] [--services=browser,tabs]
//                      [--plain-only] [--unsignalled] [--lifetime-ms=M]
// It prints "published <service> <mapping name> hr=0x..." per service, then
// "ready", and then reads commands from standard input: "signal" signals the
// ready events, "quit" ends. Without input it ends after the lifetime
// (default 30 s), so a forgotten publisher never stays behind.
#include <windows.h>
#include <objbase.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ServicePublisher.h"
#include "TestService.h"

using Microsoft::WRL::ComPtr;
using rendezvous_harness::PublishOptions;
using rendezvous_harness::ServicePublisher;
using rendezvous_harness::TestService;

namespace {

std::wstring SwitchValue(int argc, wchar_t** argv, const wchar_t* name, const wchar_t* fallback)
{
    std::wstring prefix = std::wstring(L"--") + name + L"=";
    for (int i = 1; i < argc; ++i)
        if (std::wcsncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
            return argv[i] + prefix.size();
    return fallback;
}

bool HasSwitch(int argc, wchar_t** argv, const wchar_t* name)
{
    std::wstring full = std::wstring(L"--") + name;
    for (int i = 1; i < argc; ++i)
        if (full == argv[i])
            return true;
    return false;
}

void Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD browserPid =
        static_cast<DWORD>(std::wcstoul(SwitchValue(argc, argv, L"browser-pid", L"0").c_str(), nullptr, 10));
    std::wstring tag = SwitchValue(argc, argv, L"tag", L"publisher");
    std::wstring services = SwitchValue(argc, argv, L"services", L"browser,tabs");
    DWORD lifetime =
        static_cast<DWORD>(std::wcstoul(SwitchValue(argc, argv, L"lifetime-ms", L"30000").c_str(), nullptr, 10));
    PublishOptions options;
    options.tryGlobalNames = !HasSwitch(argc, argv, L"plain-only");
    options.signalReady = !HasSwitch(argc, argv, L"unsignalled");

    ComPtr<TestService> service;
    vx::com::CreateComObject(service, tag);
    struct Offer
    {
        const char* label;
        const wchar_t* format;
    };
    const Offer offers[] = {{"browser", L"npvxCrBrowserService%d_ver%d_%d"}, {"tabs", L"npvxCrTabsService%d_ver%d_%d"}};
    std::vector<std::unique_ptr<ServicePublisher>> publishers;
    int failures = 0;
    for (const Offer& offer : offers) {
        std::wstring label(offer.label, offer.label + std::strlen(offer.label));
        if (services.find(label) == std::wstring::npos)
            continue;
        wchar_t name[100];
        std::swprintf(name, 100, offer.format, static_cast<int>(browserPid), 8, 0);
        auto publisher = std::make_unique<ServicePublisher>();
        HRESULT hr = publisher->Publish(name, service.Get(), options);
        std::wstring shown = SUCCEEDED(hr) ? publisher->MappingName() : std::wstring(name);
        Say("published %s %ls hr=0x%08lX", offer.label, shown.c_str(), static_cast<unsigned long>(hr));
        if (FAILED(hr))
            ++failures;
        publishers.push_back(std::move(publisher));
    }
    Say("ready");

    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread commands([&] {
        char line[256];
        while (std::fgets(line, sizeof line, stdin)) {
            if (std::strncmp(line, "signal", 6) == 0) {
                for (auto& publisher : publishers)
                    publisher->SignalReady();
                Say("signalled");
            } else if (std::strncmp(line, "quit", 4) == 0) {
                break;
            }
        }
        SetEvent(quit);
    });
    commands.detach();
    WaitForSingleObject(quit, lifetime);
    publishers.clear();
    service.Reset();
    CoUninitialize();
    std::fflush(stdout);
    ExitProcess(failures ? 2 : 0);
}
