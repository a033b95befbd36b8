#pragma once
// The event sinks that the browser-process service objects hand to the
// services of the product's Chrome component. The component calls them by
// DISPID from its own threads; they parse what arrives and pass it on to
// their service object, which only posts the work to the browser module's
// worker. Every method answers S_OK whatever happens, so that a fault on
// this side never reaches the component.
//
// A notifier is registered in the module's stub manager from creation until
// its service object detaches it (Uninitialize, a refused registration, a
// publisher that has gone), so that the module's first shutdown step cuts
// remote references to it. Once detached it reaches nothing of the library,
// and whoever still holds it (the component keeps its notifiers until it
// lets them go; in the same process by direct pointer, which no disconnect
// can cut) decides its lifetime: it then holds no reference to the stub
// manager or the service object, and the manager does not wait for it.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <vector>

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"

class CCrBrowserServiceRemote;
class CCrTabsServiceRemote;

namespace service_notifier_detail {

// IDispatch without type information: members are found by the names of the
// notifier's dispinterface (case-insensitive) and called by DISPID.
struct NotifierMember
{
    DISPID id;
    const wchar_t* name;
};

HRESULT FindMemberIds(const NotifierMember* members, size_t count, LPOLESTR* names, UINT nameCount, DISPID* ids);
// The argument at position `index` in call order (rgvarg holds them in
// reverse), with a by-reference VARIANT followed once. Null when missing.
const VARIANT* Argument(const DISPPARAMS* parameters, UINT index);

} // namespace service_notifier_detail

// What every notifier shares: IDispatch without type information (members
// are found by name and called by DISPID), the registration in the module's
// stub manager while attached, and the back reference to its service object.
// Detach cuts both: a detached notifier forwards nothing and keeps nothing of
// the module alive, whoever still holds it.
template <class Derived, class Itf, class Service>
class CCrServiceNotifier : public vx::com::ComObject<Derived, Itf, vx::com::AnswerAs<IDispatch, Itf>>
{
    using Base = vx::com::ComObject<Derived, Itf, vx::com::AnswerAs<IDispatch, Itf>>;

public:
    CCrServiceNotifier(vxOpenAppHook::CStubManager* stubManager, Service* service)
        : stubManager_(stubManager), service_(service)
    {
    }

    HRESULT FinalConstruct() override
    {
        HRESULT hr = Base::FinalConstruct();
        if (FAILED(hr))
            return hr;
        return registration_.Register(stubManager_.Get(), this);
    }

    // Cuts the references to the service object and the stub manager: later
    // calls do nothing.
    void Detach()
    {
        Microsoft::WRL::ComPtr<Service> released;
        Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager;
        {
            vx::com::CriticalSectionLock guard(this->objectLock_);
            released.Swap(service_);
            stubManager.Swap(stubManager_);
        }
        registration_.Reset();
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override
    try {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override
    try {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    VX_COM_CATCH

protected:
    ~CCrServiceNotifier() override = default;

    // The service object while attached, else null.
    Microsoft::WRL::ComPtr<Service> AttachedService()
    {
        vx::com::CriticalSectionLock guard(this->objectLock_);
        return service_;
    }

private:
    // Used only until FinalConstruct registers (the registration then keeps
    // the manager) and cut by Detach.
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    vxOpenAppHook::StubRegistration registration_;
    Microsoft::WRL::ComPtr<Service> service_;
};

// Sink of the browser service's events (dispinterface IvxCrBrowserEventsNotifier):
// OnRemoveBrowser(BSTR Key), DISPID 1.
class CCrBrowserEventsNotifier
    : public CCrServiceNotifier<CCrBrowserEventsNotifier, IvxCrBrowserEventsNotifier, CCrBrowserServiceRemote>
{
public:
    static constexpr DISPID kOnRemoveBrowser = 1;

    using CCrServiceNotifier::CCrServiceNotifier;

    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) noexcept override;

protected:
    ~CCrBrowserEventsNotifier() override;
};

// Sink of the tabs service's events (dispinterface IvxCrTabsNotifier):
// OnTabCreated(VARIANT TabInfo) 1, OnTabRemoved(long TabId) 2,
// OnTabUpdated(VARIANT TabInfo) 3. Tab records are parsed strictly; a record
// that does not parse is dropped.
class CCrTabsNotifierRemote : public CCrServiceNotifier<CCrTabsNotifierRemote, IvxCrTabsNotifier, CCrTabsServiceRemote>
{
public:
    static constexpr DISPID kOnTabCreated = 1;
    static constexpr DISPID kOnTabRemoved = 2;
    static constexpr DISPID kOnTabUpdated = 3;

    using CCrServiceNotifier::CCrServiceNotifier;

    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept override;
    STDMETHODIMP Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) noexcept override;

protected:
    ~CCrTabsNotifierRemote() override;
};

// Empties a service object's list of notifiers under its lock and detaches
// each one after leaving it.
template <class Notifier>
void DetachNotifierList(vx::com::CriticalSection& lock, std::vector<Microsoft::WRL::ComPtr<Notifier>>& list)
{
    std::vector<Microsoft::WRL::ComPtr<Notifier>> notifiers;
    {
        vx::com::CriticalSectionLock guard(lock);
        notifiers.swap(list);
    }
    for (const Microsoft::WRL::ComPtr<Notifier>& notifier : notifiers)
        notifier->Detach();
}
