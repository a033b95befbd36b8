#include "openapphook/HookModuleSupports.h"

#include <oleauto.h>

#include <tuple>
#include <utility>

#include "openapphook/ExceptionGuard.h"
#include "openapphook/HostOperationIds.h"
#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;
namespace Ids = HostOperationIds;

namespace {

// Runs a support walk that answers VARIANT_BOOL; a crash answers false.
// A crash abandons the walk without running destructors, so the walks own
// nothing: lists are copied, locks taken and results kept outside them.
template <class Body>
VARIANT_BOOL GuardedAnswer(const wchar_t* operationId, Body&& body)
{
    VARIANT_BOOL answer = VARIANT_FALSE;
    HRESULT hr = RunGuarded(operationId, [&]() -> HRESULT {
        answer = body();
        return S_OK;
    });
    return hr == S_OK ? answer : VARIANT_FALSE;
}

// Queries `support` for I and appends it to `list`; a support that does not
// answer I is simply not in the list.
template <class I>
HRESULT Collect(IUnknown* support, std::vector<ComPtr<I>>& list)
{
    ComPtr<I> itf;
    HRESULT hr = support->QueryInterface(__uuidof(I), reinterpret_cast<void**>(itf.GetAddressOf()));
    if (hr == E_NOINTERFACE)
        return S_OK;
    if (FAILED(hr))
        return hr;
    if (itf)
        list.push_back(std::move(itf));
    return S_OK;
}

// Moves the entries of `from` to the end of `to`; From is I or derives from it.
template <class I, class From>
void Append(std::vector<ComPtr<I>>& to, std::vector<ComPtr<From>>&& from)
{
    for (auto& item : from)
        to.push_back(std::move(item));
}

// Adds the objects of one support's answer (one object or an array of
// objects) to the combined list.
void AddAnswerObjects(const VARIANT& answer, std::vector<ComPtr<IDispatch>>& objects)
{
    auto addUnknown = [&](IUnknown* unknown) {
        ComPtr<IDispatch> object;
        if (unknown &&
            SUCCEEDED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf()))))
            objects.push_back(std::move(object));
    };
    const VARTYPE type = V_VT(&answer);
    if (type == VT_DISPATCH || type == VT_UNKNOWN) {
        addUnknown(V_UNKNOWN(&answer));
        return;
    }
    if (!(type & VT_ARRAY) || !V_ARRAY(&answer) || SafeArrayGetDim(V_ARRAY(&answer)) != 1)
        return;
    SAFEARRAY* array = V_ARRAY(&answer);
    const VARTYPE elementType = type & ~VT_ARRAY;
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        if (elementType == VT_DISPATCH || elementType == VT_UNKNOWN) {
            IUnknown* element = nullptr;
            if (SUCCEEDED(SafeArrayGetElement(array, &i, &element)) && element) {
                addUnknown(element);
                element->Release();
            }
        } else if (elementType == VT_VARIANT) {
            vx::com::Variant element;
            if (SUCCEEDED(SafeArrayGetElement(array, &i, element.Get())))
                AddAnswerObjects(*element, objects);
        }
    }
}

// Puts a one-dimensional array (lower bound 0) of `count` elements of
// `type` in `out`; `elementAt(i)` is what SafeArrayPutElement copies in at i.
template <class ElementAt>
HRESULT MakeArray(VARTYPE type, size_t count, ElementAt&& elementAt, VARIANT* out)
{
    vx::com::SafeArray array(SafeArrayCreateVector(type, 0, static_cast<ULONG>(count)));
    if (!array.Get())
        return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
        HRESULT hr = SafeArrayPutElement(array.Get(), &i, elementAt(i));
        if (FAILED(hr))
            return hr;
    }
    V_VT(out) = VT_ARRAY | type;
    V_ARRAY(out) = array.Detach();
    return S_OK;
}

template <class T>
void ClearOut(T** out)
{
    if (out)
        *out = nullptr;
}

// True when one of the supports answers true to `ask`; they are asked in
// registration order and the first true ends the walk.
template <class Support, class Ask>
VARIANT_BOOL AnySupportAnswersTrue(const wchar_t* operationId, const std::vector<ComPtr<Support>>& supports, Ask&& ask)
{
    return GuardedAnswer(operationId, [&]() -> VARIANT_BOOL {
        for (const auto& support : supports)
            if (ask(support.Get()) != VARIANT_FALSE)
                return VARIANT_TRUE;
        return VARIANT_FALSE;
    });
}

