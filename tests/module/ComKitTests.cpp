// The COM kit's ownership rules: every object made with CreateComObject is
// freed with its last release, and ComPtr attaches and moves without
// touching reference counts.
#include <gtest/gtest.h>

#include "harness/host/TestHost.h"
#include "module/ModuleIntf.h"
#include "module/ProcessHookModule.h"

using Microsoft::WRL::ComPtr;

namespace {

class Counted : public vx::com::ComObject<Counted, IovModuleIntfNotifier>
{
public:
    explicit Counted(int* alive) : alive_(alive) { ++*alive_; }
    ~Counted() override { --*alive_; }
    HRESULT STDMETHODCALLTYPE OnModuleUnload(BSTR, IovModuleIntf*) override { return S_OK; }

private:
    int* alive_;
};

ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

TEST(ComKit, CreatedObjectDiesWithItsLastRelease)
{
    int alive = 0;
    {
        ComPtr<Counted> object;
        ASSERT_EQ(vx::com::CreateComObject(object, &alive), S_OK);
        EXPECT_EQ(alive, 1);
        EXPECT_EQ(RefCount(object->Identity()), 1u);
    }
    EXPECT_EQ(alive, 0);
}

// Asks for a reference of itself while it is being destroyed, as a registry
// that holds it without a reference might on another thread.
class RevivalProbe : public vx::com::ComObject<RevivalProbe, IovModuleIntfNotifier>
{
public:
    explicit RevivalProbe(int* answer) : answer_(answer) {}
    ~RevivalProbe() override { *answer_ = TryAddRef() ? 1 : 0; }
    HRESULT STDMETHODCALLTYPE OnModuleUnload(BSTR, IovModuleIntf*) noexcept override { return S_OK; }

private:
    int* answer_;
};

TEST(ComKit, TryAddRefAddsToALiveObjectAndRefusesOneBeingDestroyed)
{
    int answerWhileDying = -1;
    {
        ComPtr<RevivalProbe> object;
        ASSERT_EQ(vx::com::CreateComObject(object, &answerWhileDying), S_OK);
        ASSERT_TRUE(object->TryAddRef());
        EXPECT_EQ(RefCount(object->Identity()), 2u);
        object->Release();
        EXPECT_EQ(object->CanonicalUnknown(), object->Identity());
    }
    EXPECT_EQ(answerWhileDying, 0) << "an object whose count reached zero was revived";
}

TEST(ComKit, AttachTakesOverAndMoveLeavesTheSourceEmpty)
{
    int alive = 0;
    Counted* raw = new Counted(&alive);
    raw->AddRef();
    {
        ComPtr<IovModuleIntfNotifier> a;
        a.Attach(raw);
        EXPECT_EQ(RefCount(a.Get()), 1u);
        ComPtr<IovModuleIntfNotifier> b;
        b = std::move(a);
        EXPECT_EQ(a.Get(), nullptr);
        EXPECT_EQ(RefCount(b.Get()), 1u);
        ComPtr<IovModuleIntfNotifier> c(std::move(b));
        EXPECT_EQ(b.Get(), nullptr);
        EXPECT_EQ(RefCount(c.Get()), 1u);
    }
    EXPECT_EQ(alive, 0);
}

TEST(ComKit, LibraryObjectsLeaveTheModuleLockCountAsTheyFoundIt)
{
    const LONG before = CCrHookAtlModule::GetLockCount();
    {
        ComPtr<CModuleIntf> module;
        ASSERT_EQ(vx::com::CreateComObject(module), S_OK);
        ComPtr<harness::TestHookHost> host;
        ASSERT_EQ(vx::com::CreateComObject(host), S_OK);
        ComPtr<CProcessHookModule> processModule;
        ASSERT_EQ(vx::com::CreateComObject(processModule), S_OK);
        EXPECT_GT(CCrHookAtlModule::GetLockCount(), before);
        int alive = 0;
        ComPtr<Counted> notifier;
        vx::com::CreateComObject(notifier, &alive);
        module->AddNotifier(notifier.Get());
        module->AddProxyNotifier(notifier.Get());
    }
    EXPECT_EQ(CCrHookAtlModule::GetLockCount(), before);
}

} // namespace
