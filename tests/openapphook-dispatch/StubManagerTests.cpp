// The stub manager's shutdown: objects referenced from another apartment are
// cut off from their clients, and the wait for stubborn objects is bounded.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"
#include "platform/com/UniqueHandle.h"
#include "tests/openapphook-errors/CapturedEventLog.h"
#include "tests/support/RegisteredTestObject.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CStubManager;

namespace {

// A registered object without the free-threaded marshaler, so another
// apartment reaches it through a real proxy.
class ApartmentBoundObject : public vx::com::ComObject<ApartmentBoundObject, IDispatch>
{
public:
    ApartmentBoundObject(CStubManager* manager, std::atomic<bool>* destroyed) : manager_(manager), destroyed_(destroyed)
    {
    }
    HRESULT FinalConstruct() override
    {
        manager_->RegisterStub(this);
        return S_OK;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

protected:
    ~ApartmentBoundObject() override
    {
        manager_->UnregisterStub(this);
        *destroyed_ = true;
    }

private:
    CStubManager* manager_;
    std::atomic<bool>* destroyed_;
};

// An object whose disconnection fails: its marshaler refuses.
class UndisconnectableObject : public vx::com::ComObject<UndisconnectableObject, IMarshal>
{
public:
    HRESULT FinalConstruct() override { return S_OK; }
    STDMETHODIMP GetUnmarshalClass(REFIID, void*, DWORD, void*, DWORD, CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP MarshalInterface(IStream*, REFIID, void*, DWORD, void*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnmarshalInterface(IStream*, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP ReleaseMarshalData(IStream*) override { return E_NOTIMPL; }
    STDMETHODIMP DisconnectObject(DWORD) override { return E_FAIL; }
};

class StubManagerTest : public ::testing::Test
{
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override { CoUninitialize(); }
};

bool IsDisconnectedCode(HRESULT hr)
{
    // Windows answers RPC_E_DISCONNECTED or CO_E_OBJNOTCONNECTED; Wine
    // answers RPC_S_UNKNOWN_IF for a stub that is gone.
    return hr == RPC_E_DISCONNECTED || hr == CO_E_OBJNOTCONNECTED || hr == HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF);
}

TEST_F(StubManagerTest, ObjectsHeldByAnotherApartmentAreDisconnected)
{
    ComPtr<CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    // A limit of a minute: the disconnect must end when the object goes.
    manager->SetTiming({60000, 50});
    std::atomic<bool> destroyed{false};
    ComPtr<ApartmentBoundObject> object;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object, manager.Get(), &destroyed));
    ComPtr<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, object.Get(), &stream));

    vx::com::UniqueHandle connected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    vx::com::UniqueHandle disconnected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<HRESULT> before{E_PENDING};
    std::atomic<HRESULT> after{E_PENDING};
    std::thread client([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ComPtr<IDispatch> proxy;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream.Detach(), IID_IDispatch,
                                                     reinterpret_cast<void**>(proxy.GetAddressOf())))) {
            UINT count = 1;
            before = proxy->GetTypeInfoCount(&count);
            SetEvent(connected.Get());
            WaitForSingleObject(disconnected.Get(), 10000);
            after = proxy->GetTypeInfoCount(&count);
        }
        SetEvent(connected.Get());
        proxy.Reset();
        CoUninitialize();
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(connected.Get(), 10000));
    ASSERT_EQ(S_OK, before.load());

    // Only the other apartment keeps the object alive now.
    object.Reset();
    EXPECT_FALSE(destroyed.load());
    ASSERT_EQ(1u, manager->Count());

    const DWORD start = GetTickCount();
    manager->DisconnectAll();
    const DWORD elapsed = GetTickCount() - start;
    SetEvent(disconnected.Get());
    client.join();

    EXPECT_TRUE(destroyed.load());
    EXPECT_EQ(0u, manager->Count());
    EXPECT_LT(elapsed, 30000u);
    EXPECT_TRUE(IsDisconnectedCode(after.load())) << std::hex << after.load();
}

// How long DisconnectAll waits for an object held here (so disconnecting
// never makes it go away); the object stays registered and usable.
DWORD TimeDisconnectOfAHeldObject(CStubManager& manager)
{
    std::atomic<bool> destroyed{false};
    ComPtr<ApartmentBoundObject> object;
    EXPECT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object, &manager, &destroyed));
    const DWORD start = GetTickCount();
    manager.DisconnectAll();
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(1u, manager.Count());
    UINT count = 1;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
    return elapsed;
}

