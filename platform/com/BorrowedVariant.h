#pragma once
// VARIANTs that borrow the caller's value for one call (arguments of Invoke
// and of the native object's calls): nothing is copied or owned, so they are
// never cleared.
#include <windows.h>
#include <oaidl.h>

namespace vx::com {

inline VARIANT BorrowedLong(LONG value) noexcept
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

inline VARIANT BorrowedBool(bool value) noexcept
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

inline VARIANT BorrowedUnsigned64(ULONGLONG value) noexcept
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_UI8;
    V_UI8(&v) = value;
    return v;
}

inline VARIANT BorrowedBstr(BSTR value) noexcept
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = value;
    return v;
}

inline VARIANT BorrowedDispatch(IDispatch* value) noexcept
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = value;
    return v;
}

// A pointer the callee understands (a node handle of the native object).
inline VARIANT BorrowedPointer(void* value) noexcept
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_PTR;
    V_BYREF(&v) = value;
    return v;
}

} // namespace vx::com
