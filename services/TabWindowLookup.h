#pragma once
// Finding a tab's Chrome_RenderWidgetHostHWND among the browser's windows.
#include <windows.h>

#include "services/ChromeWindowClasses.h"

// The tab window by the tab's content rectangle (screen pixels): among the
// visible top-level Chrome_WidgetWin_0 windows of the current process the one
// whose window rectangle equals `content` exactly; inside it the visible
// Chrome_WidgetWin_0 child with the smallest top; inside that the first
// Chrome_RenderWidgetHostHWND. Null when any step finds nothing.
HWND FindTabWindowByContentRect(const RECT& content);
