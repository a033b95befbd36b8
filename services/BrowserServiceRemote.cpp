#include "services/BrowserServiceRemote.h"

#include <algorithm>
#include <utility>

#include "services/ServiceCalls.h"
#include "services/ServiceRendezvous.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;
using namespace service_calls;

std::wstring CrHookLibraryPath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&CrHookLibraryPath), &module))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    return path + L"\\vxCrHook.dll";
}

CCrBrowserServiceRemote::CCrBrowserServiceRemote() : connection_(objectLock_, LookupBrowserService) {}

CCrBrowserServiceRemote::~CCrBrowserServiceRemote()
{
    Uninitialize();
}

HRESULT CCrBrowserServiceRemote::Initialize(vxOpenAppHook::CStubManager* stubManager, IvxCrRemoteServicesSync* invoker,
                                            IvxCrBrowserServiceRemoteCallback* callback)
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
    // A publisher that went away takes its notifications with it: switching
    // them off fails quietly, and the old notifiers will never be called.
    connection_.SetPublisherGoneHandler([this] {
        SwitchEventsOff();
        DetachNotifiers();
    });
    return S_OK;
}

void CCrBrowserServiceRemote::Uninitialize()
{
    {
        CriticalSectionLock guard(objectLock_);
        closed_ = true;
    }
    SwitchEventsOff();
    connection_.Disconnect();
    connection_.SetPublisherGoneHandler(nullptr);
    connection_.SetInvoker(nullptr);
    DetachNotifiers();
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    ComPtr<IvxCrRemoteServicesSync> invoker;
    ComPtr<IvxCrBrowserServiceRemoteCallback> callback;
    {
        CriticalSectionLock guard(objectLock_);
        stubManager.Swap(stubManager_);
        invoker.Swap(invoker_);
    }
    {
        CriticalSectionLock guard(notifierLock_);
        callback.Swap(callback_);
    }
}

bool CCrBrowserServiceRemote::IsClosed()
{
    CriticalSectionLock guard(objectLock_);
    return closed_;
}

void CCrBrowserServiceRemote::SwitchEventsOff()
{
    ComPtr<IDispatch> registration;
    if (FAILED(connection_.GetRegistration(registration)) || !registration)
        return;
    registration.Reset();
    // The registration proxy is fetched again on the invoker, whose apartment
    // made it.
    connection_.RunOnInvoker([this]() -> HRESULT {
        ComPtr<IDispatch> events;
        HRESULT hr = connection_.GetRegistration(events);
        if (FAILED(hr))
            return hr;
        return CallMethod(events.Get(), kEnableEventsDispid, {BorrowedBool(false)});
    });
}

void CCrBrowserServiceRemote::DetachNotifiers()
{
    DetachNotifierList(notifierLock_, notifiers_);
}

HRESULT CCrBrowserServiceRemote::RegisterEventsNotifier(IDispatch* service, ComPtr<IDispatch>& registration)
{
    registration.Reset();
    ComPtr<vxOpenAppHook::CStubManager> stubManager;
    {
        CriticalSectionLock guard(objectLock_);
        if (closed_)
            return E_FAIL;
        stubManager = stubManager_;
    }
    ComPtr<CCrBrowserEventsNotifier> notifier;
    HRESULT hr = vx::com::CreateComObject(notifier, stubManager.Get(), this);
    if (FAILED(hr))
        return hr;
    {
        // Listed before the call: the service may call it at once.
        CriticalSectionLock guard(notifierLock_);
        notifiers_.push_back(notifier);
    }
    vx::com::BStr path(CrHookLibraryPath());
    vx::com::Variant result;
    ComPtr<IDispatch> notifierDispatch;
    hr = notifier.As(&notifierDispatch);
    if (SUCCEEDED(hr))
        hr = CallMethod(service, kRegisterEventsDispid,
                        {BorrowedBstr(path.Get()), BorrowedDispatch(notifierDispatch.Get())}, result);
    if (SUCCEEDED(hr))
        hr = DispatchFromResult(*result, registration);
    if (FAILED(hr)) {
        // Without a registration the notifier is of no use: cut it off now.
        {
            CriticalSectionLock guard(notifierLock_);
            notifiers_.erase(std::remove_if(notifiers_.begin(), notifiers_.end(),
                                            [&](const auto& held) { return held.Get() == notifier.Get(); }),
                             notifiers_.end());
        }
        notifier->Detach();
    }
    return hr;
}

HRESULT CCrBrowserServiceRemote::EnsureEvents(ComPtr<IDispatch>& service, ComPtr<IDispatch>& registration)
{
    service.Reset();
    registration.Reset();
    if (IsClosed())
        return E_FAIL;
    HRESULT hr = connection_.GetBrowserService(service);
    if (FAILED(hr))
        return hr;
    return connection_.EnsureRegistration(
        [this](IDispatch* fresh, ComPtr<IDispatch>& made) { return RegisterEventsNotifier(fresh, made); },
        registration);
}

HRESULT CCrBrowserServiceRemote::GetBrowserKey(LONG tabId, vx::com::BStr& key)
{
    key.Reset();
    ComPtr<IDispatch> service, registration;
    HRESULT hr = EnsureEvents(service, registration);
    if (FAILED(hr))
        return hr;
    vx::com::Variant result;
    hr = CallMethod(service.Get(), kBrowserKeyDispid, {BorrowedLong(tabId)}, result);
    if (FAILED(hr))
        return hr;
    if (result.Type() != VT_BSTR)
        return E_UNEXPECTED;
    key = vx::com::BStr::Attach(V_BSTR(result.Get()));
    V_VT(result.Get()) = VT_EMPTY; // the string now belongs to `key`
    return S_OK;
}

HRESULT CCrBrowserServiceRemote::GetRendererQuickBrowser(BSTR key, ComPtr<IDispatch>& quickBrowser)
{
    quickBrowser.Reset();
    ComPtr<IDispatch> service, registration;
    HRESULT hr = EnsureEvents(service, registration);
    if (FAILED(hr))
        return hr;
    vx::com::Variant result;
    hr = CallMethod(registration.Get(), kQuickBrowserDispid, {BorrowedBstr(key)}, result);
    if (FAILED(hr))
        return hr;
    return DispatchFromResult(*result, quickBrowser);
}

bool CCrBrowserServiceRemote::IsConnected()
{
    if (IsClosed())
        return false;
    ComPtr<IDispatch> service;
    return SUCCEEDED(connection_.GetBrowserService(service)) && service;
}

void CCrBrowserServiceRemote::OnRemoveBrowser(BSTR key)
{
    ComPtr<IvxCrBrowserServiceRemoteCallback> callback;
    {
        CriticalSectionLock guard(notifierLock_);
        callback = callback_;
    }
    if (callback)
        callback->OnRemoveBrowser(key);
}
