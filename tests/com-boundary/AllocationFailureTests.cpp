// An allocation that fails inside a COM method of the library turns into
// E_OUTOFMEMORY for the caller; the object stays consistent and usable.
#include <windows.h>

#include <gtest/gtest.h>

#include "FailingAllocation.h"
#include "module/ModuleIntf.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"
#include "tests/support/RegisteredTestObject.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CStubManager;
using vxtest::FailingAllocations;

namespace {

class Notifier : public vx::com::ComObject<Notifier, IovModuleIntfNotifier>
{
public:
    STDMETHODIMP OnModuleUnload(BSTR, IovModuleIntf*) override
    {
        ++calls;
        return S_OK;
    }
    int calls = 0;
};

class AllocationFailureTest : public ::testing::Test
{
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(AllocationFailureTest, TheSeamMakesAllocationsThrow)
{
    const int before = FailingAllocations::Refused();
    {
        FailingAllocations failing;
        EXPECT_THROW(static_cast<void>(new int(1)), std::bad_alloc);
    }
    EXPECT_EQ(before + 1, FailingAllocations::Refused());
    delete new int(2);
}

TEST_F(AllocationFailureTest, ANotifierListThatCannotGrowAnswersOutOfMemory)
{
    ComPtr<CModuleIntf> module;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(module));
    ComPtr<Notifier> notifier;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(notifier));
    {
        FailingAllocations failing;
        EXPECT_EQ(E_OUTOFMEMORY, module->AddNotifier(notifier.Get()));
        EXPECT_EQ(E_OUTOFMEMORY, module->AddProxyNotifier(notifier.Get()));
    }
    // Nothing half-added: the notifier can be added now, once.
    EXPECT_EQ(S_OK, module->AddNotifier(notifier.Get()));
    EXPECT_EQ(E_FAIL, module->AddNotifier(notifier.Get()));
    module->BroadcastUnload();
    EXPECT_EQ(1, notifier->calls);
    EXPECT_EQ(S_OK, module->RemoveNotifier(notifier.Get()));
}

TEST_F(AllocationFailureTest, ARegistryThatCannotGrowRefusesTheObjectAndKeepsTheOthers)
{
    ComPtr<CStubManager> manager;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(manager));
    ComPtr<vxtest::RegisteredTestObject> kept;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(kept, manager.Get()));
    ASSERT_EQ(1u, manager->Count());

    ComPtr<Notifier> other;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(other));
    vxOpenAppHook::StubRegistration registration;
    {
        FailingAllocations failing;
        EXPECT_EQ(E_OUTOFMEMORY, manager->RegisterStub(other.Get()));
        EXPECT_EQ(E_OUTOFMEMORY, registration.Register(manager.Get(), other.Get()));
        // A disconnect pass that cannot make its list disconnects nothing.
        manager->DisconnectPass();
    }
    EXPECT_FALSE(registration.IsRegistered());
    EXPECT_FALSE(manager->IsRegistered(other->Identity()));
    EXPECT_EQ(1u, manager->Count());
    EXPECT_TRUE(manager->IsRegistered(kept->Identity()));
    kept.Reset();
    EXPECT_EQ(0u, manager->Count());
}

} // namespace
