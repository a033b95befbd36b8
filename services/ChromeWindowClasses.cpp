#include "services/ChromeWindowClasses.h"

#include <cwchar>

const wchar_t kChromeRenderWidgetClass[] = L"Chrome_RenderWidgetHostHWND";
const wchar_t kChromeCompositorHostClass[] = L"CompositorHostWindowClass";
const wchar_t kChromeWidgetClass[] = L"Chrome_WidgetWin_0";
const wchar_t kChromeOmniboxClass[] = L"Chrome_OmniboxView";

bool HasWindowClass(HWND window, const wchar_t* className)
{
    wchar_t name[261] = {};
    return window && GetClassNameW(window, name, 261) > 0 && std::wcscmp(name, className) == 0;
}

bool IsRenderWidgetHostWindow(HWND window)
{
    return HasWindowClass(window, kChromeRenderWidgetClass);
}

bool IsChromeWidgetWindow(HWND window)
{
    return HasWindowClass(window, kChromeWidgetClass);
}

HWND FindRenderWidgetAncestor(HWND start)
{
    // GA_PARENT, not GetParent: the owner of a top-level window is not its
    // parent.
    const HWND desktop = GetDesktopWindow();
    for (HWND window = start; window && window != desktop; window = GetAncestor(window, GA_PARENT))
        if (IsRenderWidgetHostWindow(window))
            return window;
    return nullptr;
}

bool FindBrowserFrame(HWND window, HWND& frame)
{
    frame = nullptr;
    if (!window || !IsWindowVisible(window))
        return false;
    if (HasWindowClass(window, kChromeOmniboxClass)) {
        HWND parent = GetParent(window);
        if (parent && IsWindowVisible(parent) && IsChromeWidgetWindow(parent)) {
            frame = parent;
            return true;
        }
    }
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    RECT rectangle = {};
    if ((style & WS_POPUP) && !(style & WS_DLGFRAME) && IsChromeWidgetWindow(window) &&
        GetWindowRect(window, &rectangle)) {
        HWND owner = GetWindow(window, GW_OWNER);
        if (owner && IsWindowVisible(owner) && IsChromeWidgetWindow(owner)) {
            frame = owner;
            return true;
        }
    }
    return false;
}
