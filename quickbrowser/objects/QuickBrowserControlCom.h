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

// What the relays of the object's event subscriptions call, on the
// renderer thread.
template <class Derived>
class ScriptCallbackSlots : public IvxCrScriptCallback0
{
public:
    STDMETHODIMP Invoke(ULONGLONG cookie) noexcept override
    try {
        return static_cast<Derived*>(this)->DeliverEventOp(cookie);
    }
    VX_COM_CATCH
};

template <class Derived, class Impl, class... Entries>
class QuickBrowserControlCom
    : public QuickBrowserObjectCom<
          Derived, Impl, vxOpenAppHook::IDispatchMultiImpl<Derived, IvxCrQuickBrowserObject_Control>,
          vxOpenAppHook::IDispatchMultiImpl<Derived, IvxCrQuickBrowserObject_RecognizingService>,
          vxOpenAppHook::IDispatchMultiImpl<Derived, IvxCrQuickBrowserObject_NodeEventSource>,
          ViewportChildSlots<Derived>, ScriptCallbackSlots<Derived>, Entries...>
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

    // IvxCrQuickBrowserObject_RecognizingService
    STDMETHODIMP GetElementTagName(BSTR* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetElementTagName(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetElementClassNameAndID(BSTR* className, BSTR* id) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetElementClassNameAndID(className, id); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetElementParentNodeID(BSTR* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetElementParentNodeID(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP HasChildNodeContainingText(BSTR text, BSTR tagName, VARIANT_BOOL searchSiblings, BSTR* value,
                                            VARIANT_BOOL* result) noexcept override
    try {
        return this->OnRenderer(
            [&] { return Impl::HasChildNodeContainingText(text, tagName, searchSiblings, value, result); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetScriptObject(IDispatch** value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetScriptObject(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetAttributeValue(BSTR name, BSTR* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetAttributeValue(name, value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetPrpStr(BSTR name, BSTR* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetPrpStr(name, value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetPrpBool(BSTR name, VARIANT_BOOL* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetPrpBool(name, value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetPrpLong(BSTR name, LONG* value) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::GetPrpLong(name, value); });
    }
    VX_COM_CATCH

    // IvxCrQuickBrowserObject_NodeEventSource
    STDMETHODIMP AddEventListener(BSTR type, IDispatch* listener, VARIANT_BOOL useCapture,
                                  ULONGLONG* cookie) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::AddEventListener(type, listener, useCapture, cookie); });
    }
    VX_COM_CATCH
    STDMETHODIMP RemoveEventListener(ULONGLONG cookie) noexcept override
    try {
        return this->OnRenderer([&] { return Impl::RemoveEventListener(cookie); });
    }
    VX_COM_CATCH

    HRESULT ContainsPointOp(LONG x, LONG y, BOOL* contains) { return Impl::ContainsPoint(x, y, contains); }
    HRESULT DeliverEventOp(ULONGLONG cookie) { return Impl::DeliverEvent(cookie); }

protected:
    IvxCrScriptCallback0* AsScriptCallback() noexcept override
    {
        return static_cast<ScriptCallbackSlots<Derived>*>(this);
    }
};

} // namespace vxCrQuickBrowser

namespace vx::com::detail {

template <class Derived>
struct InterfaceEntry<vxCrQuickBrowser::ScriptCallbackSlots<Derived>>
{
    template <class Self>
    static void* Find(Self* self, REFIID riid) noexcept
    {
        using Slots = vxCrQuickBrowser::ScriptCallbackSlots<Derived>;
        return IsEqualIID(riid, __uuidof(IvxCrScriptCallback0))
                   ? static_cast<void*>(static_cast<IvxCrScriptCallback0*>(static_cast<Slots*>(self)))
                   : nullptr;
    }
};

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
