#pragma once
// Operations shared by the DOM-model and Tree-model frame objects: a frame
// element that is also the window its document lies in. Its window node is
// the element's "contentWindow"; its viewport starts at the element's
// rectangle plus its border ("clientLeft", "clientTop") and its padding.
#include "quickbrowser/objects/InDocumentControl.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace vxCrQuickBrowser {

class CCrQuickBrowserObject_Frame : public CCrQuickBrowserObject_InDocumentControl
{
public:
    // A point on a frame always reaches the frame: its document is another
    // window, searched on its own.
    HRESULT IsPointAccessible(LONG left, LONG top, VARIANT_BOOL* accessible) override;

    // ---- window operations (ChildWindowSlots)
    HRESULT WindowNode(NodeImpl** window);
    HRESULT WindowPath(BSTR* path) { return GetPath(path); }
    HRESULT WindowOnTopViewport(bool horizontal, LONG* value);
    HRESULT ParentWindowOf(IvxCrQuickBrowserObject_Window** parent);
    HRESULT ClientOrigin(bool horizontal, LONG* value);
    HRESULT FrameMakeVisible(LONG x, LONG y);

protected:
    // The document shown in the frame; E_FAIL when the frame has no content
    // window or its document cannot be reached (another origin).
    HRESULT FrameDocument(vxWebFw::NodeHandle& document);
    // The frame as the window of the objects inside it.
    virtual IvxCrQuickBrowserObject_Window* AsWindow() noexcept = 0;

private:
    // Where the frame's viewport starts inside the element: its border
    // ("clientLeft", "clientTop") and its padding.
    HRESULT ContentInset(bool horizontal, LONG* value);
    LONG Padding(bool horizontal);
    // `position` (read with `positionRead`) moved inside the frame's border
    // and padding; the first failure is returned.
    HRESULT InsideContent(HRESULT positionRead, LONG position, bool horizontal, LONG* value);
};

} // namespace vxCrQuickBrowser
