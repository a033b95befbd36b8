// A process that uses the published services the way the browser-process
// hook does; it plays a Chrome child process when started with
// "--channel=<browser pid>.x.y". Commands on standard input, one per line,
// answers on standard output:
//   names          -> "browser-name=<name>" and "tabs-name=<name>" (or "<none>")
//   lookup browser|tabs
//                  -> "lookup hr=0x... pid=<publisher pid> tag=<tag>"
//   use            -> browser service through a kept connection (liveness
//                     check, reconnection): "use hr=0x... pid=... tag=...
//                     rendezvous-thread=<invoker|caller|none>"
//   quit
// With --direct the connection runs its rendezvous on the calling thread
// instead of the synchronous invoker.
#include <windows.h>
#include <objbase.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "module/RemoteServicesSync.h"
#include "platform/com/CriticalSection.h"
#include "services/ServiceConnection.h"
#include "services/ServiceRendezvous.h"

using Microsoft::WRL::ComPtr;

namespace {

const DISPID kProcessId = 100;
const DISPID kTag = 101;

DWORD rendezvousThread = 0;

HRESULT RecordingBrowserLookup(ComPtr<IDispatch>& service)
{
    rendezvousThread = GetCurrentThreadId();
    return LookupBrowserService(service);
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

HRESULT Call(IDispatch* service, DISPID member, VARIANT& result)
{
    DISPPARAMS none = {};
    VariantInit(&result);
    return service->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
}

void Describe(const char* what, HRESULT hr, IDispatch* service, const char* extra = "")
{
    long pid = 0;
    std::wstring tag = L"<none>";
    if (SUCCEEDED(hr) && service) {
        VARIANT value;
        HRESULT callHr = Call(service, kProcessId, value);
        if (SUCCEEDED(callHr) && value.vt == VT_I4)
            pid = value.lVal;
        else
            hr = FAILED(callHr) ? callHr : E_UNEXPECTED;
        VariantClear(&value);
        if (SUCCEEDED(Call(service, kTag, value)) && value.vt == VT_BSTR)
            tag = value.bstrVal;
        VariantClear(&value);
    }
    Say("%s hr=0x%08lX pid=%ld tag=%ls%s", what, static_cast<unsigned long>(hr), pid, tag.c_str(), extra);
}

std::string NameOf(const wchar_t* format)
{
    std::optional<std::wstring> name = FormatServiceName(format);
    if (!name)
        return "<none>";
    return std::string(name->begin(), name->end());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    bool direct = false;
    for (int i = 1; i < argc; ++i)
        direct = direct || std::wcscmp(argv[i], L"--direct") == 0;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        vx::com::CriticalSection ownerLock;
        CCrServiceConnection connection(ownerLock, RecordingBrowserLookup);
        ComPtr<CRemoteServicesSync> invoker;
        if (!direct && SUCCEEDED(vx::com::CreateComObject(invoker)))
            connection.SetInvoker(invoker.Get());
        Say("consumer started");

        char line[256];
        while (std::fgets(line, sizeof line, stdin)) {
            std::string command(line);
            while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
                command.pop_back();
            if (command == "quit")
                break;
            if (command == "names") {
                Say("browser-name=%s", NameOf(kBrowserServiceNameFormat).c_str());
                Say("tabs-name=%s", NameOf(kTabsServiceNameFormat).c_str());
            } else if (command == "lookup browser" || command == "lookup tabs") {
                ComPtr<IDispatch> service;
                HRESULT hr = command == "lookup browser" ? LookupBrowserService(service) : LookupTabsService(service);
                Describe("lookup", hr, service.Get());
            } else if (command == "use") {
                rendezvousThread = 0;
                ComPtr<IDispatch> service;
                HRESULT hr = connection.GetBrowserService(service);
                const char* where = rendezvousThread == 0                      ? " rendezvous-thread=none"
                                    : rendezvousThread == GetCurrentThreadId() ? " rendezvous-thread=caller"
                                                                               : " rendezvous-thread=invoker";
                Describe("use", hr, service.Get(), where);
            } else {
                Say("unknown command %s", command.c_str());
            }
        }
        connection.Disconnect();
    }
    ModuleServicesHolder::Instance().ReleaseSynchronousInvoker();
    CoUninitialize();
    return 0;
}
