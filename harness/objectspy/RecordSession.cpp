#include "RecordSession.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "harness/enginerecorder/ElementTree.h"
#include "harness/enginerecorder/EngineRecorder.h"

// The script: one step per line, `#` starts a comment; IDs are element ids.
//   provider ID          the engine asks for the element's recording provider
//   type ID TEXT         the user types TEXT into the element ("keyup")
//   choose ID INDEX      the user chooses an option of a SELECT ("change")
//   toggle ID            a check box's click changes its state
//   down ID [X Y]        the left button goes down on the element (X, Y from
//   up ID [X Y]          its top left corner; default 3 3), or comes up
//   rdown ID [X Y]       the right button goes down
//   key ID               a key in the tab window, on the element
// Steps of the user in the page (type, choose) wait for the record they
// cause; the others report their record at once.

using Microsoft::WRL::ComPtr;

namespace objectspy {
namespace {

constexpr LONG kTab = 1;
// {66F235D3-108D-4961-A923-03333575E40E}: the object-model option.
constexpr GUID kObjectModelOption = {0x66F235D3, 0x108D, 0x4961, {0xA9, 0x23, 0x03, 0x33, 0x35, 0x75, 0xE4, 0x0E}};

int Fail(const std::wstring& message)
{
    fwprintf(stderr, L"inspect: %ls\n", message.c_str());
    return 1;
}

std::wstring Widen(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::wstring Moniker(IUnknown* object)
{
    ComPtr<IvxObject> vx;
    BSTR moniker = nullptr;
    std::wstring text = L"-";
    if (object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&vx))) && SUCCEEDED(vx->GetMoniker(&moniker)) &&
        moniker)
        text.assign(moniker, SysStringLen(moniker));
    SysFreeString(moniker);
    return text;
}

void Print(int& number, const vxtest::RecordedEvent& event)
{
    // The object the record refers to: what the event source gave, else the
    // target.
    ComPtr<IDispatch> object = event.record->EventObject();
    if (!object)
        object = event.record->Target();
    wprintf(L"%d. %ls\n   on %ls, %ls\n", ++number, event.record->Describe().c_str(), Moniker(object.Get()).c_str(),
            event.handled ? L"handled" : L"not handled");
}

} // namespace

int PlayRecordingScript(const std::wstring& scriptPath, chrome_standin::ChromeStandin& standin,
                        harness::EngineWalker& walker, const std::vector<ComPtr<IUnknown>>& modules,
                        IDispatch* windowObject)
{
    std::ifstream script(scriptPath.c_str());
    if (!script)
        return Fail(L"cannot read the script " + scriptPath);
    const std::optional<chrome_standin::TabSnapshot> tab = standin.Tab(kTab);
    if (!tab || !windowObject)
        return Fail(L"no tab window to record in");
    const HWND window = tab->windows.renderWidgetHost;

    // The DOM model: every element is an object of its own.
    VARIANT model;
    V_VT(&model) = VT_I4;
    V_I4(&model) = 0;
    walker.SetOption(kObjectModelOption, model);
    vxtest::ElementTree tree(
        windowObject, [&](IDispatch* parent) { return walker.Children(parent); }, 6);
    ComPtr<vxtest::CEngineRecorder> recorder;
    if (FAILED(vx::com::CreateComObject(recorder, modules)) || FAILED(recorder->Start()))
        return Fail(L"recording did not start");

    int status = 0;
    int number = 0;
    size_t seen = 0; // fired records printed so far
    std::string line;
    for (int lineNumber = 1; status == 0 && std::getline(script, line); ++lineNumber) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::string verb, id;
        words >> verb >> id;
        if (verb.empty() || verb[0] == '#')
            continue;
        vxtest::CTestTreeNode* element = tree.Element(Widen(id));
        if (!element) {
            status = Fail(scriptPath + L":" + std::to_wstring(lineNumber) + L": no element with the id " + Widen(id));
            break;
        }
        if (verb == "provider") {
            ComPtr<IDispatch> provider;
            const HRESULT hr = recorder->AttachProvider(element, provider);
            wprintf(L"   provider for %ls: %ls\n", Widen(id).c_str(),
                    hr == S_OK ? Moniker(provider.Get()).c_str() : L"none");
        } else if (verb == "type" || verb == "choose" || verb == "toggle") {
            std::string answer;
            if (FAILED(standin.RendererCommand(kTab, line, answer)) || answer.rfind("ok", 0) != 0) {
                status = Fail(scriptPath + L":" + std::to_wstring(lineNumber) + L": the page refused " + Widen(line));
                break;
            }
            if (verb != "toggle" && !recorder->WaitForFired(seen + 1, 5000))
                wprintf(L"   (no record for: %ls)\n", Widen(line).c_str());
        } else if (verb == "down" || verb == "up" || verb == "rdown" || verb == "key") {
            LONG x = 3, y = 3;
            words >> x >> y;
            const UINT message = verb == "down" ? WM_LBUTTONDOWN : verb == "up" ? WM_LBUTTONUP : WM_RBUTTONDOWN;
            Print(number, verb == "key" ? recorder->ReportKey(window, element)
                                        : recorder->ReportWindowMessage(window, message, x, y, element));
        } else {
            status = Fail(scriptPath + L":" + std::to_wstring(lineNumber) + L": unknown step " + Widen(verb));
            break;
        }
        const std::vector<vxtest::RecordedEvent> fired = recorder->Fired();
        for (; seen < fired.size(); ++seen)
            Print(number, fired[seen]);
    }
    recorder->DisposeProviders();
    recorder->Stop();
    fflush(stdout);
    return status;
}

} // namespace objectspy
