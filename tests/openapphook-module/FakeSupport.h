#pragma once
// A support object for hook-module tests: it answers the host interfaces it
// is told to, records the calls it gets and answers as set up per test.
#include <windows.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "generated/vxOpenAppServices.h"
#include "openapphook/BaseHookModule.h"
#include "platform/com/ComObject.h"

#include <gtest/gtest.h>

namespace moduletests {

// Writes to address 0x10: an access violation.
void CrashHere();

class FakeSupport
    : public vx::com::ComObject<FakeSupport, IvxModuleObjects, IvxModuleWindows2, IvxModuleControls,
                                IvxModuleTestFixtures, IvxModuleOptions, IvxModuleSyncInvoker,
                                IvxCustomControlOpenAppSupport2, IvxScriptRecorderEventSource, IvxScriptEventRecorder>
{
public:
    // The support answers only the IIDs given (IUnknown always).
    explicit FakeSupport(std::vector<IID> answers, std::atomic<int>* destroyed = nullptr);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override;

    // IvxModuleObjects
    VARIANT_BOOL STDMETHODCALLTYPE HandlesObject(VARIANT object) override;
    VARIANT_BOOL STDMETHODCALLTYPE GetObjects(VARIANT parent, VARIANT* objects) override;
    // IvxModuleWindows(2)
    VARIANT_BOOL STDMETHODCALLTYPE GetObjectFromWindow(LONG_PTR window, IDispatch** object) override;
    VARIANT_BOOL STDMETHODCALLTYPE GetWindowFromObject(IDispatch* object, LONG_PTR* window) override;
    // IvxModuleControls
    VARIANT_BOOL STDMETHODCALLTYPE IsControl(IDispatch* object) override;
    VARIANT_BOOL STDMETHODCALLTYPE GetObjectFromPoint(IDispatch*, LONG, LONG, LONG_PTR*, IDispatch**) override;
    VARIANT_BOOL STDMETHODCALLTYPE GetFocusedObject(IDispatch*, LONG_PTR*, IDispatch**) override;
    // IvxModuleTestFixtures
    LONG STDMETHODCALLTYPE GetFixtureCount() override;
    HRESULT STDMETHODCALLTYPE RunFixture(LONG index, VARIANT argument) override;
    // IvxModuleOptions
    HRESULT STDMETHODCALLTYPE SetOption(const GUID* key, VARIANT value) override;
    // IvxModuleSyncInvoker
    HRESULT STDMETHODCALLTYPE InvokeSynchronized(IDispatch* target, LONG operation, VARIANT* data) override;
    // IvxCustomControlOpenAppSupport2
    HRESULT STDMETHODCALLTYPE GetCustomObject(IDispatch* object, IUnknown** result) override;
    HRESULT STDMETHODCALLTYPE GetClassInfo(IDispatch* element, IUnknown** classInfo) override;
    HRESULT STDMETHODCALLTYPE GetItemObject(IDispatch* object, VARIANT item, IUnknown** result) override;
    HRESULT STDMETHODCALLTYPE GetWindowObject(LONG_PTR window, IUnknown** result) override;
    HRESULT STDMETHODCALLTYPE CreateCustomControl(IDispatch*, BSTR, VARIANT, LONG_PTR, IUnknown*, IDispatch**) override;
    // IvxScriptRecorderEventSource
    HRESULT STDMETHODCALLTYPE SetRecorderSink(IUnknown* sink) override;
    HRESULT STDMETHODCALLTYPE ReleaseRecorderSink() override;
    HRESULT STDMETHODCALLTYPE ProcessRecordedEvent(IUnknown* eventRecord, IUnknown* recorder) override;
    // IvxScriptEventRecorder
    HRESULT STDMETHODCALLTYPE OnRecordingStarted() override;
    HRESULT STDMETHODCALLTYPE OnRecordingStopped() override;
    VARIANT_BOOL STDMETHODCALLTYPE OnEvent(IUnknown* context, IUnknown* eventRecord, IDispatch* testObject) override;

    // Set-up: answers and crashes.
    VARIANT_BOOL handles = VARIANT_FALSE;
    LONG crashOnObjectValue = -1;         // HandlesObject crashes for this VT_I4 value
    std::vector<IUnknown*> objectsAnswer; // GetObjects: none, one (single object) or an array
    LONG_PTR windowAnswer = 0;            // GetWindowFromObject: answers when non-zero
    LONG fixtureCount = 0;
    HRESULT invokerResult = E_NOTIMPL;
    bool crashOnEvent = false;
    VARIANT_BOOL eventAnswer = VARIANT_FALSE;
    bool crashOnClassInfo = false;
    // When set, OnRecordingStarted and HandlesObject signal `entered` and
    // wait for `release` (at most 30 s) before answering.
    HANDLE entered = nullptr;
    HANDLE release = nullptr;
    bool blockRecordingStart = false;
    bool blockHandlesObject = false;
    IUnknown* classInfoAnswer = nullptr;

    // Calls seen.
    std::atomic<int> handlesCalls{0};
    std::atomic<int> getObjectsCalls{0};
    std::atomic<int> windowCalls{0};
    std::vector<LONG> fixturesRun;
    std::atomic<int> optionCalls{0};
    std::atomic<int> invokerCalls{0};
    std::atomic<int> started{0};
    std::atomic<int> stopped{0};
    std::atomic<int> events{0};
    std::atomic<int> sinkSet{0};
    std::atomic<int> sinkReleased{0};
    std::atomic<int> eventsProcessed{0};
    IUnknown* lastSink = nullptr;

protected:
    ~FakeSupport() override;

private:
    void BlockIf(bool block);

    std::vector<IID> answers_;
    std::atomic<int>* destroyed_;
};

// An object to hand around as an answer.
class PlainObject : public vx::com::ComObject<PlainObject, IDispatch>
{
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
};

// The module under test: the base with nothing added.
class TestHookModule : public vxOpenAppHook::CBaseHookModule<TestHookModule>
{
public:
    using CBaseHookModule::RegisterWithHost;
};

// A module with its recorder interface, and supports added to it.
class HookModuleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(module_));
        ASSERT_HRESULT_SUCCEEDED(module_->QueryInterface(__uuidof(IvxScriptEventRecorder),
                                                         reinterpret_cast<void**>(recorder_.GetAddressOf())));
    }
    void TearDown() override
    {
        recorder_.Reset();
        module_->Shutdown();
        module_.Reset();
        CoUninitialize();
    }

    Microsoft::WRL::ComPtr<FakeSupport> Add(std::vector<IID> answers)
    {
        Microsoft::WRL::ComPtr<FakeSupport> support;
        EXPECT_HRESULT_SUCCEEDED(vx::com::CreateComObject(support, std::move(answers)));
        EXPECT_EQ(S_OK, module_->AddSupport(support->Identity()));
        return support;
    }

    Microsoft::WRL::ComPtr<TestHookModule> module_;
    Microsoft::WRL::ComPtr<IvxScriptEventRecorder> recorder_;
};

} // namespace moduletests
