#include "module/RecordingSupports.h"

#include <string>
#include <vector>

#include "module/CrHookModule.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "recording/EventRecordKeys.h"
#include "recording/RecordingProvider.h"
#include "recording/WebObjectClassInfo.h"
#include "services/ChromeWindowClasses.h"
#include "testobjects/ObjectNaming.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::CriticalSectionLock;
using vx::com::Variant;
using namespace vxCrRecording;

namespace {

HRESULT SetRecordValue(IvxEventRecord* record, const GUID& key, VARTYPE type, LONG value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    if (type == VT_BOOL)
        V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    else
        V_I4(&v) = value;
    return record->SetProperty(&key, v);
}

HRESULT SetRecordString(IvxEventRecord* record, const GUID& key, BSTR text)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text; // borrowed: SetProperty copies
    return record->SetProperty(&key, v);
}

BStr GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    return StringFromGUID2(guid, text, 40) ? BStr(text) : BStr();
}

BStr NewGuidText()
{
    GUID guid = {};
    return SUCCEEDED(CoCreateGuid(&guid)) ? GuidText(guid) : BStr();
}

// The window handle at the start of an event's payload; null when the event
// carries none (or a command other than WM_COMMAND).
HWND EventWindow(IvxEventRecord* record, const GUID& kind)
{
    BYTE payload[WindowMessagePayloadSize] = {};
    ULONG size = 0;
    if (IsEqualGUID(kind, WindowMessageEvent))
        size = WindowMessagePayloadSize;
    else if (IsEqualGUID(kind, KeyEvent))
        size = KeyPayloadSize;
    else if (IsEqualGUID(kind, CommandEvent))
        size = CommandPayloadSize;
    if (!size || FAILED(record->GetRawProperty(&kind, size, payload)))
        return nullptr;
    LONG window = 0;
    memcpy(&window, payload, sizeof(window));
    if (IsEqualGUID(kind, CommandEvent)) {
        LONG message = 0;
        memcpy(&message, payload + 8, sizeof(message));
        if (message != WM_COMMAND)
            return nullptr;
    }
    // Window handles are 32-bit values, sign-extended in 64-bit processes.
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(window));
}

// The objects of an event, in order: the engine's object tree node of the
// event's object with its entries, then the entries of each of its
// ancestors; or the object itself when it is no tree node.
std::vector<ComPtr<IvxObject>> EventObjects(IDispatch* eventObject)
{
    std::vector<ComPtr<IvxObject>> objects;
    if (!eventObject)
        return objects;
    ComPtr<IvxObjectTreeNode> node;
    if (FAILED(eventObject->QueryInterface(IID_PPV_ARGS(&node)))) {
        ComPtr<IvxObject> object;
        if (SUCCEEDED(eventObject->QueryInterface(IID_PPV_ARGS(&object))))
            objects.push_back(std::move(object));
        return objects;
    }
    while (node) {
        LONG count = 0;
        if (SUCCEEDED(node->GetEntryCount(&count))) {
            for (LONG i = 0; i < count; ++i) {
                ComPtr<IUnknown> entry;
                ComPtr<IvxObject> object;
                if (SUCCEEDED(node->GetEntry(i, &entry)) && entry && SUCCEEDED(entry.As(&object)))
                    objects.push_back(std::move(object));
            }
        }
        ComPtr<IvxObjectTreeNode> parent;
        if (FAILED(node->GetParent(&parent)))
            break;
        node = std::move(parent);
    }
    return objects;
}

// The module's tab that `tab` (as a test object's tab provider gives it) is.
ComPtr<CCrHookTab> ModuleTabOf(CCrHookModule& module, IUnknown* tab)
{
    ComPtr<IUnknown> identity;
    if (!tab || FAILED(tab->QueryInterface(IID_PPV_ARGS(&identity))))
        return nullptr;
    for (ComPtr<CCrHookTab>& candidate : module.CopyTabs()) {
        ComPtr<IUnknown> candidateIdentity;
        if (SUCCEEDED(candidate->Identity()->QueryInterface(IID_PPV_ARGS(&candidateIdentity))) &&
            candidateIdentity.Get() == identity.Get())
            return std::move(candidate);
    }
    return nullptr;
}