// Asks the supports in turn for a window and an object until one answers
// true; the out values are set only then. `copySupports` takes the list of
// supports once the out values are cleared and checked.
template <class CopySupports, class Ask>
VARIANT_BOOL FirstWindowAndObject(const wchar_t* operationId, LONG_PTR* window, IDispatch** object,
                                  CopySupports&& copySupports, Ask&& ask)
{
    ClearOut(object);
    if (window)
        *window = 0;
    if (!window || !object)
        return VARIANT_FALSE;
    LONG_PTR foundWindow = 0;
    ComPtr<IDispatch> found;
    const auto supports = copySupports();
    VARIANT_BOOL answer = GuardedAnswer(operationId, [&]() -> VARIANT_BOOL {
        for (const auto& support : supports) {
            foundWindow = 0;
            found.Reset();
            if (ask(support.Get(), &foundWindow, found.ReleaseAndGetAddressOf()) != VARIANT_FALSE)
                return VARIANT_TRUE;
        }
        found.Reset();
        return VARIANT_FALSE;
    });
    if (answer != VARIANT_FALSE) {
        *window = foundWindow;
        *object = found.Detach();
    }
    return answer;
}

} // namespace

template <class I>
HookModuleSupports::List<I> HookModuleSupports::Copy(const List<I>& list)
{
    CriticalSectionLock guard(lock_);
    return list;
}

// ---------------------------------------------------------------- registration

HRESULT HookModuleSupports::AddSupport(IUnknown* support)
{
    if (!support)
        return E_POINTER;
    // Everything the support answers is collected first, so that a failed
    // registration leaves no partial entries behind.
    List<IvxModuleObjects> objects;
    List<IvxModuleExtendedObjects> extendedObjects;
    List<IvxModuleExtendedObjects2> extendedObjects2;
    List<IvxModuleWindows> windows;
    List<IvxModuleWindows2> windows2;
    List<IvxModuleControls> controls;
    List<IvxModuleTestFixtures> testFixtures;
    List<IvxModuleOptions> options;
    List<IvxModuleSyncInvoker> syncInvokers;
    List<IvxModuleObjectRecognizer> objectRecognizers;
    List<IvxCustomControlOpenAppSupport> customControls;
    List<IvxScriptRecorderEventSource> recorderSources;
    List<IvxScriptEventRecorder> eventRecorders;
    for (HRESULT hr : {Collect(support, objects), Collect(support, extendedObjects), Collect(support, extendedObjects2),
                       Collect(support, windows), Collect(support, windows2), Collect(support, controls),
                       Collect(support, testFixtures), Collect(support, options), Collect(support, syncInvokers),
                       Collect(support, objectRecognizers), Collect(support, customControls),
                       Collect(support, recorderSources), Collect(support, eventRecorders)}) {
        if (FAILED(hr))
            return hr;
    }

    // Appended under the lock; the support is told about the sink and a
    // running recording after leaving it.
    ComPtr<IvxScriptRecorderEventSource> newSource = recorderSources.empty() ? nullptr : recorderSources.front();
    ComPtr<IvxScriptEventRecorder> newRecorder = eventRecorders.empty() ? nullptr : eventRecorders.front();
    ComPtr<IUnknown> sink;
    bool recording = false;
    unsigned long recordingChanges = 0;
    {
        CriticalSectionLock guard(lock_);
        Append(objects_, std::move(objects));
        Append(extendedObjects_, std::move(extendedObjects));
        Append(extendedObjects2_, std::move(extendedObjects2));
        Append(windows_, std::move(windows));
        Append(windows2_, std::move(windows2));
        Append(controls_, std::move(controls));
        Append(testFixtures_, std::move(testFixtures));
        Append(options_, std::move(options));
        Append(syncInvokers_, std::move(syncInvokers));
        Append(objectRecognizers_, std::move(objectRecognizers));
        Append(customControls_, std::move(customControls));
        Append(recorderSources_, std::move(recorderSources));
        Append(eventRecorders_, std::move(eventRecorders));
        sink = recorderSink_;
        recording = recording_;
        recordingChanges = recordingChanges_;
    }
    if (newSource && sink)
        RunGuarded(Ids::RecorderSourceSetSink, [&]() -> HRESULT { return newSource->SetRecorderSink(sink.Get()); });
    // A support added while recording records from now on too.
    if (newRecorder && recording) {
        RunGuarded(Ids::RecordingStart, [&]() -> HRESULT { return newRecorder->OnRecordingStarted(); });
        // Recording stopped meanwhile, perhaps before the start above
        // reached the support: it is stopped again so it ends stopped.
        bool stoppedMeanwhile = false;
        {
            CriticalSectionLock guard(lock_);
            stoppedMeanwhile = !recording_ && recordingChanges_ != recordingChanges;
        }
        if (stoppedMeanwhile)
            RunGuarded(Ids::RecordingStop, [&]() -> HRESULT { return newRecorder->OnRecordingStopped(); });
    }
    return S_OK;
}

