#pragma once
// Running a function synchronously on the synchronous invoker thread of the
// module services holder: the thread on which every proxy to the browser's
// services is created. The browser module answers IvxCrRemoteServicesSync
// with RunOnSynchronousInvoker.
#include <windows.h>

#include "generated/vxCrHook.h"
#include "module/ModuleServices.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"

namespace remote_services_sync_detail {

struct PendingCall
{
    VX_CR_REMOTE_SERVICES_CALLBACK callback = nullptr;
    void* userData = nullptr;
    HRESULT result = E_UNEXPECTED;
    bool ran = false;
};

inline void __stdcall RunPendingCall(void* data)
{
    auto* call = static_cast<PendingCall*>(data);
    call->result = call->callback(call->userData);
    call->ran = true;
}

} // namespace remote_services_sync_detail

// Runs callback(userData) on the synchronous invoker (created on first use)
// and returns the callback's result. When the invoker cannot be created or
// fails, that failure is returned (E_FAIL when it gives none); when it
// reports success without having run the callback, E_UNEXPECTED.
inline HRESULT RunOnSynchronousInvoker(VX_CR_REMOTE_SERVICES_CALLBACK callback, void* userData)
{
    if (!callback)
        return E_INVALIDARG;
    Microsoft::WRL::ComPtr<IovInvoker> invoker;
    HRESULT hr = ModuleServicesHolder::Instance().SynchronousInvoker(invoker);
    if (FAILED(hr))
        return hr;
    if (!invoker)
        return E_FAIL;
    remote_services_sync_detail::PendingCall call;
    call.callback = callback;
    call.userData = userData;
    hr = invoker->Invoke(remote_services_sync_detail::RunPendingCall, &call);
    if (FAILED(hr))
        return hr;
    return call.ran ? call.result : E_UNEXPECTED;
}

// A stand-alone IvxCrRemoteServicesSync over the synchronous invoker, for
// owners other than the browser module.
class CRemoteServicesSync : public vx::com::ComObject<CRemoteServicesSync, IvxCrRemoteServicesSync>
{
public:
    STDMETHODIMP RunSynchronously(VX_CR_REMOTE_SERVICES_CALLBACK callback, void* userData) noexcept override
    try {
        return RunOnSynchronousInvoker(callback, userData);
    }
    VX_COM_CATCH
};
