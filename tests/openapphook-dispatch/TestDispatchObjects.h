#pragma once
// Objects the dispatch tests drive: a multi-interface object over the test
// type library, and a scriptable fake whose members are set up per test.
#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "DispatchTestTypes.h"
#include "openapphook/MultiDispatch.h"
#include "platform/com/ComObject.h"

namespace dispatchtests {

// Loads the test type library (next to the test program) into the process's
// registry; false when it cannot be loaded.
bool LoadTestTypeLibrary();

class CTestTriple
    : public vxOpenAppHook::CMultiDispatchObject<CTestTriple,
                                                 vxOpenAppHook::IDispatchMultiImpl<CTestTriple, ITestFirst>,
                                                 vxOpenAppHook::IDispatchMultiImpl<CTestTriple, ITestSecond>,
                                                 vxOpenAppHook::IDispatchMultiImpl<CTestTriple, ITestThird>,
                                                 vxOpenAppHook::IDispatchMultiImpl<CTestTriple, ITestUndescribed>>
{
public:
    HRESULT STDMETHODCALLTYPE get_Common(LONG* value) override;
    HRESULT STDMETHODCALLTYPE Touch(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_FirstOnly(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_SecondOnly(LONG* value) override;
    HRESULT STDMETHODCALLTYPE Refuse(LONG* value) override;
    HRESULT STDMETHODCALLTYPE get_Hidden(LONG* value) override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;

    // How often the interface was asked for through QueryInterface.
    int QueriesFor(REFIID riid);
    std::atomic<int> touchCalls{0};

private:
    std::map<std::wstring, int> queries_;
    vx::com::CriticalSection queriesLock_;
};

// A scriptable IDispatch: names map case-sensitively to DISPIDs, each DISPID
// runs a handler. Counts the calls it gets.
class FakeDispatch : public vx::com::ComObject<FakeDispatch, IDispatch>
{
public:
    using Handler = std::function<HRESULT(VARIANT* result, EXCEPINFO* exceptionInfo)>;

    void SetName(const std::wstring& name, DISPID id);
    void SetHandler(DISPID id, Handler handler);
    // Answers `riid` with this object's IDispatch (blind-delegation tests).
    void AnswerAlso(REFIID riid);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale, DISPID* dispIds) override;
    STDMETHODIMP Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exceptionInfo, UINT* argumentError) override;

    std::atomic<int> nameLookups{0};
    int InvokesOf(DISPID id);

private:
    vx::com::CriticalSection lock_;
    std::map<std::wstring, DISPID> names_;
    std::map<DISPID, Handler> handlers_;
    std::map<DISPID, int> invokes_;
    std::set<std::wstring> extraIids_;
};

// Handlers for FakeDispatch.
FakeDispatch::Handler ReturnI4(LONG value);
FakeDispatch::Handler ReturnCode(HRESULT code);

} // namespace dispatchtests
