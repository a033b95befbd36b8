#pragma once
// Calling the services of the product's Chrome component: every call is an
// IDispatch::Invoke by DISPID as a method, with positional arguments, and
// interface results arrive as VT_DISPATCH or VT_UNKNOWN.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <initializer_list>

#include "platform/com/BorrowedVariant.h"
#include "platform/com/Variant.h"

namespace service_calls {

// Borrowed arguments: the VARIANTs point at the caller's values.
using vx::com::BorrowedBool;
using vx::com::BorrowedBstr;
using vx::com::BorrowedDispatch;
using vx::com::BorrowedLong;

// Invokes `member` with `arguments` given in call order (they are passed to
// the callee in the reverse order that DISPPARAMS expects). `result` receives
// the method's value (VT_EMPTY when it gives none).
HRESULT CallMethod(IDispatch* target, DISPID member, std::initializer_list<VARIANT> arguments,
                   vx::com::Variant& result);
// The same, for methods whose result is ignored.
HRESULT CallMethod(IDispatch* target, DISPID member, std::initializer_list<VARIANT> arguments);

// An interface result: VT_DISPATCH or VT_UNKNOWN holding an object that
// answers IDispatch. E_UNEXPECTED for any other value (null included).
HRESULT DispatchFromResult(const VARIANT& result, Microsoft::WRL::ComPtr<IDispatch>& dispatch);

} // namespace service_calls
