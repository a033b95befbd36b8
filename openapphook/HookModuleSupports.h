#pragma once
#include <windows.h>

#include <vector>

#include "generated/vxOpenAppServices.h"
#include "platform/com/ComObject.h"
#include "platform/com/CriticalSection.h"

namespace vxOpenAppHook {

// The support objects of a hook module, one list per host interface, and the
// routing of every host operation to them. Each operation runs guarded under
// its own operation identifier; the lists are copied under the lock and the
// supports called outside it (except the recording operations and the
// custom-control lookups, which call them under the lock). A support that
// crashes turns that one host call into false, zero or empty.
class HookModuleSupports
{
public:
    HookModuleSupports() = default;
    HookModuleSupports(const HookModuleSupports&) = delete;
    HookModuleSupports& operator=(const HookModuleSupports&) = delete;

    // Appends the support to the list of every host interface it answers;
    // hands it the recorder sink and starts its recording when those are on.
    HRESULT AddSupport(IUnknown* support);
    // Releases every support and the recorder sink.
    void Clear();

    // IvxModuleObjects
    VARIANT_BOOL HandlesObject(const VARIANT& object);
    VARIANT_BOOL GetObjects(const VARIANT& parent, VARIANT* objects);
    // IvxModuleExtendedObjects2
    HRESULT GetExtendedObject(IDispatch* object, IDispatch** extension, VARIANT_BOOL* handled);
    // IvxModuleWindows2
    VARIANT_BOOL GetObjectFromWindow(LONG_PTR window, IDispatch** object);
    VARIANT_BOOL GetWindowFromObject(IDispatch* object, LONG_PTR* window);
    // IvxModuleControls
    VARIANT_BOOL IsControl(IDispatch* object);
    VARIANT_BOOL GetObjectFromPoint(IDispatch* windowObject, LONG x, LONG y, LONG_PTR* window, IDispatch** object);
    VARIANT_BOOL GetFocusedObject(IDispatch* windowObject, LONG_PTR* window, IDispatch** object);
    // IvxModuleTestFixtures
    LONG GetFixtureCount();
    HRESULT RunFixture(LONG index, const VARIANT& argument);
    // IvxModuleOptions
    HRESULT SetOption(const GUID* key, const VARIANT& value);
    // IvxModuleSyncInvoker
    HRESULT InvokeSynchronized(IDispatch* target, LONG operation, VARIANT* data);
    // IvxModuleObjectRecognizer
    HRESULT RecognizeObject(IDispatch* object, VARIANT* recognized);
    // IvxCustomControlOpenAppSupport2
    HRESULT GetCustomObject(IDispatch* object, IUnknown** result);
    HRESULT GetClassInfo(IDispatch* element, IUnknown** classInfo);
    HRESULT GetItemObject(IDispatch* object, const VARIANT& item, IUnknown** result);
    HRESULT GetWindowObject(LONG_PTR window, IUnknown** result);
    HRESULT CreateCustomControl(IDispatch* parent, BSTR className, const VARIANT& data, LONG_PTR window,
                                IUnknown* context, IDispatch** result);
    // IvxScriptRecorderEventSource
    HRESULT SetRecorderSink(IUnknown* sink);
    HRESULT ReleaseRecorderSink();
    HRESULT ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder);
    // IvxScriptEventRecorder (the module's recording state)
    HRESULT StartRecording();
    HRESULT StopRecording();
    VARIANT_BOOL OnRecordedEvent(IUnknown* context, IUnknown* eventRecord, IDispatch* testObject);

    bool IsRecording();

private:
    template <class I>
    using List = std::vector<Microsoft::WRL::ComPtr<I>>;

    template <class I>
    List<I> Copy(const List<I>& list);
    // Calls `call` on each support of list 11 (a copy, without the lock)
    // until one succeeds with an object.
    template <class Call>
    HRESULT FirstCustomControlAnswer(const wchar_t* operationId, IUnknown** result, Call&& call);

    vx::com::CriticalSection lock_;
    List<IvxModuleObjects> objects_;
    List<IvxModuleExtendedObjects> extendedObjects_;
    List<IvxModuleExtendedObjects2> extendedObjects2_;
    List<IvxModuleWindows> windows_;
    List<IvxModuleWindows2> windows2_;
    List<IvxModuleControls> controls_;
    List<IvxModuleTestFixtures> testFixtures_;
    List<IvxModuleOptions> options_;
    List<IvxModuleSyncInvoker> syncInvokers_;
    List<IvxModuleObjectRecognizer> objectRecognizers_;
    List<IvxCustomControlOpenAppSupport> customControls_;
    List<IvxScriptRecorderEventSource> recorderSources_;
    List<IvxScriptEventRecorder> eventRecorders_;
    Microsoft::WRL::ComPtr<IUnknown> recorderSink_;
    bool recording_ = false;
    // Counts recording starts and stops.
    unsigned long recordingChanges_ = 0;
};

} // namespace vxOpenAppHook
