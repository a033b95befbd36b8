#include "testobjects/ControlObject.h"

#include <vector>

#include "testobjects/QuickBrowserCalls.h"

namespace vxCrTestObjects {

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::CriticalSectionLock;

namespace {

// Calls `call` with the calls object of the child's quick-browser object.
template <class Call>
HRESULT WithQuickBrowserObject(const PageChildState& child, Call&& call)
{
    ComPtr<IDispatch> object;
    HRESULT hr = child.QuickBrowserObject(object);
    if (FAILED(hr))
        return hr;
    QuickBrowserObjectCalls calls(object.Get());
    return call(calls);
}

template <class Read>
HRESULT ReadBool(const PageChildState& child, VARIANT_BOOL* out, Read&& read)
{
    if (!out)
        return E_POINTER;
    *out = VARIANT_FALSE;
    bool value = false;
    HRESULT hr = WithQuickBrowserObject(child, [&](QuickBrowserObjectCalls& calls) { return read(calls, value); });
    if (SUCCEEDED(hr))
        *out = value ? VARIANT_TRUE : VARIANT_FALSE;
    return hr;
}

template <class Read>
HRESULT ReadString(const PageChildState& child, BSTR* out, Read&& read)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    BStr value;
    HRESULT hr = WithQuickBrowserObject(child, [&](QuickBrowserObjectCalls& calls) { return read(calls, value); });
    if (SUCCEEDED(hr))
        *out = value.Detach();
    return hr;
}

} // namespace

HRESULT ControlState::Visible(const PageChildState& child, VARIANT_BOOL* visible)
{
    return ReadBool(child, visible,
                    [](QuickBrowserObjectCalls& calls, bool& value) { return calls.GetVisible(value); });
}

HRESULT ControlState::Enabled(const PageChildState& child, VARIANT_BOOL* enabled)
{
    return ReadBool(child, enabled,
                    [](QuickBrowserObjectCalls& calls, bool& value) { return calls.GetEnabled(value); });
}

HRESULT ControlState::Focused(const PageChildState& child, VARIANT_BOOL* focused)
{
    return ReadBool(child, focused,
                    [](QuickBrowserObjectCalls& calls, bool& value) { return calls.GetFocused(value); });
}

HRESULT ControlState::SetFocus(const PageChildState& child, VARIANT_BOOL focused)
{
    return WithQuickBrowserObject(
        child, [&](QuickBrowserObjectCalls& calls) { return calls.SetFocused(focused != VARIANT_FALSE); });
}

HRESULT ControlState::Size(const PageChildState& child, bool width, LONG* value)
{
    if (!value)
        return E_POINTER;
    *value = 0;
    ULONG size = 0;
    HRESULT hr = WithQuickBrowserObject(
        child, [&](QuickBrowserObjectCalls& calls) { return width ? calls.GetWidth(size) : calls.GetHeight(size); });
    if (SUCCEEDED(hr))
        *value = static_cast<LONG>(size);
    return hr;
}

HRESULT ControlState::ScreenPosition(const PageChildState& child, bool left, LONG* value)
{
    if (!value)
        return E_POINTER;
    *value = 0;
    LONG onViewport = 0;
    HRESULT hr = WithQuickBrowserObject(child, [&](QuickBrowserObjectCalls& calls) {
        return left ? calls.GetOnTopViewportLeft(onViewport) : calls.GetOnTopViewportTop(onViewport);
    });
    if (FAILED(hr))
        return hr;
    HWND window = nullptr;
    hr = child.Tab()->TabWindow(window);
    if (FAILED(hr))
        return hr;
    RECT rectangle = {};
    if (!GetWindowRect(window, &rectangle))
        return HRESULT_FROM_WIN32(GetLastError());
    *value = onViewport + (left ? rectangle.left : rectangle.top);
    return S_OK;
}

HRESULT ControlState::ScrollIntoView(const PageChildState& child, LONG x, LONG y)
{
    // The element can only come into view on the tab the browser shows.
    child.Tab()->Activate();
    return WithQuickBrowserObject(child, [&](QuickBrowserObjectCalls& calls) { return calls.MakeVisible(x, y); });
}

