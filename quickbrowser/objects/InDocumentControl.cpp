#include "quickbrowser/objects/InDocumentControl.h"

#include <cmath>
#include <cwctype>
#include <limits>
#include <string>

#include "platform/com/BStr.h"

using Microsoft::WRL::ComPtr;
using vxWebFw::NodeHandle;

namespace vxCrQuickBrowser {

namespace {

// Truncates toward zero, keeping the value inside the 32-bit range (a
// rectangle of an absurd size must not wrap around).
LONG Truncate(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double truncated = std::trunc(value);
    if (truncated >= static_cast<double>(std::numeric_limits<LONG>::max()))
        return std::numeric_limits<LONG>::max();
    if (truncated <= static_cast<double>(std::numeric_limits<LONG>::min()))
        return std::numeric_limits<LONG>::min();
    return static_cast<LONG>(truncated);
}

bool EqualsLowerCased(const vx::com::BStr& value, std::wstring_view lowerCase)
{
    std::wstring_view text = value.View();
    if (text.size() != lowerCase.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (static_cast<wchar_t>(std::towlower(text[i])) != lowerCase[i])
            return false;
    return true;
}

// Offset parents are a finite chain in any DOM; the bound only keeps a
// native object that answers in a circle from holding the renderer.
constexpr int kMaxOffsetParents = 100000;

} // namespace

HRESULT CCrQuickBrowserObject_InDocumentNode::IsAlive(bool* alive)
{
    if (!alive)
        return E_POINTER;
    *alive = false;
    if (!Node())
        return S_OK;
    return Accessor()->IsNodeAlive(Node(), alive);
}

HRESULT CCrQuickBrowserObject_InDocumentNode::GetOwnId(BSTR* id)
{
    if (!id)
        return E_POINTER;
    *id = nullptr;
    return Accessor()->GetNodeIdString(Node(), id);
}

HRESULT CCrQuickBrowserObject_InDocumentNode::GetObjectIdentifier(VARIANT* identifier)
{
    if (!identifier)
        return E_POINTER;
    VariantClear(identifier);
    return VariantCopy(identifier, identifier_.Get());
}

HRESULT CCrQuickBrowserObject_InDocumentControl::ReadRect(std::initializer_list<RectRead> reads)
{
    for (const RectRead& read : reads)
        *read.value = 0;
    CCrRawBrowserHelper* accessor = Accessor();
    NodeHandle rect(accessor);
    HRESULT hr = accessor->GetBoundingClientRect(Node(), rect.Out());
    for (auto read = reads.begin(); SUCCEEDED(hr) && read != reads.end(); ++read)
        hr = ReadRectPart(rect.Get(), read->part, read->value);
    return hr;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::ReadRectPart(NodeImpl* rect, RectPart part, LONG* value)
{
    CCrRawBrowserHelper* accessor = Accessor();
    HRESULT hr = E_UNEXPECTED;
    double number = 0;
    switch (part) {
    case RectPart::Left:
        hr = accessor->GetRectLeft(rect, &number);
        break;
    case RectPart::Top:
        hr = accessor->GetRectTop(rect, &number);
        break;
    case RectPart::Width:
        hr = accessor->GetRectWidth(rect, &number);
        break;
    case RectPart::Height:
        hr = accessor->GetRectHeight(rect, &number);
        break;
    }
    if (SUCCEEDED(hr))
        *value = Truncate(number);
    return hr;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetClientRectLeft(LONG* left)
{
    if (!left)
        return E_POINTER;
    return ReadRect({{RectPart::Left, left}});
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetClientRectTop(LONG* top)
{
    if (!top)
        return E_POINTER;
    return ReadRect({{RectPart::Top, top}});
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetVisible(VARIANT_BOOL* visible)
{
    if (!visible)
        return E_POINTER;
    *visible = VARIANT_TRUE;
    CCrRawBrowserHelper* accessor = Accessor();
    bool hidden = false;
    if (SUCCEEDED(accessor->GetHidden(Node(), &hidden)) && hidden) {
        *visible = VARIANT_FALSE;
        return S_OK;
    }
    IvxCrQuickBrowserObject_Window* window = ParentWindow();
    if (!window)
        return S_OK;
    NodeHandle windowNode(accessor);
    if (FAILED(window->GetWindowNode(windowNode.Out())) || !windowNode)
        return S_OK;
    NodeHandle style(accessor);
    if (FAILED(accessor->GetComputedStyle(windowNode.Get(), Node(), L"", style.Out())) || !style)
        return S_OK;
    vx::com::BStr display;
    if (SUCCEEDED(accessor->GetPropertyValue(style.Get(), L"display", display.Out())) &&
        EqualsLowerCased(display, L"none")) {
        *visible = VARIANT_FALSE;
        return S_OK;
    }
    vx::com::BStr visibility;
    if (SUCCEEDED(accessor->GetPropertyValue(style.Get(), L"visibility", visibility.Out())) &&
        EqualsLowerCased(visibility, L"hidden"))
        *visible = VARIANT_FALSE;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetEnabled(VARIANT_BOOL* enabled)
{
    if (!enabled)
        return E_POINTER;
    *enabled = VARIANT_TRUE;
    bool disabled = false;
    if (SUCCEEDED(Accessor()->IsDisabled(Node(), &disabled)) && disabled)
        *enabled = VARIANT_FALSE;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetFocused(VARIANT_BOOL* focused)
{
    if (!focused)
        return E_POINTER;
    *focused = VARIANT_FALSE;
    CCrRawBrowserHelper* accessor = Accessor();
    NodeHandle document(accessor);
    if (FAILED(accessor->GetOwnerDocument(Node(), document.Out())) || !document)
        return S_OK;
    NodeHandle active(accessor);
    if (FAILED(accessor->GetActiveElement(document.Get(), active.Out())) || !active)
        return S_OK;
    bool same = false;
    if (SUCCEEDED(accessor->IsSameNode(active.Get(), Node(), &same)) && same)
        *focused = VARIANT_TRUE;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::SetFocused(VARIANT_BOOL focused)
{
    if (focused)
        Accessor()->Focus(Node());
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::ReadSize(RectPart part, ULONG* size)
{
    if (!size)
        return E_POINTER;
    LONG value = 0;
    ReadRect({{part, &value}});
    *size = value > 0 ? static_cast<ULONG>(value) : 0; // a negative size leaves 0
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetWidth(ULONG* width)
{
    return ReadSize(RectPart::Width, width);
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetHeight(ULONG* height)
{
    return ReadSize(RectPart::Height, height);
}

HRESULT CCrQuickBrowserObject_InDocumentControl::OnTopViewport(bool horizontal, LONG* value)
{
    *value = 0;
    LONG position = 0;
    HRESULT hr = ReadRect({{horizontal ? RectPart::Left : RectPart::Top, &position}});
    if (FAILED(hr))
        return hr;
    ComPtr<IvxCrQuickBrowserObject_Window> window(ParentWindow());
    ComPtr<IvxCrQuickBrowserObject_ChildWindow> frame;
    while (window && SUCCEEDED(window.As(&frame))) {
        LONG origin = 0;
        hr = horizontal ? frame->GetClientOriginLeft(&origin) : frame->GetClientOriginTop(&origin);
        if (FAILED(hr))
            return hr;
        position += origin;
        hr = frame->GetParentWindow(window.ReleaseAndGetAddressOf());
        if (FAILED(hr))
            return hr;
    }
    *value = position;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetOnTopViewportLeft(LONG* left)
{
    if (!left)
        return E_POINTER;
    OnTopViewport(true, left);
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetOnTopViewportTop(LONG* top)
{
    if (!top)
        return E_POINTER;
    OnTopViewport(false, top);
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetDocumentPoint(LONG clientX, LONG clientY, DocumentPoint& point)
{
    point = DocumentPoint();
    CCrRawBrowserHelper* accessor = Accessor();
    NodeHandle current(accessor);
    HRESULT hr = accessor->CloneNode(Node(), current.Out());
    if (FAILED(hr))
        return hr;
    for (int step = 0; step < kMaxOffsetParents; ++step) {
        NodeHandle offsetParent(accessor);
        if (FAILED(accessor->GetOffsetParent(current.Get(), offsetParent.Out())) || !offsetParent)
            break;
        long left = 0, top = 0;
        accessor->GetOffsetLeft(current.Get(), &left);
        accessor->GetOffsetTop(current.Get(), &top);
        point.documentLeft += left;
        point.documentTop += top;
        current = std::move(offsetParent);
    }
    if (clientX == -1 && clientY == -1) {
        ULONG width = 0, height = 0;
        GetWidth(&width);
        GetHeight(&height);
        point.targetX = static_cast<LONG>(width / 2) + point.documentLeft;
        point.targetY = static_cast<LONG>(height >> 1) + point.documentTop;
    } else {
        point.targetX = clientX + point.documentLeft;
        point.targetY = clientY + point.documentTop;
    }
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::MakeVisible(LONG clientX, LONG clientY)
{
    DocumentPoint point;
    if (FAILED(GetDocumentPoint(clientX, clientY, point)))
        return S_OK;
    IvxCrQuickBrowserObject_Window* window = ParentWindow();
    if (!window)
        return S_OK;
    LONG innerWidth = 0, innerHeight = 0, scrollX = 0, scrollY = 0;
    window->GetInnerWidth(&innerWidth);
    window->GetInnerHeight(&innerHeight);
    window->GetScrollX(&scrollX);
    window->GetScrollY(&scrollY);
    CCrRawBrowserHelper* accessor = Accessor();
    NodeHandle windowNode(accessor);
    window->GetWindowNode(windowNode.Out());
    if (windowNode) {
        LONG newX = scrollX, newY = scrollY;
        bool scroll = false;
        if (point.targetX < scrollX || point.targetX >= scrollX + innerWidth) {
            scroll = true;
            newX = (point.targetX - point.documentLeft) > innerWidth ? point.targetX : point.documentLeft;
        }
        if (point.targetY < scrollY || point.targetY >= scrollY + innerHeight) {
            scroll = true;
            newY = (point.targetY - point.documentTop) > innerHeight ? point.targetY : point.documentTop;
        }
        if (scroll)
            accessor->ScrollTo(windowNode.Get(), newX, newY);
    }
    ComPtr<IvxCrQuickBrowserObject_ChildWindow> frame;
    if (SUCCEEDED(window->QueryInterface(__uuidof(IvxCrQuickBrowserObject_ChildWindow),
                                         reinterpret_cast<void**>(frame.GetAddressOf())))) {
        // The point moved with the scroll: bring it into view in the window
        // around the frame.
        if (SUCCEEDED(GetDocumentPoint(clientX, clientY, point))) {
            window->GetScrollX(&scrollX);
            window->GetScrollY(&scrollY);
            frame->MakeVisibleInFrame(point.targetX - scrollX, point.targetY - scrollY);
        }
    }
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::IsPointAccessible(LONG left, LONG top, VARIANT_BOOL* accessible)
{
    if (!accessible)
        return E_POINTER;
    *accessible = VARIANT_FALSE;
    IvxCrQuickBrowserObject_Window* window = ParentWindow();
    if (!window)
        return S_OK;
    LONG windowLeft = 0, windowTop = 0;
    if (FAILED(window->GetWindowOnTopViewportLeft(&windowLeft)) ||
        FAILED(window->GetWindowOnTopViewportTop(&windowTop)))
        return S_OK;
    CCrRawBrowserHelper* accessor = Accessor();
    NodeHandle windowNode(accessor);
    if (FAILED(window->GetWindowNode(windowNode.Out())) || !windowNode)
        return S_OK;
    NodeHandle document(accessor);
    if (FAILED(accessor->GetDocument(windowNode.Get(), document.Out())) || !document)
        return S_OK;
    NodeHandle found(accessor);
    if (FAILED(accessor->ElementFromPoint(document.Get(), left - windowLeft, top - windowTop, found.Out())) || !found)
        return S_OK;
    bool inside = false;
    if (SUCCEEDED(accessor->IsInside(found.Get(), Node(), &inside)) && inside)
        *accessible = VARIANT_TRUE;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::ContainsPoint(LONG x, LONG y, BOOL* contains)
{
    if (!contains)
        return E_POINTER;
    *contains = FALSE;
    LONG left = 0, top = 0, width = 0, height = 0;
    // One rectangle for all four: the point test runs for every image of a map.
    HRESULT hr = ReadRect(
        {{RectPart::Left, &left}, {RectPart::Top, &top}, {RectPart::Width, &width}, {RectPart::Height, &height}});
    if (FAILED(hr))
        return hr;
    width = width > 0 ? width : 0;
    height = height > 0 ? height : 0;
    // 64-bit sums: an element at the edge of the range must not wrap.
    *contains = static_cast<LONGLONG>(left) <= x && x <= static_cast<LONGLONG>(left) + width &&
                static_cast<LONGLONG>(top) <= y && y <= static_cast<LONGLONG>(top) + height;
    return S_OK;
}

} // namespace vxCrQuickBrowser
