// Stand-in of the product's COM utility module (ovComHelp.dll): one
// single-threaded apartment thread, a thread in the multi-threaded apartment,
// separate invoker threads on demand and the process's global interface
// table, offered through IovComHelp; unload notices through IovModuleIntf.
//
// Test control export: ovComHelpShutdown() does what the module does when the
// product ends it: tells its subscribers (clients first, then proxies) that it
// unloads and lets its own threads end. The caller must hold its own
// reference to the DLL, since the subscribers free theirs.
#include <windows.h>
#include <objbase.h>

#include <vector>

#include "InvokerThread.h"
#include "generated/ovComHelp.h"
#include "generated/ovModule.h"
#include "harness/common/ModuleNotifierLists.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSection;
using vx::com::CriticalSectionLock;

namespace comhelp_standin {
namespace {

// Creates an object holding exactly the reference in `out`, so that the
// module's objects really go when their last user lets go.
template <class T, class... Args>
HRESULT MakeObject(ComPtr<T>& out, Args&&... args)
{
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object)
        return E_OUTOFMEMORY;
    ComPtr<T> holder(object);
    HRESULT hr = object->FinalConstruct();
    if (SUCCEEDED(hr))
        out = holder;
    return hr;
}

class ComHelpModule : public vx::com::ComObject<ComHelpModule, IovModuleIntf, IovComHelp>
{
public:
    // IovModuleIntf
    STDMETHODIMP AddNotifier(IovModuleIntfNotifier* notifier) override { return notifiers_.Add(false, notifier); }
    STDMETHODIMP RemoveNotifier(IovModuleIntfNotifier* notifier) override { return notifiers_.Remove(false, notifier); }
    STDMETHODIMP AddProxyNotifier(IovModuleIntfNotifier* notifier) override { return notifiers_.Add(true, notifier); }
    STDMETHODIMP RemoveProxyNotifier(IovModuleIntfNotifier* notifier) override
    {
        return notifiers_.Remove(true, notifier);
    }

    // IovComHelp
    STDMETHODIMP GetGlobalInterfaceTable(IGlobalInterfaceTable** table) override
    {
        if (!table)
            return E_POINTER;
        *table = nullptr;
        return CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                                reinterpret_cast<void**>(table));
    }
    STDMETHODIMP GetSTA1(IovInvoker** invoker) override { return Shared(sta1_, COINIT_APARTMENTTHREADED, invoker); }
    STDMETHODIMP GetMTA(IovInvoker** invoker) override { return Shared(mta_, COINIT_MULTITHREADED, invoker); }
    STDMETHODIMP CreateSeparateInvoker(IovInvoker** invoker) override
    {
        return Create(COINIT_APARTMENTTHREADED, invoker);
    }
    STDMETHODIMP CreateSeparateMTAInvoker(IovInvoker** invoker) override
    {
        return Create(COINIT_MULTITHREADED, invoker);
    }

    // Tells every subscriber that the module unloads, then lets the module's
    // own threads end.
    void Shutdown()
    {
        vx::com::BStr name(L"ovComHelp.dll");
        for (auto& notifier : notifiers_.Subscribers())
            notifier->OnModuleUnload(name.Get(), this);
        ComPtr<InvokerThread> sta1, mta;
        CriticalSectionLock guard(objectLock_);
        sta1.Swap(sta1_);
        mta.Swap(mta_);
    }

private:
    HRESULT Shared(ComPtr<InvokerThread>& slot, COINIT apartment, IovInvoker** invoker)
    {
        if (!invoker)
            return E_POINTER;
        *invoker = nullptr;
        CriticalSectionLock guard(objectLock_);
        if (!slot) {
            HRESULT hr = MakeObject(slot, apartment);
            if (FAILED(hr))
                return hr;
        }
        *invoker = slot.Get();
        slot->AddRef();
        return S_OK;
    }

    HRESULT Create(COINIT apartment, IovInvoker** invoker)
    {
        if (!invoker)
            return E_POINTER;
        *invoker = nullptr;
        ComPtr<InvokerThread> created;
        HRESULT hr = MakeObject(created, apartment);
        if (FAILED(hr))
            return hr;
        *invoker = created.Detach();
        return S_OK;
    }

    harness::ModuleNotifierLists notifiers_;
    ComPtr<InvokerThread> sta1_;
    ComPtr<InvokerThread> mta_;
};

CriticalSection& SingletonLock()
{
    static CriticalSection lock;
    return lock;
}

// The module object; held by the DLL until the module is shut down.
ComPtr<ComHelpModule>& Singleton()
{
    static ComPtr<ComHelpModule> module;
    return module;
}

} // namespace
} // namespace comhelp_standin

using comhelp_standin::ComHelpModule;

extern "C" HRESULT WINAPI GetModuleIntf(IUnknown** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    CriticalSectionLock guard(comhelp_standin::SingletonLock());
    ComPtr<ComHelpModule>& module = comhelp_standin::Singleton();
    if (!module) {
        HRESULT hr = comhelp_standin::MakeObject(module);
        if (FAILED(hr))
            return hr;
    }
    return module->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(result));
}

extern "C" void WINAPI ovComHelpShutdown()
{
    ComPtr<ComHelpModule> module;
    {
        CriticalSectionLock guard(comhelp_standin::SingletonLock());
        module.Swap(comhelp_standin::Singleton());
    }
    if (module)
        module->Shutdown();
}
