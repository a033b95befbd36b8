#include "quickbrowser/objects/FrameObject.h"

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

HRESULT CCrQuickBrowserObject_Frame::Border(bool horizontal, LONG* value)
{
    long border = 0;
    HRESULT hr = horizontal ? Accessor()->GetClientLeft(Node(), &border) : Accessor()->GetClientTop(Node(), &border);
    *value = SUCCEEDED(hr) ? border : 0;
    return hr;
}

HRESULT CCrQuickBrowserObject_Frame::WindowOnTopViewport(bool horizontal, LONG* value)
{
    *value = 0;
    LONG position = 0;
    HRESULT hr = OnTopViewport(horizontal, &position);
    if (FAILED(hr))
        return hr;
    LONG border = 0;
    hr = Border(horizontal, &border);
    if (FAILED(hr))
        return hr;
    *value = position + border;
    return S_OK;
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
    *value = 0;
    LONG position = 0;
    HRESULT hr = horizontal ? GetClientRectLeft(&position) : GetClientRectTop(&position);
    if (FAILED(hr))
        return hr;
    LONG border = 0;
    hr = Border(horizontal, &border);
    if (FAILED(hr))
        return hr;
    *value = position + border;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_Frame::FrameMakeVisible(LONG x, LONG y)
{
    LONG left = 0, top = 0;
    Border(true, &left);
    Border(false, &top);
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
