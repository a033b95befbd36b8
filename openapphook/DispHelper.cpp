#include "openapphook/DispHelper.h"

#include <oleauto.h>

#include "platform/com/ExcepInfo.h"

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;

namespace {

} // namespace

HRESULT CvxDispHelper::Check() noexcept
{
    return dispatch_ ? S_OK : E_POINTER;
}

HRESULT CvxDispHelper::BeforeCallCheck() noexcept
{
    return Check();
}

HRESULT CvxDispHelper::AfterCall(HRESULT result, const EXCEPINFO& exceptionInfo) noexcept
{
    if (SUCCEEDED(result))
        return result;
    const bool described = exceptionInfo.bstrSource || exceptionInfo.bstrDescription || exceptionInfo.bstrHelpFile ||
                           exceptionInfo.dwHelpContext != 0;
    if (!described)
        return result; // error information the callee may have set stays
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(&create)))
        return result;
    if (exceptionInfo.bstrSource)
        create->SetSource(exceptionInfo.bstrSource);
    if (exceptionInfo.bstrDescription)
        create->SetDescription(exceptionInfo.bstrDescription);
    if (exceptionInfo.bstrHelpFile)
        create->SetHelpFile(exceptionInfo.bstrHelpFile);
    create->SetHelpContext(exceptionInfo.dwHelpContext);
    ComPtr<IErrorInfo> errorInfo;
    if (SUCCEEDED(create.As(&errorInfo)))
        SetErrorInfo(0, errorInfo.Get());
    return result;
}

HRESULT CvxDispHelper::GetIDOfName(const wchar_t* name, DISPID* dispid) noexcept
{
    if (!dispid)
        return E_POINTER;
    *dispid = DISPID_UNKNOWN;
    HRESULT hr = BeforeCallCheck();
    if (FAILED(hr))
        return hr;
    if (!name)
        return E_INVALIDARG;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, dispid);
}

HRESULT CvxDispHelper::Call(DISPID dispid, WORD flags, const VARIANT* const* arguments, UINT count,
                            VARIANT* result) noexcept
{
    HRESULT hr = BeforeCallCheck();
    if (FAILED(hr))
        return hr;
    if (count > kMaxArguments)
        return E_INVALIDARG;
    // Invoke takes the arguments last to first; the copies are shallow, the
    // callee only reads them.
    VARIANT reversed[kMaxArguments];
    for (UINT i = 0; i < count; ++i)
        reversed[count - 1 - i] = *arguments[i];
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{};
    parameters.rgvarg = count ? reversed : nullptr;
    parameters.cArgs = count;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        parameters.rgdispidNamedArgs = &putId;
        parameters.cNamedArgs = 1;
    }
    vx::com::ExcepInfo exceptionInfo;
    UINT argumentError = 0;
    hr = dispatch_->Invoke(dispid, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &parameters, result, exceptionInfo.Get(),
                           &argumentError);
    return AfterCall(hr, FAILED(hr) ? *exceptionInfo.Fill() : *exceptionInfo.Get());
}

template <class... Arguments>
HRESULT CvxDispHelper::CallByName(const wchar_t* name, WORD flags, VARIANT* result,
                                  const Arguments&... arguments) noexcept
{
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = GetIDOfName(name, &dispid);
    if (FAILED(hr))
        return hr;
    const VARIANT* list[] = {&arguments..., nullptr};
    return Call(dispid, flags, list, sizeof...(Arguments), result);
}

HRESULT CvxDispHelper::GetProperty(DISPID dispid, VARIANT* result) noexcept
{
    return Call(dispid, DISPATCH_PROPERTYGET, nullptr, 0, result);
}

HRESULT CvxDispHelper::GetProperty(const wchar_t* name, VARIANT* result) noexcept
{
    return CallByName(name, DISPATCH_PROPERTYGET, result);
}

HRESULT CvxDispHelper::InvokeMethod(DISPID dispid, const VARIANT* const* arguments, UINT count,
                                    VARIANT* result) noexcept
{
    return Call(dispid, DISPATCH_METHOD, arguments, count, result);
}

HRESULT CvxDispHelper::InvokeMethod(DISPID dispid, VARIANT* result) noexcept
{
    return Call(dispid, DISPATCH_METHOD, nullptr, 0, result);
}

HRESULT CvxDispHelper::InvokeMethod(DISPID dispid, const VARIANT& argument, VARIANT* result) noexcept
{
    const VARIANT* list[] = {&argument};
    return Call(dispid, DISPATCH_METHOD, list, 1, result);
}

HRESULT CvxDispHelper::InvokeMethod(DISPID dispid, const VARIANT& first, const VARIANT& second,
                                    VARIANT* result) noexcept
{
    const VARIANT* list[] = {&first, &second};
    return Call(dispid, DISPATCH_METHOD, list, 2, result);
}

HRESULT CvxDispHelper::InvokeMethod(const wchar_t* name, VARIANT* result) noexcept
{
    return CallByName(name, DISPATCH_METHOD, result);
}

HRESULT CvxDispHelper::InvokeMethod(const wchar_t* name, const VARIANT& argument, VARIANT* result) noexcept
{
    return CallByName(name, DISPATCH_METHOD, result, argument);
}

HRESULT CvxDispHelper::InvokeMethod(const wchar_t* name, const VARIANT& first, const VARIANT& second,
                                    VARIANT* result) noexcept
{
    return CallByName(name, DISPATCH_METHOD, result, first, second);
}

HRESULT CvxDispHelper::PutProperty(DISPID dispid, const VARIANT& value) noexcept
{
    const VARIANT* list[] = {&value};
    return Call(dispid, DISPATCH_PROPERTYPUT, list, 1, nullptr);
}

HRESULT CvxDispHelper::PutProperty(const wchar_t* name, const VARIANT& value) noexcept
{
    return CallByName(name, DISPATCH_PROPERTYPUT, nullptr, value);
}

} // namespace vxOpenAppHook
