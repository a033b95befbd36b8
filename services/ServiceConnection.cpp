#include "services/ServiceConnection.h"

#include <new>
#include <utility>

#include "comhelp/ComHelpProxy.h"
#include "comhelp/GlobalInterfaceCookie.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace {

struct InvokerWork
{
    const std::function<HRESULT()>* work;
};

HRESULT __stdcall RunInvokerWork(void* data) noexcept
{
    try {
        return (*static_cast<InvokerWork*>(data)->work)();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

void Revoke(DWORD cookie)
{
    if (!cookie)
        return;
    ComPtr<IGlobalInterfaceTable> table;
    if (SUCCEEDED(GetGlobalInterfaceTable(table)))
        table->RevokeInterfaceFromGlobal(cookie);
}

HRESULT FetchDispatch(DWORD cookie, ComPtr<IDispatch>& dispatch)
{
    dispatch.Reset();
    if (!cookie)
        return E_FAIL;
    ComPtr<IGlobalInterfaceTable> table;
    HRESULT hr = GetGlobalInterfaceTable(table);
    if (FAILED(hr))
        return hr;
    hr = table->GetInterfaceFromGlobal(cookie, IID_IDispatch, reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (SUCCEEDED(hr) && !dispatch)
        hr = E_FAIL;
    return hr;
}

HRESULT CallLiveness(IDispatch* service)
{
    DISPPARAMS none = {};
    return service->Invoke(CCrServiceConnection::kLivenessDispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                           nullptr, nullptr, nullptr);
}

} // namespace

bool IsPublisherGone(HRESULT hr) noexcept
{
    return hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || hr == RPC_E_DISCONNECTED || hr == RPC_E_SERVER_DIED ||
           hr == RPC_E_SERVER_DIED_DNE || hr == CO_E_OBJNOTCONNECTED;
}

CCrServiceConnection::CCrServiceConnection(vx::com::CriticalSection& ownerLock, ServiceLookup lookup)
    : lock_(ownerLock), lookup_(lookup)
{
}

CCrServiceConnection::~CCrServiceConnection()
{
    Disconnect();
}

void CCrServiceConnection::SetInvoker(IvxCrRemoteServicesSync* invoker)
{
    CriticalSectionLock guard(lock_);
    invoker_ = invoker;
}

void CCrServiceConnection::SetPublisherGoneHandler(std::function<void()> handler)
{
    CriticalSectionLock guard(lock_);
    publisherGone_ = std::move(handler);
}

HRESULT CCrServiceConnection::RunOnInvoker(const std::function<HRESULT()>& work)
{
    ComPtr<IvxCrRemoteServicesSync> invoker;
    {
        CriticalSectionLock guard(lock_);
        invoker = invoker_;
    }
    InvokerWork data = {&work};
    if (!invoker)
        return RunInvokerWork(&data);
    return invoker->RunSynchronously(RunInvokerWork, &data);
}

HRESULT CCrServiceConnection::Rendezvous(const EventsRegistration* registerEvents, DWORD& serviceCookie,
                                         DWORD& registrationCookie)
{
    serviceCookie = 0;
    registrationCookie = 0;
    // Registration in the table happens on the invoker thread too: the
    // proxies belong to its apartment.
    return RunOnInvoker([&]() -> HRESULT {
        ComPtr<IDispatch> service;
        HRESULT hr = lookup_ ? lookup_(service) : E_FAIL;
        if (FAILED(hr))
            return hr;
        if (!service)
            return E_FAIL;
        ComPtr<IDispatch> registration;
        if (registerEvents && *registerEvents) {
            hr = (*registerEvents)(service.Get(), registration);
            if (FAILED(hr))
                return hr;
            if (!registration)
                return E_FAIL;
        }
        ComPtr<IGlobalInterfaceTable> table;
        hr = GetGlobalInterfaceTable(table);
        if (FAILED(hr))
            return hr;
        hr = table->RegisterInterfaceInGlobal(service.Get(), IID_IDispatch, &serviceCookie);
        if (FAILED(hr)) {
            serviceCookie = 0;
            return hr;
        }
        if (registration) {
            hr = table->RegisterInterfaceInGlobal(registration.Get(), IID_IDispatch, &registrationCookie);
            if (FAILED(hr)) {
                registrationCookie = 0;
                table->RevokeInterfaceFromGlobal(std::exchange(serviceCookie, 0));
                return hr;
            }
        }
        return S_OK;
    });
}

HRESULT CCrServiceConnection::TakeServiceOrRendezvous(ComPtr<IDispatch>& service, bool& wasCached)
{
    service.Reset();
    wasCached = false;
    DWORD cookie = 0;
    {
        CriticalSectionLock guard(lock_);
        cookie = serviceCookie_;
    }
    if (cookie) {
        wasCached = true;
        return FetchDispatch(cookie, service);
    }

    DWORD newCookie = 0, unusedRegistration = 0;
    HRESULT hr = Rendezvous(nullptr, newCookie, unusedRegistration);
    if (FAILED(hr))
        return hr;
    DWORD losingCookie = 0;
    {
        CriticalSectionLock guard(lock_);
        if (serviceCookie_) {
            // Another thread connected meanwhile: its connection is kept.
            losingCookie = newCookie;
        } else {
            serviceCookie_ = newCookie;
        }
        cookie = serviceCookie_;
    }
    Revoke(losingCookie);
    return FetchDispatch(cookie, service);
}

void CCrServiceConnection::PublisherGone()
{
    std::function<void()> handler;
    {
        CriticalSectionLock guard(lock_);
        handler = publisherGone_;
    }
    if (handler)
        handler();
    Disconnect();
}

HRESULT CCrServiceConnection::GetBrowserService(ComPtr<IDispatch>& service)
{
    service.Reset();
    for (int attempt = 0;; ++attempt) {
        bool wasCached = false;
        HRESULT hr = TakeServiceOrRendezvous(service, wasCached);
        if (!wasCached || attempt > 0)
            return hr;
        // A cached connection whose publisher ended answers every call (or
        // even the fetch from the table) with RPC_S_SERVER_UNAVAILABLE.
        if (SUCCEEDED(hr))
            hr = CallLiveness(service.Get());
        if (!IsPublisherGone(hr))
            return service ? S_OK : hr;
        service.Reset();
        PublisherGone();
    }
}

HRESULT CCrServiceConnection::GetTabsService(const EventsRegistration& registerEvents,
                                             const EventsUnregistration& unregisterEvents, ComPtr<IDispatch>& service,
                                             bool& connectedHere)
{
    service.Reset();
    connectedHere = false;
    DWORD cookie = 0;
    {
        CriticalSectionLock guard(lock_);
        cookie = serviceCookie_;
    }
    if (cookie)
        return FetchDispatch(cookie, service);

    // The rendezvous runs without the lock; of two concurrent ones the first
    // to store its cookies wins and the other gives its events registration
    // back (on the invoker, whose apartment holds the proxy).
    DWORD newService = 0, newRegistration = 0;
    HRESULT hr = Rendezvous(&registerEvents, newService, newRegistration);
    if (FAILED(hr))
        return hr;
    bool lost = false;
    {
        CriticalSectionLock guard(lock_);
        if (serviceCookie_) {
            lost = true;
        } else {
            serviceCookie_ = newService;
            registrationCookie_ = newRegistration;
            connectedHere = true;
        }
        cookie = serviceCookie_;
    }
    if (lost) {
        if (newRegistration && unregisterEvents) {
            RunOnInvoker([&]() -> HRESULT {
                ComPtr<IDispatch> registration;
                HRESULT result = FetchDispatch(newRegistration, registration);
                return SUCCEEDED(result) ? unregisterEvents(registration.Get()) : result;
            });
        }
        Revoke(newRegistration);
        Revoke(newService);
    }
    return FetchDispatch(cookie, service);
}

HRESULT CCrServiceConnection::EnsureRegistration(const EventsRegistration& registerEvents,
                                                 ComPtr<IDispatch>& registration)
{
    registration.Reset();
    DWORD serviceCookie = 0, cookie = 0;
    {
        CriticalSectionLock guard(lock_);
        serviceCookie = serviceCookie_;
        cookie = registrationCookie_;
    }
    if (cookie)
        return FetchDispatch(cookie, registration);
    if (!serviceCookie || !registerEvents)
        return E_FAIL;

    DWORD newCookie = 0;
    HRESULT hr = RunOnInvoker([&]() -> HRESULT {
        ComPtr<IDispatch> service, made;
        HRESULT result = FetchDispatch(serviceCookie, service);
        if (FAILED(result))
            return result;
        result = registerEvents(service.Get(), made);
        if (FAILED(result))
            return result;
        if (!made)
            return E_FAIL;
        ComPtr<IGlobalInterfaceTable> table;
        result = GetGlobalInterfaceTable(table);
        if (FAILED(result))
            return result;
        result = table->RegisterInterfaceInGlobal(made.Get(), IID_IDispatch, &newCookie);
        if (FAILED(result))
            newCookie = 0;
        return result;
    });
    if (FAILED(hr))
        return hr;
    DWORD losingCookie = 0;
    {
        CriticalSectionLock guard(lock_);
        if (registrationCookie_ || serviceCookie_ != serviceCookie)
            losingCookie = newCookie; // someone else registered, or the service changed meanwhile
        else
            registrationCookie_ = newCookie;
        cookie = registrationCookie_;
    }
    Revoke(losingCookie);
    return FetchDispatch(cookie, registration);
}

HRESULT CCrServiceConnection::GetRegistration(ComPtr<IDispatch>& registration)
{
    DWORD cookie = 0;
    {
        CriticalSectionLock guard(lock_);
        cookie = registrationCookie_;
    }
    return FetchDispatch(cookie, registration);
}

bool CCrServiceConnection::IsConnected()
{
    CriticalSectionLock guard(lock_);
    return serviceCookie_ != 0;
}

bool CCrServiceConnection::HasRegistration()
{
    CriticalSectionLock guard(lock_);
    return registrationCookie_ != 0;
}

DWORD CCrServiceConnection::ServiceCookie()
{
    CriticalSectionLock guard(lock_);
    return serviceCookie_;
}

bool CCrServiceConnection::DisconnectIfCurrent(DWORD serviceCookie)
{
    DWORD registration = 0;
    {
        CriticalSectionLock guard(lock_);
        if (!serviceCookie || serviceCookie_ != serviceCookie)
            return false;
        serviceCookie_ = 0;
        registration = std::exchange(registrationCookie_, 0);
    }
    Revoke(registration);
    Revoke(serviceCookie);
    return true;
}

void CCrServiceConnection::Disconnect()
{
    DWORD service = 0, registration = 0;
    {
        CriticalSectionLock guard(lock_);
        service = std::exchange(serviceCookie_, 0);
        registration = std::exchange(registrationCookie_, 0);
    }
    Revoke(registration);
    Revoke(service);
}
