// The event source of the element objects: DOM event subscriptions relayed
// to the engine's listeners.
#include <atomic>
#include <climits>

#include "comhelp/GlobalInterfaceCookie.h"
#include "openapphook/DispHelper.h"
#include "platform/com/BStr.h"
#include "platform/com/BorrowedVariant.h"
#include "quickbrowser/objects/InDocumentControl.h"
#include "quickbrowser/objects/ScriptCallbackRelay.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;
using vxWebFw::NodeHandle;

namespace vxCrQuickBrowser {

namespace {

// The engine's listener of one subscription, kept in the global interface
// table so that another thread can call it; a delivery still queued when the
// subscription ends finds it inactive and drops the event.
struct ListenerLink
{
    GlobalInterfaceCookie listener;
    std::atomic<bool> active{true};
};

} // namespace

// One subscription: the DOM listener (a script function made for the
// relay) and the engine's listener.
struct CCrQuickBrowserObject_InDocumentControl::Subscription
{
    vx::com::BStr type;
    NodeHandle function;
    bool capture = false;
    ComPtr<CScriptCallback0> relay;
    std::shared_ptr<ListenerLink> link;
};

CCrQuickBrowserObject_InDocumentControl::CCrQuickBrowserObject_InDocumentControl() = default;

CCrQuickBrowserObject_InDocumentControl::~CCrQuickBrowserObject_InDocumentControl()
{
    // Subscriptions whose release the renderer did not take: their relays
    // are cut off already; their handles stay with the page rather than
    // being given back off its thread.
    for (auto& [cookie, subscription] : subscriptions_)
        subscription->function.Detach();
}

HRESULT CCrQuickBrowserObject_InDocumentControl::AddEventListener(BSTR type, IDispatch* listener,
                                                                  VARIANT_BOOL useCapture, ULONGLONG* cookie)
{
    if (!cookie)
        return E_POINTER;
    *cookie = ULLONG_MAX;
    if (!listener)
        return E_INVALIDARG;
    CCrRawBrowserHelper* accessor = Accessor();
    auto subscription = std::make_unique<Subscription>();
    subscription->type = vx::com::BStr(type ? std::wstring_view(type, SysStringLen(type)) : std::wstring_view());
    subscription->capture = useCapture != VARIANT_FALSE;
    subscription->function = NodeHandle(accessor);
    subscription->link = std::make_shared<ListenerLink>();
    HRESULT hr = subscription->link->listener.Register(listener, IID_IDispatch);
    if (FAILED(hr))
        return hr;
    hr = vx::com::CreateComObject(subscription->relay);
    if (FAILED(hr))
        return hr;
    subscription->relay->Connect(AsScriptCallback(), WeakSelf());

    ULONGLONG made = 0;
    hr = accessor->CreateScriptCallback(subscription->relay.Get(), &made, subscription->function.Out());
    if (FAILED(hr)) {
        subscription->relay->Disconnect();
        return hr;
    }
    hr = accessor->AddEventListener(Node(), subscription->type.Get() ? subscription->type.Get() : L"",
                                    subscription->function.Get(), subscription->capture);
    if (SUCCEEDED(hr)) {
        try {
            CriticalSectionLock hold(subscriptionsLock_);
            subscriptions_[made] = std::move(subscription);
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
            accessor->RemoveEventListener(Node(), subscription->type.Get() ? subscription->type.Get() : L"",
                                          subscription->function.Get(), subscription->capture);
        }
    }
    if (FAILED(hr)) {
        accessor->ReleaseScriptCallback(made);
        subscription->relay->Disconnect();
        return hr;
    }
    *cookie = made;
    return S_OK;
}

void CCrQuickBrowserObject_InDocumentControl::Unsubscribe(ULONGLONG cookie, Subscription& subscription) noexcept
{
    CCrRawBrowserHelper* accessor = Accessor();
    subscription.link->active = false;
    accessor->RemoveEventListener(Node(), subscription.type.Get() ? subscription.type.Get() : L"",
                                  subscription.function.Get(), subscription.capture);
    subscription.function.Reset();
    accessor->ReleaseScriptCallback(cookie);
    subscription.relay->Disconnect();
}

HRESULT CCrQuickBrowserObject_InDocumentControl::RemoveEventListener(ULONGLONG cookie)
{
    std::unique_ptr<Subscription> removed;
    {
        CriticalSectionLock hold(subscriptionsLock_);
        auto found = subscriptions_.find(cookie);
        if (found == subscriptions_.end())
            return E_FAIL;
        removed = std::move(found->second);
        subscriptions_.erase(found);
    }
    Unsubscribe(cookie, *removed);
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::DeliverEvent(ULONGLONG cookie)
{
    std::shared_ptr<ListenerLink> link;
    {
        CriticalSectionLock hold(subscriptionsLock_);
        auto found = subscriptions_.find(cookie);
        if (found == subscriptions_.end())
            return S_OK; // unsubscribed meanwhile
        link = found->second->link;
    }
    // The listener is called from the accessor's own thread: it may live in
    // another process and call back into this renderer (to unsubscribe, for
    // example), which the renderer thread could not serve while waiting.
    return Accessor()->PostOffRenderer([link, cookie] {
        if (!link->active)
            return;
        ComPtr<IDispatch> listener;
        if (FAILED(link->listener.Fetch(listener)))
            return;
        const VARIANT argument = vx::com::BorrowedUnsigned64(cookie);
        VARIANT result;
        VariantInit(&result);
        vxOpenAppHook::CvxDispHelper(listener.Get()).InvokeMethod(1, argument, &result);
        VariantClear(&result);
    });
}

void CCrQuickBrowserObject_InDocumentControl::CutOffCallers() noexcept
{
    CriticalSectionLock hold(subscriptionsLock_);
    for (auto& [cookie, subscription] : subscriptions_)
        subscription->relay->Disconnect();
}

void CCrQuickBrowserObject_InDocumentControl::ReleaseOnRenderer() noexcept
{
    std::map<ULONGLONG, std::unique_ptr<Subscription>> remaining;
    {
        CriticalSectionLock hold(subscriptionsLock_);
        remaining.swap(subscriptions_);
    }
    for (auto& [cookie, subscription] : remaining)
        Unsubscribe(cookie, *subscription);
}

} // namespace vxCrQuickBrowser
