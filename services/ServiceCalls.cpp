#include "services/ServiceCalls.h"

#include <algorithm>
#include <vector>

#include "platform/com/ExcepInfo.h"

using Microsoft::WRL::ComPtr;

namespace service_calls {

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
