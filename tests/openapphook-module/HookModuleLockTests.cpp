// The hook module calls its supports without holding its own lock: a support
// that blocks, or one that crashes, never holds up host calls on other
// threads.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "FakeSupport.h"
#include "platform/com/UniqueHandle.h"

using Microsoft::WRL::ComPtr;
using namespace moduletests;

namespace {

class HookModuleLockTest : public HookModuleTest
{
protected:
    // Runs `call` on a new thread; true when it returned within `limitMs`.
    // A call that does not return is left running (the test fails anyway).
    static bool CompletesOnAnotherThread(std::function<void()> call, DWORD limitMs)
    {
        vx::com::UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        HANDLE doneEvent = done.Get();
        auto shared = std::make_shared<std::function<void()>>(std::move(call));
        std::thread other([shared, doneEvent] {
            (*shared)();
            SetEvent(doneEvent);
        });
        if (WaitForSingleObject(doneEvent, limitMs) != WAIT_OBJECT_0) {
            other.detach();
            done.Release(); // the thread still signals it
            return false;
        }
        other.join();
        return true;
    }
};

TEST_F(HookModuleLockTest, ARecorderBlockedInRecordingStartLeavesOtherHostCallsFree)
{
    vx::com::UniqueHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    vx::com::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto blocking = Add({__uuidof(IvxScriptEventRecorder)});
    blocking->entered = entered.Get();
    blocking->release = release.Get();
    blocking->blockRecordingStart = true;
    auto other = Add({__uuidof(IvxModuleObjects), __uuidof(IvxScriptEventRecorder)});
    other->handles = VARIANT_TRUE;

    TestHookModule* module = module_.Get();
    IvxScriptEventRecorder* recorder = recorder_.Get();
    std::thread recording([recorder] { recorder->OnRecordingStarted(); });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered.Get(), 10000));

    // While the first recorder is stuck: routing, adding a support and
    // stopping the recording all go through.
    std::atomic<VARIANT_BOOL> handled{VARIANT_FALSE};
    EXPECT_TRUE(CompletesOnAnotherThread(
        [&] {
            VARIANT v;
            V_VT(&v) = VT_I4;
            V_I4(&v) = 1;
            handled = module->HandlesObject(v);
        },
        5000));
    EXPECT_EQ(VARIANT_TRUE, handled.load());
    ComPtr<FakeSupport> late;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(late, std::vector<IID>{__uuidof(IvxModuleObjects)}));
    EXPECT_TRUE(CompletesOnAnotherThread([&] { module->AddSupport(late->Identity()); }, 5000));

    SetEvent(release.Get());
    recording.join();
    EXPECT_EQ(1, blocking->started.load());
    EXPECT_EQ(1, other->started.load());
}

TEST_F(HookModuleLockTest, ASupportBlockedInRoutingLeavesRecordingAndRoutingOnOtherThreadsFree)
{
    vx::com::UniqueHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    vx::com::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto blocking = Add({__uuidof(IvxModuleObjects), __uuidof(IvxScriptEventRecorder)});
    blocking->entered = entered.Get();
    blocking->release = release.Get();
    blocking->blockHandlesObject = true;

    TestHookModule* module = module_.Get();
    IvxScriptEventRecorder* recorder = recorder_.Get();
    std::thread routing([module] {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = 7;
        module->HandlesObject(v);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(entered.Get(), 10000));

    EXPECT_TRUE(CompletesOnAnotherThread([&] { recorder->OnRecordingStarted(); }, 5000));
    EXPECT_TRUE(CompletesOnAnotherThread([&] { recorder->OnRecordingStopped(); }, 5000));
    EXPECT_EQ(1, blocking->started.load());
    EXPECT_EQ(1, blocking->stopped.load());

    SetEvent(release.Get());
    routing.join();
}

TEST_F(HookModuleLockTest, ACrashInsideARecorderLeavesNoLockHeld)
{
    auto crashing = Add({__uuidof(IvxScriptEventRecorder)});
    crashing->crashOnEvent = true;
    auto healthy = Add({__uuidof(IvxModuleObjects)});
    healthy->handles = VARIANT_TRUE;

    EXPECT_EQ(VARIANT_FALSE, recorder_->OnEvent(nullptr, nullptr, nullptr));

    TestHookModule* module = module_.Get();
    IvxScriptEventRecorder* recorder = recorder_.Get();
    std::atomic<VARIANT_BOOL> handled{VARIANT_FALSE};
    EXPECT_TRUE(CompletesOnAnotherThread(
        [&] {
            recorder->OnRecordingStarted();
            VARIANT v;
            V_VT(&v) = VT_I4;
            V_I4(&v) = 1;
            handled = module->HandlesObject(v);
            recorder->OnRecordingStopped();
        },
        1000));
    EXPECT_EQ(VARIANT_TRUE, handled.load());
}

} // namespace
