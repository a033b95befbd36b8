// Host calls routed through the hook-module base to its support objects:
// registration, each routing rule, and crashing supports.
#include <windows.h>

#include <gtest/gtest.h>

#include <oleauto.h>

#include <thread>

#include "FakeSupport.h"
#include "harness/host/TestHost.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using namespace moduletests;

namespace {

class HookModuleRoutingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(module_));
    }
    void TearDown() override
    {
        module_->Shutdown();
        module_.Reset();
        CoUninitialize();
    }

    ComPtr<FakeSupport> Add(std::vector<IID> answers)
    {
        ComPtr<FakeSupport> support;
        EXPECT_HRESULT_SUCCEEDED(vx::com::CreateComObject(support, std::move(answers), &destroyed_));
        EXPECT_EQ(S_OK, module_->AddSupport(support->Identity()));
        return support;
    }
    static VARIANT I4(LONG value)
    {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return v;
    }

    std::atomic<int> destroyed_{0};
    ComPtr<TestHookModule> module_;
};

TEST_F(HookModuleRoutingTest, RegistrationGivesTheModuleAnIdentityAndShutdownUndoesIt)
{
    ComPtr<harness::TestModuleRegistry> registry;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(registry));
    ASSERT_EQ(S_OK, module_->RegisterWithHost(registry.Get()));
    GUID guid = GUID_NULL;
    ASSERT_EQ(S_OK, module_->GetModuleGuid(&guid));
    EXPECT_NE(GUID_NULL, guid);
    ASSERT_EQ(1u, registry->Registered().size());
    EXPECT_TRUE(registry->Registered()[0].module);

    Add({__uuidof(IvxModuleObjects)});
    Add({__uuidof(IvxScriptEventRecorder)});
    module_->Shutdown();
    ASSERT_EQ(1u, registry->Unregistered().size());
    EXPECT_EQ(guid, registry->Unregistered()[0]);
    EXPECT_EQ(2, destroyed_.load());
    VARIANT object = I4(1);
    EXPECT_EQ(VARIANT_FALSE, module_->HandlesObject(object));

    ComPtr<TestHookModule> refused;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(refused));
    registry->RefuseRegistration(1);
    EXPECT_EQ(E_FAIL, refused->RegisterWithHost(registry.Get()));
    refused->Shutdown();
}

TEST_F(HookModuleRoutingTest, ModuleAnswersEveryHostInterfaceAsOneObject)
{
    ComPtr<IUnknown> identity;
    ASSERT_HRESULT_SUCCEEDED(module_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(identity.GetAddressOf())));
    for (const IID& iid :
         {__uuidof(IvxModule), __uuidof(IvxModuleObjects), __uuidof(IvxModuleExtendedObjects2),
          __uuidof(IvxModuleWindows2), __uuidof(IvxModuleControls), __uuidof(IvxModuleTestFixtures),
          __uuidof(IvxModuleOptions), __uuidof(IvxModuleSyncInvoker), __uuidof(IvxModuleObjectRecognizer),
          __uuidof(IvxCustomControlOpenAppSupport), __uuidof(IvxCustomControlOpenAppSupport2),
          __uuidof(IvxScriptRecorderEventSource), __uuidof(IvxScriptEventRecorder)}) {
        ComPtr<IUnknown> itf;
        ASSERT_EQ(S_OK, module_->QueryInterface(iid, reinterpret_cast<void**>(itf.GetAddressOf())));
        ComPtr<IUnknown> back;
        ASSERT_HRESULT_SUCCEEDED(itf.As(&back));
        EXPECT_EQ(identity.Get(), back.Get());
    }
}

TEST_F(HookModuleRoutingTest, FirstSupportThatHandlesAnObjectAnswers)
{
    auto a = Add({__uuidof(IvxModuleObjects)});
    auto b = Add({__uuidof(IvxModuleObjects)});
    auto c = Add({__uuidof(IvxModuleObjects)});
    VARIANT object = I4(1);
    EXPECT_EQ(VARIANT_FALSE, module_->HandlesObject(object));
    EXPECT_EQ(1, c->handlesCalls.load());

    b->handles = VARIANT_TRUE;
    c->handles = VARIANT_TRUE;
    EXPECT_EQ(VARIANT_TRUE, module_->HandlesObject(object));
    EXPECT_EQ(2, a->handlesCalls.load());
    EXPECT_EQ(2, b->handlesCalls.load());
    EXPECT_EQ(1, c->handlesCalls.load());
}

