// vxobjectspy: a page seen through the whole hook. This process plays Chrome's
// browser process (the Chrome stand-in, one tab per page, one renderer
// stand-in process per tab reading the page's snapshot through the library)
// with the engine's hook host in it: vxCrHook.dll is loaded and attached as
// the host does, and the engine walker walks the object tree through the host
// module interfaces. Prints the tree of each model, or answers one question.
//
//   vxobjectspy --page=SNAPSHOT[|URL] ... [--model=dom|tree|both] [--json]
//             [--xpath=EXPR] [--at=X,Y] [--focused] [--record=SCRIPT]
//             [--dll=PATH]
//
// Progress and the summary go to standard error; the answer to standard
// output. Exit status 1 with a one-line error when something fails.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ChromeStandin.h"
#include "generated/vxCrHook.h"
#include "harness/host/EngineWalker.h"
#include "harness/host/TestHost.h"
#include "RecordSession.h"

using Microsoft::WRL::ComPtr;

namespace {

// {66F235D3-108D-4961-A923-03333575E40E}: the object-model option (0 the DOM
// model, 3 the Tree model).
constexpr GUID kObjectModelOption = {0x66F235D3, 0x108D, 0x4961, {0xA9, 0x23, 0x03, 0x33, 0x35, 0x75, 0xE4, 0x0E}};
// The moniker of an XPath node result.
constexpr DISPID kResultMoniker = 0x1000005;

struct Options
{
    std::vector<std::pair<std::wstring, std::wstring>> pages; // snapshot, URL
    bool dom = true;
    bool tree = true;
    bool json = false;
    std::wstring xpath;
    bool at = false;
    POINT point = {};
    bool focused = false;
    std::wstring recordScript;
    std::wstring dll;
};

// One line on standard error (a message of several lines is joined).
int Fail(const std::wstring& message)
{
    std::wstring line;
    bool space = false;
    for (wchar_t c : message) {
        if (c == L'\r' || c == L'\n' || c == L' ' || c == L'\t') {
            space = !line.empty();
            continue;
        }
        if (space)
            line += L' ';
        space = false;
        line += c;
    }
    fwprintf(stderr, L"inspect: %ls\n", line.c_str());
    return 1;
}

void Progress(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    fputws(L"inspect: ", stderr);
    vfwprintf(stderr, format, args);
    va_end(args);
    fputwc(L'\n', stderr);
    fflush(stderr);
}

bool ParseOptions(Options& options, std::wstring& error)
{
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i) {
        const std::wstring argument = argv[i];
        auto value = [&](const wchar_t* name) -> const wchar_t* {
            const std::wstring prefix = std::wstring(L"--") + name + L"=";
            return argument.rfind(prefix, 0) == 0 ? argument.c_str() + prefix.size() : nullptr;
        };
        if (const wchar_t* page = value(L"page")) {
            std::wstring text = page;
            const size_t bar = text.find(L'|');
            options.pages.emplace_back(text.substr(0, bar), bar == std::wstring::npos ? L"" : text.substr(bar + 1));
        } else if (const wchar_t* model = value(L"model")) {
            options.dom = std::wstring(model) != L"tree";
            options.tree = std::wstring(model) != L"dom";
        } else if (argument == L"--json") {
            options.json = true;
        } else if (const wchar_t* xpath = value(L"xpath")) {
            options.xpath = xpath;
        } else if (const wchar_t* at = value(L"at")) {
            options.at = swscanf(at, L"%ld,%ld", &options.point.x, &options.point.y) == 2;
            if (!options.at)
                error = L"--at needs X,Y (screen pixels), got " + std::wstring(at);
        } else if (argument == L"--focused") {
            options.focused = true;
        } else if (const wchar_t* script = value(L"record")) {
            options.recordScript = script;
        } else if (const wchar_t* dll = value(L"dll")) {
            options.dll = dll;
        } else {
            error = L"unknown argument " + argument;
        }
    }
    LocalFree(argv);
    if (error.empty() && options.pages.empty())
        error = L"no page given";
    return error.empty();
}