void HookModuleSupports::Clear()
{
    // Taken out under the lock, released outside it: a support's destructor
    // may call back into the module.
    auto taken =
        std::make_tuple(List<IvxModuleObjects>(), List<IvxModuleExtendedObjects>(), List<IvxModuleExtendedObjects2>(),
                        List<IvxModuleWindows>(), List<IvxModuleWindows2>(), List<IvxModuleControls>(),
                        List<IvxModuleTestFixtures>(), List<IvxModuleOptions>(), List<IvxModuleSyncInvoker>(),
                        List<IvxModuleObjectRecognizer>(), List<IvxCustomControlOpenAppSupport>(),
                        List<IvxScriptRecorderEventSource>(), List<IvxScriptEventRecorder>(), ComPtr<IUnknown>());
    CriticalSectionLock guard(lock_);
    std::get<0>(taken).swap(objects_);
    std::get<1>(taken).swap(extendedObjects_);
    std::get<2>(taken).swap(extendedObjects2_);
    std::get<3>(taken).swap(windows_);
    std::get<4>(taken).swap(windows2_);
    std::get<5>(taken).swap(controls_);
    std::get<6>(taken).swap(testFixtures_);
    std::get<7>(taken).swap(options_);
    std::get<8>(taken).swap(syncInvokers_);
    std::get<9>(taken).swap(objectRecognizers_);
    std::get<10>(taken).swap(customControls_);
    std::get<11>(taken).swap(recorderSources_);
    std::get<12>(taken).swap(eventRecorders_);
    std::get<13>(taken).Swap(recorderSink_);
    // `guard` goes before `taken`: the references are dropped unlocked.
}

// ---------------------------------------------------------------- objects

VARIANT_BOOL HookModuleSupports::HandlesObject(const VARIANT& object)
{
    const List<IvxModuleObjects> supports = Copy(objects_);
    return AnySupportAnswersTrue(Ids::ObjectsHandlesObject, supports,
                                 [&](IvxModuleObjects* support) { return support->HandlesObject(object); });
}

VARIANT_BOOL HookModuleSupports::GetObjects(const VARIANT& parent, VARIANT* objects)
{
    if (!objects)
        return VARIANT_FALSE;
    VariantInit(objects);
    const List<IvxModuleObjects> supports = Copy(objects_);
    std::vector<ComPtr<IDispatch>> found;
    vx::com::Variant answerObjects;
    VARIANT_BOOL answer = GuardedAnswer(Ids::ObjectsGetObjects, [&]() -> VARIANT_BOOL {
        for (const auto& support : supports) {
            if (support->GetObjects(parent, answerObjects.Out()) != VARIANT_FALSE)
                AddAnswerObjects(*answerObjects, found);
        }
        return found.empty() ? VARIANT_FALSE : VARIANT_TRUE;
    });
    if (answer == VARIANT_FALSE)
        return VARIANT_FALSE;
    HRESULT hr = MakeArray(
        VT_DISPATCH, found.size(), [&](LONG i) { return found[i].Get(); }, objects);
    return SUCCEEDED(hr) ? VARIANT_TRUE : VARIANT_FALSE;
}

HRESULT HookModuleSupports::GetExtendedObject(IDispatch* object, IDispatch** extension, VARIANT_BOOL* handled)
{
    ClearOut(extension);
    if (handled)
        *handled = VARIANT_FALSE;
    if (!extension || !handled)
        return E_POINTER;
    List<IvxModuleExtendedObjects> supports = Copy(extendedObjects_);
    Append(supports, Copy(extendedObjects2_));
    ComPtr<IDispatch> answer;
    HRESULT hr = RunGuarded(Ids::ExtendedObjectsGet, [&]() -> HRESULT {
        for (const auto& support : supports) {
            VARIANT_BOOL supportHandled = VARIANT_FALSE;
            if (SUCCEEDED(support->GetExtendedObject(object, answer.ReleaseAndGetAddressOf(), &supportHandled)) &&
                supportHandled != VARIANT_FALSE)
                return S_OK;
        }
        return S_FALSE;
    });
    if (hr == S_OK) {
        *extension = answer.Detach();
        *handled = VARIANT_TRUE;
        return S_OK;
    }
    return hr == S_FALSE ? S_OK : hr;
}

