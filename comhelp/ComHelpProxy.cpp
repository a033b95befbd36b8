#include "comhelp/ComHelpProxy.h"
#include "platform/com/ComBoundary.h"

#include <utility>

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace ovComHelp_EXP {

HRESULT CovComHelpProxy::Create(ComPtr<CovComHelpProxy>& proxy, const char* moduleFileName)
{
    return vx::com::CreateComObject(proxy, moduleFileName);
}

CovComHelpProxy::CovComHelpProxy(const char* moduleFileName) : moduleFileName_(moduleFileName) {}

HRESULT CovComHelpProxy::FinalConstruct()
{
    HRESULT hr = ComObject::FinalConstruct();
    if (FAILED(hr))
        return hr;
    auto* moduleProxy = new (std::nothrow) BaseOV::ModuleProxy<IovComHelp>(moduleFileName_.c_str());
    if (!moduleProxy)
        return E_OUTOFMEMORY;
    // Takes over the reference the proxy was created with.
    *moduleProxy_.ReleaseAndGetAddressOf() = moduleProxy;
    moduleProxy_->Load();
    if (!moduleProxy_->IsLoaded())
        return S_OK;
    comHelp_ = moduleProxy_->Get();

    // Subscribe to the module's unload notice so that everything handed out
    // is cut off before the module's code goes away.
    ComPtr<IovModuleIntf> module;
    if (SUCCEEDED(comHelp_.As(&module)) && SUCCEEDED(module->AddNotifier(static_cast<IovModuleIntfNotifier*>(this))))
        notifierRegisteredWith_ = module;
    return S_OK;
}

ComPtr<IovComHelp> CovComHelpProxy::AttachedModule()
{
    CriticalSectionLock guard(objectLock_);
    return disposed_ ? nullptr : comHelp_;
}

bool CovComHelpProxy::IsDisposed()
{
    CriticalSectionLock guard(objectLock_);
    return disposed_;
}

template <class Inner, class Wrapper, class Request>
HRESULT CovComHelpProxy::WrapModuleAnswer(Request request, ModuleAnswer<Inner>& answer, ComPtr<Wrapper>& wrapper)
{
    answer.module = AttachedModule();
    if (!answer.module)
        return E_FAIL;
    HRESULT hr = (answer.module.Get()->*request)(&answer.object);
    if (FAILED(hr))
        return hr;
    if (!answer.object)
        return E_FAIL;
    return vx::com::CreateComObject(wrapper, answer.object.Get());
}

template <class Inner, class Wrapper, class Request, class Answer>
HRESULT CovComHelpProxy::GetCachedWrapper(ComPtr<Wrapper>& cache, Request request, Answer** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    {
        CriticalSectionLock guard(objectLock_);
        if (cache)
            return cache->QueryInterface(__uuidof(Answer), reinterpret_cast<void**>(result));
    }
    // The module is called outside the lock: it may start threads or call
    // back. Two first callers may both get here; the first to store wins.
    ModuleAnswer<Inner> answer;
    ComPtr<Wrapper> wrapper;
    HRESULT hr = WrapModuleAnswer(request, answer, wrapper);
    if (FAILED(hr))
        return hr;
    ComPtr<Wrapper> loser;
    {
        CriticalSectionLock guard(objectLock_);
        if (cache || disposed_)
            loser = wrapper;
        else
            cache = wrapper;
        if (cache)
            hr = cache->QueryInterface(__uuidof(Answer), reinterpret_cast<void**>(result));
        else
            hr = E_FAIL;
    }
    if (loser)
        loser->Drop();
    return hr;
}

template <class Wrapper>
HRESULT CovComHelpProxy::CreateListedInvoker(ModuleObjectRequest request, IovInvoker** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    ModuleAnswer<IovInvoker> answer;
    ComPtr<Wrapper> wrapper;
    HRESULT hr = WrapModuleAnswer(request, answer, wrapper);
    if (FAILED(hr))
        return hr;
    answer.object.Reset();
    {
        CriticalSectionLock guard(objectLock_);
        if (!disposed_) {
            handedOut_.emplace_back(static_cast<IovInvokerProxy*>(wrapper.Get()));
            *result = static_cast<IovInvoker*>(wrapper.Detach());
            return S_OK;
        }
    }
    // Disposed while the module was being asked: nothing may stay attached.
    wrapper->Drop();
    return E_FAIL;
}

STDMETHODIMP CovComHelpProxy::GetGlobalInterfaceTable(IGlobalInterfaceTable** table) noexcept
try {
    return GetCachedWrapper<IGlobalInterfaceTable>(globalInterfaceTable_, &IovComHelp::GetGlobalInterfaceTable, table);
}
VX_COM_CATCH

STDMETHODIMP CovComHelpProxy::GetSTA1(IovSTA1** invoker) noexcept
try {
    return GetCachedWrapper<IovInvoker>(sta1_, &IovComHelp::GetSTA1, invoker);
}
VX_COM_CATCH

STDMETHODIMP CovComHelpProxy::GetSeparateSTA1(IovSTA1** invoker) noexcept
try {
    return GetCachedWrapper<IovInvoker>(separateSta1_, &IovComHelp::CreateSeparateInvoker, invoker);
}
VX_COM_CATCH

STDMETHODIMP CovComHelpProxy::GetMTA(IovMTA** invoker) noexcept
try {
    return GetCachedWrapper<IovInvoker>(mta_, &IovComHelp::GetMTA, invoker);
}
VX_COM_CATCH

STDMETHODIMP CovComHelpProxy::CreateSeparateInvoker(IovInvoker** invoker) noexcept
try {
    return CreateListedInvoker<CovSeparateInvokerProxy>(&IovComHelp::CreateSeparateInvoker, invoker);
}
VX_COM_CATCH

STDMETHODIMP CovComHelpProxy::CreateSeparateMTAInvoker(IovInvoker** invoker) noexcept
try {
    return CreateListedInvoker<CovSeparateInvokerProxy>(&IovComHelp::CreateSeparateMTAInvoker, invoker);
}
VX_COM_CATCH

STDMETHODIMP CovComHelpProxy::RegisterDisposable(IUnknown* disposable) noexcept
try {
    if (!disposable)
        return E_POINTER;
    ComPtr<IovInvokerProxy> droppable;
    if (FAILED(disposable->QueryInterface(IID_IovInvokerProxy, reinterpret_cast<void**>(droppable.GetAddressOf()))))
        return E_NOTIMPL;
    {
        CriticalSectionLock guard(objectLock_);
        if (!disposed_) {
            handedOut_.push_back(std::move(droppable));
            return S_OK;
        }
    }
    // The module is already gone: the object is cut off at once, as it would
    // have been had it been registered earlier.
    droppable->Drop();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CovComHelpProxy::Dispose() noexcept
try {
    ComPtr<IovModuleIntf> registeredWith;
    ComPtr<IovComHelp> module;
    ComPtr<BaseOV::ModuleProxy<IovComHelp>> moduleProxy;
    ComPtr<CovGlobalInterfaceTableProxy> table;
    ComPtr<CovSTA1Proxy> sta1, separateSta1;
    ComPtr<CovMTAProxy> mta;
    std::vector<ComPtr<IovInvokerProxy>> handedOut;
    {
        CriticalSectionLock guard(objectLock_);
        if (disposed_)
            return S_OK;
        disposed_ = true;
        // Swap empties the members (the toolchain's ComPtr move assignment
        // copies instead of moving).
        registeredWith.Swap(notifierRegisteredWith_);
        module.Swap(comHelp_);
        moduleProxy.Swap(moduleProxy_);
        // The cached wrappers stay cached (dropped): a later request for one
        // answers the same, cut-off wrapper.
        table = globalInterfaceTable_;
        sta1 = sta1_;
        separateSta1 = separateSta1_;
        mta = mta_;
        handedOut.swap(handedOut_);
    }
    // Calls into the module happen outside the lock: the module may be in the
    // middle of its unload broadcast on this thread.
    if (registeredWith)
        registeredWith->RemoveNotifier(static_cast<IovModuleIntfNotifier*>(this));
    if (table)
        table->Drop();
    if (sta1)
        sta1->Drop();
    if (separateSta1)
        separateSta1->Drop();
    if (mta)
        mta->Drop();
    for (ComPtr<IovInvokerProxy>& wrapper : handedOut)
        wrapper->Drop();
    handedOut.clear();
    registeredWith.Reset();
    module.Reset();
    // Last: lets the module proxy free the library once nothing of the module
    // is held any more.
    moduleProxy.Reset();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CovComHelpProxy::OnModuleUnload(BSTR, IovModuleIntf*) noexcept
try {
    return Dispose();
}
VX_COM_CATCH

namespace {

// Owns the process-wide proxy; disposes it when the library's static
// objects are destroyed.
class ComHelpProxyHolder
{
public:
    ~ComHelpProxyHolder()
    {
        ComPtr<CovComHelpProxy> proxy;
        {
            CriticalSectionLock guard(lock_);
            proxy.Swap(proxy_);
        }
        if (proxy)
            proxy->Dispose();
    }

    HRESULT Get(ComPtr<IovComHelpProxyDisposable>& result)
    {
        CriticalSectionLock guard(lock_);
        if (!proxy_) {
            HRESULT hr = CovComHelpProxy::Create(proxy_);
            if (FAILED(hr))
                return hr;
        }
        result = proxy_;
        return S_OK;
    }

private:
    vx::com::CriticalSection lock_;
    ComPtr<CovComHelpProxy> proxy_;
};

ComHelpProxyHolder& Holder()
{
    static ComHelpProxyHolder holder;
    return holder;
}

} // namespace

HRESULT GetComHelpProxy(ComPtr<IovComHelpProxyDisposable>& proxy)
{
    proxy.Reset();
    return Holder().Get(proxy);
}

} // namespace ovComHelp_EXP