std::wstring JsonString(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20) {
            wchar_t escaped[8];
            swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

void PrintText(const harness::WalkedObject& object, int depth, size_t& count)
{
    ++count;
    std::wstring line(static_cast<size_t>(depth) * 2, L' ');
    line += object.kind;
    if (!object.method.empty() && object.method != object.kind)
        line += L" " + object.method;
    if (!object.parameters.empty()) {
        line += L"(";
        for (size_t i = 0; i < object.parameters.size(); ++i)
            line += (i ? L", " : L"") + object.parameters[i].second;
        line += L")";
    }
    if (!object.identifier.empty())
        line += L" id=" + JsonString(object.identifier);
    if (!object.alias.empty())
        line += L" alias=" + object.alias;
    line += L" moniker=" + object.moniker;
    if (object.hasRectangle) {
        const RECT& r = object.rectangle;
        wchar_t box[96];
        swprintf(box, 96, L" [%ld,%ld %ldx%ld]", r.left, r.top, r.right - r.left, r.bottom - r.top);
        line += box;
        line += object.visible ? L" visible" : L" hidden";
        line += object.enabled ? L"" : L" disabled";
    }
    wprintf(L"%ls\n", line.c_str());
    for (const harness::WalkedObject& child : object.children)
        PrintText(child, depth + 1, count);
}

void PrintJson(const harness::WalkedObject& object, int depth, size_t& count)
{
    ++count;
    const std::wstring pad(static_cast<size_t>(depth) * 2, L' ');
    wprintf(L"%ls{\"kind\": %ls, \"method\": %ls, \"parameters\": {", pad.c_str(), JsonString(object.kind).c_str(),
            JsonString(object.method).c_str());
    for (size_t i = 0; i < object.parameters.size(); ++i)
        wprintf(L"%ls%ls: %ls", i ? L", " : L"", JsonString(object.parameters[i].first).c_str(),
                JsonString(object.parameters[i].second).c_str());
    wprintf(L"}, \"identifier\": %ls, \"alias\": %ls, \"moniker\": %ls", JsonString(object.identifier).c_str(),
            JsonString(object.alias).c_str(), JsonString(object.moniker).c_str());
    if (object.hasRectangle) {
        const RECT& r = object.rectangle;
        wprintf(L", \"rectangle\": [%ld, %ld, %ld, %ld], \"visible\": %ls, \"enabled\": %ls", r.left, r.top,
                r.right - r.left, r.bottom - r.top, object.visible ? L"true" : L"false",
                object.enabled ? L"true" : L"false");
    }
    wprintf(L", \"children\": [");
    for (size_t i = 0; i < object.children.size(); ++i) {
        wprintf(i ? L",\n" : L"\n");
        PrintJson(object.children[i], depth + 1, count);
    }
    wprintf(object.children.empty() ? L"]}" : L"\n%ls]}", pad.c_str());
}

std::wstring ErrorText(HRESULT hr)
{
    ComPtr<IErrorInfo> info;
    BSTR description = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info && SUCCEEDED(info->GetDescription(&description)) && description) {
        std::wstring text(description, SysStringLen(description));
        SysFreeString(description);
        return text;
    }
    wchar_t code[32];
    swprintf(code, 32, L"error 0x%08lX", static_cast<unsigned long>(hr));
    return code;
}

std::wstring Moniker(IDispatch* object)
{
    ComPtr<IvxObject> vx;
    BSTR moniker = nullptr;
    if (!object || FAILED(object->QueryInterface(IID_PPV_ARGS(&vx))) || FAILED(vx->GetMoniker(&moniker)))
        return L"?";
    std::wstring text(moniker, SysStringLen(moniker));
    SysFreeString(moniker);
    return text;
}

// The renderer window object whose window contains the screen point.
ComPtr<IDispatch> WindowAt(const std::vector<ComPtr<IDispatch>>& windows, POINT point)
{
    for (const ComPtr<IDispatch>& window : windows) {
        ComPtr<IvxCrRendererWindowProvider> provider;
        if (FAILED(window.As(&provider)) || !provider->IsRendererWindow())
            continue;
        RECT rectangle = {};
        HWND handle = provider->GetWindowHandle();
        if (IsWindowVisible(handle) && GetWindowRect(handle, &rectangle) && PtInRect(&rectangle, point))
            return window;
    }
    return nullptr;
}

