#include "TestService.h"

namespace rendezvous_harness {

STDMETHODIMP TestService::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP TestService::GetTypeInfo(UINT, LCID, ITypeInfo** info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestService::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP TestService::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*)
{
    LONG calls = InterlockedIncrement(&calls_);
    if (result)
        VariantInit(result);
    switch (member) {
    case kLiveness:
        return S_OK;
    case kProcessId:
        if (result) {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(GetCurrentProcessId());
        }
        return S_OK;
    case kTag:
        if (result) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(tag_.c_str());
        }
        return S_OK;
    case kCallCount:
        if (result) {
            result->vt = VT_I4;
            result->lVal = calls;
        }
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace rendezvous_harness
