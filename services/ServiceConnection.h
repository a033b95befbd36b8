#pragma once
// One connection of a browser-process service object to a published
// service. Interfaces are kept only as global-interface-table cookies; the
// rendezvous (and any call that creates proxies) runs on the synchronous
// invoker, so every proxy lives in that thread's apartment and reaches other
// threads only through the table.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <functional>

#include "generated/vxCrHook.h"
#include "platform/com/CriticalSection.h"

class CCrServiceConnection
{
public:
    using ServiceLookup = HRESULT (*)(Microsoft::WRL::ComPtr<IDispatch>& service);
    // Makes the events registration for a freshly looked-up service; runs on
    // the synchronous invoker.
    using EventsRegistration =
        std::function<HRESULT(IDispatch* service, Microsoft::WRL::ComPtr<IDispatch>& registration)>;
    // Gives back an events registration that lost the race to another
    // rendezvous; runs on the synchronous invoker.
    using EventsUnregistration = std::function<HRESULT(IDispatch* registration)>;

    // DISPID of the browser service's liveness method.
    static constexpr DISPID kLivenessDispid = 32;

    // `ownerLock` is the owning service object's critical section, which
    // guards the cookies. `lookup` finds the published service.
    CCrServiceConnection(vx::com::CriticalSection& ownerLock, ServiceLookup lookup);
    ~CCrServiceConnection();
    CCrServiceConnection(const CCrServiceConnection&) = delete;
    CCrServiceConnection& operator=(const CCrServiceConnection&) = delete;

    // The synchronous invoker through which the rendezvous runs; null runs it
    // on the calling thread.
    void SetInvoker(IvxCrRemoteServicesSync* invoker);
    // What to do when the browser service's publisher has gone (default: both
    // cookies are revoked). The connection revokes both cookies afterwards in
    // any case.
    void SetPublisherGoneHandler(std::function<void()> handler);

    // Browser service rule: a cached service is checked with its liveness
    // method first; when its publisher has gone the connection is dropped and
    // made again once. The owner's lock is not held during the rendezvous: of
    // two concurrent rendezvous the first to store its cookie wins.
    HRESULT GetBrowserService(Microsoft::WRL::ComPtr<IDispatch>& service);

    // Tabs service rule: the rendezvous also makes the events registration
    // and keeps it with the service. The owner's lock is not held during the
    // rendezvous: of two concurrent ones the first to store its cookies wins,
    // the other's registration is given back through `unregisterEvents`.
    // `connectedHere` tells whether this call's rendezvous made the
    // connection held now.
    HRESULT GetTabsService(const EventsRegistration& registerEvents, const EventsUnregistration& unregisterEvents,
                           Microsoft::WRL::ComPtr<IDispatch>& service, bool& connectedHere);

    // Makes the events registration of an already connected service on the
    // synchronous invoker when none is held (first writer wins), and returns
    // the registration held.
    HRESULT EnsureRegistration(const EventsRegistration& registerEvents,
                               Microsoft::WRL::ComPtr<IDispatch>& registration);
    // The registration held, E_FAIL when none.
    HRESULT GetRegistration(Microsoft::WRL::ComPtr<IDispatch>& registration);

    bool IsConnected();
    bool HasRegistration();
    // Revokes both cookies; the published data is never touched.
    void Disconnect();
    // The cookie of the service held now (0 when not connected), and
    // disconnecting only while that connection is still the one held: a call
    // that failed on an old connection must not drop a newer one. True when
    // this call disconnected.
    DWORD ServiceCookie();
    bool DisconnectIfCurrent(DWORD serviceCookie);

    // Runs `work` on the synchronous invoker (or here when none is set).
    // Exceptions thrown by `work` become failure codes.
    HRESULT RunOnInvoker(const std::function<HRESULT()>& work);

private:
    HRESULT TakeServiceOrRendezvous(Microsoft::WRL::ComPtr<IDispatch>& service, bool& wasCached);
    HRESULT Rendezvous(const EventsRegistration* registerEvents, DWORD& serviceCookie, DWORD& registrationCookie);
    void PublisherGone();

    vx::com::CriticalSection& lock_;
    ServiceLookup lookup_;
    Microsoft::WRL::ComPtr<IvxCrRemoteServicesSync> invoker_;
    std::function<void()> publisherGone_;
    DWORD serviceCookie_ = 0;
    DWORD registrationCookie_ = 0;
};

// True for what a call through a proxy answers once the object's process has
// ended (or its stub was cut off): the connection is dead and a new
// rendezvous is needed.
bool IsPublisherGone(HRESULT hr) noexcept;
