#pragma once
// Chrome's window classes and how a window relates to its browser frame.
// Class names are read with GetClassNameW and compared case-sensitively.
#include <windows.h>

extern const wchar_t kChromeRenderWidgetClass[];   // "Chrome_RenderWidgetHostHWND": shows a tab's page
extern const wchar_t kChromeCompositorHostClass[]; // "CompositorHostWindowClass"
extern const wchar_t kChromeWidgetClass[];         // "Chrome_WidgetWin_0": frames and containers
extern const wchar_t kChromeOmniboxClass[];        // "Chrome_OmniboxView": the address bar

bool HasWindowClass(HWND window, const wchar_t* className);
bool IsRenderWidgetHostWindow(HWND window);
bool IsChromeWidgetWindow(HWND window);

// The first window of the chain from `start` up through its parents whose
// class is Chrome_RenderWidgetHostHWND (`start` included); null when none.
HWND FindRenderWidgetAncestor(HWND start);

// The browser frame of a window: the visible Chrome_WidgetWin_0 parent of a
// visible address bar, or the visible Chrome_WidgetWin_0 owner of a visible
// Chrome_WidgetWin_0 pop-up without a dialog frame.
bool FindBrowserFrame(HWND window, HWND& frame);
