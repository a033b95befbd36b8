#include "comhelp/ComHelpWrappers.h"

using Microsoft::WRL::ComPtr;

namespace ovComHelp_EXP {

STDMETHODIMP CovGlobalInterfaceTableProxy::RegisterInterfaceInGlobal(IUnknown* unknown, REFIID riid, DWORD* cookie)
{
    ComPtr<IGlobalInterfaceTable> table = table_.Get();
    if (!table) {
        if (cookie)
            *cookie = 0;
        return E_FAIL;
    }
    return table->RegisterInterfaceInGlobal(unknown, riid, cookie);
}

STDMETHODIMP CovGlobalInterfaceTableProxy::RevokeInterfaceFromGlobal(DWORD cookie)
{
    ComPtr<IGlobalInterfaceTable> table = table_.Get();
    if (!table)
        return E_FAIL;
    return table->RevokeInterfaceFromGlobal(cookie);
}

STDMETHODIMP CovGlobalInterfaceTableProxy::GetInterfaceFromGlobal(DWORD cookie, REFIID riid, void** ppv)
{
    ComPtr<IGlobalInterfaceTable> table = table_.Get();
    if (!table) {
        if (ppv)
            *ppv = nullptr;
        return E_FAIL;
    }
    return table->GetInterfaceFromGlobal(cookie, riid, ppv);
}

STDMETHODIMP CovGlobalInterfaceTableProxy::Drop()
{
    table_.Drop();
    return S_OK;
}

STDMETHODIMP CovSeparateInvokerProxy::GetUserValue(LONG* value)
{
    if (!value)
        return E_POINTER;
    *value = InterlockedCompareExchange(&userValue_, 0, 0);
    return S_OK;
}

STDMETHODIMP CovSeparateInvokerProxy::SetUserValue(LONG value)
{
    InterlockedExchange(&userValue_, value);
    return S_OK;
}

STDMETHODIMP CovInvoker::Invoke(OV_INVOKE_PROC function, void* userData)
{
    if (!function)
        return E_FAIL;
    function(userData);
    return S_OK;
}

} // namespace ovComHelp_EXP
