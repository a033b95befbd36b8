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

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
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

// Sink of the browser service's events (dispinterface IvxCrBrowserEventsNotifier):
// OnRemoveBrowser(BSTR Key), DISPID 1.
class CCrBrowserEventsNotifier
    : public vx::com::ComObject<CCrBrowserEventsNotifier, IvxCrBrowserEventsNotifier,
                                vx::com::AnswerAs<IDispatch, IvxCrBrowserEventsNotifier>>
{
public:
    static constexpr DISPID kOnRemoveBrowser = 1;

    CCrBrowserEventsNotifier(vxOpenAppHook::CStubManager* stubManager, CCrBrowserServiceRemote* service);
    HRESULT FinalConstruct() override;

    // Cuts the references to the service object and the stub manager and
    // leaves the stub manager: later calls do nothing.
    void Detach();

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;

protected:
    ~CCrBrowserEventsNotifier() override;

private:
    Microsoft::WRL::ComPtr<CCrBrowserServiceRemote> Service();

    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<CCrBrowserServiceRemote> service_;
};

// Sink of the tabs service's events (dispinterface IvxCrTabsNotifier):
// OnTabCreated(VARIANT TabInfo) 1, OnTabRemoved(long TabId) 2,
// OnTabUpdated(VARIANT TabInfo) 3. Tab records are parsed strictly; a record
// that does not parse is dropped.
class CCrTabsNotifierRemote
    : public vx::com::ComObject<CCrTabsNotifierRemote, IvxCrTabsNotifier,
                                vx::com::AnswerAs<IDispatch, IvxCrTabsNotifier>>
{
public:
    static constexpr DISPID kOnTabCreated = 1;
    static constexpr DISPID kOnTabRemoved = 2;
    static constexpr DISPID kOnTabUpdated = 3;

    CCrTabsNotifierRemote(vxOpenAppHook::CStubManager* stubManager, CCrTabsServiceRemote* service);
    HRESULT FinalConstruct() override;

    // Cuts the references to the service object and the stub manager and
    // leaves the stub manager: later calls do nothing.
    void Detach();

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;

protected:
    ~CCrTabsNotifierRemote() override;

private:
    Microsoft::WRL::ComPtr<CCrTabsServiceRemote> Service();

    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<CCrTabsServiceRemote> service_;
};
