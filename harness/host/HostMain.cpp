// vxhookhost: plays the engine's hook host in a process of its own. It loads
// a hook library, attaches it with the stand-in host objects, and prints one
// line per observation, so that tests (and people) can see what the library
// did. The process's own command line doubles as the Chrome command line the
// library classifies, so Chrome switches such as --type=renderer and
// --channel=1.2.3 are simply passed along.
//
// Options (all --vxhost-*, ignored by the library's switch parsing):
//   --vxhost-dll=PATH             library to load (default: ..\layout\vxCrHook.dll)
//   --vxhost-refuse=N             the registry refuses its N-th registration
//   --vxhost-messages=none|nointerface
//   --vxhost-broken-registry      GetModuleRegistry hands out a non-registry
//   --vxhost-attach-twice         call Attach a second time
//   --vxhost-detach-twice         call Detach a second time
//   --vxhost-notifiers            subscribe two unload notifiers; the second
//                                 unsubscribes itself while being notified
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "generated/ovModule.h"
#include "generated/vxCrHook.h"
#include "harness/host/TestHost.h"

using Microsoft::WRL::ComPtr;

namespace {

void Say(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    vfwprintf(stdout, format, args);
    va_end(args);
    fputwc(L'\n', stdout);
    fflush(stdout);
}

std::wstring Option(const std::wstring& name)
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring prefix = L"--vxhost-" + name;
    std::wstring value;
    bool found = false;
    for (int i = 1; i < count && !found; ++i) {
        std::wstring argument = argv[i];
        if (argument == prefix) {
            value = L"1";
            found = true;
        } else if (argument.rfind(prefix + L"=", 0) == 0) {
            value = argument.substr(prefix.size() + 1);
            found = true;
        }
    }
    LocalFree(argv);
    return value;
}

std::wstring Environment(const wchar_t* name)
{
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? L"<unset>" : L"";
    std::wstring value(needed, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), needed));
    return value;
}

// Prints the unload notice; optionally unsubscribes itself from inside it.
class UnloadNotifier : public vx::com::ComObject<UnloadNotifier, IovModuleIntfNotifier>
{
public:
    UnloadNotifier(const wchar_t* name, bool removeSelf) : name_(name), removeSelf_(removeSelf) {}
    HRESULT STDMETHODCALLTYPE OnModuleUnload(BSTR moduleName, IovModuleIntf* module) override
    {
        Say(L"unload-notice: %ls %ls", name_, moduleName ? moduleName : L"<null>");
        if (removeSelf_ && module)
            Say(L"self-remove: 0x%08lX", static_cast<unsigned long>(module->RemoveProxyNotifier(this)));
        return S_OK;
    }

private:
    const wchar_t* name_;
    bool removeSelf_;
};

void ReportRegistry(harness::TestModuleRegistry& registry)
{
    for (const harness::RegisteredModule& entry : registry.Registered()) {
        ComPtr<IvxModuleHidden> hidden;
        bool isHidden = SUCCEEDED(entry.module.As(&hidden));
        Say(L"registered: %ls%ls", harness::GuidText(entry.guid).c_str(), isHidden ? L" hidden" : L"");
    }
    Say(L"registered-count: %d", static_cast<int>(registry.Registered().size()));
}

} // namespace

int wmain()
{
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Say(L"process: %lu", GetCurrentProcessId());

    std::wstring libraryPath = Option(L"dll");
    if (libraryPath.empty())
        libraryPath = harness::DefaultLibraryPath();

    HMODULE library = LoadLibraryW(libraryPath.c_str());
    if (!library) {
        Say(L"load: failed %lu", GetLastError());
        return 2;
    }
    Say(L"load: ok");
    Say(L"env Vantorix8_Product_Path=%ls", Environment(L"Vantorix8_Product_Path").c_str());
    Say(L"env Vantorix8_Product_PathAlternative=%ls", Environment(L"Vantorix8_Product_PathAlternative").c_str());
    Say(L"env PATH=%ls", Environment(L"PATH").c_str());

    auto getModuleIntf = reinterpret_cast<HRESULT(WINAPI*)(IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetModuleIntf")));
    if (!getModuleIntf) {
        Say(L"export: missing");
        return 3;
    }
    ComPtr<IUnknown> moduleUnknown;
    hr = getModuleIntf(&moduleUnknown);
    Say(L"GetModuleIntf: 0x%08lX", static_cast<unsigned long>(hr));
    ComPtr<IvxOpenAppHookExtension> extension;
    ComPtr<IovModuleIntf> moduleIntf;
    if (FAILED(moduleUnknown.As(&extension)) || FAILED(moduleUnknown.As(&moduleIntf))) {
        Say(L"interfaces: missing");
        return 4;
    }

    if (!Option(L"notifiers").empty()) {
        ComPtr<UnloadNotifier> first, second;
        vx::com::CreateComObject(first, L"client", false);
        vx::com::CreateComObject(second, L"proxy", true);
        Say(L"add-notifier: 0x%08lX", static_cast<unsigned long>(moduleIntf->AddNotifier(first.Get())));
        Say(L"add-proxy-notifier: 0x%08lX", static_cast<unsigned long>(moduleIntf->AddProxyNotifier(second.Get())));
    }

    ComPtr<harness::TestHookHost> host;
    vx::com::CreateComObject(host);
    if (std::wstring refuse = Option(L"refuse"); !refuse.empty())
        host->Registry().RefuseRegistration(_wtoi(refuse.c_str()));
    std::wstring messages = Option(L"messages");
    if (messages == L"none")
        host->SetMessageServiceMode(harness::MessageServiceMode::NotOffered);
    else if (messages == L"nointerface")
        host->SetMessageServiceMode(harness::MessageServiceMode::WithoutInterface);
    host->OfferBrokenRegistry(!Option(L"broken-registry").empty());

    VARIANT_BOOL attached = extension->Attach(host->Identity());
    Say(L"attach: %ls", attached ? L"true" : L"false");
    if (!Option(L"attach-twice").empty())
        Say(L"attach-again: %ls", extension->Attach(host->Identity()) ? L"true" : L"false");
    ReportRegistry(host->Registry());
    Say(L"register-calls: %d", host->Registry().RegisterCalls());

    extension->Detach();
    Say(L"detach: done");
    if (!Option(L"detach-twice").empty()) {
        extension->Detach();
        Say(L"detach-again: done");
    }
    for (const GUID& guid : host->Registry().Unregistered())
        Say(L"unregistered: %ls", harness::GuidText(guid).c_str());
    Say(L"registered-after-detach: %d", static_cast<int>(host->Registry().Registered().size()));

    extension.Reset();
    moduleIntf.Reset();
    moduleUnknown.Reset();
    FreeLibrary(library);
    Say(L"unloaded");
    CoUninitialize();
    return 0;
}