// ---------------------------------------------------------------- windows

VARIANT_BOOL HookModuleSupports::GetObjectFromWindow(LONG_PTR window, IDispatch** object)
{
    ClearOut(object);
    if (!object)
        return VARIANT_FALSE;
    List<IvxModuleWindows> supports = Copy(windows_);
    Append(supports, Copy(windows2_));
    ComPtr<IDispatch> found;
    VARIANT_BOOL answer = GuardedAnswer(Ids::WindowsObjectFromWindow, [&]() -> VARIANT_BOOL {
        for (const auto& support : supports) {
            found.Reset();
            if (support->GetObjectFromWindow(window, found.ReleaseAndGetAddressOf()) != VARIANT_FALSE)
                return VARIANT_TRUE;
        }
        found.Reset();
        return VARIANT_FALSE;
    });
    if (answer != VARIANT_FALSE)
        *object = found.Detach();
    return answer;
}

VARIANT_BOOL HookModuleSupports::GetWindowFromObject(IDispatch* object, LONG_PTR* window)
{
    if (!window)
        return VARIANT_FALSE;
    *window = 0;
    List<IvxModuleWindows> supports = Copy(windows_);
    Append(supports, Copy(windows2_));
    LONG_PTR found = 0;
    VARIANT_BOOL answer = GuardedAnswer(Ids::WindowsWindowFromObject, [&]() -> VARIANT_BOOL {
        for (const auto& support : supports) {
            found = 0;
            if (support->GetWindowFromObject(object, &found) != VARIANT_FALSE)
                return VARIANT_TRUE;
        }
        return VARIANT_FALSE;
    });
    if (answer != VARIANT_FALSE)
        *window = found;
    return answer;
}

// ---------------------------------------------------------------- controls

VARIANT_BOOL HookModuleSupports::IsControl(IDispatch* object)
{
    const List<IvxModuleControls> supports = Copy(controls_);
    return AnySupportAnswersTrue(Ids::ControlsIsControl, supports,
                                 [&](IvxModuleControls* support) { return support->IsControl(object); });
}

VARIANT_BOOL HookModuleSupports::GetObjectFromPoint(IDispatch* windowObject, LONG x, LONG y, LONG_PTR* window,
                                                    IDispatch** object)
{
    return FirstWindowAndObject(
        Ids::ControlsObjectFromPoint, window, object, [this] { return Copy(controls_); },
        [&](IvxModuleControls* support, LONG_PTR* foundWindow, IDispatch** found) {
            return support->GetObjectFromPoint(windowObject, x, y, foundWindow, found);
        });
}

VARIANT_BOOL HookModuleSupports::GetFocusedObject(IDispatch* windowObject, LONG_PTR* window, IDispatch** object)
{
    return FirstWindowAndObject(
        Ids::ControlsFocusedObject, window, object, [this] { return Copy(controls_); },
        [&](IvxModuleControls* support, LONG_PTR* foundWindow, IDispatch** found) {
            return support->GetFocusedObject(windowObject, foundWindow, found);
        });
}

// ---------------------------------------------------------------- test fixtures

LONG HookModuleSupports::GetFixtureCount()
{
    const List<IvxModuleTestFixtures> supports = Copy(testFixtures_);
    LONG total = 0;
    HRESULT hr = RunGuarded(Ids::TestFixturesCount, [&]() -> HRESULT {
        for (const auto& support : supports)
            total += support->GetFixtureCount();
        return S_OK;
    });
    return hr == S_OK ? total : 0;
}

HRESULT HookModuleSupports::RunFixture(LONG index, const VARIANT& argument)
{
    if (index < 0)
        return E_INVALIDARG;
    const List<IvxModuleTestFixtures> supports = Copy(testFixtures_);
    return RunGuarded(Ids::TestFixturesRun, [&]() -> HRESULT {
        // The fixtures of all supports are numbered one after the other; the
        // support that owns the index gets it relative to its own range.
        LONG first = 0;
        for (const auto& support : supports) {
            const LONG count = support->GetFixtureCount();
            if (count > 0 && index < first + count)
                return support->RunFixture(index - first, argument);
            if (count > 0)
                first += count;
        }
        return E_INVALIDARG;
    });
}

