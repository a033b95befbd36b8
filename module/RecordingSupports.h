#pragma once
// The support objects through which the browser module takes part in
// recording: the tab's identity in every event record, the page-loading
// events of the tabs, and the custom-controls support that attaches
// recording providers to edit boxes and drop-down lists and turns their
// notifications into recorded events. Every answer to the engine is "not
// handled" rather than a failure.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "generated/vxCrHook.h"
#include "generated/vxOpenAppServices.h"
#include "module/SupportBase.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/CriticalSection.h"

// The engine's recorder sink while it records; null otherwise. A caller
// takes its own reference, so a release by the engine meanwhile does not
// end a call in progress.
class RecorderSinkHolder
{
public:
    void Set(IUnknown* sink);
    void Release() noexcept;
    Microsoft::WRL::ComPtr<IvxRecorderEventSink> Sink();

private:
    vx::com::CriticalSection lock_;
    Microsoft::WRL::ComPtr<IvxRecorderEventSink> sink_;
};

// Makes a record of `kind` through the sink, sets `key` to `value` and fires
// it with `source` as the module object that raised it.
HRESULT FireNewRecord(IvxRecorderEventSink* sink, IUnknown* source, const GUID& kind, const GUID& key,
                      const VARIANT& value);

// What the supports that raise events share: IvxScriptRecorderEventSource's
// sink, kept while the engine records.
template <class Derived, class... Interfaces>
class RecorderEventSourceSupport : public SupportBase<Derived, IvxScriptRecorderEventSource, Interfaces...>
{
public:
    using SupportBase<Derived, IvxScriptRecorderEventSource, Interfaces...>::SupportBase;

    STDMETHODIMP SetRecorderSink(IUnknown* sink) noexcept override
    try {
        sink_.Set(sink);
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP ReleaseRecorderSink() noexcept override
    try {
        sink_.Release();
        return S_OK;
    }
    VX_COM_CATCH

protected:
    RecorderSinkHolder sink_;
};

// IvxScriptEventRecorder: writes into the engine's event records which tab
// an event happened in, and describes that tab (URL, id, the engine's
// object for it).
class CCrRecordingSupport final : public SupportBase<CCrRecordingSupport, IvxScriptEventRecorder>
{
public:
    using SupportBase::SupportBase;

    STDMETHODIMP OnRecordingStarted() noexcept override
    try {
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP OnRecordingStopped() noexcept override
    try {
        return S_OK;
    }
    VX_COM_CATCH
    // `host` is the engine's recording host (IvxRecordingHost), `objects`
    // the engine's object of the event (see EventObjects in the source).
    STDMETHODIMP_(VARIANT_BOOL) OnEvent(IUnknown* host, IUnknown* eventRecord, IDispatch* objects) noexcept override;
};

// IvxScriptRecorderEventSource and IvxCrStartLoadingListener: a page that
// starts loading becomes a recorded event carrying the tab id, and the
// engine's recorder gets the tab's page object for it.
class CCrEventSource final : public RecorderEventSourceSupport<CCrEventSource, IvxCrStartLoadingListener>
{
public:
    using RecorderEventSourceSupport::RecorderEventSourceSupport;

    STDMETHODIMP ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder) noexcept override;
    STDMETHODIMP OnStartLoading(IUnknown* tab) noexcept override;
};

// The custom-controls support: recording providers for the elements the
// engine asks about while it records, their notifications as recorded
// events, and the web-control class of an element.
class CCrCustomControlsSupport final
    : public RecorderEventSourceSupport<CCrCustomControlsSupport, IvxModuleExtendedObjects, IvxCrCustomControlsListener,
                                        IvxCustomControlOpenAppSupport>
{
public:
    using RecorderEventSourceSupport::RecorderEventSourceSupport;

    // IvxScriptRecorderEventSource: a record raised by a provider is handed back with the provider, found
    // again in the recorder by its identifier.
    STDMETHODIMP ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder) noexcept override;

    // IvxModuleExtendedObjects: the recording provider of an element.
    STDMETHODIMP GetExtendedObject(IDispatch* object, IDispatch** provider, VARIANT_BOOL* handled) noexcept override;

    // IvxCrCustomControlsListener: a provider's element had an event.
    STDMETHODIMP OnProviderEvent(BSTR providerId, const GUID* eventGuid) noexcept override;

    // IvxCustomControlOpenAppSupport
    STDMETHODIMP GetCustomObject(IDispatch* object, IUnknown** result) noexcept override;
    STDMETHODIMP GetClassInfo(IDispatch* element, IUnknown** classInfo) noexcept override;
    STDMETHODIMP GetItemObject(IDispatch* object, VARIANT item, IUnknown** result) noexcept override;
    STDMETHODIMP GetWindowObject(LONG_PTR window, IUnknown** result) noexcept override;
};
