// vxTestModule.dll: a minimal product module for the module-proxy tests. It
// hands out IovModuleIntf (with the two notifier lists every product module
// keeps) and one interface of its own (IvxModuleHidden stands in for it), and
// lets the test trigger its unload notice and read its subscriber counts.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "generated/ovModule.h"
#include "generated/vxOpenAppServices.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"

using Microsoft::WRL::ComPtr;

namespace {

class TestProductModule : public vx::com::ComObject<TestProductModule, IovModuleIntf, IvxModuleHidden>
{
public:
    HRESULT STDMETHODCALLTYPE AddNotifier(IovModuleIntfNotifier* n) override { return Add(clients_, n); }
    HRESULT STDMETHODCALLTYPE RemoveNotifier(IovModuleIntfNotifier* n) override { return Remove(clients_, n); }
    HRESULT STDMETHODCALLTYPE AddProxyNotifier(IovModuleIntfNotifier* n) override { return Add(proxies_, n); }
    HRESULT STDMETHODCALLTYPE RemoveProxyNotifier(IovModuleIntfNotifier* n) override { return Remove(proxies_, n); }

    void BroadcastUnload()
    {
        std::vector<ComPtr<IovModuleIntfNotifier>> copy;
        {
            vx::com::CriticalSectionLock guard(objectLock_);
            copy = clients_;
            copy.insert(copy.end(), proxies_.begin(), proxies_.end());
        }
        vx::com::BStr name(L"vxTestModule.dll");
        for (auto& notifier : copy)
            notifier->OnModuleUnload(name.Get(), this);
    }

    int Count(bool proxies)
    {
        vx::com::CriticalSectionLock guard(objectLock_);
        return static_cast<int>((proxies ? proxies_ : clients_).size());
    }

private:
    HRESULT Add(std::vector<ComPtr<IovModuleIntfNotifier>>& list, IovModuleIntfNotifier* n)
    {
        vx::com::CriticalSectionLock guard(objectLock_);
        if (std::any_of(list.begin(), list.end(), [n](auto& e) { return e.Get() == n; }))
            return E_FAIL;
        list.emplace_back(n);
        return S_OK;
    }
    HRESULT Remove(std::vector<ComPtr<IovModuleIntfNotifier>>& list, IovModuleIntfNotifier* n)
    {
        ComPtr<IovModuleIntfNotifier> removed;
        vx::com::CriticalSectionLock guard(objectLock_);
        auto it = std::find_if(list.begin(), list.end(), [n](auto& e) { return e.Get() == n; });
        if (it != list.end()) {
            removed = std::move(*it);
            list.erase(it);
        }
        return S_OK;
    }

    std::vector<ComPtr<IovModuleIntfNotifier>> clients_, proxies_;
};

TestProductModule* instance = nullptr;

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI GetModuleIntf(IUnknown** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (!instance) {
        ComPtr<TestProductModule> created;
        HRESULT hr = vx::com::CreateComObject(created);
        if (FAILED(hr))
            return hr;
        instance = created.Detach();
    }
    return instance->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(result));
}

extern "C" __declspec(dllexport) void WINAPI TestModuleBroadcastUnload()
{
    if (instance)
        instance->BroadcastUnload();
}

extern "C" __declspec(dllexport) int WINAPI TestModuleNotifierCount(int proxies)
{
    return instance ? instance->Count(proxies != 0) : -1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH && instance) {
        instance->BroadcastUnload();
        instance->Release();
        instance = nullptr;
    }
    return TRUE;
}