HRESULT ControlState::PointAccessible(const PageChildState& child, LONG x, LONG y, VARIANT_BOOL* accessible)
{
    return ReadBool(child, accessible, [&](QuickBrowserObjectCalls& calls, bool& value) {
        return calls.CheckPointAccessible(x, y, value);
    });
}

HRESULT ControlState::PivotWindow(const PageChildState& child, HWND* window)
{
    if (!window)
        return E_POINTER;
    *window = nullptr;
    return child.Tab()->TabWindow(*window);
}

HRESULT ControlState::TagName(const PageChildState& child, BSTR* tagName)
{
    return ReadString(child, tagName,
                      [](QuickBrowserObjectCalls& calls, BStr& value) { return calls.GetElementTagName(value); });
}

HRESULT ControlState::ClassNameAndId(const PageChildState& child, BSTR* className, BSTR* id)
{
    if (!className || !id)
        return E_POINTER;
    *className = nullptr;
    *id = nullptr;
    BStr classValue;
    BStr idValue;
    HRESULT hr = WithQuickBrowserObject(
        child, [&](QuickBrowserObjectCalls& calls) { return calls.GetElementClassNameAndID(classValue, idValue); });
    if (SUCCEEDED(hr)) {
        *className = classValue.Detach();
        *id = idValue.Detach();
    }
    return hr;
}

HRESULT ControlState::ParentNodeId(const PageChildState& child, BSTR* parentId)
{
    return ReadString(child, parentId,
                      [](QuickBrowserObjectCalls& calls, BStr& value) { return calls.GetElementParentNodeID(value); });
}

HRESULT ControlState::ChildNodeContainingText(const PageChildState& child, BSTR text, BSTR tagName,
                                              VARIANT_BOOL searchSiblings, BSTR* value)
{
    if (value)
        *value = nullptr;
    BStr found;
    bool contains = false;
    HRESULT hr = WithQuickBrowserObject(child, [&](QuickBrowserObjectCalls& calls) {
        return calls.HasChildNodeContainingText(text, tagName, searchSiblings != VARIANT_FALSE, found, contains);
    });
    // A failed search answers "not found" like an empty one.
    if (FAILED(hr) || !contains)
        return S_FALSE;
    if (value)
        *value = found.Detach();
    return S_OK;
}

HRESULT ControlState::ScriptObject(const PageChildState& child, IDispatch** scriptObject)
{
    if (!scriptObject)
        return E_POINTER;
    *scriptObject = nullptr;
    return WithQuickBrowserObject(child,
                                  [&](QuickBrowserObjectCalls& calls) { return calls.GetScriptObject(scriptObject); });
}

HRESULT ControlState::AttributeValue(const PageChildState& child, BSTR name, BSTR* value)
{
    return ReadString(child, value,
                      [&](QuickBrowserObjectCalls& calls, BStr& read) { return calls.GetAttributeValue(name, read); });
}

HRESULT ControlState::PropertyString(const PageChildState& child, BSTR name, BSTR* value)
{
    return ReadString(child, value,
                      [&](QuickBrowserObjectCalls& calls, BStr& read) { return calls.GetPrpStr(name, read); });
}

HRESULT ControlState::PropertyBool(const PageChildState& child, BSTR name, VARIANT_BOOL* value)
{
    return ReadBool(child, value,
                    [&](QuickBrowserObjectCalls& calls, bool& read) { return calls.GetPrpBool(name, read); });
}

HRESULT ControlState::PropertyLong(const PageChildState& child, BSTR name, LONG* value)
{
    if (!value)
        return E_POINTER;
    *value = 0;
    LONG read = 0;
    HRESULT hr =
        WithQuickBrowserObject(child, [&](QuickBrowserObjectCalls& calls) { return calls.GetPrpLong(name, read); });
    if (SUCCEEDED(hr))
        *value = read;
    return hr;
}