// ---------------------------------------------------------------- options, invoker, recognizer

HRESULT HookModuleSupports::SetOption(const GUID* key, const VARIANT& value)
{
    if (!key)
        return E_POINTER;
    const List<IvxModuleOptions> supports = Copy(options_);
    return RunGuarded(Ids::OptionsSet, [&]() -> HRESULT {
        for (const auto& support : supports)
            support->SetOption(key, value);
        return S_OK;
    });
}

HRESULT HookModuleSupports::InvokeSynchronized(IDispatch* target, LONG operation, VARIANT* data)
{
    const List<IvxModuleSyncInvoker> supports = Copy(syncInvokers_);
    return RunGuarded(Ids::SyncInvokerInvoke, [&]() -> HRESULT {
        for (const auto& support : supports) {
            HRESULT hr = support->InvokeSynchronized(target, operation, data);
            if (hr != E_NOTIMPL)
                return hr;
        }
        return E_NOTIMPL;
    });
}

HRESULT HookModuleSupports::RecognizeObject(IDispatch* object, VARIANT* recognized)
{
    if (!recognized)
        return E_POINTER;
    VariantInit(recognized);
    const List<IvxModuleObjectRecognizer> supports = Copy(objectRecognizers_);
    std::vector<vx::com::Variant> answers(supports.size());
    std::vector<bool> answered(supports.size(), false);
    HRESULT hr = RunGuarded(Ids::ObjectRecognizerRecognize, [&]() -> HRESULT {
        for (size_t i = 0; i < supports.size(); ++i)
            answered[i] =
                supports[i]->RecognizeObject(object, answers[i].Get()) == S_OK && answers[i].Type() != VT_EMPTY;
        return S_OK;
    });
    if (hr != S_OK)
        return hr;
    std::vector<const VARIANT*> collected;
    for (size_t i = 0; i < supports.size(); ++i)
        if (answered[i])
            collected.push_back(answers[i].Get());
    if (collected.empty())
        return S_FALSE;
    return MakeArray(
        VT_VARIANT, collected.size(), [&](LONG i) { return const_cast<VARIANT*>(collected[i]); }, recognized);
}

// ---------------------------------------------------------------- custom controls

template <class Call>
HRESULT HookModuleSupports::FirstCustomControlAnswer(const wchar_t* operationId, IUnknown** result, Call&& call)
{
    ClearOut(result);
    if (!result)
        return E_POINTER;
    ComPtr<IUnknown> found;
    // Walked over a copy: the supports are called without the lock.
    const List<IvxCustomControlOpenAppSupport> supports = Copy(customControls_);
    HRESULT hr = RunGuarded(operationId, [&]() -> HRESULT {
        for (const auto& support : supports) {
            found.Reset();
            if (SUCCEEDED(call(support.Get(), found.ReleaseAndGetAddressOf())) && found)
                return S_OK;
        }
        found.Reset();
        return E_NOTIMPL;
    });
    if (hr == S_OK) {
        *result = found.Detach();
        return S_OK;
    }
    // A crash inside a custom-control support is reported as a plain failure.
    return hr == E_UNEXPECTED ? E_FAIL : hr;
}

HRESULT HookModuleSupports::GetCustomObject(IDispatch* object, IUnknown** result)
{
    return FirstCustomControlAnswer(
        Ids::CustomControlMethod1, result,
        [&](IvxCustomControlOpenAppSupport* support, IUnknown** out) { return support->GetCustomObject(object, out); });
}

HRESULT HookModuleSupports::GetClassInfo(IDispatch* element, IUnknown** classInfo)
{
    return FirstCustomControlAnswer(
        Ids::CustomControlMethod2, classInfo,
        [&](IvxCustomControlOpenAppSupport* support, IUnknown** out) { return support->GetClassInfo(element, out); });
}

HRESULT HookModuleSupports::GetItemObject(IDispatch* object, const VARIANT& item, IUnknown** result)
{
    return FirstCustomControlAnswer(Ids::CustomControlMethod3, result,
                                    [&](IvxCustomControlOpenAppSupport* support, IUnknown** out) {
                                        return support->GetItemObject(object, item, out);
                                    });
}

