#pragma once
// The common part of every test object that stands for an element (DOM items
// and frames, Tree items, frames and cells): control state and geometry,
// element reads and DOM event subscriptions, each answered by the element's
// quick-browser object. Screen coordinates are the element's position on the
// top viewport plus the tab window's screen position.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <map>

#include "testobjects/PageChildObject.h"
#include "testobjects/QuickListener.h"

namespace vxCrTestObjects {

// The control operations, on the quick-browser object of `child`.
class ControlState
{
public:
    ControlState() noexcept = default;
    ControlState(const ControlState&) = delete;
    ControlState& operator=(const ControlState&) = delete;

protected:
    ~ControlState() = default;

    HRESULT Visible(const PageChildState& child, VARIANT_BOOL* visible);
    HRESULT Enabled(const PageChildState& child, VARIANT_BOOL* enabled);
    HRESULT Focused(const PageChildState& child, VARIANT_BOOL* focused);
    HRESULT SetFocus(const PageChildState& child, VARIANT_BOOL focused);
    HRESULT Size(const PageChildState& child, bool width, LONG* value);
    HRESULT ScreenPosition(const PageChildState& child, bool left, LONG* value);
    HRESULT ScrollIntoView(const PageChildState& child, LONG x, LONG y);
    HRESULT PointAccessible(const PageChildState& child, LONG x, LONG y, VARIANT_BOOL* accessible);
    HRESULT PivotWindow(const PageChildState& child, HWND* window);

    HRESULT TagName(const PageChildState& child, BSTR* tagName);
    HRESULT ClassNameAndId(const PageChildState& child, BSTR* className, BSTR* id);
    HRESULT ParentNodeId(const PageChildState& child, BSTR* parentId);
    HRESULT ChildNodeContainingText(const PageChildState& child, BSTR text, BSTR tagName, VARIANT_BOOL searchSiblings,
                                    BSTR* value);
    HRESULT ScriptObject(const PageChildState& child, IDispatch** scriptObject);
    HRESULT AttributeValue(const PageChildState& child, BSTR name, BSTR* value);
    HRESULT PropertyString(const PageChildState& child, BSTR name, BSTR* value);
    HRESULT PropertyBool(const PageChildState& child, BSTR name, VARIANT_BOOL* value);
    HRESULT PropertyLong(const PageChildState& child, BSTR name, LONG* value);

    // Subscriptions: `self` is the owner the quick listener reports to.
    HRESULT Subscribe(const PageChildState& child, vxOpenAppHook::IStubManager* stubManager,
                      vx::com::WeaklyHeldObject* selfObject, IvxCrCustomControlsNodeEventListener* self, BSTR eventType,
                      IUnknown* listener, VARIANT_BOOL useCapture, ULONGLONG* cookie);
    HRESULT Unsubscribe(const PageChildState& child, ULONGLONG cookie);
    HRESULT Deliver(ULONGLONG cookie);
    // Removes every subscription and drops the quick listener (at release).
    void UnsubscribeAll(const PageChildState& child) noexcept;

private:
    // Takes the quick listener out when no subscription is left, for the
    // caller to detach after leaving the lock (which it holds).
    Microsoft::WRL::ComPtr<CCrQuickListener> TakeIdleQuickListenerLocked() noexcept;

