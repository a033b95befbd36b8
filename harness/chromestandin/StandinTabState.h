#pragma once
// The stand-in's record of one tab (private to ChromeStandin's sources).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChromeStandin.h"
#include "harness/rendererstandin/RendererProcess.h"
#include "StandinQuickBrowser.h"

namespace chrome_standin {

struct ChromeStandin::TabState
{
    LONG id = 0;
    std::wstring url;
    bool loading = false;
    NavigationBehaviour navigation;
    TabWindows windows;
    std::optional<RECT> rectangle;                            // reported instead of the frame's
    unsigned keyGeneration = 1;                               // counts the tab's renderer connections
    unsigned loadSerial = 0;                                  // a scheduled load step runs only if still current
    Microsoft::WRL::ComPtr<StandinQuickBrowser> quickBrowser; // of the current connection, once asked for
    std::unique_ptr<harness::RendererProcess> renderer;       // a renderer process started for the tab
    Microsoft::WRL::ComPtr<IDispatch> rendererQuickBrowser;   // the library's quick browser in it
    std::vector<ReceivedOption> options;

    std::wstring BrowserKey() const
    {
        return L"browser-" + std::to_wstring(id) + L"-" + std::to_wstring(keyGeneration);
    }
    // The window a renderer reports as its own: inside the tab window.
    ULONG RendererWindow() const
    {
        HWND window = windows.compositor ? windows.compositor : windows.renderWidgetHost;
        return static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(window));
    }
};

} // namespace chrome_standin
