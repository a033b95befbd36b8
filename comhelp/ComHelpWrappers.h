#pragma once
// Wrappers of the COM utility module's objects. Each holds one reference to
// the module's object and forwards to it until it is dropped; after that every
// forwarded call answers E_FAIL, so nothing calls into a module that went away.
#include <windows.h>
#include <objidl.h>

#include "generated/ovComHelp.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"

namespace ovComHelp_EXP {

namespace detail {

// Holds the forwarded object. Callers take their own reference under the
// wrapper's lock and call outside it, so a concurrent drop never releases an
// object while a call through it is being set up.
template <class Target>
class DroppableTarget
{
public:
    explicit DroppableTarget(Target* target) : target_(target) {}

    Microsoft::WRL::ComPtr<Target> Get()
    {
        vx::com::CriticalSectionLock guard(lock_);
        return target_;
    }

    void Drop()
    {
        Microsoft::WRL::ComPtr<Target> released;
        vx::com::CriticalSectionLock guard(lock_);
        released.Swap(target_);
    }

private:
    vx::com::CriticalSection lock_;
    Microsoft::WRL::ComPtr<Target> target_;
};

} // namespace detail

class CovGlobalInterfaceTableProxy
    : public vx::com::ComObject<CovGlobalInterfaceTableProxy, IGlobalInterfaceTableProxy,
                                vx::com::AnswerAs<IGlobalInterfaceTable, IGlobalInterfaceTableProxy>>
{
public:
    explicit CovGlobalInterfaceTableProxy(IGlobalInterfaceTable* table) : table_(table) {}

    STDMETHODIMP RegisterInterfaceInGlobal(IUnknown* unknown, REFIID riid, DWORD* cookie) noexcept override;
    STDMETHODIMP RevokeInterfaceFromGlobal(DWORD cookie) noexcept override;
    STDMETHODIMP GetInterfaceFromGlobal(DWORD cookie, REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP Drop() noexcept override;

private:
    detail::DroppableTarget<IGlobalInterfaceTable> table_;
};

// Shared body of the invoker wrappers.
template <class Derived, class... Entries>
class InvokerProxyBase : public vx::com::ComObject<Derived, Entries...>
{
public:
    explicit InvokerProxyBase(IovInvoker* invoker) : invoker_(invoker) {}

    STDMETHODIMP Invoke(OV_INVOKE_PROC function, void* userData) noexcept override
    try {
        Microsoft::WRL::ComPtr<IovInvoker> invoker = invoker_.Get();
        if (!invoker)
            return E_FAIL;
        return invoker->Invoke(function, userData);
    }
    VX_COM_CATCH

    STDMETHODIMP Drop() noexcept override
    try {
        invoker_.Drop();
        return S_OK;
    }
    VX_COM_CATCH

private:
    detail::DroppableTarget<IovInvoker> invoker_;
};

// The module's single-threaded apartment thread.
class CovSTA1Proxy
    : public InvokerProxyBase<CovSTA1Proxy, IovSTA1, vx::com::AnswerAs<IovInvoker, IovSTA1>, IovInvokerProxy>
{
public:
    using InvokerProxyBase::InvokerProxyBase;
};

// The module's multi-threaded apartment.
class CovMTAProxy : public InvokerProxyBase<CovMTAProxy, IovMTA, vx::com::AnswerAs<IovInvoker, IovMTA>, IovInvokerProxy>
{
public:
    using InvokerProxyBase::InvokerProxyBase;
};

// A separate invoker thread of the module, with one integer for its user.
class CovSeparateInvokerProxy
    : public InvokerProxyBase<CovSeparateInvokerProxy, IovInvoker, IovInvokerProxy, IovSeparateInvokerProxy>
{
public:
    using InvokerProxyBase::InvokerProxyBase;

    STDMETHODIMP GetUserValue(LONG* value) noexcept override;
    STDMETHODIMP SetUserValue(LONG value) noexcept override;

private:
    LONG userValue_ = 0;
};

// Runs the function at once on the calling thread.
class CovInvoker : public vx::com::ComObject<CovInvoker, IovInvoker>
{
public:
    STDMETHODIMP Invoke(OV_INVOKE_PROC function, void* userData) noexcept override;
};

} // namespace ovComHelp_EXP