HRESULT ControlState::Subscribe(const PageChildState& child, vxOpenAppHook::IStubManager* stubManager,
                                vx::com::WeaklyHeldObject* selfObject, IvxCrCustomControlsNodeEventListener* self,
                                BSTR eventType, IUnknown* listener, VARIANT_BOOL useCapture, ULONGLONG* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    // Events are passed on through the listener interface; a listener
    // without it could not be told anything.
    ComPtr<IvxCrCustomControlsNodeEventListener> target;
    if (!listener)
        return E_INVALIDARG;
    HRESULT hr = listener->QueryInterface(IID_PPV_ARGS(&target));
    if (FAILED(hr))
        return hr;
    ComPtr<IDispatch> object;
    hr = child.QuickBrowserObject(object);
    if (FAILED(hr))
        return hr;
    ComPtr<CCrQuickListener> quickListener;
    {
        CriticalSectionLock guard(lock_);
        if (!quickListener_)
            hr = CCrQuickListener::Create(stubManager, selfObject, self, quickListener_);
        quickListener = quickListener_;
    }
    ULONGLONG added = 0;
    if (SUCCEEDED(hr)) {
        ComPtr<IDispatch> listenerDispatch;
        hr = quickListener.As(&listenerDispatch);
        if (SUCCEEDED(hr))
            hr = QuickBrowserObjectCalls(object.Get())
                     .AddEventListener(eventType, listenerDispatch.Get(), useCapture != VARIANT_FALSE, added);
    }
    ComPtr<CCrQuickListener> idle;
    {
        CriticalSectionLock guard(lock_);
        if (SUCCEEDED(hr)) {
            listeners_[added] = target;
            *cookie = added;
        }
        idle = TakeIdleQuickListenerLocked();
    }
    if (idle)
        idle->Detach();
    return hr;
}

HRESULT ControlState::Unsubscribe(const PageChildState& child, ULONGLONG cookie)
{
    ComPtr<IvxCrCustomControlsNodeEventListener> removed;
    {
        CriticalSectionLock guard(lock_);
        auto found = listeners_.find(cookie);
        if (found == listeners_.end())
            return S_FALSE;
        removed = std::move(found->second);
        listeners_.erase(found);
    }
    HRESULT hr = WithQuickBrowserObject(
        child, [&](QuickBrowserObjectCalls& calls) { return calls.RemoveEventListener(cookie); });
    ComPtr<CCrQuickListener> idle;
    {
        CriticalSectionLock guard(lock_);
        idle = TakeIdleQuickListenerLocked();
    }
    if (idle)
        idle->Detach();
    removed.Reset(); // the caller's listener goes last
    return hr;
}

HRESULT ControlState::Deliver(ULONGLONG cookie)
{
    ComPtr<IvxCrCustomControlsNodeEventListener> listener;
    {
        CriticalSectionLock guard(lock_);
        auto found = listeners_.find(cookie);
        if (found != listeners_.end())
            listener = found->second;
    }
    if (listener)
        listener->OnEvent(cookie);
    return S_OK;
}

void ControlState::UnsubscribeAll(const PageChildState& child) noexcept
{
    std::vector<ULONGLONG> cookies;
    try {
        CriticalSectionLock guard(lock_);
        for (const auto& entry : listeners_)
            cookies.push_back(entry.first);
    } catch (...) {
        // Out of memory for the list: the subscriptions below are still
        // dropped with the quick listener, which stops their delivery.
    }
    for (ULONGLONG cookie : cookies)
        Unsubscribe(child, cookie);
    std::map<ULONGLONG, ComPtr<IvxCrCustomControlsNodeEventListener>> left;
    ComPtr<CCrQuickListener> quickListener;
    {
        CriticalSectionLock guard(lock_);
        left.swap(listeners_);
        quickListener = std::move(quickListener_);
    }
    if (quickListener)
        quickListener->Detach();
}

ComPtr<CCrQuickListener> ControlState::TakeIdleQuickListenerLocked() noexcept
{
    if (!listeners_.empty())
        return nullptr;
    return std::move(quickListener_);
}

} // namespace vxCrTestObjects
