#pragma once
// Proxies through which this library loads sibling product modules (the COM
// utility module, the regular-expression module). A product module exports
// GetModuleIntf, hands out IovModuleIntf and the module's own interface, and
// tells its subscribers when it unloads; a proxy then lets go of everything
// it took from that module at once.
#include <windows.h>

#include <string>
#include <vector>

#include "generated/ovModule.h"
#include "platform/ProductPath.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"

namespace BaseOV {

using GetModuleIntfFunction = HRESULT(WINAPI*)(IUnknown** result);

// The module's GetModuleIntf export, or null.
inline GetModuleIntfFunction FindGetModuleIntf(HMODULE module)
{
    FARPROC entry = GetProcAddress(module, "GetModuleIntf");
    return reinterpret_cast<GetModuleIntfFunction>(reinterpret_cast<void*>(entry));
}

// A proxy that is itself the unload notifier registered with the loaded
// module (on its proxy list). Reference-counted on its own; created with one
// reference.
template <class Interface>
class ModuleProxy : public IovModuleIntfNotifier
{
public:
    explicit ModuleProxy(const char* fileName) : fileName_(fileName) {}
    ModuleProxy(const ModuleProxy&) = delete;
    ModuleProxy& operator=(const ModuleProxy&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override
    try {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, __uuidof(IovModuleIntfNotifier)))
            return E_NOINTERFACE;
        *ppv = static_cast<IovModuleIntfNotifier*>(this);
        AddRef();
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }
    STDMETHODIMP_(ULONG) Release() noexcept override
    {
        LONG count = InterlockedDecrement(&refCount_);
        if (count == 0)
            delete this;
        return static_cast<ULONG>(count);
    }

    // The module is going away: drop everything taken from it.
    STDMETHODIMP OnModuleUnload(BSTR, IovModuleIntf*) noexcept override
    try {
        Unload();
        return S_OK;
    }
    VX_COM_CATCH

    // Loads the module and takes its interfaces; any failing step leaves the
    // proxy unloaded.
    virtual void Load()
    {
        module_ = LoadProductModule(fileName_.c_str());
        if (!module_)
            return;
        if (!TakeInterfaces() || FAILED(moduleIntf_->AddProxyNotifier(this)))
            Unload();
    }

    virtual void Unload()
    {
        if (interface_) {
            if (moduleIntf_)
                moduleIntf_->RemoveProxyNotifier(this);
            ReleaseHeld(moduleIntf_);
            ReleaseHeld(interface_);
        } else {
            ReleaseHeld(moduleIntf_);
        }
        if (HMODULE module = module_) {
            module_ = nullptr;
            FreeLibrary(module);
        }
    }

    // The module's interface, or null when the module is not loaded.
    Interface* Get() const noexcept { return interface_; }
    bool IsLoaded() const noexcept { return interface_ != nullptr; }

protected:
    // The loaded module holds a reference to its proxy notifier, so the
    // proxy's owner unloads it (or the module's notice does) before the last
    // release; the destructor only cleans up what is left.
    virtual ~ModuleProxy() { Unload(); }

private:
    // GetModuleIntf, then the module's interface and its IovModuleIntf. The
    // root reference is gone before the caller may free the module.
    bool TakeInterfaces()
    {
        GetModuleIntfFunction getModuleIntf = FindGetModuleIntf(module_);
        Microsoft::WRL::ComPtr<IUnknown> root;
        if (!getModuleIntf || FAILED(getModuleIntf(&root)) || !root)
            return false;
        if (FAILED(root->QueryInterface(__uuidof(Interface), reinterpret_cast<void**>(&interface_)))) {
            interface_ = nullptr;
            return false;
        }
        if (FAILED(root->QueryInterface(__uuidof(IovModuleIntf), reinterpret_cast<void**>(&moduleIntf_)))) {
            moduleIntf_ = nullptr;
            return false;
        }
        return true;
    }

    template <class T>
    static void ReleaseHeld(T*& pointer)
    {
        if (T* held = pointer) {
            pointer = nullptr;
            held->Release();
        }
    }

    std::string fileName_;
    HMODULE module_ = nullptr;
    Interface* interface_ = nullptr;
    IovModuleIntf* moduleIntf_ = nullptr;
    LONG refCount_ = 1;
};

