#include "module/ModuleIntf.h"

#include <algorithm>
#include <utility>

#include "generated/vxOpenAppServices.h"
#include "platform/process/ChromeProcess.h"
#include "quickbrowser/objects/RawBrowserExtender.h"
#include "module/ModuleOperationIds.h"
#include "module/ModuleServices.h"
#include "module/ProcessHookModule.h"
#include "openapphook/ExceptionGuard.h"
#include "platform/com/BStr.h"
#include "platform/com/ComBoundary.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace {

// Guarded by the module lock.
CModuleIntf* moduleSingleton = nullptr;
bool moduleSingletonReleased = false;

vx::com::CriticalSection& ModuleLock()
{
    return ModuleServicesHolder::Instance().ModuleLock();
}

} // namespace

CModuleIntf::CModuleIntf() = default;

CModuleIntf::~CModuleIntf()
{
    Detach();
}

HRESULT CModuleIntf::AddTo(NotifierList& list, IovModuleIntfNotifier* notifier)
{
    CriticalSectionLock guard(ModuleLock());
    // Identity of the very pointer, as given: no QueryInterface.
    auto same = [notifier](const ComPtr<IovModuleIntfNotifier>& entry) { return entry.Get() == notifier; };
    if (std::any_of(list.begin(), list.end(), same))
        return E_FAIL;
    list.emplace_back(notifier);
    return S_OK;
}

void CModuleIntf::RemoveFrom(NotifierList& list, IovModuleIntfNotifier* notifier)
{
    ComPtr<IovModuleIntfNotifier> removed;
    CriticalSectionLock guard(ModuleLock());
    auto found = std::find_if(list.begin(), list.end(), [notifier](const ComPtr<IovModuleIntfNotifier>& entry) {
        return entry.Get() == notifier;
    });
    if (found != list.end()) {
        removed = std::move(*found);
        list.erase(found);
    }
}

HRESULT CModuleIntf::AddNotifier(IovModuleIntfNotifier* notifier) noexcept
try {
    return AddTo(clientNotifiers_, notifier);
}
VX_COM_CATCH

HRESULT CModuleIntf::RemoveNotifier(IovModuleIntfNotifier* notifier) noexcept
try {
    RemoveFrom(clientNotifiers_, notifier);
    return S_OK;
}
VX_COM_CATCH

HRESULT CModuleIntf::AddProxyNotifier(IovModuleIntfNotifier* notifier) noexcept
try {
    return AddTo(proxyNotifiers_, notifier);
}
VX_COM_CATCH

HRESULT CModuleIntf::RemoveProxyNotifier(IovModuleIntfNotifier* notifier) noexcept
try {
    RemoveFrom(proxyNotifiers_, notifier);
    return S_OK;
}
VX_COM_CATCH

void CModuleIntf::Broadcast(const NotifierList& list)
{
    vx::com::BStr name(L"vxCrHook.dll");
    for (const ComPtr<IovModuleIntfNotifier>& notifier : list)
        notifier->OnModuleUnload(name.Get(), static_cast<IovModuleIntf*>(this));
}

void CModuleIntf::BroadcastUnload()
{
    // The notifiers are called on copies of the lists, without the lock: a
    // notifier may unsubscribe (from any thread) or call back into the
    // library from inside its callback.
    NotifierList clients, proxies;
    {
        CriticalSectionLock guard(ModuleLock());
        clients = clientNotifiers_;
        proxies = proxyNotifiers_;
    }
    Broadcast(clients);
    Broadcast(proxies);
}

bool CModuleIntf::IsAttached()
{
    CriticalSectionLock guard(objectLock_);
    return processHookModule_ != nullptr;
}

