#include "module/ModuleIntf.h"

#include <algorithm>
#include <utility>

#include "generated/vxOpenAppServices.h"
#include "module/ChromeProcess.h"
#include "module/ModuleServices.h"
#include "module/ProcessHookModule.h"
#include "openapphook/ExceptionGuard.h"
#include "platform/com/BStr.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace {

constexpr wchar_t AttachOperationId[] = L"2D752869-39F4-460f-B2F4-02571A0692F5";
constexpr wchar_t DetachOperationId[] = L"213AB793-2293-4439-BDFB-0491A8299447";

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
    auto found = std::find_if(list.begin(), list.end(),
                              [notifier](const ComPtr<IovModuleIntfNotifier>& entry) { return entry.Get() == notifier; });
    if (found != list.end()) {
        removed = std::move(*found);
        list.erase(found);
    }
}

HRESULT CModuleIntf::AddNotifier(IovModuleIntfNotifier* notifier)
{
    return AddTo(clientNotifiers_, notifier);
}

HRESULT CModuleIntf::RemoveNotifier(IovModuleIntfNotifier* notifier)
{
    RemoveFrom(clientNotifiers_, notifier);
    return S_OK;
}

HRESULT CModuleIntf::AddProxyNotifier(IovModuleIntfNotifier* notifier)
{
    return AddTo(proxyNotifiers_, notifier);
}

HRESULT CModuleIntf::RemoveProxyNotifier(IovModuleIntfNotifier* notifier)
{
    RemoveFrom(proxyNotifiers_, notifier);
    return S_OK;
}

void CModuleIntf::Broadcast(const NotifierList& list)
{
    // Runs over a copy, so notifiers may unsubscribe (on this thread, the
    // lock is recursive) from inside their callback.
    NotifierList copy = list;
    vx::com::BStr name(L"vxCrHook.dll");
    for (const ComPtr<IovModuleIntfNotifier>& notifier : copy)
        notifier->OnModuleUnload(name.Get(), static_cast<IovModuleIntf*>(this));
}

void CModuleIntf::BroadcastUnload()
{
    CriticalSectionLock guard(ModuleLock());
    Broadcast(clientNotifiers_);
    Broadcast(proxyNotifiers_);
}

bool CModuleIntf::IsAttached()
{
    CriticalSectionLock guard(objectLock_);
    return processHookModule_ != nullptr;
}

VARIANT_BOOL CModuleIntf::Attach(IUnknown* host)
{
    ChromeProcessKind kind = GetChromeProcessKind();
    if (kind != ChromeProcessKind::Browser && kind != ChromeProcessKind::Renderer)
        return VARIANT_FALSE;

    HRESULT result = S_OK;
    {
        CriticalSectionLock guard(objectLock_);
        // A second Attach keeps the module that is registered already rather
        // than leaking it or registering a duplicate.
        if (processHookModule_)
            return VARIANT_TRUE;
        result = vxOpenAppHook::RunGuarded(AttachOperationId, [&]() -> HRESULT {
            ComPtr<IvxHookHost> hookHost;
            HRESULT hr = host ? host->QueryInterface(IID_PPV_ARGS(&hookHost)) : E_POINTER;
            if (FAILED(hr))
                return hr;
            ComPtr<IUnknown> registryObject;
            hookHost->GetModuleRegistry(&registryObject);
            ComPtr<IvxModuleRegistry> registry;
            hr = registryObject ? registryObject.As(&registry) : E_NOINTERFACE;
            if (FAILED(hr))
                return hr;
            ComPtr<CProcessHookModule> module;
            hr = vx::com::CreateComObject(module);
            if (FAILED(hr))
                return hr;
            hr = module->Initialize(registry.Get(), host);
            if (FAILED(hr)) {
                // Whatever the failed initialisation registered is taken back.
                module->Uninitialize();
                return hr;
            }
            processHookModule_ = std::move(module);
            return S_OK;
        });
    }
    return SUCCEEDED(result) ? VARIANT_TRUE : VARIANT_FALSE;
}

void CModuleIntf::Detach()
{
    {
        CriticalSectionLock guard(objectLock_);
        vxOpenAppHook::RunGuarded(DetachOperationId, [&]() -> HRESULT {
            if (ComPtr<CProcessHookModule> module = std::move(processHookModule_))
                module->Uninitialize();
            return S_OK;
        });
    }
    ModuleServicesHolder::Instance().ShutdownStubManager();
}

HRESULT CModuleIntf::CreateRawBrowserExtender(IUnknown* rawBrowser, IvxCrRawBrowserExtender** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (!rawBrowser)
        return E_INVALIDARG;
    // The renderer-side extender is not part of this build yet.
    return E_NOTIMPL;
}

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
    // Released under the module lock: its destructor detaches, and nobody may
    // create or fetch the singleton meanwhile.
    CriticalSectionLock guard(ModuleLock());
    if (CModuleIntf* released = std::exchange(moduleSingleton, nullptr))
        released->Release();
    moduleSingletonReleased = true;
}
