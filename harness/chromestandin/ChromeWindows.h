#pragma once
// The windows of the stand-in browser, owned by a window thread of their own
// that runs a message loop, laid out as Chrome lays out a browser window:
//   frame      visible top-level "Chrome_WidgetWin_0" at the given screen
//              rectangle (a popup: no border, so client area = window)
//     bubble     hidden "Chrome_WidgetWin_0" child at the top edge
//     container  visible "Chrome_WidgetWin_0" child below the tab strip area
//       per tab  "Chrome_RenderWidgetHostHWND" filling the container; only
//                the active tab's is visible and first in Z order
//         compositor  optional visible "CompositorHostWindowClass" child
//     shelf      visible "Chrome_WidgetWin_0" child along the bottom edge
// Every call may come from any thread; window work runs on the window thread.
#include <windows.h>

#include <functional>
#include <thread>

namespace chrome_standin {

struct BrowserWindows
{
    HWND frame = nullptr;
    HWND bubble = nullptr;
    HWND container = nullptr;
    HWND shelf = nullptr;
};

struct TabWindows
{
    HWND renderWidgetHost = nullptr;
    HWND compositor = nullptr; // null when the tab has none
};

// Layout inside the frame (pixels).
inline constexpr int kTabStripHeight = 60;
inline constexpr int kShelfHeight = 40;

class ChromeWindows
{
public:
    explicit ChromeWindows(const RECT& frame) : frameRectangle_(frame) {}
    ~ChromeWindows() { Stop(); }
    ChromeWindows(const ChromeWindows&) = delete;
    ChromeWindows& operator=(const ChromeWindows&) = delete;

    // Starts the window thread and creates the browser windows.
    HRESULT Start();
    // Destroys every window and ends the thread.
    void Stop();

    const BrowserWindows& Browser() const { return browser_; }
    RECT FrameRectangle() const;

    HRESULT CreateTab(bool withCompositor, TabWindows& windows);
    void DestroyTab(const TabWindows& windows);
    // Shows the tab window first in Z order, hides the other tab windows and
    // gives it the keyboard focus.
    void Activate(HWND renderWidgetHost);
    // SetFocus on the window thread; the window focused before.
    HWND Focus(HWND window);
    // The focus window of the window thread.
    HWND FocusedWindow();

private:
    void RunOnWindowThread(const std::function<void()>& work);
    void ThreadMain(HANDLE started);
    bool CreateBrowserWindows();

    RECT frameRectangle_;
    BrowserWindows browser_;
    HWND control_ = nullptr; // message-only window that runs posted work
    std::thread thread_;
};

} // namespace chrome_standin
