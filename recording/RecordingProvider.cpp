#include "recording/RecordingProvider.h"

#include <utility>
#include <vector>

#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"
#include "recording/ElementClass.h"
#include "recording/EventRecordKeys.h"

using Microsoft::WRL::ComPtr;

namespace vxCrRecording {

class CCrRecordingProviderHookObject::CEventListener final
    : public vx::com::ComObject<CEventListener, IvxCrCustomControlsNodeEventListener>
{
public:
    CEventListener(IvxCrCustomControlsListener* sink, BSTR providerId, const GUID& eventGuid)
        : sink_(sink), providerId_(std::wstring_view(providerId, SysStringLen(providerId))), eventGuid_(eventGuid)
    {
    }

    // The DOM event happened (its cookie does not matter: one listener
    // serves one subscription).
    STDMETHODIMP OnEvent(ULONGLONG) noexcept override
    try {
        ComPtr<IvxCrCustomControlsListener> sink;
        {
            vx::com::CriticalSectionLock guard(lock_);
            sink = sink_;
        }
        if (sink)
            sink->OnProviderEvent(providerId_.Get(), &eventGuid_);
        return S_OK;
    }
    VX_COM_CATCH

    // From now on events are dropped.
    void Detach() noexcept
    {
        ComPtr<IvxCrCustomControlsListener> released;
        vx::com::CriticalSectionLock guard(lock_);
        released.Swap(sink_);
        // `guard` goes first: the support is released unlocked.
    }

private:
    vx::com::CriticalSection lock_;
    ComPtr<IvxCrCustomControlsListener> sink_;
    const vx::com::BStr providerId_;
    const GUID eventGuid_;
};

CCrRecordingProviderHookObject::~CCrRecordingProviderHookObject()
{
    Dispose();
}

HRESULT CCrRecordingProviderHookObject::Initialize(IvxObject* element, IvxCrCustomControlsNodeEventSource* events,
                                                   vxOpenAppHook::IStubManager* stubManager,
                                                   IvxCrCustomControlsListener* sink)
{
    if (!element || !events || !sink)
        return E_INVALIDARG;
    HRESULT hr = element->GetMoniker(providerId_.Out());
    if (FAILED(hr))
        return hr;
    if (!providerId_.Get())
        return E_FAIL;
    element_ = element;
    events_ = events;
    sink_ = sink;
    GUID instance = {};
    hr = CoCreateGuid(&instance);
    if (FAILED(hr))
        return hr;
    wchar_t text[40] = {};
    if (!StringFromGUID2(instance, text, 40))
        return E_UNEXPECTED;
    instance_ = vx::com::BStr(text);
    if (!instance_.Get())
        return E_OUTOFMEMORY;
    return InitializeBase(stubManager, element);
}

HRESULT CCrRecordingProviderHookObject::AddListener(const wchar_t* eventName, bool useCapture, const GUID& eventGuid)
{
    ComPtr<IvxCrCustomControlsListener> sink;
    {
        vx::com::CriticalSectionLock guard(lock_);
        sink = sink_;
    }
    if (!sink)
        return E_UNEXPECTED; // disposed
    ComPtr<CEventListener> listener;
    HRESULT hr = vx::com::CreateComObject(listener, sink.Get(), providerId_.Get(), eventGuid);
    if (FAILED(hr))
        return hr;
    vx::com::BStr name(eventName);
    if (!name.Get())
        return E_OUTOFMEMORY;
    ULONGLONG cookie = 0;
    hr = events_->AddEventListener(name.Get(), listener.Get(), useCapture ? VARIANT_TRUE : VARIANT_FALSE, &cookie);
    if (FAILED(hr))
        return hr;
    bool disposed = false;
    {
        vx::com::CriticalSectionLock guard(lock_);
        disposed = !sink_;
        if (!disposed)
            listeners_.emplace(cookie, listener);
    }
    if (disposed) {
        // Disposed meanwhile: this subscription must not outlive it.
        events_->RemoveEventListener(cookie);
        listener->Detach();
        return E_UNEXPECTED;
    }
    return S_OK;
}

STDMETHODIMP CCrRecordingProviderHookObject::Dispose() noexcept
try {
    std::map<ULONGLONG, ComPtr<CEventListener>> taken;
    ComPtr<IvxCrCustomControlsListener> sink;
    {
        vx::com::CriticalSectionLock guard(lock_);
        taken.swap(listeners_);
        sink.Swap(sink_);
    }
    // The page is called without the lock: a listener may be running.
    for (const auto& [cookie, listener] : taken)
        events_->RemoveEventListener(cookie);
    for (const auto& entry : taken)
        entry.second->Detach();
    sink.Reset();
    Unregister();
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrRecordingProviderHookObject::IdentifierString(BSTR* out)
{
    *out = SysAllocStringLen(instance_.Get(), instance_.Length());
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCrRecordingProviderHookObject::NativeObject(IDispatch** out)
{
    return element_ ? element_->GetNativeObject(out) : E_FAIL;
}

HRESULT CCrRecordingProviderHookObject::Exists(bool& exists)
{
    VARIANT_BOOL value = VARIANT_FALSE;
    HRESULT hr = element_ ? element_->GetExists(&value) : E_FAIL;
    exists = SUCCEEDED(hr) && value != VARIANT_FALSE;
    return hr;
}

HRESULT CCrRecordingProviderHookObject::Moniker(BSTR* out)
{
    *out = SysAllocStringLen(providerId_.Get(), providerId_.Length());
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateRecordingProvider(IvxCrCustomControlsListener* sink, vxOpenAppHook::IStubManager* stubManager,
                                IvxObject* element, IvxCrCustomControlsNodeInformation* information,
                                IvxCrCustomControlsNodeEventSource* events, ComPtr<IvxObject>& provider)
{
    provider.Reset();
    const wchar_t* eventName = nullptr;
    const GUID* eventGuid = nullptr;
    switch (ClassifyElement(information)) {
    case ElementClass::TextBox:
    case ElementClass::PasswordBox:
        eventName = L"keyup";
        eventGuid = &KeyUpEventGuid;
        break;
    case ElementClass::DropDown:
        eventName = L"change";
        eventGuid = &ChangeEventGuid;
        break;
    default:
        return S_FALSE;
    }
    ComPtr<CCrRecordingProviderHookObject> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (SUCCEEDED(hr))
        hr = created->Initialize(element, events, stubManager, sink);
    if (SUCCEEDED(hr))
        hr = created->AddListener(eventName, false, *eventGuid);
    if (FAILED(hr)) {
        if (created)
            created->Dispose();
        return hr;
    }
    return vx::com::QueryTo(created.Get(), provider);
}

} // namespace vxCrRecording
