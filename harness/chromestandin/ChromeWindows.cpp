// The stand-in browser's windows and their thread.
#include "ChromeWindows.h"

#include "platform/com/UniqueHandle.h"

namespace chrome_standin {
namespace {

constexpr UINT kRunMessage = WM_APP + 1;
constexpr const wchar_t* kWidgetClass = L"Chrome_WidgetWin_0";
constexpr const wchar_t* kRenderWidgetHostClass = L"Chrome_RenderWidgetHostHWND";
constexpr const wchar_t* kCompositorClass = L"CompositorHostWindowClass";
constexpr const wchar_t* kControlClass = L"VxChromeStandinControl";

LRESULT CALLBACK ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRunMessage) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Registers a class of this module; one that already exists (another
// stand-in in this process registered it) is fine.
bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateChild(const wchar_t* className, HWND parent, bool visible, int x, int y, int width, int height)
{
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0);
    return CreateWindowExW(0, className, L"", style, x, y, width, height, parent, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
}

SIZE ClientSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

} // namespace

HRESULT ChromeWindows::Start()
{
    if (thread_.joinable())
        return S_OK;
    vx::com::UniqueHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!started)
        return HRESULT_FROM_WIN32(GetLastError());
    thread_ = std::thread([this, handle = started.Get()] { ThreadMain(handle); });
    WaitForSingleObject(started.Get(), INFINITE);
    if (!browser_.frame) {
        thread_.join();
        return E_FAIL;
    }
    return S_OK;
}

void ChromeWindows::Stop()
{
    if (!thread_.joinable())
        return;
    RunOnWindowThread([this] {
        if (browser_.frame)
            DestroyWindow(browser_.frame);
        DestroyWindow(control_);
        PostQuitMessage(0);
    });
    thread_.join();
    browser_ = {};
    control_ = nullptr;
}

void ChromeWindows::ThreadMain(HANDLE started)
{
    bool ready = RegisterWindowClass(kControlClass, ControlProcedure) &&
                 RegisterWindowClass(kWidgetClass, DefWindowProcW) &&
                 RegisterWindowClass(kRenderWidgetHostClass, DefWindowProcW) &&
                 RegisterWindowClass(kCompositorClass, DefWindowProcW);
    if (ready)
        control_ = CreateWindowExW(0, kControlClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control_ || !CreateBrowserWindows()) {
        if (browser_.frame)
            DestroyWindow(browser_.frame);
        if (control_)
            DestroyWindow(control_);
        browser_ = {};
        control_ = nullptr;
        SetEvent(started);
        return;
    }
    SetEvent(started);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool ChromeWindows::CreateBrowserWindows()
{
    const RECT& r = frameRectangle_;
    browser_.frame =
        CreateWindowExW(0, kWidgetClass, L"Stand-in browser", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!browser_.frame)
        return false;
    SIZE size = ClientSize(browser_.frame);
    // Creation order puts the bubble and the shelf ahead of the container
    // among the frame's children, so a lookup must choose by visibility and
    // position, not by order.
    browser_.shelf = CreateChild(kWidgetClass, browser_.frame, true, 0, size.cy - kShelfHeight, size.cx, kShelfHeight);
    browser_.bubble = CreateChild(kWidgetClass, browser_.frame, false, 0, 0, size.cx, kTabStripHeight / 2);
    browser_.container = CreateChild(kWidgetClass, browser_.frame, true, 0, kTabStripHeight, size.cx,
                                     size.cy - kTabStripHeight - kShelfHeight);
    if (!browser_.shelf || !browser_.bubble || !browser_.container)
        return false;
    SetWindowPos(browser_.container, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetForegroundWindow(browser_.frame);
    SetActiveWindow(browser_.frame);
    return true;
}

void ChromeWindows::RunOnWindowThread(const std::function<void()>& work)
{
    if (!control_)
        return;
    if (GetWindowThreadProcessId(control_, nullptr) == GetCurrentThreadId())
        work();
    else
        SendMessageW(control_, kRunMessage, 0, reinterpret_cast<LPARAM>(&work));
}

RECT ChromeWindows::FrameRectangle() const
{
    RECT rectangle = {};
    if (browser_.frame)
        GetWindowRect(browser_.frame, &rectangle);
    return rectangle;
}

HRESULT ChromeWindows::CreateTab(bool withCompositor, TabWindows& windows)
{
    windows = {};
    RunOnWindowThread([&] {
        SIZE size = ClientSize(browser_.container);
        windows.renderWidgetHost =
            CreateChild(kRenderWidgetHostClass, browser_.container, false, 0, 0, size.cx, size.cy);
        if (windows.renderWidgetHost && withCompositor)
            windows.compositor = CreateChild(kCompositorClass, windows.renderWidgetHost, true, 0, 0, size.cx, size.cy);
        // A new tab window goes behind the others until it is activated.
        if (windows.renderWidgetHost)
            SetWindowPos(windows.renderWidgetHost, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    });
    if (!windows.renderWidgetHost || (withCompositor && !windows.compositor)) {
        DestroyTab(windows);
        windows = {};
        return E_FAIL;
    }
    return S_OK;
}

void ChromeWindows::DestroyTab(const TabWindows& windows)
{
    if (windows.renderWidgetHost)
        RunOnWindowThread([&] { DestroyWindow(windows.renderWidgetHost); });
}

void ChromeWindows::Activate(HWND renderWidgetHost)
{
    RunOnWindowThread([&] {
        for (HWND child = FindWindowExW(browser_.container, nullptr, kRenderWidgetHostClass, nullptr); child;
             child = FindWindowExW(browser_.container, child, kRenderWidgetHostClass, nullptr))
            if (child != renderWidgetHost)
                ShowWindow(child, SW_HIDE);
        if (!renderWidgetHost)
            return;
        SetWindowPos(renderWidgetHost, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        SetFocus(renderWidgetHost);
    });
}

HWND ChromeWindows::Focus(HWND window)
{
    HWND before = nullptr;
    RunOnWindowThread([&] { before = SetFocus(window); });
    return before;
}

HWND ChromeWindows::FocusedWindow()
{
    HWND focused = nullptr;
    RunOnWindowThread([&] { focused = GetFocus(); });
    return focused;
}

} // namespace chrome_standin