// The tab of the first Chrome test object among the event's objects, and
// that object's model.
ComPtr<CCrHookTab> TabOfEventObjects(CCrHookModule& module, IDispatch* eventObject, bool& treeModel)
{
    for (const ComPtr<IvxObject>& object : EventObjects(eventObject)) {
        BStr name;
        if (FAILED(object->GetNativePropertyName(name.Out())) || name.View() != vxCrTestObjects::kNativePropertyName)
            continue;
        // Only the first Chrome object counts, whether or not it leads to a tab.
        ComPtr<IvxCrHookTabProvider> provider;
        ComPtr<IUnknown> tab;
        if (FAILED(object.As(&provider)) || FAILED(provider->GetTab(&tab)))
            return nullptr;
        ComPtr<IvxCrBrowserObject> browserObject;
        BYTE flag = 0;
        treeModel = SUCCEEDED(object.As(&browserObject)) && SUCCEEDED(browserObject->GetModelFlag(&flag)) && flag;
        return ModuleTabOf(module, tab.Get());
    }
    return nullptr;
}

// The key of the engine's object for the tab, in string form; a new GUID
// when the host has none.
BStr TabObjectKey(IUnknown* host, CCrHookTab& tab, bool treeModel)
{
    ComPtr<IvxRecordingHost> recordingHost;
    ComPtr<IUnknown> object;
    if (host && SUCCEEDED(host->QueryInterface(IID_PPV_ARGS(&recordingHost)))) {
        BStr prefix = tab.ObjectNamePrefix(treeModel);
        HWND window = nullptr;
        if (treeModel)
            recordingHost->GetObjectByPrefix(prefix.Get(), &object);
        else if (SUCCEEDED(tab.TabWindow(window)))
            recordingHost->GetObjectByWindowAndPrefix(reinterpret_cast<LONG_PTR>(window), prefix.Get(), &object);
    }
    ComPtr<IovKeyItem> keyItem;
    GUID key = {};
    if (object && SUCCEEDED(object.As(&keyItem)) && SUCCEEDED(keyItem->GetKey(&key)))
        return GuidText(key);
    return NewGuidText();
}

void DescribeTab(IvxEventRecord* record, IUnknown* host, CCrHookTab& tab, bool treeModel)
{
    BStr id = NewGuidText();
    SetRecordString(record, TabDescriptionIdProperty, id.Get());
    BStr key = TabObjectKey(host, tab, treeModel);
    SetRecordString(record, TabObjectKeyProperty, key.Get());
    BStr url = tab.Url();
    SetRecordString(record, TabUrlProperty, url.Get());
    SetRecordValue(record, TabIdProperty, VT_I4, tab.TabId());
    SetRecordValue(record, TabDescribedProperty, VT_BOOL, 1);
}

// A property of a record, changed to `type`; false when the record has none
// or it does not change.
bool ReadRecordValue(IvxEventRecord* record, const GUID& key, VARTYPE type, Variant& value)
{
    return record->HasProperty(&key) == S_OK && SUCCEEDED(record->GetProperty(&key, value.Out())) &&
           SUCCEEDED(VariantChangeType(value.Get(), value.Get(), 0, type));
}

// The record and the recorder an event source is handed back; false when
// either is not what the engine gives.
bool RecordAndRecorder(IUnknown* eventRecord, IUnknown* recorder, ComPtr<IvxEventRecord>& record,
                       ComPtr<IvxScriptRecorder>& scriptRecorder)
{
    return eventRecord && recorder && SUCCEEDED(eventRecord->QueryInterface(IID_PPV_ARGS(&record))) &&
           SUCCEEDED(recorder->QueryInterface(IID_PPV_ARGS(&scriptRecorder)));
}

} // namespace

// ------------------------------------------------------------ sink holder

void RecorderSinkHolder::Set(IUnknown* sink)
{
    ComPtr<IvxRecorderEventSink> newSink;
    if (sink)
        sink->QueryInterface(IID_PPV_ARGS(&newSink));
    CriticalSectionLock guard(lock_);
    sink_.Swap(newSink);
    // `guard` goes before `newSink`: the old sink is released unlocked.
}

