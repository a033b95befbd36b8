#include "quickbrowser/objects/FrameObject.h"

#include <cwchar>

#include "platform/com/BStr.h"

using vxWebFw::NodeHandle;

namespace vxCrQuickBrowser {

HRESULT CCrQuickBrowserObject_Frame::IsPointAccessible(LONG, LONG, VARIANT_BOOL* accessible)
{
    if (!accessible)
        return E_POINTER;
    *accessible = VARIANT_TRUE;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_Frame::WindowNode(NodeImpl** window)
{
    return Accessor()->GetContentWindow(Node(), window);
}

HRESULT CCrQuickBrowserObject_Frame::ContentInset(bool horizontal, LONG* value)
{
    *value = 0;
    long border = 0;
    HRESULT hr = horizontal ? Accessor()->GetClientLeft(Node(), &border) : Accessor()->GetClientTop(Node(), &border);
    if (FAILED(hr))
        return hr;
    *value = border + Padding(horizontal);
    return S_OK;
}

LONG CCrQuickBrowserObject_Frame::Padding(bool horizontal)
{
    // The computed padding ("5px"), from the window the frame element lies
    // in; a frame whose style cannot be read counts as unpadded.
    IvxCrQuickBrowserObject_Window* window = ParentWindow();
    if (!window)
        return 0;
    CCrRawBrowserHelper* accessor = Accessor();
    NodeHandle windowNode(accessor);
    if (FAILED(window->GetWindowNode(windowNode.Out())) || !windowNode)
        return 0;
    NodeHandle style(accessor);
    if (FAILED(accessor->GetComputedStyle(windowNode.Get(), Node(), L"", style.Out())) || !style)
        return 0;
    vx::com::BStr padding;
    if (FAILED(accessor->GetPropertyValue(style.Get(), horizontal ? L"padding-left" : L"padding-top", padding.Out())) ||
        !padding.Get())
        return 0;
    const double pixels = wcstod(padding.Get(), nullptr);
    return pixels > 0 && pixels < 1e9 ? static_cast<LONG>(pixels) : 0;
}

HRESULT CCrQuickBrowserObject_Frame::InsideContent(HRESULT positionRead, LONG position, bool horizontal, LONG* value)
{
    *value = 0;
    if (FAILED(positionRead))
        return positionRead;
    LONG inset = 0;
    HRESULT hr = ContentInset(horizontal, &inset);
    if (FAILED(hr))
        return hr;
    *value = position + inset;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_Frame::WindowOnTopViewport(bool horizontal, LONG* value)
{
    LONG position = 0;
    HRESULT hr = OnTopViewport(horizontal, &position);
    return InsideContent(hr, position, horizontal, value);
}

HRESULT CCrQuickBrowserObject_Frame::ParentWindowOf(IvxCrQuickBrowserObject_Window** parent)
{
    *parent = ParentWindow();
    if (*parent)
        (*parent)->AddRef();
    return S_OK;
}

HRESULT CCrQuickBrowserObject_Frame::ClientOrigin(bool horizontal, LONG* value)
{
    LONG position = 0;
    HRESULT hr = horizontal ? GetClientRectLeft(&position) : GetClientRectTop(&position);
    return InsideContent(hr, position, horizontal, value);
}

HRESULT CCrQuickBrowserObject_Frame::FrameMakeVisible(LONG x, LONG y)
{
    LONG left = 0, top = 0;
    ContentInset(true, &left);
    ContentInset(false, &top);
    return MakeVisible(x + left, y + top);
}

HRESULT CCrQuickBrowserObject_Frame::FrameDocument(NodeHandle& document)
{
    CCrRawBrowserHelper* accessor = Accessor();
    NodeHandle window(accessor);
    if (FAILED(WindowNode(window.Out())) || !window)
        return E_FAIL;
    document = NodeHandle(accessor);
    if (FAILED(accessor->GetDocument(window.Get(), document.Out())) || !document)
        return E_FAIL;
    return S_OK;
}

} // namespace vxCrQuickBrowser
