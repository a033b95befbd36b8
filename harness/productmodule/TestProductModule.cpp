// vxTestModule.dll: a minimal product module for the module-proxy tests. It
// hands out IovModuleIntf (with the two notifier lists every product module
// keeps) and one interface of its own (IvxModuleHidden stands in for it), and
// lets the test trigger its unload notice and read its subscriber counts.
#include <windows.h>

#include <vector>

#include "generated/ovModule.h"
#include "generated/vxOpenAppServices.h"
#include "harness/common/ModuleNotifierLists.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"

using Microsoft::WRL::ComPtr;

namespace {

class TestProductModule : public vx::com::ComObject<TestProductModule, IovModuleIntf, IvxModuleHidden>
{
public:
    HRESULT STDMETHODCALLTYPE AddNotifier(IovModuleIntfNotifier* n) override { return notifiers_.Add(false, n); }
    HRESULT STDMETHODCALLTYPE RemoveNotifier(IovModuleIntfNotifier* n) override { return notifiers_.Remove(false, n); }
    HRESULT STDMETHODCALLTYPE AddProxyNotifier(IovModuleIntfNotifier* n) override { return notifiers_.Add(true, n); }
    HRESULT STDMETHODCALLTYPE RemoveProxyNotifier(IovModuleIntfNotifier* n) override
    {
        return notifiers_.Remove(true, n);
    }

    void BroadcastUnload()
    {
        vx::com::BStr name(L"vxTestModule.dll");
        for (auto& notifier : notifiers_.Subscribers())
            notifier->OnModuleUnload(name.Get(), this);
    }

    int Count(bool proxies) { return notifiers_.Count(proxies); }

private:
    harness::ModuleNotifierLists notifiers_;
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
