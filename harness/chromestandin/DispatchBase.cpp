// Argument reading and result filling for the stand-in's IDispatch objects.
#include "DispatchBase.h"

using Microsoft::WRL::ComPtr;
using vx::com::Variant;

namespace chrome_standin {

HRESULT DispatchArgs::Copy(UINT index, Variant& value) const
{
    if (index >= Count())
        return DISP_E_BADPARAMCOUNT;
    const VARIANT& source = parameters_->rgvarg[parameters_->cArgs - 1 - index];
    return VariantCopyInd(value.Out(), const_cast<VARIANT*>(&source));
}

HRESULT DispatchArgs::Converted(UINT index, VARTYPE type, Variant& value) const
{
    Variant copy;
    HRESULT hr = Copy(index, copy);
    if (FAILED(hr))
        return hr;
    if (FAILED(VariantChangeType(value.Out(), copy.Get(), 0, type)))
        return DISP_E_TYPEMISMATCH;
    return S_OK;
}

HRESULT DispatchArgs::Long(UINT index, LONG& value) const
{
    Variant converted;
    HRESULT hr = Converted(index, VT_I4, converted);
    if (SUCCEEDED(hr))
        value = V_I4(converted.Get());
    return hr;
}

HRESULT DispatchArgs::Bool(UINT index, bool& value) const
{
    Variant converted;
    HRESULT hr = Converted(index, VT_BOOL, converted);
    if (SUCCEEDED(hr))
        value = V_BOOL(converted.Get()) != VARIANT_FALSE;
    return hr;
}

HRESULT DispatchArgs::String(UINT index, std::wstring& value) const
{
    Variant converted;
    HRESULT hr = Converted(index, VT_BSTR, converted);
    if (SUCCEEDED(hr)) {
        BSTR text = V_BSTR(converted.Get());
        value.assign(text ? text : L"", text ? SysStringLen(text) : 0);
    }
    return hr;
}

HRESULT DispatchArgs::Dispatch(UINT index, ComPtr<IDispatch>& value) const
{
    value.Reset();
    Variant copy;
    HRESULT hr = Copy(index, copy);
    if (FAILED(hr))
        return hr;
    IUnknown* object = nullptr;
    if (copy.Type() == VT_DISPATCH)
        object = V_DISPATCH(copy.Get());
    else if (copy.Type() == VT_UNKNOWN)
        object = V_UNKNOWN(copy.Get());
    else
        return DISP_E_TYPEMISMATCH;
    if (!object)
        return E_INVALIDARG;
    return object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(value.GetAddressOf()));
}

void ReturnLong(VARIANT* result, LONG value)
{
    if (!result)
        return;
    VariantClear(result);
    V_VT(result) = VT_I4;
    V_I4(result) = value;
}

void ReturnULong(VARIANT* result, ULONG value)
{
    if (!result)
        return;
    VariantClear(result);
    V_VT(result) = VT_UI4;
    V_UI4(result) = value;
}

void ReturnBool(VARIANT* result, bool value)
{
    if (!result)
        return;
    VariantClear(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT ReturnString(VARIANT* result, const std::wstring& value)
{
    if (!result)
        return S_OK;
    VariantClear(result);
    BSTR text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    if (!text)
        return E_OUTOFMEMORY;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = text;
    return S_OK;
}

void ReturnDispatch(VARIANT* result, IDispatch* value)
{
    if (!result)
        return;
    VariantClear(result);
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = value;
    if (value)
        value->AddRef();
}

} // namespace chrome_standin