VARIANT_BOOL CModuleIntf::Attach(IUnknown* host) noexcept
try {
    ChromeProcessKind kind = GetChromeProcessKind();
    if (kind != ChromeProcessKind::Browser && kind != ChromeProcessKind::Renderer)
        return VARIANT_FALSE;
    {
        // A second Attach keeps the module that is registered already rather
        // than leaking it or registering a duplicate.
        CriticalSectionLock guard(objectLock_);
        if (processHookModule_)
            return VARIANT_TRUE;
    }
    // Only the host's own calls run under the fault guard: a fault skips the
    // destructors between it and the guard, so nothing there owns a lock.
    ComPtr<IvxModuleRegistry> registry;
    HRESULT hr = vxOpenAppHook::RunGuarded(ModuleOperationIds::Attach, [&]() -> HRESULT {
        ComPtr<IvxHookHost> hookHost;
        HRESULT result = host ? host->QueryInterface(IID_PPV_ARGS(&hookHost)) : E_POINTER;
        if (FAILED(result))
            return result;
        ComPtr<IUnknown> registryObject;
        hookHost->GetModuleRegistry(&registryObject);
        return registryObject ? registryObject.As(&registry) : E_NOINTERFACE;
    });
    if (FAILED(hr))
        return VARIANT_FALSE;

    ComPtr<CProcessHookModule> module;
    hr = vx::com::CreateComObject(module);
    if (FAILED(hr))
        return VARIANT_FALSE;
    hr = module->Initialize(registry.Get(), host);
    if (FAILED(hr)) {
        // Whatever the failed initialisation registered is taken back.
        module->Uninitialize();
        return VARIANT_FALSE;
    }
    bool lost = false;
    {
        CriticalSectionLock guard(objectLock_);
        if (processHookModule_)
            lost = true; // attached by another thread meanwhile
        else
            processHookModule_ = module;
    }
    if (lost)
        module->Uninitialize();
    return VARIANT_TRUE;
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

void CModuleIntf::Detach() noexcept
try {
    ComPtr<CProcessHookModule> module;
    {
        CriticalSectionLock guard(objectLock_);
        module = std::move(processHookModule_);
    }
    if (module)
        module->Uninitialize();
    module.Reset();
    ModuleServicesHolder::Instance().ShutdownStubManager();
}
VX_COM_CATCH_VOID

HRESULT CModuleIntf::CreateRawBrowserExtender(IUnknown* rawBrowser, IvxCrRawBrowserExtender** result) noexcept
try {
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (!rawBrowser)
        return E_INVALIDARG;
    ComPtr<vxCrQuickBrowser::CCrRawBrowserExtender> extender;
    HRESULT hr = vx::com::CreateComObject(extender);
    if (FAILED(hr))
        return hr;
    hr = extender->Initialize(rawBrowser);
    if (FAILED(hr))
        return hr;
    *result = extender.Detach();
    return S_OK;
}
VX_COM_CATCH

HRESULT GetModuleSingleton(ComPtr<CModuleIntf>& module)
{
    module.Reset();
    CriticalSectionLock guard(ModuleLock());
    if (!moduleSingleton) {
        if (moduleSingletonReleased)
            return E_UNEXPECTED;
        ComPtr<CModuleIntf> created;
        HRESULT hr = vx::com::CreateComObject(created);
        if (FAILED(hr))
            return hr;
        moduleSingleton = created.Detach();
    }
    module = moduleSingleton;
    return S_OK;
}

ComPtr<CModuleIntf> PeekModuleSingleton()
{
    CriticalSectionLock guard(ModuleLock());
    return ComPtr<CModuleIntf>(moduleSingleton);
}

void ReleaseModuleSingleton()
{
    // Taken out under the module lock, so nobody can create or fetch the
    // singleton any more; released after leaving it (its destructor
    // detaches, which calls out).
    CModuleIntf* released = nullptr;
    {
        CriticalSectionLock guard(ModuleLock());
        released = std::exchange(moduleSingleton, nullptr);
        moduleSingletonReleased = true;
    }
    if (released)
        released->Release();
}