void RecorderSinkHolder::Release() noexcept
{
    ComPtr<IvxRecorderEventSink> released;
    CriticalSectionLock guard(lock_);
    released.Swap(sink_);
}

ComPtr<IvxRecorderEventSink> RecorderSinkHolder::Sink()
{
    CriticalSectionLock guard(lock_);
    return sink_;
}

HRESULT FireNewRecord(IvxRecorderEventSink* sink, IUnknown* source, const GUID& kind, const GUID& key,
                      const VARIANT& value)
{
    ComPtr<IUnknown> created;
    ComPtr<IvxEventRecord> record;
    HRESULT hr = sink->CreateEventRecord(&kind, &created);
    if (SUCCEEDED(hr))
        hr = created ? created.As(&record) : E_FAIL;
    if (SUCCEEDED(hr))
        hr = record->SetProperty(&key, value);
    if (SUCCEEDED(hr))
        hr = sink->FireEvent(record.Get(), source);
    return hr;
}

// ------------------------------------------------------------ recording support

VARIANT_BOOL CCrRecordingSupport::OnEvent(IUnknown* host, IUnknown* eventRecord, IDispatch* objects) noexcept
try {
    ComPtr<IvxEventRecord> record;
    GUID kind = {};
    if (!eventRecord || FAILED(eventRecord->QueryInterface(IID_PPV_ARGS(&record))) ||
        FAILED(record->GetEventGuid(&kind)))
        return VARIANT_FALSE;
    const VARIANT_BOOL handled = IsEqualGUID(kind, PageLoadingEvent) ? VARIANT_TRUE : VARIANT_FALSE;
    ComPtr<CCrHookModule> module = link_.Module();
    if (!module)
        return handled;
    if (HWND window = EventWindow(record.Get(), kind)) {
        HWND tabWindow = FindRenderWidgetAncestor(window);
        if (ComPtr<CCrHookTab> tab = module->FindTabByWindow(tabWindow ? tabWindow : window)) {
            SetRecordValue(record.Get(), InTabProperty, VT_BOOL, 1);
            SetRecordValue(record.Get(), TabIdProperty, VT_I4, tab->TabId());
        }
    }
    bool treeModel = false;
    if (ComPtr<CCrHookTab> tab = TabOfEventObjects(*module.Get(), objects, treeModel))
        DescribeTab(record.Get(), host, *tab.Get(), treeModel);
    return handled;
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

// ------------------------------------------------------------ event source

STDMETHODIMP CCrEventSource::ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder) noexcept
try {
    ComPtr<IvxEventRecord> record;
    ComPtr<IvxScriptRecorder> scriptRecorder;
    Variant tabId;
    if (!RecordAndRecorder(eventRecord, recorder, record, scriptRecorder) ||
        !ReadRecordValue(record.Get(), LoadingTabIdProperty, VT_I4, tabId))
        return S_FALSE;
    ComPtr<CCrHookModule> module = link_.Module();
    ComPtr<CCrHookTab> tab = module ? module->FindTabById(V_I4(tabId.Get())) : nullptr;
    ComPtr<IvxObject> page;
    ComPtr<IDispatch> pageDispatch;
    // The engine's pages are the Tree-model pages of the tabs.
    if (!tab || FAILED(tab->GetPageTestObject(true, page)) || FAILED(page.As(&pageDispatch)))
        return S_FALSE;
    return scriptRecorder->SetEventObject(record.Get(), pageDispatch.Get());
}
VX_COM_CATCH

STDMETHODIMP CCrEventSource::OnStartLoading(IUnknown* tab) noexcept
try {
    ComPtr<IvxRecorderEventSink> sink = sink_.Sink();
    ComPtr<CCrHookModule> module = link_.Module();
    if (!sink || !module)
        return S_OK;
    ComPtr<CCrHookTab> hookTab = ModuleTabOf(*module.Get(), tab);
    if (!hookTab)
        return S_OK;
    VARIANT tabId;
    V_VT(&tabId) = VT_I4;
    V_I4(&tabId) = hookTab->TabId();
    return FireNewRecord(sink.Get(), Identity(), PageLoadingEvent, LoadingTabIdProperty, tabId);
}
VX_COM_CATCH

