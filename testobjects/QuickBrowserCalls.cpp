#include "testobjects/QuickBrowserCalls.h"

#include "platform/com/BorrowedVariant.h"
#include "platform/com/Variant.h"

#include <utility>

namespace vxCrTestObjects {

using vx::com::BorrowedBool;
using vx::com::BorrowedBstr;
using vx::com::BorrowedDispatch;
using vx::com::BorrowedLong;
using vx::com::BorrowedUnsigned64;
using vx::com::BStr;
using vx::com::Variant;

namespace {

// DISPIDs of the quick-browser objects.
enum : DISPID {
    kGetChildrenInformation = 3,
    kGetExists = 4,
    kGetVisible = 0x10,
    kGetEnabled = 0x11,
    kGetFocused = 0x12,
    kSetFocused = 0x13,
    kGetWidth = 0x14,
    kGetHeight = 0x15,
    kGetOnTopViewportLeft = 0x16,
    kGetOnTopViewportTop = 0x17,
    kMakeVisible = 0x18,
    kCheckPointAccessible = 0x19,
    kEvaluateXPath = 0x30,
    kGetElementTagName = 0x40,
    kGetElementClassNameAndID = 0x41,
    kGetElementParentNodeID = 0x42,
    kHasChildNodeContainingText = 0x43,
    kGetScriptObject = 0x44,
    kGetAttributeValue = 0x60,
    kGetPrpStr = 0x61,
    kGetPrpBool = 0x62,
    kGetPrpLong = 0x63,
    kAddEventListener = 0x80,
    kRemoveEventListener = 0x81,
};

VARIANT ByReference(BSTR* value) noexcept
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = value;
    return v;
}

} // namespace

HRESULT QuickBrowserObjectCalls::CallFor(DISPID dispid, VARTYPE type, VARIANT* result, const VARIANT* const* arguments,
                                         UINT count) noexcept
{
    Variant raw;
    HRESULT hr = helper_.InvokeMethod(dispid, arguments, count, raw.Get());
    if (FAILED(hr))
        return hr;
    if (type == VT_EMPTY || raw.Type() == type)
        return VariantCopy(result, raw.Get());
    return VariantChangeType(result, raw.Get(), 0, type);
}

HRESULT QuickBrowserObjectCalls::CallForBool(DISPID dispid, bool& value, const VARIANT* const* arguments,
                                             UINT count) noexcept
{
    Variant result;
    HRESULT hr = CallFor(dispid, VT_BOOL, result.Get(), arguments, count);
    if (SUCCEEDED(hr))
        value = V_BOOL(result.Get()) != VARIANT_FALSE;
    return hr;
}

HRESULT QuickBrowserObjectCalls::CallForString(DISPID dispid, BStr& value, const VARIANT* const* arguments,
                                               UINT count) noexcept
{
    Variant result;
    HRESULT hr = CallFor(dispid, VT_BSTR, result.Get(), arguments, count);
    if (SUCCEEDED(hr))
        value = BStr::Attach(std::exchange(V_BSTR(result.Get()), nullptr));
    return hr;
}

HRESULT QuickBrowserObjectCalls::CallForLong(DISPID dispid, LONG& value, const VARIANT* const* arguments,
                                             UINT count) noexcept
{
    Variant result;
    HRESULT hr = CallFor(dispid, VT_I4, result.Get(), arguments, count);
    if (SUCCEEDED(hr))
        value = V_I4(result.Get());
    return hr;
}

HRESULT QuickBrowserObjectCalls::CallForUnsigned(DISPID dispid, ULONG& value) noexcept
{
    Variant result;
    HRESULT hr = CallFor(dispid, VT_UI4, result.Get());
    if (SUCCEEDED(hr))
        value = V_UI4(result.Get());
    return hr;
}

HRESULT QuickBrowserObjectCalls::GetChildrenInformation(VARIANT* value) noexcept
{
    return helper_.InvokeMethod(kGetChildrenInformation, value);
}

HRESULT QuickBrowserObjectCalls::GetExists(bool& exists) noexcept
{
    return CallForBool(kGetExists, exists);
}
HRESULT QuickBrowserObjectCalls::GetVisible(bool& value) noexcept
{
    return CallForBool(kGetVisible, value);
}
HRESULT QuickBrowserObjectCalls::GetEnabled(bool& value) noexcept
{
    return CallForBool(kGetEnabled, value);
}
HRESULT QuickBrowserObjectCalls::GetFocused(bool& value) noexcept
{
    return CallForBool(kGetFocused, value);
}

HRESULT QuickBrowserObjectCalls::SetFocused(bool value) noexcept
{
    const VARIANT focused = BorrowedBool(value);
    const VARIANT* arguments[] = {&focused};
    Variant ignored;
    return helper_.InvokeMethod(kSetFocused, arguments, 1, ignored.Get());
}

HRESULT QuickBrowserObjectCalls::GetWidth(ULONG& value) noexcept
{
    return CallForUnsigned(kGetWidth, value);
}
HRESULT QuickBrowserObjectCalls::GetHeight(ULONG& value) noexcept
{
    return CallForUnsigned(kGetHeight, value);
}
HRESULT QuickBrowserObjectCalls::GetOnTopViewportLeft(LONG& value) noexcept
{
    return CallForLong(kGetOnTopViewportLeft, value);
}
HRESULT QuickBrowserObjectCalls::GetOnTopViewportTop(LONG& value) noexcept
{
    return CallForLong(kGetOnTopViewportTop, value);
}

