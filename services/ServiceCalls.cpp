#include "services/ServiceCalls.h"

#include <algorithm>
#include <vector>

#include "platform/com/ExcepInfo.h"

using Microsoft::WRL::ComPtr;

namespace service_calls {

VARIANT I4Argument(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT BoolArgument(bool value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT BstrArgument(BSTR value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = value;
    return v;
}

VARIANT DispatchArgument(IDispatch* value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = value;
    return v;
}

HRESULT CallMethod(IDispatch* target, DISPID member, std::initializer_list<VARIANT> arguments, vx::com::Variant& result)
{
    result.Out();
    if (!target)
        return E_POINTER;
    std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
    std::reverse(reversed.begin(), reversed.end());
    DISPPARAMS parameters = {};
    parameters.rgvarg = reversed.empty() ? nullptr : reversed.data();
    parameters.cArgs = static_cast<UINT>(reversed.size());
    vx::com::ExcepInfo exception;
    UINT argumentError = 0;
    HRESULT hr = target->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, result.Out(),
                                exception.Get(), &argumentError);
    if (hr == DISP_E_EXCEPTION) {
        // The callee's own code says more than the generic one.
        const EXCEPINFO* info = exception.Fill();
        if (FAILED(info->scode))
            hr = info->scode;
    }
    if (FAILED(hr))
        result.Out();
    return hr;
}

HRESULT CallMethod(IDispatch* target, DISPID member, std::initializer_list<VARIANT> arguments)
{
    vx::com::Variant ignored;
    return CallMethod(target, member, arguments, ignored);
}

HRESULT DispatchFromResult(const VARIANT& result, ComPtr<IDispatch>& dispatch)
{
    dispatch.Reset();
    IUnknown* object = nullptr;
    if (V_VT(&result) == VT_DISPATCH)
        object = V_DISPATCH(&result);
    else if (V_VT(&result) == VT_UNKNOWN)
        object = V_UNKNOWN(&result);
    else
        return E_UNEXPECTED;
    if (!object || FAILED(object->QueryInterface(IID_PPV_ARGS(&dispatch))) || !dispatch) {
        dispatch.Reset();
        return E_UNEXPECTED;
    }
    return S_OK;
}

} // namespace service_calls
