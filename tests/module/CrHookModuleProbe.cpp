// module_probe: builds a browser module in a process whose command line the
// test chooses, and prints its flags and the start-up warnings it shows.
#include <windows.h>

#include <cstdio>

#include "harness/host/TestHost.h"
#include "module/CrHookModule.h"

using Microsoft::WRL::ComPtr;

int main()
{
    // Each line reaches the test at once: should the probe fail part-way,
    // the test still sees how far it got.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        ComPtr<harness::TestHookHost> host;
        vx::com::CreateComObject(host);
        ComPtr<CCrHookModule> module;
        vx::com::CreateComObject(module);
        std::printf("conflict: %d\n", module->CommandLineConflict() ? 1 : 0);
        std::printf("hang-monitor: %d\n", module->HangMonitorEnabled() ? 1 : 0);
        ComPtr<IvxModuleRegistry> registry;
        ComPtr<IUnknown> registryObject;
        host->GetModuleRegistry(&registryObject);
        registryObject.As(&registry);
        std::printf("initialize: 0x%08lX\n",
                    static_cast<unsigned long>(module->Initialize(registry.Get(), host->Identity())));
        std::printf("worker: %d\n", module->HasWorker() ? 1 : 0);
        std::printf("registered: %zu\n", host->Registry().Registered().size());

        // The synchronous invoker runs a callback on its own thread.
        ComPtr<IvxCrRemoteServicesSync> sync;
        module->QueryInterface(IID_PPV_ARGS(&sync));
        DWORD invokerThread = 0;
        HRESULT syncResult = sync ? sync->RunSynchronously(
                                        [](void* data) -> HRESULT {
                                            *static_cast<DWORD*>(data) = GetCurrentThreadId();
                                            return S_FALSE;
                                        },
                                        &invokerThread)
                                  : E_NOINTERFACE;
        std::printf("sync-result: 0x%08lX\n", static_cast<unsigned long>(syncResult));
        std::printf("sync-other-thread: %d\n", invokerThread != 0 && invokerThread != GetCurrentThreadId() ? 1 : 0);

        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Chrome_WidgetWin_0";
        RegisterClassW(&wc);
        HWND frame = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                     wc.hInstance, nullptr);
        HWND widget =
            CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD, 0, 0, 100, 100, frame, nullptr, wc.hInstance, nullptr);
        module->CheckBrowserWarnings(widget);
        module->CheckBrowserWarnings(nullptr);
        for (const harness::ShownMessage& m : host->Messages().Shown())
            std::printf("warning: %ls %lu\n", m.identifier.c_str(), m.helpContext);
        DestroyWindow(frame);

        module->Shutdown();
        std::printf("worker-after-shutdown: %d\n", module->HasWorker() ? 1 : 0);
        std::printf("registered-after-shutdown: %zu\n", host->Registry().Registered().size());
        module->Shutdown();
        std::printf("second-shutdown: ok\n");
    }
    CoUninitialize();
    return 0;
}