TEST_F(HookModuleRoutingTest, ObjectsOfEveryAnsweringSupportAreMerged)
{
    ComPtr<PlainObject> one, two, three;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(one));
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(two));
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(three));
    auto a = Add({__uuidof(IvxModuleObjects)});
    auto b = Add({__uuidof(IvxModuleObjects)});
    auto c = Add({__uuidof(IvxModuleObjects)});

    vx::com::Variant parent;
    vx::com::Variant objects;
    EXPECT_EQ(VARIANT_FALSE, module_->GetObjects(*parent, objects.Out()));
    EXPECT_EQ(VT_EMPTY, objects.Type());

    a->objectsAnswer = {one->Identity()};
    c->objectsAnswer = {two->Identity(), three->Identity()};
    ASSERT_EQ(VARIANT_TRUE, module_->GetObjects(*parent, objects.Out()));
    EXPECT_EQ(2, b->getObjectsCalls.load());
    ASSERT_EQ(VT_ARRAY | VT_DISPATCH, objects.Type());
    LONG upper = -1;
    SafeArrayGetUBound(V_ARRAY(objects.Get()), 1, &upper);
    ASSERT_EQ(2, upper);
    IUnknown* expected[] = {one->Identity(), two->Identity(), three->Identity()};
    for (LONG i = 0; i <= upper; ++i) {
        IDispatch* element = nullptr;
        ASSERT_HRESULT_SUCCEEDED(SafeArrayGetElement(V_ARRAY(objects.Get()), &i, &element));
        EXPECT_EQ(expected[i], static_cast<IUnknown*>(element));
        element->Release();
    }
}

TEST_F(HookModuleRoutingTest, WindowSupportsOfTheFirstListAnswerBeforeTheSecond)
{
    ComPtr<PlainObject> object;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object));
    auto newer = Add({__uuidof(IvxModuleWindows2)});
    auto older = Add({__uuidof(IvxModuleWindows)});
    newer->windowAnswer = 0x2222;
    older->windowAnswer = 0x1111;
    LONG_PTR window = 0;
    ASSERT_EQ(VARIANT_TRUE, module_->GetWindowFromObject(object.Get(), &window));
    EXPECT_EQ(0x1111, window);
    EXPECT_EQ(0, newer->windowCalls.load());

    older->windowAnswer = 0;
    ASSERT_EQ(VARIANT_TRUE, module_->GetWindowFromObject(object.Get(), &window));
    EXPECT_EQ(0x2222, window);
}

TEST_F(HookModuleRoutingTest, FixtureCountsAddUpAndIndexesAreMadeRelative)
{
    auto a = Add({__uuidof(IvxModuleTestFixtures)});
    auto b = Add({__uuidof(IvxModuleTestFixtures)});
    a->fixtureCount = 3;
    b->fixtureCount = 2;
    EXPECT_EQ(5, module_->GetFixtureCount());
    vx::com::Variant argument;
    ASSERT_EQ(S_OK, module_->RunFixture(4, *argument));
    ASSERT_EQ(S_OK, module_->RunFixture(2, *argument));
    ASSERT_EQ(S_OK, module_->RunFixture(3, *argument));
    EXPECT_EQ(std::vector<LONG>({2}), a->fixturesRun);
    EXPECT_EQ(std::vector<LONG>({1, 0}), b->fixturesRun);
    EXPECT_EQ(E_INVALIDARG, module_->RunFixture(5, *argument));
    EXPECT_EQ(E_INVALIDARG, module_->RunFixture(-1, *argument));
}

