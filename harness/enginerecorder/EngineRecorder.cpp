#include "harness/enginerecorder/EngineRecorder.h"

#include <algorithm>

#include "platform/com/BStr.h"
#include "platform/com/ComBoundary.h"

using Microsoft::WRL::ComPtr;

namespace vxtest {
namespace {

// {4B6E1BCE-474C-4C86-8137-913ABE4DB22A}: the engine's window-message event.
constexpr GUID kWindowMessageEvent = {0x4B6E1BCE, 0x474C, 0x4C86, {0x81, 0x37, 0x91, 0x3A, 0xBE, 0x4D, 0xB2, 0x2A}};
// {1CA72069-0071-42B6-852D-1E6B26A399BA}: the engine's command event.
constexpr GUID kCommandEvent = {0x1CA72069, 0x0071, 0x42B6, {0x85, 0x2D, 0x1E, 0x6B, 0x26, 0xA3, 0x99, 0xBA}};
// {3BCAE1AF-C781-4CCE-8F3B-6C7F4352CD3A}: the engine's key event.
constexpr GUID kKeyEvent = {0x3BCAE1AF, 0xC781, 0x4CCE, {0x8F, 0x3B, 0x6C, 0x7F, 0x43, 0x52, 0xCD, 0x3A}};

// An object of the engine's, known by its key.
class CHostObject final : public vx::com::ComObject<CHostObject, IovKeyItem>
{
public:
    explicit CHostObject(const GUID& key) : key_(key) {}
    STDMETHODIMP GetKey(GUID* key) noexcept override
    try {
        if (!key)
            return E_POINTER;
        *key = key_;
        return S_OK;
    }
    VX_COM_CATCH

private:
    const GUID key_;
};

void PutLong(BYTE* payload, size_t offset, LONG value)
{
    memcpy(payload + offset, &value, sizeof(value));
}

LONG WindowValue(HWND window)
{
    // The engine reports window handles as 32-bit values.
    return static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
}

} // namespace

CEngineRecorder::CEngineRecorder(std::vector<ComPtr<IUnknown>> modules)
    : modules_(std::move(modules)), firedEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

CEngineRecorder::~CEngineRecorder()
{
    if (firedEvent_)
        CloseHandle(firedEvent_);
}

template <class Interface, class Call>
void CEngineRecorder::ForEachModule(Call&& call)
{
    for (const ComPtr<IUnknown>& module : modules_) {
        ComPtr<Interface> answering;
        if (SUCCEEDED(module.As(&answering)))
            call(answering.Get());
    }
}

HRESULT CEngineRecorder::Start()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        recording_ = true;
    }
    HRESULT result = S_OK;
    ForEachModule<IvxScriptRecorderEventSource>([&](IvxScriptRecorderEventSource* source) {
        const HRESULT hr = source->SetRecorderSink(static_cast<IvxRecorderEventSink*>(this));
        if (FAILED(hr))
            result = hr;
    });
    ForEachModule<IvxScriptEventRecorder>([&](IvxScriptEventRecorder* recorder) {
        const HRESULT hr = recorder->OnRecordingStarted();
        if (FAILED(hr))
            result = hr;
    });
    return result;
}

HRESULT CEngineRecorder::Stop()
{
    HRESULT result = S_OK;
    ForEachModule<IvxScriptEventRecorder>([&](IvxScriptEventRecorder* recorder) { recorder->OnRecordingStopped(); });
    ForEachModule<IvxScriptRecorderEventSource>([&](IvxScriptRecorderEventSource* source) {
        const HRESULT hr = source->ReleaseRecorderSink();
        if (FAILED(hr))
            result = hr;
    });
    std::lock_guard<std::mutex> guard(lock_);
    recording_ = false;
    return result;
}

