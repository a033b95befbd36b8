// The stub manager's shutdown: objects referenced from another apartment are
// cut off from their clients, and the wait for stubborn objects is bounded.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"
#include "platform/com/UniqueHandle.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CStubManager;

namespace {

// A registered object without the free-threaded marshaler, so another
// apartment reaches it through a real proxy.
class ApartmentBoundObject : public vx::com::ComObject<ApartmentBoundObject, IDispatch>
{
public:
    ApartmentBoundObject(CStubManager* manager, std::atomic<bool>* destroyed) : manager_(manager), destroyed_(destroyed) {}
    HRESULT FinalConstruct() override
    {
        manager_->RegisterStub(Identity());
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
        manager_->UnregisterStub(Identity());
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
    EXPECT_LT(elapsed, 900u);
    EXPECT_TRUE(IsDisconnectedCode(after.load())) << std::hex << after.load();
}

TEST_F(StubManagerTest, DisconnectAllGivesUpAfterAboutOneSecond)
{
    ComPtr<CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    std::atomic<bool> destroyed{false};
    // Held here, so disconnecting it never makes it go away.
    ComPtr<ApartmentBoundObject> object;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object, manager.Get(), &destroyed));

    const DWORD start = GetTickCount();
    manager->DisconnectAll();
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 950u);
    EXPECT_LT(elapsed, 2500u);
    EXPECT_EQ(1u, manager->Count());
    UINT count = 1;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
}

TEST_F(StubManagerTest, AnObjectThatFailsToDisconnectIsDropped)
{
    ComPtr<CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    ComPtr<UndisconnectableObject> object;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object));
    manager->RegisterStub(object->Identity());

    const DWORD start = GetTickCount();
    manager->DisconnectAll();
    EXPECT_LT(GetTickCount() - start, 900u);
    EXPECT_EQ(0u, manager->Count());
}

} // namespace
