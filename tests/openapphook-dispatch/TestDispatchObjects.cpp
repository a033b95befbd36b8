#include <windows.h>

#include "TestDispatchObjects.h"

#include <oleauto.h>

#include "openapphook/TypeLibraryRegistry.h"

namespace dispatchtests {

using vx::com::CriticalSectionLock;

namespace {

std::wstring Key(REFIID riid)
{
    wchar_t text[40] = {};
    StringFromGUID2(riid, text, 40);
    return text;
}

} // namespace

bool LoadTestTypeLibrary()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    file = file.substr(0, file.find_last_of(L"\\/") + 1) + L"DispatchTestTypes.tlb";
    return SUCCEEDED(vxOpenAppHook::TypeLibraries().LoadTypeLibrary(file));
}

// ---------------------------------------------------------------- CTestTriple

HRESULT CTestTriple::get_Common(LONG* value)
{
    *value = 100;
    return S_OK;
}

HRESULT CTestTriple::Touch(LONG* value)
{
    *value = ++touchCalls;
    return S_OK;
}

HRESULT CTestTriple::get_FirstOnly(BSTR* value)
{
    *value = SysAllocString(L"first");
    return S_OK;
}

HRESULT CTestTriple::get_SecondOnly(LONG* value)
{
    *value = 22;
    return S_OK;
}

HRESULT CTestTriple::Refuse(LONG*)
{
    return E_ACCESSDENIED;
}

HRESULT CTestTriple::get_Hidden(LONG* value)
{
    *value = 41;
    return S_OK;
}

STDMETHODIMP CTestTriple::QueryInterface(REFIID riid, void** ppv) noexcept
{
    {
        CriticalSectionLock guard(queriesLock_);
        ++queries_[Key(riid)];
    }
    return CMultiDispatchObject::QueryInterface(riid, ppv);
}

int CTestTriple::QueriesFor(REFIID riid)
{
    CriticalSectionLock guard(queriesLock_);
    return queries_[Key(riid)];
}

// ---------------------------------------------------------------- FakeDispatch

void FakeDispatch::SetName(const std::wstring& name, DISPID id)
{
    CriticalSectionLock guard(lock_);
    names_[name] = id;
}

void FakeDispatch::SetHandler(DISPID id, Handler handler)
{
    CriticalSectionLock guard(lock_);
    handlers_[id] = std::move(handler);
}

void FakeDispatch::AnswerAlso(REFIID riid)
{
    CriticalSectionLock guard(lock_);
    extraIids_.insert(Key(riid));
}

STDMETHODIMP FakeDispatch::QueryInterface(REFIID riid, void** ppv) noexcept
{
    bool extra = false;
    {
        CriticalSectionLock guard(lock_);
        extra = extraIids_.count(Key(riid)) != 0;
    }
    if (extra && ppv) {
        AddRef();
        *ppv = static_cast<IDispatch*>(this);
        return S_OK;
    }
    return ComObject::QueryInterface(riid, ppv);
}

STDMETHODIMP FakeDispatch::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

STDMETHODIMP FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return DISP_E_BADINDEX;
}

STDMETHODIMP FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* dispIds)
{
    ++nameLookups;
    CriticalSectionLock guard(lock_);
    auto found = names_.find(names[0]);
    if (found == names_.end()) {
        dispIds[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    dispIds[0] = found->second;
    return S_OK;
}

STDMETHODIMP FakeDispatch::Invoke(DISPID dispId, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                  EXCEPINFO* exceptionInfo, UINT*)
{
    Handler handler;
    {
        CriticalSectionLock guard(lock_);
        ++invokes_[dispId];
        auto found = handlers_.find(dispId);
        if (found == handlers_.end())
            return DISP_E_MEMBERNOTFOUND;
        handler = found->second;
    }
    return handler(result, exceptionInfo);
}

int FakeDispatch::InvokesOf(DISPID id)
{
    CriticalSectionLock guard(lock_);
    return invokes_[id];
}

FakeDispatch::Handler ReturnI4(LONG value)
{
    return [value](VARIANT* result, EXCEPINFO*) {
        if (result) {
            VariantInit(result);
            V_VT(result) = VT_I4;
            V_I4(result) = value;
        }
        return S_OK;
    };
}

FakeDispatch::Handler ReturnCode(HRESULT code)
{
    return [code](VARIANT*, EXCEPINFO*) { return code; };
}

} // namespace dispatchtests