// ------------------------------------------------------------ custom controls

STDMETHODIMP CCrCustomControlsSupport::ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder) noexcept
try {
    ComPtr<IvxEventRecord> record;
    ComPtr<IvxScriptRecorder> scriptRecorder;
    Variant providerId;
    if (!RecordAndRecorder(eventRecord, recorder, record, scriptRecorder) ||
        !ReadRecordValue(record.Get(), ProviderIdProperty, VT_BSTR, providerId))
        return S_FALSE;
    ComPtr<IDispatch> provider;
    if (FAILED(scriptRecorder->GetRegisteredObject(V_BSTR(providerId.Get()), &provider)) || !provider)
        return S_FALSE;
    return scriptRecorder->SetEventObject(record.Get(), provider.Get());
}
VX_COM_CATCH

STDMETHODIMP CCrCustomControlsSupport::GetExtendedObject(IDispatch* object, IDispatch** provider,
                                                         VARIANT_BOOL* handled) noexcept
try {
    if (provider)
        *provider = nullptr;
    if (handled)
        *handled = VARIANT_FALSE;
    if (!provider || !handled)
        return E_POINTER;
    ComPtr<CCrHookModule> module = link_.Module();
    if (!sink_.Sink() || !module || !object)
        return S_OK; // not recording
    ComPtr<IvxObject> element;
    ComPtr<IvxCrCustomControlsNodeInformation> information;
    ComPtr<IvxCrCustomControlsNodeEventSource> events;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&element))) ||
        FAILED(object->QueryInterface(IID_PPV_ARGS(&information))) ||
        FAILED(object->QueryInterface(IID_PPV_ARGS(&events))))
        return S_OK;
    ComPtr<IvxObject> created;
    HRESULT hr = CreateRecordingProvider(this, module->StubManager().Get(), element.Get(), information.Get(),
                                         events.Get(), created);
    if (hr != S_OK)
        return SUCCEEDED(hr) ? S_OK : hr;
    ComPtr<IDispatch> dispatch;
    hr = created.As(&dispatch);
    if (FAILED(hr)) {
        ComPtr<IovDisposable> disposable;
        if (SUCCEEDED(created.As(&disposable)))
            disposable->Dispose();
        return hr;
    }
    *provider = dispatch.Detach();
    *handled = VARIANT_TRUE;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CCrCustomControlsSupport::OnProviderEvent(BSTR providerId, const GUID* eventGuid) noexcept
try {
    if (!eventGuid)
        return E_POINTER;
    ComPtr<IvxRecorderEventSink> sink = sink_.Sink();
    if (!sink)
        return S_OK; // recording ended: dropped
    VARIANT identifier;
    V_VT(&identifier) = VT_BSTR;
    V_BSTR(&identifier) = providerId; // borrowed: the record copies it
    return FireNewRecord(sink.Get(), Identity(), *eventGuid, ProviderIdProperty, identifier);
}
VX_COM_CATCH

STDMETHODIMP CCrCustomControlsSupport::GetCustomObject(IDispatch*, IUnknown** result) noexcept
try {
    if (result)
        *result = nullptr;
    return E_NOTIMPL;
}
VX_COM_CATCH

STDMETHODIMP CCrCustomControlsSupport::GetClassInfo(IDispatch* element, IUnknown** classInfo) noexcept
try {
    return CreateWebObjectClassInfo(element, classInfo);
}
VX_COM_CATCH

STDMETHODIMP CCrCustomControlsSupport::GetItemObject(IDispatch*, VARIANT, IUnknown** result) noexcept
try {
    if (result)
        *result = nullptr;
    return E_NOTIMPL;
}
VX_COM_CATCH

STDMETHODIMP CCrCustomControlsSupport::GetWindowObject(LONG_PTR, IUnknown** result) noexcept
try {
    if (result)
        *result = nullptr;
    return E_NOTIMPL;
}
VX_COM_CATCH
