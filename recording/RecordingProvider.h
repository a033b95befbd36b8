#pragma once
// The recording provider: a hook object attached to one text box, password
// box or drop-down list while the engine records. It listens to the
// element's "keyup" or "change" DOM event and tells the custom-controls
// support of each one, with its identifier (the element's moniker) and the
// event's GUID. The engine disposes of it when recording no longer needs it;
// events that still arrive afterwards find no support and are dropped.
#include <windows.h>
#include <wrl/client.h>

#include <map>

#include "generated/vxCrHook.h"
#include "generated/vxOpenAppServices.h"
#include "platform/com/BStr.h"
#include "platform/com/CriticalSection.h"
#include "testobjects/HookObjectCom.h"

namespace vxCrRecording {

class CCrRecordingProviderHookObject final
    : public vxCrTestObjects::HookObjectCom<CCrRecordingProviderHookObject, IovDisposable>
{
public:
    // One subscription of the provider: passes each event to the support
    // until it is detached.
    class CEventListener;

    static constexpr const wchar_t* ClassName = L"CCrRecordingProviderHookObject";

    CCrRecordingProviderHookObject() noexcept = default;
    // A provider the engine lets go of without disposing of it still ends
    // its subscriptions.
    ~CCrRecordingProviderHookObject() override;

    // Takes the element's moniker as the provider identifier, keeps its
    // event source and the support, and registers with `stubManager`.
    HRESULT Initialize(IvxObject* element, IvxCrCustomControlsNodeEventSource* events,
                       vxOpenAppHook::IStubManager* stubManager, IvxCrCustomControlsListener* sink);
    // Subscribes to `eventName` on the element; each event is reported with
    // `eventGuid`.
    HRESULT AddListener(const wchar_t* eventName, bool useCapture, const GUID& eventGuid);

    // IovDisposable: removes every subscription and lets go of the support.
    STDMETHODIMP Dispose() noexcept override;

    // What HookObjectCom asks of its derived class.
    HRESULT IdentifierString(BSTR* out);
    HRESULT NativeObject(IDispatch** out);
    HRESULT Exists(bool& exists);
    HRESULT Moniker(BSTR* out);
    LONG CreationValue() const noexcept { return 0; }

private:
    vx::com::BStr providerId_;
    vx::com::BStr instance_; // a GUID of its own, in string form
    Microsoft::WRL::ComPtr<IvxObject> element_;
    Microsoft::WRL::ComPtr<IvxCrCustomControlsNodeEventSource> events_;
    vx::com::CriticalSection lock_; // guards sink_ and listeners_
    Microsoft::WRL::ComPtr<IvxCrCustomControlsListener> sink_;
    std::map<ULONGLONG, Microsoft::WRL::ComPtr<CEventListener>> listeners_;
};

// Makes the provider an element needs while recording: "keyup" for text
// and password boxes, "change" for drop-down lists. S_FALSE with no object
// for every other element; a failed subscription is returned and the new
// provider released.
HRESULT CreateRecordingProvider(IvxCrCustomControlsListener* sink, vxOpenAppHook::IStubManager* stubManager,
                                IvxObject* element, IvxCrCustomControlsNodeInformation* information,
                                IvxCrCustomControlsNodeEventSource* events,
                                Microsoft::WRL::ComPtr<IvxObject>& provider);

} // namespace vxCrRecording