HRESULT HookModuleSupports::GetWindowObject(LONG_PTR window, IUnknown** result)
{
    return FirstCustomControlAnswer(
        Ids::CustomControlMethod4, result,
        [&](IvxCustomControlOpenAppSupport* support, IUnknown** out) { return support->GetWindowObject(window, out); });
}

HRESULT HookModuleSupports::CreateCustomControl(IDispatch* parent, BSTR className, const VARIANT& data, LONG_PTR window,
                                                IUnknown* context, IDispatch** result)
{
    ClearOut(result);
    if (!result)
        return E_POINTER;
    List<IvxCustomControlOpenAppSupport2> supports;
    for (const auto& support : Copy(customControls_)) {
        ComPtr<IvxCustomControlOpenAppSupport2> support2;
        if (SUCCEEDED(support.As(&support2)))
            supports.push_back(std::move(support2));
    }
    ComPtr<IDispatch> found;
    HRESULT hr = RunGuarded(Ids::CustomControlMethod5, [&]() -> HRESULT {
        for (const auto& support : supports) {
            found.Reset();
            if (SUCCEEDED(support->CreateCustomControl(parent, className, data, window, context,
                                                       found.ReleaseAndGetAddressOf())) &&
                found)
                return S_OK;
        }
        found.Reset();
        return E_NOTIMPL;
    });
    if (hr == S_OK)
        *result = found.Detach();
    return hr;
}

// ---------------------------------------------------------------- recorder event source

HRESULT HookModuleSupports::SetRecorderSink(IUnknown* sink)
{
    List<IvxScriptRecorderEventSource> supports;
    {
        CriticalSectionLock guard(lock_);
        recorderSink_ = sink;
        supports = recorderSources_;
    }
    return RunGuarded(Ids::RecorderSourceSetSink, [&]() -> HRESULT {
        for (const auto& support : supports)
            support->SetRecorderSink(sink);
        return S_OK;
    });
}

HRESULT HookModuleSupports::ReleaseRecorderSink()
{
    List<IvxScriptRecorderEventSource> supports;
    ComPtr<IUnknown> released;
    {
        // Supports registered from now on must not get the released sink.
        CriticalSectionLock guard(lock_);
        released.Swap(recorderSink_);
        supports = recorderSources_;
    }
    return RunGuarded(Ids::RecorderSourceReleaseSink, [&]() -> HRESULT {
        for (const auto& support : supports)
            support->ReleaseRecorderSink();
        return S_OK;
    });
}

HRESULT HookModuleSupports::ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder)
{
    const List<IvxScriptRecorderEventSource> supports = Copy(recorderSources_);
    return RunGuarded(Ids::RecorderSourceProcessEvent, [&]() -> HRESULT {
        for (const auto& support : supports)
            support->ProcessRecordedEvent(eventRecord, recorder);
        return S_OK;
    });
}

// ---------------------------------------------------------------- recording

HRESULT HookModuleSupports::StartRecording()
{
    List<IvxScriptEventRecorder> supports;
    {
        CriticalSectionLock guard(lock_);
        recording_ = true;
        ++recordingChanges_;
        supports = eventRecorders_;
    }
    return RunGuarded(Ids::RecordingStart, [&]() -> HRESULT {
        for (const auto& support : supports)
            support->OnRecordingStarted();
        return S_OK;
    });
}

HRESULT HookModuleSupports::StopRecording()
{
    List<IvxScriptEventRecorder> supports;
    {
        CriticalSectionLock guard(lock_);
        recording_ = false;
        ++recordingChanges_;
        supports = eventRecorders_;
    }
    return RunGuarded(Ids::RecordingStop, [&]() -> HRESULT {
        for (const auto& support : supports)
            support->OnRecordingStopped();
        return S_OK;
    });
}

VARIANT_BOOL HookModuleSupports::OnRecordedEvent(IUnknown* context, IUnknown* eventRecord, IDispatch* testObject)
{
    const List<IvxScriptEventRecorder> supports = Copy(eventRecorders_);
    return GuardedAnswer(Ids::RecordingEvent, [&]() -> VARIANT_BOOL {
        VARIANT_BOOL any = VARIANT_FALSE;
        // Every recorder sees the event, even after one has taken it.
        for (const auto& support : supports)
            if (support->OnEvent(context, eventRecord, testObject) != VARIANT_FALSE)
                any = VARIANT_TRUE;
        return any;
    });
}

bool HookModuleSupports::IsRecording()
{
    CriticalSectionLock guard(lock_);
    return recording_;
}

} // namespace vxOpenAppHook
