#include "module/ModuleServices.h"

#include "comhelp/ComHelpProxy.h"

using vx::com::CriticalSectionLock;

ModuleServicesHolder::ModuleServicesHolder()
{
    stubManagerAlive_ = SUCCEEDED(vx::com::CreateComObject(stubManager_));
}

ModuleServicesHolder& ModuleServicesHolder::Instance()
{
    static ModuleServicesHolder holder;
    return holder;
}

Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> ModuleServicesHolder::StubManager()
{
    CriticalSectionLock guard(stubLock_);
    return stubManager_;
}

bool ModuleServicesHolder::StubManagerAlive()
{
    CriticalSectionLock guard(stubLock_);
    return stubManagerAlive_;
}

void ModuleServicesHolder::ShutdownStubManager()
{
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> manager;
    {
        CriticalSectionLock guard(stubLock_);
        if (!stubManagerAlive_)
            return;
        stubManagerAlive_ = false;
        manager = std::move(stubManager_);
    }
    // Disconnect outside the lock: pumping may run calls that look the
    // manager up.
    if (manager)
        manager->DisconnectAll();
}

HRESULT ModuleServicesHolder::SynchronousInvoker(Microsoft::WRL::ComPtr<IovInvoker>& invoker)
{
    invoker.Reset();
    CriticalSectionLock guard(invokerLock_);
    if (!synchronousInvoker_) {
        Microsoft::WRL::ComPtr<IovComHelpProxyDisposable> comHelp;
        HRESULT hr = ovComHelp_EXP::GetComHelpProxy(comHelp);
        if (FAILED(hr))
            return hr;
        hr = comHelp->CreateSeparateInvoker(synchronousInvoker_.ReleaseAndGetAddressOf());
        if (FAILED(hr) || !synchronousInvoker_) {
            synchronousInvoker_.Reset();
            return FAILED(hr) ? hr : E_FAIL;
        }
    }
    invoker = synchronousInvoker_;
    return S_OK;
}

void ModuleServicesHolder::ReleaseSynchronousInvoker()
{
    Microsoft::WRL::ComPtr<IovInvoker> invoker;
    {
        CriticalSectionLock guard(invokerLock_);
        invoker.Swap(synchronousInvoker_);
    }
    if (!invoker)
        return;
    Microsoft::WRL::ComPtr<IovInvokerProxy> wrapper;
    if (SUCCEEDED(invoker.As(&wrapper)))
        wrapper->Drop();
}
