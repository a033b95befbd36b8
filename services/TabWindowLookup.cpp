#include "services/TabWindowLookup.h"

#include <cwchar>

namespace {

struct TopLevelSearch
{
    RECT content;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<TopLevelSearch*>(data);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window) || !HasWindowClass(window, kChromeWidgetClass))
        return TRUE;
    RECT rect = {};
    if (!GetWindowRect(window, &rect) || !EqualRect(&rect, &search->content))
        return TRUE;
    search->found = window;
    return FALSE;
}

// The visible Chrome_WidgetWin_0 direct child with the smallest top (the
// first of equal ones).
HWND TopmostWidgetChild(HWND parent)
{
    HWND best = nullptr;
    LONG bestTop = 0;
    for (HWND child = FindWindowExW(parent, nullptr, kChromeWidgetClass, nullptr); child;
         child = FindWindowExW(parent, child, kChromeWidgetClass, nullptr)) {
        RECT rect = {};
        if (!IsWindowVisible(child) || !GetWindowRect(child, &rect))
            continue;
        if (!best || rect.top < bestTop) {
            best = child;
            bestTop = rect.top;
        }
    }
    return best;
}

BOOL CALLBACK MatchRenderWidget(HWND window, LPARAM data)
{
    if (!HasWindowClass(window, kChromeRenderWidgetClass))
        return TRUE;
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
}

// The first Chrome_RenderWidgetHostHWND among the direct children, else
// among all descendants.
HWND FirstRenderWidget(HWND parent)
{
    if (HWND direct = FindWindowExW(parent, nullptr, kChromeRenderWidgetClass, nullptr))
        return direct;
    HWND found = nullptr;
    EnumChildWindows(parent, MatchRenderWidget, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

HWND FindTabWindowByContentRect(const RECT& content)
{
    TopLevelSearch search = {content, GetCurrentProcessId(), nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return nullptr;
    HWND widget = TopmostWidgetChild(search.found);
    if (!widget)
        return nullptr;
    return FirstRenderWidget(widget);
}
