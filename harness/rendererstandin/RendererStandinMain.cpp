// vxrendererstandin: plays one Chrome renderer process with the product's
// Chrome component inside. It loads a captured page into the snapshot native
// object (or opens a live page with the live one), has the host stand-in
// attach the library (the process's command
// line carries Chrome's renderer switches, so the library sees a renderer),
// takes the raw-browser extender from the module interface and offers the
// quick browser it hands out to the browser process:
//   ready <pid> <quick browser, marshalled, as hexadecimal bytes>
// Then it answers one line per command on standard input:
//   handles        ok <node handles the library holds> <those script objects hold>
//   remove ID      ok: removes the element with that id from the page
//   block MS       ok: keeps the renderer thread busy for MS milliseconds
//   fire ID TYPE   ok <listeners called>: the DOM event TYPE at the element with that id
//   shutdown       ok <HRESULT>: the extender's Shutdown
//   busy           ok <microseconds the renderer thread ran callbacks since the last busy>
//   quit           ends (so does the end of the input)
// On a live page the page commands run as the page's own script would:
// "fire" answers -1 listeners (the page's own are not known) and
// "listeners" is refused. There "crash" crashes the page's renderer in
// Chromium; the process then ends at once, as a renderer process goes with
// its page (exit code 3).
// Options: --vxrenderer-snapshot=PATH or --vxrenderer-live=URL (the page,
// live through the sidecar whose port is in VXCR_LIVE_PORT), --vxrenderer-window=N (the
// renderer's window in the browser process, as the native object reports
// it), --vxrenderer-dll=PATH (default ..\layout\vxCrHook.dll).
#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <cstdlib>

#include "generated/ovModule.h"
#include "generated/vxCrHook.h"
#include "harness/host/TestHost.h"
#include "harness/rendererstandin/PageSteering.h"
#include "harness/rendererstandin/RendererProcess.h"

using Microsoft::WRL::ComPtr;

namespace {

void Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(stdout, format, args);
    va_end(args);
    fputc('\n', stdout);
    fflush(stdout);
}

std::wstring Option(const std::wstring& name)
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    const std::wstring prefix = L"--vxrenderer-" + name + L"=";
    std::wstring value;
    for (int i = 1; i < count; ++i)
        if (std::wstring argument = argv[i]; argument.rfind(prefix, 0) == 0)
            value = argument.substr(prefix.size());
    LocalFree(argv);
    return value;
}

int Fail(const char* what, HRESULT hr)
{
    Say("failed %s 0x%08lX", what, static_cast<unsigned long>(hr));
    return 1;
}

} // namespace