    vx::com::CriticalSection lock_;
    std::map<ULONGLONG, Microsoft::WRL::ComPtr<IvxCrCustomControlsNodeEventListener>> listeners_;
    Microsoft::WRL::ComPtr<CCrQuickListener> quickListener_;
};

template <class Derived, class... Entries>
class ControlCom
    : public PageChildCom<Derived, vxOpenAppHook::IDispatchMultiImpl<Derived, IvxObjectControl>,
                          vxOpenAppHook::IDispatchMultiImpl<Derived, IvxObjectControlUnregular>, IvxWebObject,
                          IvxCrCustomControlsNodeInformation, IvxCrCustomControlsNodeEventSource,
                          IvxCrCustomControlsNodeEventListener, IvxObjectWithPivotWindow, Entries...>,
      public ControlState
{
public:
    // IvxObjectControl
    STDMETHODIMP GetVisible(VARIANT_BOOL* visible) noexcept override
    try {
        return Visible(*this, visible);
    }
    VX_COM_CATCH
    STDMETHODIMP GetScreenLeft(LONG* left) noexcept override
    try {
        return ScreenPosition(*this, true, left);
    }
    VX_COM_CATCH
    STDMETHODIMP GetScreenTop(LONG* top) noexcept override
    try {
        return ScreenPosition(*this, false, top);
    }
    VX_COM_CATCH
    STDMETHODIMP GetWidth(LONG* width) noexcept override
    try {
        return Size(*this, true, width);
    }
    VX_COM_CATCH
    STDMETHODIMP GetHeight(LONG* height) noexcept override
    try {
        return Size(*this, false, height);
    }
    VX_COM_CATCH
    STDMETHODIMP GetLeft(LONG* left) noexcept override
    try {
        return ScreenPosition(*this, true, left);
    }
    VX_COM_CATCH
    STDMETHODIMP GetTop(LONG* top) noexcept override
    try {
        return ScreenPosition(*this, false, top);
    }
    VX_COM_CATCH
    STDMETHODIMP GetEnabled(VARIANT_BOOL* enabled) noexcept override
    try {
        return Enabled(*this, enabled);
    }
    VX_COM_CATCH
    STDMETHODIMP GetOwnWindow(LONG_PTR* window, VARIANT_BOOL* hasOwnWindow) noexcept override
    try {
        (void)window; // an element has no window of its own: left untouched
        if (!hasOwnWindow)
            return E_POINTER;
        *hasOwnWindow = VARIANT_FALSE;
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP GetFocused(VARIANT_BOOL* focused) noexcept override
    try {
        return Focused(*this, focused);
    }
    VX_COM_CATCH
    STDMETHODIMP SetFocused(VARIANT_BOOL focused) noexcept override
    try {
        return SetFocus(*this, focused);
    }
    VX_COM_CATCH
    STDMETHODIMP MakeVisible(LONG x, LONG y) noexcept override
    try {
        return ScrollIntoView(*this, x, y);
    }
    VX_COM_CATCH

    // IvxObjectControlUnregular
    STDMETHODIMP IsPointAccessible(LONG x, LONG y, VARIANT_BOOL* accessible) noexcept override
    try {
        return PointAccessible(*this, x, y, accessible);
    }
    VX_COM_CATCH

    // IvxWebObject and IvxCrCustomControlsNodeInformation
    STDMETHODIMP GetTagName(BSTR* tagName) noexcept override
    try {
        return TagName(*this, tagName);
    }
    VX_COM_CATCH
    STDMETHODIMP GetClassNameAndId(BSTR* className, BSTR* id) noexcept override
    try {
        return ClassNameAndId(*this, className, id);
    }
    VX_COM_CATCH
    STDMETHODIMP GetParentNodeId(BSTR* parentId) noexcept override
    try {
        return ParentNodeId(*this, parentId);
    }
    VX_COM_CATCH
    STDMETHODIMP HasChildNodeContainingText(BSTR text, BSTR tagName, VARIANT_BOOL searchSiblings,
                                            BSTR* value) noexcept override
    try {
        return ChildNodeContainingText(*this, text, tagName, searchSiblings, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetScriptObject(IDispatch** scriptObject) noexcept override
    try {
        return ScriptObject(*this, scriptObject);
    }
    VX_COM_CATCH
    STDMETHODIMP GetAttributeValue(BSTR name, BSTR* value) noexcept override
    try {
        return AttributeValue(*this, name, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetPrpStr(BSTR name, BSTR* value) noexcept override
    try {
        return PropertyString(*this, name, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetPrpBool(BSTR name, VARIANT_BOOL* value) noexcept override
    try {
        return PropertyBool(*this, name, value);
    }
    VX_COM_CATCH
    STDMETHODIMP GetPrpLong(BSTR name, LONG* value) noexcept override
    try {
        return PropertyLong(*this, name, value);
    }
    VX_COM_CATCH

    // IvxCrCustomControlsNodeEventSource
    STDMETHODIMP AddEventListener(BSTR eventType, IUnknown* listener, VARIANT_BOOL useCapture,
                                  ULONGLONG* cookie) noexcept override
    try {
        auto stubManager = this->Tab() ? this->Tab()->ObjectStubManager() : nullptr;
        return Subscribe(*this, stubManager.Get(), this, static_cast<IvxCrCustomControlsNodeEventListener*>(this),
                         eventType, listener, useCapture, cookie);
    }
    VX_COM_CATCH
    STDMETHODIMP RemoveEventListener(ULONGLONG cookie) noexcept override
    try {
        return Unsubscribe(*this, cookie);
    }
    VX_COM_CATCH

    // IvxCrCustomControlsNodeEventListener
    STDMETHODIMP OnEvent(ULONGLONG cookie) noexcept override
    try {
        return Deliver(cookie);
    }
    VX_COM_CATCH

    // IvxObjectWithPivotWindow
    STDMETHODIMP GetPivotWindow(HWND* window) noexcept override
    try {
        return PivotWindow(*this, window);
    }
    VX_COM_CATCH

protected:
    ControlCom() noexcept = default;
    ~ControlCom() override { UnsubscribeAll(*this); }
};

} // namespace vxCrTestObjects
