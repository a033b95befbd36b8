#pragma once
// The quick-browser object at a point of a window's viewport, and the
// focused object, in either object model. A window is the page or a frame
// object; the search goes down through frames (a point inside a frame is
// searched again in the frame's own client coordinates, and the frame itself
// is the answer when that inner search finds nothing). Renderer thread only.
#include "quickbrowser/objects/QuickBrowserObjectBase.h"

namespace vxCrQuickBrowser {

// DOM model: frames first (the "frames" naming), then the "all" naming;
// E_FAIL when the window has no document or the element is neither.
HRESULT DomObjectFromPoint(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window, LONG x, LONG y,
                           Microsoft::WRL::ComPtr<CCrQuickBrowserObject_Base>& found);
HRESULT DomFocusedObject(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window,
                         Microsoft::WRL::ComPtr<CCrQuickBrowserObject_Base>& found);

// Tree model: the element's tree object, else (for an AREA) the image using
// its map whose rectangle holds the point, else the nearest ancestor that is
// a tree object.
HRESULT TreeObjectFromPoint(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window, LONG x, LONG y,
                            Microsoft::WRL::ComPtr<CCrQuickBrowserObject_Base>& found);
HRESULT TreeFocusedObject(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window,
                          Microsoft::WRL::ComPtr<CCrQuickBrowserObject_Base>& found);

} // namespace vxCrQuickBrowser