int wmain()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const std::wstring snapshot = Option(L"snapshot");
    const std::wstring liveUrl = Option(L"live");
    std::wstring libraryPath = Option(L"dll");
    if (libraryPath.empty())
        libraryPath = harness::DefaultLibraryPath();

    std::unique_ptr<harness::PageSteering> page;
    try {
        page = liveUrl.empty() ? harness::SteerSnapshot(snapshot) : harness::SteerLivePage(liveUrl);
    } catch (const std::exception& e) {
        Say("failed %s %s", liveUrl.empty() ? "snapshot" : "live-page", e.what());
        return 1;
    }

    if (const std::wstring window = Option(L"window"); !window.empty())
        page->SetBrowserWindow(static_cast<LONG>(std::wcstoul(window.c_str(), nullptr, 10)));

    HMODULE library = LoadLibraryW(libraryPath.c_str());
    if (!library)
        return Fail("load", HRESULT_FROM_WIN32(GetLastError()));
    auto getModuleIntf = reinterpret_cast<HRESULT(WINAPI*)(IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetModuleIntf")));
    if (!getModuleIntf)
        return Fail("export", E_NOINTERFACE);
    ComPtr<IUnknown> moduleUnknown;
    HRESULT hr = getModuleIntf(&moduleUnknown);
    if (FAILED(hr))
        return Fail("GetModuleIntf", hr);
    ComPtr<IvxOpenAppHookExtension> extension;
    ComPtr<IvxCrExtenderModule> extenderModule;
    if (FAILED(hr = moduleUnknown.As(&extension)) || FAILED(hr = moduleUnknown.As(&extenderModule)))
        return Fail("interfaces", hr);
    ComPtr<harness::TestHookHost> host;
    vx::com::CreateComObject(host);
    if (!extension->Attach(host->Identity()))
        return Fail("attach", E_FAIL);

    ComPtr<IvxCrRawBrowserExtender> extender;
    if (FAILED(hr = extenderModule->CreateRawBrowserExtender(page->Native(),
                                                             extender.GetAddressOf())))
        return Fail("CreateRawBrowserExtender", hr);
    ComPtr<IDispatch> quickBrowser;
    if (FAILED(hr = extender->GetQuickBrowser(quickBrowser.GetAddressOf())))
        return Fail("GetQuickBrowser", hr);
    std::string marshalled;
    if (FAILED(hr = harness::MarshalToText(quickBrowser.Get(), IID_IDispatch, marshalled)))
        return Fail("marshal", hr);
    // The marshalled reference keeps the quick browser alive for the
    // browser process; this process lets its own go.
    quickBrowser.Reset();
    Say("ready %lu %s", GetCurrentProcessId(), marshalled.c_str());

    // A renderer process does not outlive its page: once the live page has
    // gone, the process ends as a crashed renderer would, without clean-up.
    std::atomic<bool> commandsDone{false};
    std::thread pageWatch([&] {
        while (!commandsDone) {
            if (page->PageGone()) {
                fflush(stdout);
                TerminateProcess(GetCurrentProcess(), 3);
            }
            Sleep(20);
        }
    });

    std::vector<std::thread> blockers;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "quit")
            break;
        if (line == "handles") {
            const long scriptObjects = page->ScriptObjectHandles();
            Say("ok %ld %ld", page->LibraryHandles() - scriptObjects, scriptObjects);
        } else if (line == "listeners") {
            Say("%s", page->Steer("listeners", "", "").c_str());
        } else if (line == "crash") {
            Say("%s", page->Steer("crash", "", "").c_str());
        } else if (line.rfind("remove ", 0) == 0) {
            Say("%s", page->Steer("remove", line.substr(7), "").c_str());
        } else if (line.rfind("fire ", 0) == 0 || line.rfind("type ", 0) == 0 || line.rfind("choose ", 0) == 0 ||
                   line.rfind("toggle ", 0) == 0) {
            // "fire <id> <type>", and a user's action on an element: "type
            // <id> <text>", "choose <id> <option index>", "toggle <id>" (a
            // check box's click).
            const size_t verbEnd = line.find(' ');
            const std::string verb = line.substr(0, verbEnd);
            const size_t idEnd = line.find(' ', verbEnd + 1);
            const std::string id =
                line.substr(verbEnd + 1, idEnd == std::string::npos ? std::string::npos : idEnd - verbEnd - 1);
            const std::string rest = idEnd == std::string::npos ? "" : line.substr(idEnd + 1);
            Say("%s", page->Steer(verb, id, rest).c_str());
        } else if (line.rfind("block ", 0) == 0) {
            const DWORD ms = static_cast<DWORD>(std::stoul(line.substr(6)));
            // Answered once the renderer thread is taken, so that the next
            // call surely waits.
            HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            blockers.emplace_back([renderer = &page->Renderer(), ms, taken] {
                harness::RendererThread::Block block(*renderer);
                SetEvent(taken);
                Sleep(ms);
            });
            WaitForSingleObject(taken, INFINITE);
            CloseHandle(taken);
            Say("ok");
        } else if (line == "busy") {
            Say("ok %.0f", page->Renderer().BusySeconds() * 1e6);
            page->Renderer().ResetBusy();
        } else if (line == "shutdown") {
            Say("ok 0x%08lX", static_cast<unsigned long>(extender->Shutdown()));
        } else {
            Say("error unknown command");
        }
    }

    commandsDone = true;
    pageWatch.join();
    for (std::thread& blocker : blockers)
        blocker.join();
    extender->Shutdown();
    extender.Reset();
    extension->Detach();
    extension.Reset();
    extenderModule.Reset();
    moduleUnknown.Reset();
    page.reset();
    CoUninitialize();
    return 0;
}
