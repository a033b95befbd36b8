#include "services/TabsServiceRemote.h"

#include <algorithm>

#include "services/ServiceCalls.h"
#include "services/ServiceRendezvous.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;
using namespace service_calls;

CCrTabsServiceRemote::CCrTabsServiceRemote() : connection_(objectLock_, LookupTabsService) {}

CCrTabsServiceRemote::~CCrTabsServiceRemote()
{
    Uninitialize();
}

HRESULT CCrTabsServiceRemote::Initialize(vxOpenAppHook::CStubManager* stubManager, IvxCrRemoteServicesSync* invoker,
                                         IvxCrTabsServiceRemoteCallback* callback)
{
    {
        CriticalSectionLock guard(objectLock_);
        stubManager_ = stubManager;
        invoker_ = invoker;
        closed_ = false;
    }
    {
        CriticalSectionLock guard(notifierLock_);
        callback_ = callback;
    }
    connection_.SetInvoker(invoker);
    return S_OK;
}

void CCrTabsServiceRemote::Uninitialize()
{
    {
        CriticalSectionLock guard(objectLock_);
        closed_ = true;
    }
    ComPtr<IDispatch> registration;
    if (SUCCEEDED(connection_.GetRegistration(registration)) && registration) {
        registration.Reset();
        // Fetched again on the invoker, whose apartment made the proxy; the
        // answer does not matter.
        connection_.RunOnInvoker([this]() -> HRESULT {
            ComPtr<IDispatch> held;
            HRESULT hr = connection_.GetRegistration(held);
            if (FAILED(hr))
                return hr;
            return CallMethod(held.Get(), kUnregisterDispid, {});
        });
    }
    connection_.Disconnect();
    connection_.SetInvoker(nullptr);
    DetachNotifiers();
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    ComPtr<IvxCrRemoteServicesSync> invoker;
    ComPtr<IvxCrTabsServiceRemoteCallback> callback;
    {
        CriticalSectionLock guard(objectLock_);
        stubManager.Swap(stubManager_);
        invoker.Swap(invoker_);
    }
    std::function<void()> publisherGone;
    {
        CriticalSectionLock guard(notifierLock_);
        callback.Swap(callback_);
        publisherGone.swap(publisherGone_);
    }
}

void CCrTabsServiceRemote::SetPublisherGoneHandler(std::function<void()> handler)
{
    CriticalSectionLock guard(notifierLock_);
    publisherGone_ = std::move(handler);
}

HRESULT CCrTabsServiceRemote::CheckPublisher(HRESULT hr, DWORD serviceCookie)
{
    // The registration lived in the ended process too: nothing to
    // unregister. Its notifier stays listed until Uninitialize.
    if (!IsPublisherGone(hr) || !connection_.DisconnectIfCurrent(serviceCookie))
        return hr;
    std::function<void()> handler;
    {
        CriticalSectionLock guard(notifierLock_);
        handler = publisherGone_;
    }
    if (handler)
        handler();
    return hr;
}

bool CCrTabsServiceRemote::IsClosed()
{
    CriticalSectionLock guard(objectLock_);
    return closed_;
}

void CCrTabsServiceRemote::DetachNotifiers()
{
    DetachNotifierList(notifierLock_, notifiers_);
}

HRESULT CCrTabsServiceRemote::RegisterNotifier(IDispatch* service, vxOpenAppHook::CStubManager* stubManager,
                                               ComPtr<IDispatch>& registration, ComPtr<CCrTabsNotifierRemote>& made)
{
    // Runs on the invoker while the connecting thread waits (holding no
    // lock of ours).
    registration.Reset();
    made.Reset();
    ComPtr<CCrTabsNotifierRemote> notifier;
    HRESULT hr = vx::com::CreateComObject(notifier, stubManager, this);
    if (FAILED(hr))
        return hr;
    {
        // Listed before the call: the service may call it at once.
        CriticalSectionLock guard(notifierLock_);
        notifiers_.push_back(notifier);
    }
    ComPtr<IDispatch> notifierDispatch;
    vx::com::Variant result;
    hr = notifier.As(&notifierDispatch);
    if (SUCCEEDED(hr))
        hr = CallMethod(service, kRegisterNotifierDispid, {BorrowedDispatch(notifierDispatch.Get())}, result);
    if (SUCCEEDED(hr))
        hr = DispatchFromResult(*result, registration);
    if (FAILED(hr)) {
        // Without a registration the connection fails: cut the notifier off.
        DropNotifier(notifier.Get());
        return hr;
    }
    made = std::move(notifier);
    return S_OK;
}

