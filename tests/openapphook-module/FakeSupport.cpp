#include "FakeSupport.h"

#include <oleauto.h>

#include <algorithm>

#include "platform/com/SafeArray.h"

namespace moduletests {

void CrashHere()
{
    *reinterpret_cast<volatile int*>(static_cast<uintptr_t>(0x10)) = 1;
}

FakeSupport::FakeSupport(std::vector<IID> answers, std::atomic<int>* destroyed)
    : answers_(std::move(answers)), destroyed_(destroyed)
{
}

FakeSupport::~FakeSupport()
{
    if (destroyed_)
        ++*destroyed_;
}

STDMETHODIMP FakeSupport::QueryInterface(REFIID riid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    const bool answered =
        std::any_of(answers_.begin(), answers_.end(), [&](const IID& iid) { return IsEqualIID(iid, riid) != 0; });
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMarshal))
        return ComObject::QueryInterface(riid, ppv);
    if (!answered)
        return E_NOINTERFACE;
    if (IsEqualIID(riid, __uuidof(IvxModuleWindows))) {
        *ppv = static_cast<IvxModuleWindows*>(static_cast<IvxModuleWindows2*>(this));
    } else if (IsEqualIID(riid, __uuidof(IvxCustomControlOpenAppSupport))) {
        *ppv = static_cast<IvxCustomControlOpenAppSupport*>(static_cast<IvxCustomControlOpenAppSupport2*>(this));
    } else {
        return ComObject::QueryInterface(riid, ppv);
    }
    AddRef();
    return S_OK;
}

VARIANT_BOOL FakeSupport::HandlesObject(VARIANT object)
{
    ++handlesCalls;
    BlockIf(blockHandlesObject);
    if (V_VT(&object) == VT_I4 && V_I4(&object) == crashOnObjectValue)
        CrashHere();
    return handles;
}

VARIANT_BOOL FakeSupport::GetObjects(VARIANT, VARIANT* objects)
{
    ++getObjectsCalls;
    VariantInit(objects);
    if (objectsAnswer.empty())
        return VARIANT_FALSE;
    if (objectsAnswer.size() == 1) {
        V_VT(objects) = VT_UNKNOWN;
        V_UNKNOWN(objects) = objectsAnswer.front();
        objectsAnswer.front()->AddRef();
        return VARIANT_TRUE;
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(objectsAnswer.size()));
    for (LONG i = 0; i < static_cast<LONG>(objectsAnswer.size()); ++i) {
        VARIANT element;
        V_VT(&element) = VT_UNKNOWN;
        V_UNKNOWN(&element) = objectsAnswer[i];
        SafeArrayPutElement(array, &i, &element);
    }
    V_VT(objects) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(objects) = array;
    return VARIANT_TRUE;
}

VARIANT_BOOL FakeSupport::GetObjectFromWindow(LONG_PTR, IDispatch** object)
{
    *object = nullptr;
    return VARIANT_FALSE;
}

VARIANT_BOOL FakeSupport::GetWindowFromObject(IDispatch*, LONG_PTR* window)
{
    ++windowCalls;
    *window = windowAnswer;
    return windowAnswer != 0 ? VARIANT_TRUE : VARIANT_FALSE;
}

VARIANT_BOOL FakeSupport::IsControl(IDispatch*)
{
    return VARIANT_FALSE;
}

VARIANT_BOOL FakeSupport::GetObjectFromPoint(IDispatch*, LONG, LONG, LONG_PTR*, IDispatch**)
{
    return VARIANT_FALSE;
}

VARIANT_BOOL FakeSupport::GetFocusedObject(IDispatch*, LONG_PTR*, IDispatch**)
{
    return VARIANT_FALSE;
}

LONG FakeSupport::GetFixtureCount()
{
    return fixtureCount;
}

HRESULT FakeSupport::RunFixture(LONG index, VARIANT)
{
    fixturesRun.push_back(index);
    return S_OK;
}

HRESULT FakeSupport::SetOption(const GUID*, VARIANT)
{
    ++optionCalls;
    return S_OK;
}

HRESULT FakeSupport::InvokeSynchronized(IDispatch*, LONG, VARIANT*)
{
    ++invokerCalls;
    return invokerResult;
}

HRESULT FakeSupport::GetCustomObject(IDispatch*, IUnknown** result)
{
    *result = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeSupport::GetClassInfo(IDispatch*, IUnknown** classInfo)
{
    if (crashOnClassInfo)
        CrashHere();
    *classInfo = classInfoAnswer;
    if (classInfoAnswer)
        classInfoAnswer->AddRef();
    return classInfoAnswer ? S_OK : E_NOTIMPL;
}

HRESULT FakeSupport::GetItemObject(IDispatch*, VARIANT, IUnknown** result)
{
    *result = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeSupport::GetWindowObject(LONG_PTR, IUnknown** result)
{
    *result = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeSupport::CreateCustomControl(IDispatch*, BSTR, VARIANT, LONG_PTR, IUnknown*, IDispatch** result)
{
    *result = nullptr;
    return E_NOTIMPL;
}

HRESULT FakeSupport::SetRecorderSink(IUnknown* sink)
{
    ++sinkSet;
    lastSink = sink;
    return S_OK;
}

HRESULT FakeSupport::ReleaseRecorderSink()
{
    ++sinkReleased;
    lastSink = nullptr;
    return S_OK;
}

HRESULT FakeSupport::ProcessRecordedEvent(IUnknown*, IUnknown*)
{
    ++eventsProcessed;
    return S_OK;
}

void FakeSupport::BlockIf(bool block)
{
    if (!block || !entered || !release)
        return;
    SetEvent(entered);
    WaitForSingleObject(release, 30000);
}

HRESULT FakeSupport::OnRecordingStarted()
{
    BlockIf(blockRecordingStart);
    ++started;
    return S_OK;
}

HRESULT FakeSupport::OnRecordingStopped()
{
    ++stopped;
    return S_OK;
}

VARIANT_BOOL FakeSupport::OnEvent(IUnknown*, IUnknown*, IDispatch*)
{
    ++events;
    if (crashOnEvent)
        CrashHere();
    return eventAnswer;
}

STDMETHODIMP PlainObject::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

STDMETHODIMP PlainObject::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return E_NOTIMPL;
}

STDMETHODIMP PlainObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*)
{
    return E_NOTIMPL;
}

STDMETHODIMP PlainObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)
{
    return E_NOTIMPL;
}

} // namespace moduletests