TEST_F(StubManagerTest, DisconnectAllGivesUpAfterAboutOneSecond)
{
    ComPtr<CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    const DWORD elapsed = TimeDisconnectOfAHeldObject(*manager.Get());
    EXPECT_GE(elapsed, 950u);
    EXPECT_LT(elapsed, 10000u);
}

TEST_F(StubManagerTest, AnObjectThatFailsToDisconnectIsDropped)
{
    ComPtr<CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    manager->SetTiming({60000, 50});
    ComPtr<UndisconnectableObject> object;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object));
    manager->RegisterStub(object.Get());

    const DWORD start = GetTickCount();
    manager->DisconnectAll();
    EXPECT_LT(GetTickCount() - start, 30000u);
    EXPECT_EQ(0u, manager->Count());
}

} // namespace

// ---------------------------------------------------------------------------
// Registration as a member, and objects dying while a disconnect runs.

using vxtest::RegisteredTestObject;

TEST_F(StubManagerTest, ARegistrationMemberLeavesTheManagerWithItsObjectAndKeepsTheManagerAlive)
{
    ComPtr<CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    ComPtr<RegisteredTestObject> object;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object, manager.Get()));
    EXPECT_TRUE(manager->IsRegistered(object->Identity()));
    EXPECT_TRUE(object->Registration().IsRegistered());

    // The registration holds the manager: the object can outlive the
    // manager's other owners without touching freed memory.
    CStubManager* raw = manager.Get();
    raw->AddRef();
    EXPECT_GE(raw->Release(), 2u);

    object->Registration().Reset();
    EXPECT_FALSE(object->Registration().IsRegistered());
    EXPECT_EQ(0u, manager->Count());
    // A second reset is harmless.
    object->Registration().Reset();

    ASSERT_EQ(S_OK, object->Registration().Register(manager.Get(), object.Get()));
    EXPECT_EQ(1u, manager->Count());
    object.Reset();
    EXPECT_EQ(0u, manager->Count());

    // Without a manager nothing is registered and nothing fails.
    vxOpenAppHook::StubRegistration none;
    EXPECT_EQ(S_OK, none.Register(nullptr, nullptr));
    EXPECT_FALSE(none.IsRegistered());
}

TEST_F(StubManagerTest, ObjectsReleasedOnSeveralThreadsDuringDisconnectAllNeverReachTheFaultGuard)
{
    vxtest::CapturedEventLog log;
    ComPtr<CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    // Long enough for every thread to finish releasing on a loaded machine.
    manager->SetTiming({60000, 1});

    constexpr size_t kThreads = 4;
    constexpr size_t kObjects = 10000;
    std::vector<std::vector<ComPtr<RegisteredTestObject>>> perThread(kThreads);
    for (size_t i = 0; i < kObjects; ++i) {
        ComPtr<RegisteredTestObject> object;
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object, manager.Get()));
        perThread[i % kThreads].push_back(std::move(object));
    }
    ASSERT_EQ(kObjects, manager->Count());

    vx::com::UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::vector<std::thread> releasers;
    for (auto& objects : perThread) {
        releasers.emplace_back([&go, &objects] {
            WaitForSingleObject(go.Get(), INFINITE);
            // Released one by one, interleaved with the disconnect passes.
            while (!objects.empty())
                objects.pop_back();
        });
    }
    SetEvent(go.Get());
    manager->DisconnectAll();
    for (auto& thread : releasers)
        thread.join();

    EXPECT_EQ(0u, manager->Count());
    EXPECT_TRUE(log.Entries().empty()) << log.Entries().front().text.c_str();
}

TEST_F(StubManagerTest, TheProductWaitsAreOneSecondInFiftyMillisecondStepsAndTestsMayChangeThem)
{
    ComPtr<CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    EXPECT_EQ(1000u, manager->Timing().disconnectLimitMs);
    EXPECT_EQ(50u, manager->Timing().passIntervalMs);

    // Another limit is what a held object now waits for.
    manager->SetTiming({1500, 10});
    EXPECT_GE(TimeDisconnectOfAHeldObject(*manager.Get()), 1450u);
}
