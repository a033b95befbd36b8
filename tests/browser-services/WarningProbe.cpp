// browser_warning_probe: a browser process with the command line the test
// chooses. Publishes the Chrome stand-in's services, starts a browser module,
// looks up a tab window and prints what it found and the warnings shown.
#include <windows.h>

#include <cstdio>
#include <memory>

#include "ChromeStandin.h"
#include "TestEnvironment.h"
#include "harness/host/TestHost.h"
#include "module/CrHookModule.h"

using Microsoft::WRL::ComPtr;

int main()
{
    browser_services_tests::ComEnvironment environment;
    {
        auto standin = std::make_unique<chrome_standin::ChromeStandin>();
        if (FAILED(standin->Start()) || FAILED(standin->Publish()) || FAILED(standin->OpenTab(2, L"http://two/"))) {
            std::printf("stand-in: failed\n");
            return 1;
        }
        ComPtr<harness::TestHookHost> host;
        vx::com::CreateComObject(host);
        ComPtr<IUnknown> registryObject;
        ComPtr<IvxModuleRegistry> registry;
        host->GetModuleRegistry(&registryObject);
        registryObject.As(&registry);
        ComPtr<CCrHookModule> module;
        vx::com::CreateComObject(module);
        std::printf("initialize: 0x%08lX\n",
                    static_cast<unsigned long>(module->Initialize(registry.Get(), host->Identity())));

        ComPtr<CCrHookTab> found = module->FindTabByWindow(standin->Tab(2)->windows.renderWidgetHost);
        std::printf("found: %ld\n", found ? static_cast<long>(found->TabId()) : -1L);
        // The stand-in's frame is a pop-up, which never gets a warning: the
        // warnings are looked at for a plain browser window.
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"WarningProbeFrame";
        RegisterClassW(&windowClass);
        HWND frame = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                     nullptr, windowClass.hInstance, nullptr);
        HWND child = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_CHILD, 0, 0, 50, 50, frame, nullptr,
                                     windowClass.hInstance, nullptr);
        module->FindTabByWindow(child);
        DestroyWindow(frame);
        for (const harness::ShownMessage& m : host->Messages().Shown())
            std::printf("warning: %ls %lu\n", m.identifier.c_str(), m.helpContext);
        found.Reset();
        module->Shutdown();
    }
    std::printf("done\n");
    return 0;
}