void CCrTabsServiceRemote::DropNotifier(CCrTabsNotifierRemote* notifier)
{
    {
        CriticalSectionLock guard(notifierLock_);
        notifiers_.erase(std::remove_if(notifiers_.begin(), notifiers_.end(),
                                        [&](const auto& held) { return held.Get() == notifier; }),
                         notifiers_.end());
    }
    notifier->Detach();
}

HRESULT CCrTabsServiceRemote::EnsureService(ComPtr<IDispatch>& service, DWORD& serviceCookie)
{
    service.Reset();
    serviceCookie = 0;
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    {
        CriticalSectionLock guard(objectLock_);
        if (closed_)
            return E_FAIL;
        stubManager = stubManager_;
    }
    ComPtr<CCrTabsNotifierRemote> made;
    bool connectedHere = false;
    HRESULT hr = connection_.GetTabsService(
        [&](IDispatch* fresh, ComPtr<IDispatch>& registration) {
            return RegisterNotifier(fresh, stubManager.Get(), registration, made);
        },
        [](IDispatch* registration) { return CallMethod(registration, kUnregisterDispid, {}); }, service,
        connectedHere);
    // A notifier whose rendezvous lost to another thread's was unregistered
    // from the service: it must not forward anything either.
    if (made && !connectedHere)
        DropNotifier(made.Get());
    // Also when fetching a held service failed: the connection it names may
    // be one whose publisher has gone.
    serviceCookie = connection_.ServiceCookie();
    return hr;
}

HRESULT CCrTabsServiceRemote::GetTabList(std::vector<TabInfoRecord>& tabs)
{
    ComPtr<IDispatch> service;
    DWORD cookie = 0;
    HRESULT hr = EnsureService(service, cookie);
    hr = CheckPublisher(hr, cookie);
    if (FAILED(hr))
        return hr;
    vx::com::Variant result;
    hr = CheckPublisher(CallMethod(service.Get(), kTabListDispid, {}, result), cookie);
    if (FAILED(hr))
        return hr;
    return ParseTabList(*result, tabs);
}

HRESULT CCrTabsServiceRemote::Navigate(LONG tabId, BSTR url)
{
    ComPtr<IDispatch> service;
    DWORD cookie = 0;
    HRESULT hr = EnsureService(service, cookie);
    hr = CheckPublisher(hr, cookie);
    if (FAILED(hr))
        return hr;
    return CheckPublisher(CallMethod(service.Get(), kNavigateDispid, {BorrowedLong(tabId), BorrowedBstr(url)}), cookie);
}

HRESULT CCrTabsServiceRemote::Activate(LONG tabId)
{
    ComPtr<IDispatch> service;
    DWORD cookie = 0;
    HRESULT hr = EnsureService(service, cookie);
    hr = CheckPublisher(hr, cookie);
    if (FAILED(hr))
        return hr;
    return CheckPublisher(CallMethod(service.Get(), kActivateDispid, {BorrowedLong(tabId)}), cookie);
}

HRESULT CCrTabsServiceRemote::GetTabRectangle(LONG tabId, RECT& rectangle)
{
    ComPtr<IDispatch> service;
    DWORD cookie = 0;
    HRESULT hr = EnsureService(service, cookie);
    hr = CheckPublisher(hr, cookie);
    if (FAILED(hr))
        return hr;
    vx::com::Variant result;
    hr = CheckPublisher(CallMethod(service.Get(), kTabRectangleDispid, {BorrowedLong(tabId), BorrowedLong(-1)}, result),
                        cookie);
    if (FAILED(hr))
        return hr;
    return ParseTabRectangle(*result, rectangle);
}

bool CCrTabsServiceRemote::IsConnected()
{
    ComPtr<IDispatch> service;
    DWORD cookie = 0;
    HRESULT hr = EnsureService(service, cookie);
    return SUCCEEDED(CheckPublisher(hr, cookie)) && service;
}

void CCrTabsServiceRemote::OnTabCreated(const TabInfoRecord& record)
{
    if (ComPtr<IvxCrTabsServiceRemoteCallback> callback = Callback())
        callback->OnTabCreated(record.tabId, record.loading ? VARIANT_TRUE : VARIANT_FALSE, record.url.Get());
}

void CCrTabsServiceRemote::OnTabRemoved(LONG tabId)
{
    if (ComPtr<IvxCrTabsServiceRemoteCallback> callback = Callback())
        callback->OnTabRemoved(tabId);
}

void CCrTabsServiceRemote::OnTabUpdated(const TabInfoRecord& record)
{
    if (ComPtr<IvxCrTabsServiceRemoteCallback> callback = Callback())
        callback->OnTabUpdated(record.tabId, record.loading ? VARIANT_TRUE : VARIANT_FALSE, record.url.Get());
}

ComPtr<IvxCrTabsServiceRemoteCallback> CCrTabsServiceRemote::Callback()
{
    CriticalSectionLock guard(notifierLock_);
    return callback_;
}