// The first renderer window object whose window is shown.
ComPtr<IDispatch> FirstShownWindow(const std::vector<ComPtr<IDispatch>>& windows)
{
    for (const ComPtr<IDispatch>& window : windows) {
        ComPtr<IvxCrRendererWindowProvider> provider;
        if (SUCCEEDED(window.As(&provider)) && provider->IsRendererWindow() &&
            IsWindowVisible(provider->GetWindowHandle()))
            return window;
    }
    return nullptr;
}

int Inspect(const Options& options)
{
    const DWORD started = GetTickCount();
    chrome_standin::ChromeStandin standin;
    if (FAILED(standin.Start()) || FAILED(standin.Publish()))
        return Fail(L"the Chrome stand-in did not start");
    for (size_t i = 0; i < options.pages.size(); ++i) {
        const LONG tabId = static_cast<LONG>(i + 1);
        const std::wstring url = options.pages[i].second.empty() ? L"http://inspect.test/page" + std::to_wstring(tabId)
                                                                 : options.pages[i].second;
        if (FAILED(standin.OpenTab(tabId, url, false, i == 0)))
            return Fail(L"could not open a tab for " + url);
        const HRESULT hr = standin.StartRenderer(tabId, options.pages[i].first);
        if (FAILED(hr))
            return Fail(L"the renderer did not start on " + options.pages[i].first + L" (" + ErrorText(hr) + L")");
    }
    Progress(L"started %zu tab(s) with their renderers in %lu ms", options.pages.size(), GetTickCount() - started);

    const std::wstring dll = options.dll.empty() ? harness::DefaultLibraryPath() : options.dll;
    HMODULE library = LoadLibraryW(dll.c_str());
    if (!library)
        return Fail(L"cannot load " + dll);
    auto getModuleIntf = reinterpret_cast<HRESULT(WINAPI*)(IUnknown**)>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetModuleIntf")));
    ComPtr<IUnknown> moduleIntf;
    ComPtr<IvxOpenAppHookExtension> extension;
    ComPtr<harness::TestHookHost> host;
    if (!getModuleIntf || FAILED(getModuleIntf(&moduleIntf)) || FAILED(moduleIntf.As(&extension)) ||
        FAILED(vx::com::CreateComObject(host)) || !extension->Attach(host->Identity()))
        return Fail(L"the hook did not attach");
    std::vector<ComPtr<IUnknown>> modules;
    for (const harness::RegisteredModule& entry : host->Registry().Registered())
        modules.push_back(entry.module);
    harness::EngineWalker walker(modules);

    int status = 0;
    const std::vector<ComPtr<IDispatch>> windows = walker.ClaimedWindows();
    std::vector<ComPtr<IDispatch>> domPages;
    for (const ComPtr<IDispatch>& window : windows)
        for (const ComPtr<IDispatch>& page : walker.Children(window.Get()))
            domPages.push_back(page);
    Progress(L"the hook claimed %zu window(s) showing %zu page(s)", windows.size(), domPages.size());

    VARIANT model;
    V_VT(&model) = VT_I4;
    if (!options.xpath.empty() || options.at || options.focused) {
        V_I4(&model) = options.tree && !options.dom ? 3 : 0;
        walker.SetOption(kObjectModelOption, model);
    }
    if (!options.recordScript.empty()) {
        status = objectspy::PlayRecordingScript(options.recordScript, standin, walker, modules,
                                                FirstShownWindow(windows).Get());
    } else if (!options.xpath.empty()) {
        ComPtr<IvxEvaluateXPath> xpath;
        if (domPages.empty() || FAILED(domPages[0].As(&xpath)))
            status = Fail(L"no page to evaluate the expression on");
        else {
            BSTR expression = SysAllocString(options.xpath.c_str());
            VARIANT result;
            VariantInit(&result);
            HRESULT hr = xpath->EvaluateXPath(expression, &result);
            SysFreeString(expression);
            if (FAILED(hr)) {
                status = Fail(ErrorText(hr));
            } else if (V_VT(&result) == (VT_ARRAY | VT_VARIANT)) {
                LONG upper = -1;
                SafeArrayGetUBound(V_ARRAY(&result), 1, &upper);
                for (LONG i = 0; i <= upper; ++i) {
                    VARIANT node;
                    VariantInit(&node);
                    SafeArrayGetElement(V_ARRAY(&result), &i, &node);
                    VARIANT moniker;
                    VariantInit(&moniker);
                    DISPPARAMS none = {};
                    if (V_VT(&node) == VT_DISPATCH && V_DISPATCH(&node) &&
                        SUCCEEDED(V_DISPATCH(&node)->Invoke(kResultMoniker, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                                            &moniker, nullptr, nullptr)) &&
                        V_VT(&moniker) == VT_BSTR)
                        wprintf(L"%ls\n", V_BSTR(&moniker));
                    VariantClear(&moniker);
                    VariantClear(&node);
                }
                Progress(L"%ld node(s)", upper + 1);
            } else {
                VARIANT text;
                VariantInit(&text);
                if (V_VT(&result) == VT_EMPTY)
                    Progress(L"no node");
                else if (SUCCEEDED(VariantChangeType(&text, &result, 0, VT_BSTR)))
                    wprintf(L"%ls\n", V_BSTR(&text));
                VariantClear(&text);
            }
            VariantClear(&result);
        }
    } else if (options.at || options.focused) {
        ComPtr<IDispatch> window = options.at ? WindowAt(windows, options.point) : FirstShownWindow(windows);
        if (!window) {
            wchar_t where[64];
            swprintf(where, 64, L"%ld,%ld", options.point.x, options.point.y);
            status = Fail(options.at ? L"the point " + std::wstring(where) + L" is outside every tab window"
                                     : std::wstring(L"no tab window is shown"));
        } else {
            ComPtr<IDispatch> found = options.at ? walker.ObjectAtPoint(window.Get(), options.point.x, options.point.y)
                                                 : walker.FocusedObject(window.Get());
            if (!found)
                status = Fail(L"no object answered");
            else
                wprintf(L"%ls\n", Moniker(found.Get()).c_str());
        }
    } else {
        if (options.json)
            wprintf(L"{\"pages\": [");
        bool first = true;
        for (bool treeModel : {false, true}) {
            if ((treeModel && !options.tree) || (!treeModel && !options.dom))
                continue;
            V_I4(&model) = treeModel ? 3 : 0;
            walker.SetOption(kObjectModelOption, model);
            const DWORD walkStart = GetTickCount();
            size_t objects = 0;
            // The DOM model from the windows the hook claims (each leads to
            // its tab's page), the Tree model from the root's pages.
            VARIANT root;
            VariantInit(&root);
            const std::vector<ComPtr<IDispatch>> tops = treeModel ? walker.Children(root) : windows;
            for (const ComPtr<IDispatch>& page : tops) {
                size_t read = 0;
                harness::WalkedObject walked = walker.Read(page.Get(), true, [&] {
                    if (++read % 500 == 0)
                        Progress(L"%ls model: %zu objects read", treeModel ? L"Tree" : L"DOM", read);
                });
                if (options.json) {
                    wprintf(first ? L"\n" : L",\n");
                    wprintf(L"  {\"model\": %ls, \"tree\":\n", treeModel ? L"\"tree\"" : L"\"dom\"");
                    PrintJson(walked, 2, objects);
                    wprintf(L"}");
                } else {
                    wprintf(L"== %ls model\n", treeModel ? L"Tree" : L"DOM");
                    PrintText(walked, 0, objects);
                }
                first = false;
            }
            Progress(L"%ls model: %zu objects in %.1f s (%.2f ms per object)", treeModel ? L"Tree" : L"DOM", objects,
                     (GetTickCount() - walkStart) / 1000.0,
                     objects ? static_cast<double>(GetTickCount() - walkStart) / static_cast<double>(objects) : 0.0);
        }
        if (options.json)
            wprintf(L"\n]}\n");
    }
    fflush(stdout);

    extension->Detach();
    standin.Shutdown();
    Progress(L"done in %.1f s", (GetTickCount() - started) / 1000.0);
    return status;
}

} // namespace

int wmain()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Options options;
    std::wstring error;
    if (!ParseOptions(options, error))
        return Fail(error);
    return Inspect(options);
}