TEST_F(HookModuleRoutingTest, SyncInvokerTakesTheFirstAnswerThatIsNotNotImplemented)
{
    auto a = Add({__uuidof(IvxModuleSyncInvoker)});
    auto b = Add({__uuidof(IvxModuleSyncInvoker)});
    auto c = Add({__uuidof(IvxModuleSyncInvoker)});
    EXPECT_EQ(E_NOTIMPL, module_->InvokeSynchronized(nullptr, 1, nullptr));
    EXPECT_EQ(1, c->invokerCalls.load());

    b->invokerResult = E_ACCESSDENIED;
    c->invokerResult = S_OK;
    EXPECT_EQ(E_ACCESSDENIED, module_->InvokeSynchronized(nullptr, 1, nullptr));
    EXPECT_EQ(1, c->invokerCalls.load());
    EXPECT_EQ(2, a->invokerCalls.load());
}

TEST_F(HookModuleRoutingTest, OptionsAndRecordedEventsReachEverySupport)
{
    auto a = Add({__uuidof(IvxModuleOptions), __uuidof(IvxScriptRecorderEventSource)});
    auto b = Add({__uuidof(IvxModuleOptions)});
    auto c = Add({__uuidof(IvxScriptRecorderEventSource)});
    const GUID key = {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
    vx::com::Variant value;
    EXPECT_EQ(S_OK, module_->SetOption(&key, *value));
    EXPECT_EQ(1, a->optionCalls.load());
    EXPECT_EQ(1, b->optionCalls.load());
    EXPECT_EQ(0, c->optionCalls.load());

    EXPECT_EQ(S_OK, module_->ProcessRecordedEvent(nullptr, nullptr));
    EXPECT_EQ(1, a->eventsProcessed.load());
    EXPECT_EQ(1, c->eventsProcessed.load());
    EXPECT_EQ(0, b->eventsProcessed.load());
}

TEST_F(HookModuleRoutingTest, ACrashingSupportSpoilsOnlyThatOneCall)
{
    auto crashing = Add({__uuidof(IvxModuleObjects), __uuidof(IvxModuleTestFixtures)});
    auto healthy = Add({__uuidof(IvxModuleObjects), __uuidof(IvxModuleTestFixtures)});
    crashing->crashOnObjectValue = 13;
    healthy->handles = VARIANT_TRUE;

    VARIANT bad = I4(13);
    EXPECT_EQ(VARIANT_FALSE, module_->HandlesObject(bad));
    VARIANT good = I4(14);
    EXPECT_EQ(VARIANT_TRUE, module_->HandlesObject(good));
    EXPECT_EQ(2, crashing->handlesCalls.load());
    EXPECT_EQ(1, healthy->handlesCalls.load());

    crashing->fixtureCount = 1;
    healthy->fixtureCount = 4;
    EXPECT_EQ(5, module_->GetFixtureCount());
}

TEST_F(HookModuleRoutingTest, ACrashingCustomControlSupportFailsWithoutKeepingTheLock)
{
    ComPtr<PlainObject> info;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(info));
    auto crashing = Add({__uuidof(IvxCustomControlOpenAppSupport)});
    crashing->crashOnClassInfo = true;
    ComPtr<IUnknown> classInfo;
    EXPECT_EQ(E_FAIL, module_->GetClassInfo(nullptr, &classInfo));
    EXPECT_EQ(nullptr, classInfo.Get());

    // The custom-control lists are walked under the module lock: another
    // thread must still get through afterwards.
    crashing->crashOnClassInfo = false;
    crashing->classInfoAnswer = info->Identity();
    std::atomic<HRESULT> fromOtherThread{E_PENDING};
    TestHookModule* module = module_.Get();
    std::thread other([&] {
        ComPtr<IUnknown> answer;
        HRESULT hr = module->GetClassInfo(nullptr, &answer);
        fromOtherThread = (hr == S_OK && answer.Get() == info->Identity()) ? S_OK : E_FAIL;
    });
    const DWORD start = GetTickCount();
    while (fromOtherThread.load() == E_PENDING && GetTickCount() - start < 5000)
        Sleep(5);
    if (fromOtherThread.load() == E_PENDING) {
        other.detach();
        FAIL() << "the module lock stayed held after the crash";
    }
    other.join();
    EXPECT_EQ(S_OK, fromOtherThread.load());
}

} // namespace
