#pragma once
// The COM side of the element-like quick-browser objects (DOM items and
// frames, tree items, cells and frames): IvxCrQuickBrowserObject_Control
// marshalled to the renderer thread, and the point test other objects call
// there directly. Impl derives from CCrQuickBrowserObject_InDocumentControl.
#include "quickbrowser/objects/InDocumentControl.h"
#include "quickbrowser/objects/QuickBrowserObjectCom.h"

namespace vxCrQuickBrowser {

template <class Derived>
class ViewportChildSlots : public IvxCrQuickBrowserObject_ViewportChild
{
public:
    STDMETHODIMP ContainsPoint(LONG x, LONG y, BOOL* contains) noexcept override
    try {
        return static_cast<Derived*>(this)->ContainsPointOp(x, y, contains);
    }
    VX_COM_CATCH
};

template <class Derived, class Impl, class... Entries>
class QuickBrowserControlCom
    : public QuickBrowserObjectCom<Derived, Impl,
                                   vxOpenAppHook::IDispatchMultiImpl<Derived, IvxCrQuickBrowserObject_Control>,
                                   ViewportChildSlots<Derived>, Entries...>
{
public:
    STDMETHODIMP GetVisible(VARIANT_BOOL* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetVisible(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetEnabled(VARIANT_BOOL* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetEnabled(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetFocused(VARIANT_BOOL* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetFocused(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP SetFocused(VARIANT_BOOL value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::SetFocused(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetWidth(ULONG* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetWidth(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetHeight(ULONG* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetHeight(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetOnTopViewportLeft(LONG* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetOnTopViewportLeft(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetOnTopViewportTop(LONG* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetOnTopViewportTop(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP MakeVisible(LONG clientX, LONG clientY) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::MakeVisible(clientX, clientY); });
    }
    VX_COM_CATCH
    STDMETHODIMP CheckPointAccessible(LONG left, LONG top, VARIANT_BOOL* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::IsPointAccessible(left, top, value); });
    }
    VX_COM_CATCH

    HRESULT ContainsPointOp(LONG x, LONG y, BOOL* contains) { return Impl::ContainsPoint(x, y, contains); }
};

} // namespace vxCrQuickBrowser

namespace vx::com::detail {

template <class Derived>
struct InterfaceEntry<vxCrQuickBrowser::ViewportChildSlots<Derived>>
{
    template <class Self>
    static void* Find(Self* self, REFIID riid) noexcept
    {
        using Slots = vxCrQuickBrowser::ViewportChildSlots<Derived>;
        return IsEqualIID(riid, __uuidof(IvxCrQuickBrowserObject_ViewportChild))
                   ? static_cast<void*>(static_cast<IvxCrQuickBrowserObject_ViewportChild*>(static_cast<Slots*>(self)))
                   : nullptr;
    }
};

} // namespace vx::com::detail