HRESULT QuickBrowserObjectCalls::MakeVisible(LONG clientX, LONG clientY) noexcept
{
    const VARIANT x = BorrowedLong(clientX);
    const VARIANT y = BorrowedLong(clientY);
    const VARIANT* arguments[] = {&x, &y};
    Variant ignored;
    return helper_.InvokeMethod(kMakeVisible, arguments, 2, ignored.Get());
}

HRESULT QuickBrowserObjectCalls::CheckPointAccessible(LONG left, LONG top, bool& accessible) noexcept
{
    const VARIANT x = BorrowedLong(left);
    const VARIANT y = BorrowedLong(top);
    const VARIANT* arguments[] = {&x, &y};
    return CallForBool(kCheckPointAccessible, accessible, arguments, 2);
}

HRESULT QuickBrowserObjectCalls::EvaluateXPath(BSTR expression, BSTR monikerPrefix, VARIANT* result) noexcept
{
    const VARIANT text = BorrowedBstr(expression);
    const VARIANT prefix = BorrowedBstr(monikerPrefix);
    const VARIANT* arguments[] = {&text, &prefix};
    return helper_.InvokeMethod(kEvaluateXPath, arguments, 2, result);
}

HRESULT QuickBrowserObjectCalls::GetElementTagName(BStr& value) noexcept
{
    return CallForString(kGetElementTagName, value);
}

HRESULT QuickBrowserObjectCalls::GetElementClassNameAndID(BStr& className, BStr& id) noexcept
{
    BStr classOut;
    BStr idOut;
    const VARIANT classRef = ByReference(classOut.Out());
    const VARIANT idRef = ByReference(idOut.Out());
    const VARIANT* arguments[] = {&classRef, &idRef};
    Variant ignored;
    HRESULT hr = helper_.InvokeMethod(kGetElementClassNameAndID, arguments, 2, ignored.Get());
    if (SUCCEEDED(hr)) {
        className = std::move(classOut);
        id = std::move(idOut);
    }
    return hr;
}

HRESULT QuickBrowserObjectCalls::GetElementParentNodeID(BStr& value) noexcept
{
    return CallForString(kGetElementParentNodeID, value);
}

HRESULT QuickBrowserObjectCalls::HasChildNodeContainingText(BSTR text, BSTR tagName, bool searchSiblings, BStr& value,
                                                            bool& result) noexcept
{
    BStr valueOut;
    const VARIANT textArgument = BorrowedBstr(text);
    const VARIANT tagArgument = BorrowedBstr(tagName);
    const VARIANT siblings = BorrowedBool(searchSiblings);
    const VARIANT valueRef = ByReference(valueOut.Out());
    const VARIANT* arguments[] = {&textArgument, &tagArgument, &siblings, &valueRef};
    HRESULT hr = CallForBool(kHasChildNodeContainingText, result, arguments, 4);
    if (SUCCEEDED(hr))
        value = std::move(valueOut);
    return hr;
}

HRESULT QuickBrowserObjectCalls::GetScriptObject(IDispatch** value) noexcept
{
    Variant result;
    HRESULT hr = CallFor(kGetScriptObject, VT_DISPATCH, result.Get());
    if (SUCCEEDED(hr))
        *value = std::exchange(V_DISPATCH(result.Get()), nullptr);
    return hr;
}

HRESULT QuickBrowserObjectCalls::GetAttributeValue(BSTR name, BStr& value) noexcept
{
    const VARIANT nameArgument = BorrowedBstr(name);
    const VARIANT* arguments[] = {&nameArgument};
    return CallForString(kGetAttributeValue, value, arguments, 1);
}

HRESULT QuickBrowserObjectCalls::GetPrpStr(BSTR name, BStr& value) noexcept
{
    const VARIANT nameArgument = BorrowedBstr(name);
    const VARIANT* arguments[] = {&nameArgument};
    return CallForString(kGetPrpStr, value, arguments, 1);
}

HRESULT QuickBrowserObjectCalls::GetPrpBool(BSTR name, bool& value) noexcept
{
    const VARIANT nameArgument = BorrowedBstr(name);
    const VARIANT* arguments[] = {&nameArgument};
    return CallForBool(kGetPrpBool, value, arguments, 1);
}

HRESULT QuickBrowserObjectCalls::GetPrpLong(BSTR name, LONG& value) noexcept
{
    const VARIANT nameArgument = BorrowedBstr(name);
    const VARIANT* arguments[] = {&nameArgument};
    return CallForLong(kGetPrpLong, value, arguments, 1);
}

HRESULT QuickBrowserObjectCalls::AddEventListener(BSTR eventType, IDispatch* listener, bool useCapture,
                                                  ULONGLONG& cookie) noexcept
{
    const VARIANT type = BorrowedBstr(eventType);
    const VARIANT listenerArgument = BorrowedDispatch(listener);
    const VARIANT capture = BorrowedBool(useCapture);
    const VARIANT* arguments[] = {&type, &listenerArgument, &capture};
    Variant result;
    HRESULT hr = CallFor(kAddEventListener, VT_UI8, result.Get(), arguments, 3);
    if (SUCCEEDED(hr))
        cookie = V_UI8(result.Get());
    return hr;
}

HRESULT QuickBrowserObjectCalls::RemoveEventListener(ULONGLONG cookie) noexcept
{
    const VARIANT cookieArgument = BorrowedUnsigned64(cookie);
    const VARIANT* arguments[] = {&cookieArgument};
    Variant ignored;
    return helper_.InvokeMethod(kRemoveEventListener, arguments, 1, ignored.Get());
}

} // namespace vxCrTestObjects