HRESULT CEngineRecorder::AttachProvider(CTestTreeNode* element, ComPtr<IDispatch>& provider)
{
    provider.Reset();
    ComPtr<IvxObject> testObject = element ? element->FirstTestObject() : nullptr;
    ComPtr<IDispatch> dispatch;
    if (!testObject || FAILED(testObject.As(&dispatch)))
        return E_INVALIDARG;
    // The first module that handles the element gives its extended object.
    HRESULT hr = S_OK;
    ForEachModule<IvxModuleExtendedObjects2>([&](IvxModuleExtendedObjects2* extended) {
        VARIANT_BOOL handled = VARIANT_FALSE;
        if (provider || FAILED(hr))
            return;
        hr = extended->GetExtendedObject(dispatch.Get(), &provider, &handled);
        if (!handled)
            provider.Reset();
    });
    if (FAILED(hr))
        return hr;
    if (!provider)
        return S_FALSE;
    ComPtr<IvxObject> providerObject;
    vx::com::BStr moniker;
    hr = provider.As(&providerObject);
    if (SUCCEEDED(hr))
        hr = providerObject->GetMoniker(moniker.Out());
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> guard(lock_);
    registered_[moniker.Str()] = Registered{provider, element};
    return S_OK;
}

void CEngineRecorder::DisposeProviders()
{
    std::map<std::wstring, Registered> taken;
    {
        std::lock_guard<std::mutex> guard(lock_);
        taken.swap(registered_);
    }
    for (auto& entry : taken) {
        ComPtr<IovDisposable> disposable;
        if (SUCCEEDED(entry.second.object.As(&disposable)))
            disposable->Dispose();
    }
}

RecordedEvent CEngineRecorder::ReportWindowMessage(HWND window, UINT message, LONG x, LONG y, CTestTreeNode* node)
{
    ComPtr<CEngineEventRecord> record;
    vx::com::CreateComObject(record, kWindowMessageEvent);
    BYTE payload[40] = {};
    PutLong(payload, 0, WindowValue(window));
    PutLong(payload, 8, static_cast<LONG>(message));
    PutLong(payload, 12, x);
    PutLong(payload, 16, y);
    record->SetRawProperty(&kWindowMessageEvent, sizeof(payload), payload);
    if (ComPtr<IvxObject> target = node ? node->FirstTestObject() : nullptr) {
        ComPtr<IDispatch> dispatch;
        if (SUCCEEDED(target.As(&dispatch)))
            record->SetTargetObject(dispatch.Get());
    }
    const bool handled = Deliver(record.Get(), node);
    return RecordedEvent{record, handled};
}

RecordedEvent CEngineRecorder::ReportKey(HWND window, CTestTreeNode* node)
{
    ComPtr<CEngineEventRecord> record;
    vx::com::CreateComObject(record, kKeyEvent);
    BYTE payload[20] = {};
    PutLong(payload, 0, WindowValue(window));
    record->SetRawProperty(&kKeyEvent, sizeof(payload), payload);
    const bool handled = Deliver(record.Get(), node);
    return RecordedEvent{record, handled};
}

RecordedEvent CEngineRecorder::ReportCommand(HWND window, UINT message, CTestTreeNode* node)
{
    ComPtr<CEngineEventRecord> record;
    vx::com::CreateComObject(record, kCommandEvent);
    BYTE payload[36] = {};
    PutLong(payload, 0, WindowValue(window));
    PutLong(payload, 8, static_cast<LONG>(message));
    record->SetRawProperty(&kCommandEvent, sizeof(payload), payload);
    const bool handled = Deliver(record.Get(), node);
    return RecordedEvent{record, handled};
}

bool CEngineRecorder::Deliver(CEngineEventRecord* record, CTestTreeNode* node)
{
    IDispatch* engineObject = node ? static_cast<IDispatch*>(node) : nullptr;
    IUnknown* host = static_cast<IvxRecordingHost*>(this);
    bool handled = false;
    ForEachModule<IvxScriptEventRecorder>([&](IvxScriptEventRecorder* recorder) {
        if (recorder->OnEvent(host, record, engineObject) != VARIANT_FALSE)
            handled = true;
    });
    return handled;
}

