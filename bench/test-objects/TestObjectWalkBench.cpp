// Times a full walk of both models of a captured page through test objects,
// as the engine walks it: the browser side (a tab of the Chrome stand-in, in
// this process) over the library's renderer side in a renderer stand-in
// process. Every object is made, and its identifier, moniker and alias are
// read. Prints the time per object, the children requests per object (each
// at most one cross-process call: objects that cannot expand make none), and
// the release time per object; the renderer must hold no node handle
// afterwards.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ChromeStandin.h"
#include "platform/process/ProcessOptions.h"
#include "services/BrowserServiceRemote.h"
#include "services/HookTab.h"
#include "services/TabsServiceRemote.h"
#include "testobjects/ObjectNaming.h"
#include "testobjects/TestObjectList.h"
#include "tests/support/PagePath.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr LONG kTabId = 1;

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The tab list's side of the services: nothing to do here.
class NoCallbacks
    : public vx::com::ComObject<NoCallbacks, IvxCrTabsServiceRemoteCallback, IvxCrBrowserServiceRemoteCallback>
{
public:
    STDMETHODIMP OnTabCreated(LONG, VARIANT_BOOL, BSTR) noexcept override { return S_OK; }
    STDMETHODIMP OnTabRemoved(LONG) noexcept override { return S_OK; }
    STDMETHODIMP OnTabUpdated(LONG, VARIANT_BOOL, BSTR) noexcept override { return S_OK; }
    STDMETHODIMP OnBrowserServiceEvent() noexcept override { return S_OK; }
    STDMETHODIMP OnRemoveBrowser(BSTR) noexcept override { return S_OK; }
};

void UseObjectModel(CCrHookTab& tab, LONG model)
{
    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = model;
    bool changed = false;
    ProcessOptions().SetOption(ProcessOptionKeys::ObjectModel, value, changed);
    tab.PushChangedOptions();
}

struct WalkFigures
{
    size_t objects = 0;
    size_t childrenCalls = 0;
    double walkSeconds = 0;
    double releaseSeconds = 0;
};

WalkFigures Walk(CCrHookTab& tab, bool treeModel)
{
    WalkFigures figures;
    ComPtr<IvxObject> page;
    tab.GetPageTestObject(treeModel, page);
    std::vector<ComPtr<IvxObject>> held;
    std::vector<ComPtr<IvxObject>> pending{page};
    const double start = Now();
    while (!pending.empty()) {
        ComPtr<IvxObject> object = std::move(pending.back());
        pending.pop_back();
        ComPtr<IvxCrBrowserObject> browserObject;
        VxCrTestObjectList list;
        if (SUCCEEDED(object.As(&browserObject)) && SUCCEEDED(browserObject->GetChildObjects(&list)))
            ++figures.childrenCalls;
        for (ComPtr<IvxObject>& child : list.objects) {
            vx::com::BStr moniker, alias;
            child->GetMoniker(moniker.Out());
            ComPtr<IvxMethodCallInformation2> naming;
            if (SUCCEEDED(child.As(&naming)))
                naming->GetAlias(alias.Out());
            ComPtr<IDispatch> dispatch;
            child.As(&dispatch);
            LPOLESTR name = const_cast<LPOLESTR>(vxCrTestObjects::kIdentifierParam);
            DISPID id = DISPID_UNKNOWN;
            if (dispatch && SUCCEEDED(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id))) {
                vx::com::Variant identifier;
                DISPPARAMS none = {};
                dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, identifier.Get(), nullptr, nullptr);
            }
            ++figures.objects;
            held.push_back(child);
            pending.push_back(std::move(child));
        }
    }
    figures.walkSeconds = Now() - start;
    const double releaseStart = Now();
    held.clear();
    figures.releaseSeconds = Now() - releaseStart;
    return figures;
}

void Print(const char* model, const WalkFigures& figures)
{
    const double objects = figures.objects ? static_cast<double>(figures.objects) : 1.0;
    std::printf("%-10s %7zu objects  walk %8.3f ms/object  children requests %5.3f/object  release %6.3f ms/object\n",
                model, figures.objects, figures.walkSeconds * 1e3 / objects,
                static_cast<double>(figures.childrenCalls) / objects, figures.releaseSeconds * 1e3 / objects);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const std::string page =
        argc > 1 ? std::string(argv[1], argv[1] + wcslen(argv[1])) : std::string("large/snapshots/capi3ref.json");
    chrome_standin::ChromeStandin standin;
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    ComPtr<NoCallbacks> callbacks;
    ComPtr<CCrTabsServiceRemote> tabsService;
    ComPtr<CCrBrowserServiceRemote> browserService;
    ComPtr<CCrHookTab> tab;
    if (FAILED(standin.Start()) || FAILED(standin.Publish()) ||
        FAILED(standin.OpenTab(kTabId, L"http://bench.test/", false, true)) ||
        FAILED(vx::com::CreateComObject(stubManager)) || FAILED(vx::com::CreateComObject(callbacks)) ||
        FAILED(vx::com::CreateComObject(tabsService)) || FAILED(vx::com::CreateComObject(browserService)) ||
        FAILED(tabsService->Initialize(stubManager.Get(), nullptr, callbacks.Get())) ||
        FAILED(browserService->Initialize(stubManager.Get(), nullptr, callbacks.Get())) ||
        FAILED(vx::com::CreateComObject(tab)) ||
        FAILED(tab->Initialize(stubManager.Get(), kTabId, nullptr, tabsService.Get(), browserService.Get())) ||
        FAILED(standin.StartRenderer(kTabId, testsupport::PagePath(page)))) {
        std::fprintf(stderr, "set-up failed\n");
        return 1;
    }
    std::printf("test-object walk of %s (both models, identifier, moniker and alias of every object)\n", page.c_str());
    UseObjectModel(*tab.Get(), 0);
    Print("DOM model", Walk(*tab.Get(), false));
    UseObjectModel(*tab.Get(), 3);
    Print("Tree model", Walk(*tab.Get(), true));

    tab->ResetRenderer();
    std::string shutdown, handles;
    standin.RendererCommand(kTabId, "shutdown", shutdown);
    for (int attempt = 0; attempt < 50 && handles.rfind("ok 0 ", 0) != 0; ++attempt) {
        if (attempt > 0)
            Sleep(20);
        handles.clear();
        standin.RendererCommand(kTabId, "handles", handles);
    }
    std::printf("renderer node handles afterwards (library, script objects): %s\n", handles.c_str());
    tab->Close();
    tabsService->Uninitialize();
    browserService->Uninitialize();
    stubManager->DisconnectAll();
    return 0;
}
