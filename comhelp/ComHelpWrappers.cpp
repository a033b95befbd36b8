#include "comhelp/ComHelpWrappers.h"
#include "platform/com/ComBoundary.h"

using Microsoft::WRL::ComPtr;

namespace ovComHelp_EXP {

STDMETHODIMP CovGlobalInterfaceTableProxy::RegisterInterfaceInGlobal(IUnknown* unknown, REFIID riid,
                                                                     DWORD* cookie) noexcept
try {
    ComPtr<IGlobalInterfaceTable> table = table_.Get();
    if (!table) {
        if (cookie)
            *cookie = 0;
        return E_FAIL;
    }
    return table->RegisterInterfaceInGlobal(unknown, riid, cookie);
}
VX_COM_CATCH

STDMETHODIMP CovGlobalInterfaceTableProxy::RevokeInterfaceFromGlobal(DWORD cookie) noexcept
try {
    ComPtr<IGlobalInterfaceTable> table = table_.Get();
    if (!table)
        return E_FAIL;
    return table->RevokeInterfaceFromGlobal(cookie);
}
VX_COM_CATCH

STDMETHODIMP CovGlobalInterfaceTableProxy::GetInterfaceFromGlobal(DWORD cookie, REFIID riid, void** ppv) noexcept
try {
    ComPtr<IGlobalInterfaceTable> table = table_.Get();
    if (!table) {
        if (ppv)
            *ppv = nullptr;
        return E_FAIL;
    }
    return table->GetInterfaceFromGlobal(cookie, riid, ppv);
}
VX_COM_CATCH

STDMETHODIMP CovGlobalInterfaceTableProxy::Drop() noexcept
try {
    table_.Drop();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CovSeparateInvokerProxy::GetUserValue(LONG* value) noexcept
try {
    if (!value)
        return E_POINTER;
    *value = InterlockedCompareExchange(&userValue_, 0, 0);
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CovSeparateInvokerProxy::SetUserValue(LONG value) noexcept
try {
    InterlockedExchange(&userValue_, value);
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CovInvoker::Invoke(OV_INVOKE_PROC function, void* userData) noexcept
try {
    if (!function)
        return E_FAIL;
    function(userData);
    return S_OK;
}
VX_COM_CATCH

} // namespace ovComHelp_EXP
