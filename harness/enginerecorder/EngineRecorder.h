#pragma once
// Stand-in of the engine while it records a test: it starts and stops
// recording in the hook modules, asks for recording providers of elements
// and keeps them by identifier, turns a user's window messages into event
// records, takes the records that modules fire, hands each to the modules
// (first the event sources, then every recorder module) as the engine does,
// and answers the recording host's lookups of its objects by object-name
// prefix. Test equipment.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "generated/vxOpenAppServices.h"
#include "harness/enginerecorder/EngineRecord.h"
#include "harness/enginetree/EngineTree.h"
#include "platform/com/ComObject.h"

namespace vxtest {

// One record as the engine handled it: whether any recorder module took it.
struct RecordedEvent
{
    Microsoft::WRL::ComPtr<CEngineEventRecord> record;
    bool handled = false;
};

// What the recording host was asked: the prefix, the window (0 when asked
// by prefix alone) and the key of the object it answered.
struct HostLookup
{
    std::wstring prefix;
    LONG_PTR window = 0;
    GUID key = GUID_NULL;
};

class CEngineRecorder final
    : public vx::com::ComObject<CEngineRecorder, IvxRecorderEventSink, IvxScriptRecorder, IvxRecordingHost>
{
public:
    // `modules` are the hook modules registered with the host; each is asked
    // through the interfaces it answers (IvxScriptRecorderEventSource,
    // IvxScriptEventRecorder, IvxModuleExtendedObjects2), in order.
    explicit CEngineRecorder(std::vector<Microsoft::WRL::ComPtr<IUnknown>> modules);

    ~CEngineRecorder() override;

    HRESULT Start();
    HRESULT Stop();

    // Asks the modules for the extended object (recording provider) of the
    // node's test object; a provider is registered under its moniker with
    // the node. S_FALSE when no module handled the element.
    HRESULT AttachProvider(CTestTreeNode* element, Microsoft::WRL::ComPtr<IDispatch>& provider);
    // Disposes of every provider (as the engine does when recording ends)
    // and forgets them.
    void DisposeProviders();

    // A user's window message on the object of `node` (x, y relative to the
    // element), reported to every recorder module as the engine does.
    RecordedEvent ReportWindowMessage(HWND window, UINT message, LONG x, LONG y, CTestTreeNode* node);
    // A key event in `window`.
    RecordedEvent ReportKey(HWND window, CTestTreeNode* node);
    // A command (`message`, WM_COMMAND or another) sent to `window`.
    RecordedEvent ReportCommand(HWND window, UINT message, CTestTreeNode* node);

    // Records fired by the modules, in order, once handled.
    std::vector<RecordedEvent> Fired();
    // Waits until at least `count` records were fired and handled, taking
    // calls into the caller's apartment meanwhile.
    bool WaitForFired(size_t count, DWORD timeoutMs);
    std::vector<HostLookup> HostLookups();

    // IvxRecorderEventSink
    STDMETHODIMP IsRecording(VARIANT_BOOL* recording) noexcept override;
    STDMETHODIMP PauseRecording() noexcept override;
    STDMETHODIMP ResumeRecording() noexcept override;
    STDMETHODIMP GetRecordingHost(IUnknown** host) noexcept override;
    STDMETHODIMP CreateEventRecord(const GUID* eventGuid, IUnknown** eventRecord) noexcept override;
    STDMETHODIMP CancelEventRecord(IUnknown* eventRecord) noexcept override;
    STDMETHODIMP FireEvent(IUnknown* eventRecord, IUnknown* source) noexcept override;
    // IvxScriptRecorder
    STDMETHODIMP GetRegisteredObject(BSTR identifier, IDispatch** object) noexcept override;
    STDMETHODIMP RegisterObject(BSTR identifier, IDispatch* object) noexcept override;
    STDMETHODIMP UnregisterObject(BSTR identifier) noexcept override;
    STDMETHODIMP GetRegisteredCount(LONG* count) noexcept override;
    STDMETHODIMP GetEventCount(LONG* count) noexcept override;
    STDMETHODIMP GetEvent(LONG index, IUnknown** eventRecord) noexcept override;
    STDMETHODIMP RemoveEvent(LONG index) noexcept override;
    STDMETHODIMP GetLastEvent(IUnknown** eventRecord) noexcept override;
    STDMETHODIMP BeginGroup(BSTR name) noexcept override;
    STDMETHODIMP EndGroup() noexcept override;
    STDMETHODIMP AddComment(BSTR text) noexcept override;
    STDMETHODIMP GetRecordingMode(LONG* mode) noexcept override;
    STDMETHODIMP SetRecordingMode(LONG mode) noexcept override;
    STDMETHODIMP SetEventObject(IUnknown* eventRecord, IDispatch* object) noexcept override;
    // IvxRecordingHost
    STDMETHODIMP GetObjectByPrefix(BSTR prefix, IUnknown** object) noexcept override;
    STDMETHODIMP GetObjectByWindowAndPrefix(LONG_PTR window, BSTR prefix, IUnknown** object) noexcept override;

private:
    struct Registered
    {
        Microsoft::WRL::ComPtr<IDispatch> object;
        Microsoft::WRL::ComPtr<CTestTreeNode> node;
    };

    // Every recorder module's OnEvent; true when any handled it.
    bool Deliver(CEngineEventRecord* record, CTestTreeNode* node);
    Microsoft::WRL::ComPtr<CTestTreeNode> NodeOfEventObject(CEngineEventRecord* record);
    HRESULT HostObject(const std::wstring& prefix, LONG_PTR window, IUnknown** object);

    template <class Interface, class Call>
    void ForEachModule(Call&& call);

    const std::vector<Microsoft::WRL::ComPtr<IUnknown>> modules_;
    std::mutex lock_;
    bool recording_ = false;
    LONG mode_ = 0;
    std::map<std::wstring, Registered> registered_;
    std::vector<RecordedEvent> events_;
    std::map<std::wstring, GUID> hostKeys_;
    HANDLE firedEvent_ = nullptr; // set at every fired record
    std::vector<HostLookup> lookups_;
};

} // namespace vxtest