ComPtr<CTestTreeNode> CEngineRecorder::NodeOfEventObject(CEngineEventRecord* record)
{
    ComPtr<IDispatch> object = record->EventObject();
    if (!object)
        return nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    for (const auto& entry : registered_)
        if (entry.second.object.Get() == object.Get())
            return entry.second.node;
    return nullptr;
}

std::vector<RecordedEvent> CEngineRecorder::Fired()
{
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
}

bool CEngineRecorder::WaitForFired(size_t count, DWORD timeoutMs)
{
    // Calls into this thread's apartment (the page's events reach objects
    // made here) are taken while waiting.
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (events_.size() >= count)
                return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        DWORD index = 0;
        CoWaitForMultipleHandles(COWAIT_DISPATCH_CALLS | COWAIT_DISPATCH_WINDOW_MESSAGES,
                                 static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20)), 1, &firedEvent_, &index);
    }
}

std::vector<HostLookup> CEngineRecorder::HostLookups()
{
    std::lock_guard<std::mutex> guard(lock_);
    return lookups_;
}

// ---------------------------------------------------------------- sink

STDMETHODIMP CEngineRecorder::IsRecording(VARIANT_BOOL* recording) noexcept
try {
    if (!recording)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *recording = recording_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::PauseRecording() noexcept
{
    return E_NOTIMPL;
}

STDMETHODIMP CEngineRecorder::ResumeRecording() noexcept
{
    return E_NOTIMPL;
}

STDMETHODIMP CEngineRecorder::GetRecordingHost(IUnknown** host) noexcept
try {
    if (!host)
        return E_POINTER;
    *host = static_cast<IvxRecordingHost*>(this);
    (*host)->AddRef();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::CreateEventRecord(const GUID* eventGuid, IUnknown** eventRecord) noexcept
try {
    if (!eventGuid || !eventRecord)
        return E_POINTER;
    *eventRecord = nullptr;
    ComPtr<CEngineEventRecord> record;
    HRESULT hr = vx::com::CreateComObject(record, *eventGuid);
    if (SUCCEEDED(hr))
        *eventRecord = ComPtr<IUnknown>(record->Identity()).Detach();
    return hr;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::CancelEventRecord(IUnknown*) noexcept
{
    return S_OK;
}

// A fired record goes to the event sources first (so that it refers to its
// object), then to every recorder module with the engine's object.
STDMETHODIMP CEngineRecorder::FireEvent(IUnknown* eventRecord, IUnknown* source) noexcept
try {
    ComPtr<IvxEventRecord> asRecord;
    if (!eventRecord || FAILED(eventRecord->QueryInterface(IID_PPV_ARGS(&asRecord))))
        return E_INVALIDARG;
    // Records are the engine's own objects: the pointer is one of ours.
    auto* record = static_cast<CEngineEventRecord*>(asRecord.Get());
    record->SetSource(source);
    ForEachModule<IvxScriptRecorderEventSource>([&](IvxScriptRecorderEventSource* source) {
        source->ProcessRecordedEvent(eventRecord, static_cast<IvxScriptRecorder*>(this));
    });
    ComPtr<CTestTreeNode> node = NodeOfEventObject(record);
    const bool handled = Deliver(record, node.Get());
    {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(RecordedEvent{ComPtr<CEngineEventRecord>(record), handled});
    }
    SetEvent(firedEvent_);
    return S_OK;
}
VX_COM_CATCH

// ---------------------------------------------------------------- recorder

STDMETHODIMP CEngineRecorder::GetRegisteredObject(BSTR identifier, IDispatch** object) noexcept
try {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    auto it = registered_.find(std::wstring(identifier ? identifier : L"", SysStringLen(identifier)));
    if (it != registered_.end())
        *object = ComPtr<IDispatch>(it->second.object).Detach();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::RegisterObject(BSTR identifier, IDispatch* object) noexcept
try {
    std::lock_guard<std::mutex> guard(lock_);
    registered_[std::wstring(identifier ? identifier : L"", SysStringLen(identifier))] = Registered{object, nullptr};
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::UnregisterObject(BSTR identifier) noexcept
try {
    std::lock_guard<std::mutex> guard(lock_);
    registered_.erase(std::wstring(identifier ? identifier : L"", SysStringLen(identifier)));
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::GetRegisteredCount(LONG* count) noexcept
try {
    if (!count)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *count = static_cast<LONG>(registered_.size());
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::GetEventCount(LONG* count) noexcept
try {
    if (!count)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *count = static_cast<LONG>(events_.size());
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::GetEvent(LONG index, IUnknown** eventRecord) noexcept
try {
    if (!eventRecord)
        return E_POINTER;
    *eventRecord = nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    if (index < 0 || static_cast<size_t>(index) >= events_.size())
        return E_INVALIDARG;
    *eventRecord = ComPtr<IUnknown>(events_[static_cast<size_t>(index)].record->Identity()).Detach();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::RemoveEvent(LONG index) noexcept
try {
    std::lock_guard<std::mutex> guard(lock_);
    if (index < 0 || static_cast<size_t>(index) >= events_.size())
        return E_INVALIDARG;
    events_.erase(events_.begin() + index);
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::GetLastEvent(IUnknown** eventRecord) noexcept
try {
    if (!eventRecord)
        return E_POINTER;
    *eventRecord = nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    if (!events_.empty())
        *eventRecord = ComPtr<IUnknown>(events_.back().record->Identity()).Detach();
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::BeginGroup(BSTR) noexcept
{
    return E_NOTIMPL;
}

STDMETHODIMP CEngineRecorder::EndGroup() noexcept
{
    return E_NOTIMPL;
}

STDMETHODIMP CEngineRecorder::AddComment(BSTR) noexcept
{
    return E_NOTIMPL;
}

STDMETHODIMP CEngineRecorder::GetRecordingMode(LONG* mode) noexcept
try {
    if (!mode)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *mode = mode_;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::SetRecordingMode(LONG mode) noexcept
try {
    std::lock_guard<std::mutex> guard(lock_);
    mode_ = mode;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::SetEventObject(IUnknown* eventRecord, IDispatch* object) noexcept
try {
    ComPtr<IvxEventRecord> asRecord;
    if (!eventRecord || FAILED(eventRecord->QueryInterface(IID_PPV_ARGS(&asRecord))))
        return E_INVALIDARG;
    static_cast<CEngineEventRecord*>(asRecord.Get())->SetEventObject(object);
    return S_OK;
}
VX_COM_CATCH

// ---------------------------------------------------------------- host

HRESULT CEngineRecorder::HostObject(const std::wstring& prefix, LONG_PTR window, IUnknown** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    GUID key = {};
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = hostKeys_.find(prefix);
        if (it == hostKeys_.end()) {
            if (FAILED(CoCreateGuid(&key)))
                return E_FAIL;
            hostKeys_.emplace(prefix, key);
        } else {
            key = it->second;
        }
        lookups_.push_back(HostLookup{prefix, window, key});
    }
    ComPtr<CHostObject> found;
    HRESULT hr = vx::com::CreateComObject(found, key);
    if (SUCCEEDED(hr))
        *object = ComPtr<IUnknown>(found->Identity()).Detach();
    return hr;
}

STDMETHODIMP CEngineRecorder::GetObjectByPrefix(BSTR prefix, IUnknown** object) noexcept
try {
    return HostObject(std::wstring(prefix ? prefix : L"", SysStringLen(prefix)), 0, object);
}
VX_COM_CATCH

STDMETHODIMP CEngineRecorder::GetObjectByWindowAndPrefix(LONG_PTR window, BSTR prefix, IUnknown** object) noexcept
try {
    return HostObject(std::wstring(prefix ? prefix : L"", SysStringLen(prefix)), window, object);
}
VX_COM_CATCH

} // namespace vxtest
