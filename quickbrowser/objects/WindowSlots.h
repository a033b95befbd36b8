#pragma once
// The window interfaces of the page object (IvxCrQuickBrowserObject_Window)
// and of frame objects (IvxCrQuickBrowserObject_ChildWindow), as entries of
// a quick-browser object's interface list. Other quick-browser objects call
// them directly on the renderer thread. Derived supplies the window's
// operations:
//   WindowNode(NodeImpl**), WindowPath(BSTR*), WindowOnTopViewport(bool horizontal, LONG*)
// and for frames also:
//   ParentWindowOf(IvxCrQuickBrowserObject_Window**), ClientOrigin(bool horizontal, LONG*),
//   FrameMakeVisible(LONG, LONG).
#include <windows.h>

#include "generated/vxCrHook.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace vxCrQuickBrowser {

enum class WindowMetric { InnerWidth, InnerHeight, ScrollX, ScrollY };

// Reads one number of a window node (borrowed); 0 and the failure when the
// read fails.
HRESULT ReadWindowMetric(CCrRawBrowserHelper* accessor, NodeImpl* window, WindowMetric metric, LONG* value);

template <class Derived, class Itf>
class WindowSlots : public Itf
{
public:
    STDMETHODIMP GetWindowNode(NodeImpl** window) noexcept override
    try {
        if (!window)
            return E_POINTER;
        *window = nullptr;
        return Self()->WindowNode(window);
    }
    VX_COM_CATCH
    STDMETHODIMP GetPath(BSTR* path) noexcept override
    try {
        if (!path)
            return E_POINTER;
        *path = nullptr;
        return Self()->WindowPath(path);
    }
    VX_COM_CATCH
    STDMETHODIMP GetInnerWidth(LONG* value) noexcept override
    try {
        return Metric(WindowMetric::InnerWidth, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetInnerHeight(LONG* value) noexcept override
    try {
        return Metric(WindowMetric::InnerHeight, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetScrollX(LONG* value) noexcept override
    try {
        return Metric(WindowMetric::ScrollX, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetScrollY(LONG* value) noexcept override
    try {
        return Metric(WindowMetric::ScrollY, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetWindowOnTopViewportLeft(LONG* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = 0;
        return Self()->WindowOnTopViewport(true, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetWindowOnTopViewportTop(LONG* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = 0;
        return Self()->WindowOnTopViewport(false, value);
    }
    VX_COM_CATCH

protected:
    Derived* Self() noexcept { return static_cast<Derived*>(this); }

private:
    HRESULT Metric(WindowMetric metric, LONG* value)
    {
        if (!value)
            return E_POINTER;
        *value = 0;
        CCrRawBrowserHelper* accessor = Self()->Accessor();
        if (!accessor)
            return E_UNEXPECTED;
        vxWebFw::NodeHandle window(accessor);
        HRESULT hr = Self()->WindowNode(window.Out());
        if (FAILED(hr))
            return hr;
        if (!window)
            return E_FAIL;
        return ReadWindowMetric(accessor, window.Get(), metric, value);
    }
};

template <class Derived>
class PageWindowSlots : public WindowSlots<Derived, IvxCrQuickBrowserObject_Window>
{
};

template <class Derived>
class ChildWindowSlots : public WindowSlots<Derived, IvxCrQuickBrowserObject_ChildWindow>
{
public:
    STDMETHODIMP GetParentWindow(IvxCrQuickBrowserObject_Window** parent) noexcept override
    try {
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        return this->Self()->ParentWindowOf(parent);
    }
    VX_COM_CATCH
    STDMETHODIMP GetClientOriginLeft(LONG* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = 0;
        return this->Self()->ClientOrigin(true, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetClientOriginTop(LONG* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        *value = 0;
        return this->Self()->ClientOrigin(false, value);
    }
    VX_COM_CATCH
    STDMETHODIMP MakeVisibleInFrame(LONG x, LONG y) noexcept override
    try {
        return this->Self()->FrameMakeVisible(x, y);
    }
    VX_COM_CATCH
};

} // namespace vxCrQuickBrowser

namespace vx::com::detail {

template <class Derived>
struct InterfaceEntry<vxCrQuickBrowser::PageWindowSlots<Derived>>
{
    template <class Self>
    static void* Find(Self* self, REFIID riid) noexcept
    {
        using Slots = vxCrQuickBrowser::PageWindowSlots<Derived>;
        return IsEqualIID(riid, __uuidof(IvxCrQuickBrowserObject_Window))
                   ? static_cast<void*>(static_cast<IvxCrQuickBrowserObject_Window*>(static_cast<Slots*>(self)))
                   : nullptr;
    }
};

// A frame answers both window interfaces through its child-window slots.
template <class Derived>
struct InterfaceEntry<vxCrQuickBrowser::ChildWindowSlots<Derived>>
{
    template <class Self>
    static void* Find(Self* self, REFIID riid) noexcept
    {
        using Slots = vxCrQuickBrowser::ChildWindowSlots<Derived>;
        if (IsEqualIID(riid, __uuidof(IvxCrQuickBrowserObject_Window)) ||
            IsEqualIID(riid, __uuidof(IvxCrQuickBrowserObject_ChildWindow)))
            return static_cast<void*>(static_cast<IvxCrQuickBrowserObject_ChildWindow*>(static_cast<Slots*>(self)));
        return nullptr;
    }
};

} // namespace vx::com::detail