// A proxy that is not a COM object: it registers a separate notifier object
// with the loaded module, and passes its own clients' notifiers on to it.
template <class Interface>
class ModuleProxy2
{
public:
    explicit ModuleProxy2(const char* fileName) : fileName_(fileName) {}
    ModuleProxy2(const ModuleProxy2&) = delete;
    ModuleProxy2& operator=(const ModuleProxy2&) = delete;
    virtual ~ModuleProxy2() { Unload(); }

    virtual void Unload()
    {
        for (Microsoft::WRL::ComPtr<IovModuleIntfNotifier>& notifier : clientNotifiers_) {
            if (moduleIntf_)
                moduleIntf_->RemoveNotifier(notifier.Get());
        }
        clientNotifiers_.clear();
        if (moduleIntf_ && notifier_)
            moduleIntf_->RemoveProxyNotifier(notifier_.Get());
        if (notifier_) {
            // The module may still hold the notifier for a moment (a
            // broadcast in progress): it must no longer reach this proxy.
            notifier_->Disconnect();
            notifier_.Reset();
        }
        moduleIntf_.Reset();
        interface_.Reset();
        if (HMODULE module = module_) {
            module_ = nullptr;
            FreeLibrary(module);
        }
    }

    // Loads the module; E_OUTOFMEMORY when the file or its export is missing
    // (the module's own failure otherwise). Leaves the proxy unloaded on any
    // failure.
    HRESULT Load()
    {
        HRESULT hr = LoadSteps();
        if (FAILED(hr))
            Unload();
        return hr;
    }

    // Subscribes a client to the module's unload notice: at once when the
    // module is loaded, else when Load succeeds. Unload forgets the clients.
    HRESULT AddClientNotifier(IovModuleIntfNotifier* notifier)
    {
        HRESULT hr = S_OK;
        if (moduleIntf_) {
            hr = moduleIntf_->AddNotifier(notifier);
            if (FAILED(hr))
                return hr;
        }
        clientNotifiers_.emplace_back(notifier);
        return hr;
    }

    Interface* Get() const noexcept { return interface_.Get(); }
    bool IsLoaded() const noexcept { return interface_ != nullptr; }

private:
    class ModuleNotifier : public vx::com::ComObject<ModuleNotifier, IovModuleIntfNotifier>
    {
    public:
        explicit ModuleNotifier(ModuleProxy2* proxy) : proxy_(proxy) {}
        STDMETHODIMP OnModuleUnload(BSTR, IovModuleIntf*) noexcept override
        try {
            ModuleProxy2* proxy = nullptr;
            {
                vx::com::CriticalSectionLock guard(this->objectLock_);
                proxy = proxy_;
            }
            if (proxy)
                proxy->Unload();
            return S_OK;
        }
        VX_COM_CATCH
        void Disconnect()
        {
            vx::com::CriticalSectionLock guard(this->objectLock_);
            proxy_ = nullptr;
        }

    private:
        ModuleProxy2* proxy_;
    };

    HRESULT LoadSteps()
    {
        module_ = LoadProductModule(fileName_.c_str());
        GetModuleIntfFunction getModuleIntf = module_ ? FindGetModuleIntf(module_) : nullptr;
        if (!getModuleIntf)
            return E_OUTOFMEMORY;
        Microsoft::WRL::ComPtr<IUnknown> root;
        HRESULT hr = getModuleIntf(&root);
        if (FAILED(hr))
            return hr;
        if (!root)
            return E_POINTER;
        hr = root.As(&moduleIntf_);
        if (FAILED(hr))
            return hr;
        hr = root->QueryInterface(__uuidof(Interface), reinterpret_cast<void**>(interface_.ReleaseAndGetAddressOf()));
        if (FAILED(hr))
            return hr;
        hr = vx::com::CreateComObject(notifier_, this);
        if (FAILED(hr))
            return hr;
        hr = moduleIntf_->AddProxyNotifier(notifier_.Get());
        if (FAILED(hr))
            return hr;
        for (Microsoft::WRL::ComPtr<IovModuleIntfNotifier>& notifier : clientNotifiers_)
            moduleIntf_->AddNotifier(notifier.Get());
        return S_OK;
    }

    std::string fileName_;
    HMODULE module_ = nullptr;
    Microsoft::WRL::ComPtr<IovModuleIntf> moduleIntf_;
    Microsoft::WRL::ComPtr<Interface> interface_;
    Microsoft::WRL::ComPtr<ModuleNotifier> notifier_;
    std::vector<Microsoft::WRL::ComPtr<IovModuleIntfNotifier>> clientNotifiers_;
};

} // namespace BaseOV
