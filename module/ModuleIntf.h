#pragma once
#include <windows.h>

#include <vector>

#include "generated/ovModule.h"
#include "generated/vxCrHook.h"
#include "platform/com/ComObject.h"

class CProcessHookModule;

// The library's one module object, handed out by GetModuleIntf:
// - IovModuleIntf: sibling modules subscribe to this library's unload notice;
// - IvxOpenAppHookExtension: the hook host attaches and detaches the library;
// - IvxCrExtenderModule: Chrome's renderer-side component asks for an
//   extender around its raw browser object.
class CModuleIntf : public vx::com::ComObject<CModuleIntf, IovModuleIntf, IvxOpenAppHookExtension, IvxCrExtenderModule>
{
public:
    CModuleIntf();

    // IovModuleIntf
    HRESULT STDMETHODCALLTYPE AddNotifier(IovModuleIntfNotifier* notifier) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveNotifier(IovModuleIntfNotifier* notifier) noexcept override;
    HRESULT STDMETHODCALLTYPE AddProxyNotifier(IovModuleIntfNotifier* notifier) noexcept override;
    HRESULT STDMETHODCALLTYPE RemoveProxyNotifier(IovModuleIntfNotifier* notifier) noexcept override;

    // IvxOpenAppHookExtension
    VARIANT_BOOL STDMETHODCALLTYPE Attach(IUnknown* host) noexcept override;
    void STDMETHODCALLTYPE Detach() noexcept override;

    // IvxCrExtenderModule
    HRESULT STDMETHODCALLTYPE CreateRawBrowserExtender(IUnknown* rawBrowser,
                                                       IvxCrRawBrowserExtender** result) noexcept override;

    // Tells every subscriber that the library is unloading: the client list
    // first, then the proxy list.
    void BroadcastUnload();

    bool IsAttached();

protected:
    ~CModuleIntf() override;

private:
    using NotifierList = std::vector<Microsoft::WRL::ComPtr<IovModuleIntfNotifier>>;

    static HRESULT AddTo(NotifierList& list, IovModuleIntfNotifier* notifier);
    static void RemoveFrom(NotifierList& list, IovModuleIntfNotifier* notifier);
    void Broadcast(const NotifierList& list);

    NotifierList clientNotifiers_;
    NotifierList proxyNotifiers_;
    Microsoft::WRL::ComPtr<CProcessHookModule> processHookModule_;
};

// The process-wide singleton, created on first use under the module lock.
HRESULT GetModuleSingleton(Microsoft::WRL::ComPtr<CModuleIntf>& module);
// The singleton if it exists, without creating it.
Microsoft::WRL::ComPtr<CModuleIntf> PeekModuleSingleton();
// Releases the singleton at process detach; it is not created again.
void ReleaseModuleSingleton();
