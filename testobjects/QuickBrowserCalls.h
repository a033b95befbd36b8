#pragma once
// Typed calls to a quick-browser object (the renderer-side object behind a
// test object) by DISPID through its IDispatch. A failed call returns its
// HRESULT, with the callee's error information published on the calling
// thread, and leaves the out values as they were.
#include <windows.h>
#include <oaidl.h>

#include "openapphook/DispHelper.h"
#include "platform/com/BStr.h"

namespace vxCrTestObjects {

class QuickBrowserObjectCalls
{
public:
    explicit QuickBrowserObjectCalls(IDispatch* object) noexcept : helper_(object) {}

    HRESULT GetChildrenInformation(VARIANT* value) noexcept;
    HRESULT GetExists(bool& exists) noexcept;

    HRESULT GetVisible(bool& value) noexcept;
    HRESULT GetEnabled(bool& value) noexcept;
    HRESULT GetFocused(bool& value) noexcept;
    HRESULT SetFocused(bool value) noexcept;
    HRESULT GetWidth(ULONG& value) noexcept;
    HRESULT GetHeight(ULONG& value) noexcept;
    HRESULT GetOnTopViewportLeft(LONG& value) noexcept;
    HRESULT GetOnTopViewportTop(LONG& value) noexcept;
    HRESULT MakeVisible(LONG clientX, LONG clientY) noexcept;
    HRESULT CheckPointAccessible(LONG left, LONG top, bool& accessible) noexcept;

    HRESULT EvaluateXPath(BSTR expression, BSTR monikerPrefix, VARIANT* result) noexcept;

    HRESULT GetElementTagName(vx::com::BStr& value) noexcept;
    HRESULT GetElementClassNameAndID(vx::com::BStr& className, vx::com::BStr& id) noexcept;
    HRESULT GetElementParentNodeID(vx::com::BStr& value) noexcept;
    HRESULT HasChildNodeContainingText(BSTR text, BSTR tagName, bool searchSiblings, vx::com::BStr& value,
                                       bool& result) noexcept;
    HRESULT GetScriptObject(IDispatch** value) noexcept;
    HRESULT GetAttributeValue(BSTR name, vx::com::BStr& value) noexcept;
    HRESULT GetPrpStr(BSTR name, vx::com::BStr& value) noexcept;
    HRESULT GetPrpBool(BSTR name, bool& value) noexcept;
    HRESULT GetPrpLong(BSTR name, LONG& value) noexcept;

    HRESULT AddEventListener(BSTR eventType, IDispatch* listener, bool useCapture, ULONGLONG& cookie) noexcept;
    HRESULT RemoveEventListener(ULONGLONG cookie) noexcept;

private:
    // Calls a method and converts its result to `type`.
    HRESULT CallFor(DISPID dispid, VARTYPE type, VARIANT* result, const VARIANT* const* arguments = nullptr,
                    UINT count = 0) noexcept;
    HRESULT CallForBool(DISPID dispid, bool& value, const VARIANT* const* arguments = nullptr, UINT count = 0) noexcept;
    HRESULT CallForString(DISPID dispid, vx::com::BStr& value, const VARIANT* const* arguments = nullptr,
                          UINT count = 0) noexcept;
    HRESULT CallForLong(DISPID dispid, LONG& value, const VARIANT* const* arguments = nullptr, UINT count = 0) noexcept;
    HRESULT CallForUnsigned(DISPID dispid, ULONG& value) noexcept;

    vxOpenAppHook::CvxDispHelper helper_;
};

} // namespace vxCrTestObjects
