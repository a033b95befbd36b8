// The module's recording state and recorder sink, and supports that join
// while they are on.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "FakeSupport.h"

using Microsoft::WRL::ComPtr;
using namespace moduletests;

namespace {

using HookModuleRecordingTest = HookModuleTest;

TEST_F(HookModuleRecordingTest, SupportsJoiningDuringRecordingAreStartedAtOnce)
{
    auto early = Add({__uuidof(IvxScriptEventRecorder)});
    ASSERT_EQ(S_OK, recorder_->OnRecordingStarted());
    EXPECT_TRUE(module_->IsRecording());
    EXPECT_EQ(1, early->started.load());

    auto during = Add({__uuidof(IvxScriptEventRecorder)});
    EXPECT_EQ(1, during->started.load());

    ASSERT_EQ(S_OK, recorder_->OnRecordingStopped());
    EXPECT_FALSE(module_->IsRecording());
    EXPECT_EQ(1, early->stopped.load());
    EXPECT_EQ(1, during->stopped.load());

    auto after = Add({__uuidof(IvxScriptEventRecorder)});
    EXPECT_EQ(0, after->started.load());
    // A support that does not record is not started.
    ASSERT_EQ(S_OK, recorder_->OnRecordingStarted());
    auto other = Add({__uuidof(IvxModuleObjects)});
    EXPECT_EQ(0, other->started.load());
    EXPECT_EQ(1, after->started.load());
}

TEST_F(HookModuleRecordingTest, EventsGoToEveryRecorderAndAnyTakerMakesItTrue)
{
    auto a = Add({__uuidof(IvxScriptEventRecorder)});
    auto b = Add({__uuidof(IvxScriptEventRecorder)});
    auto c = Add({__uuidof(IvxScriptEventRecorder)});
    EXPECT_EQ(VARIANT_FALSE, recorder_->OnEvent(nullptr, nullptr, nullptr));
    b->eventAnswer = VARIANT_TRUE;
    EXPECT_EQ(VARIANT_TRUE, recorder_->OnEvent(nullptr, nullptr, nullptr));
    EXPECT_EQ(2, a->events.load());
    EXPECT_EQ(2, c->events.load());
}

TEST_F(HookModuleRecordingTest, TheKeptSinkIsHandedToLaterSupportsUntilReleased)
{
    auto first = Add({__uuidof(IvxScriptRecorderEventSource)});
    ComPtr<PlainObject> sink;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(sink));
    ASSERT_EQ(S_OK, module_->SetRecorderSink(sink->Identity()));
    EXPECT_EQ(sink->Identity(), first->lastSink);

    auto joined = Add({__uuidof(IvxScriptRecorderEventSource)});
    EXPECT_EQ(1, joined->sinkSet.load());
    EXPECT_EQ(sink->Identity(), joined->lastSink);

    ASSERT_EQ(S_OK, module_->ReleaseRecorderSink());
    EXPECT_EQ(1, first->sinkReleased.load());
    EXPECT_EQ(1, joined->sinkReleased.load());
    auto late = Add({__uuidof(IvxScriptRecorderEventSource)});
    EXPECT_EQ(0, late->sinkSet.load());
}

TEST_F(HookModuleRecordingTest, ACrashingRecorderAnswersFalseAndLeavesTheModuleUsable)
{
    auto crashing = Add({__uuidof(IvxScriptEventRecorder)});
    auto taker = Add({__uuidof(IvxScriptEventRecorder)});
    crashing->crashOnEvent = true;
    taker->eventAnswer = VARIANT_TRUE;
    EXPECT_EQ(VARIANT_FALSE, recorder_->OnEvent(nullptr, nullptr, nullptr));

    // Recording runs under the module lock; another thread still gets it.
    std::atomic<HRESULT> started{E_PENDING};
    IvxScriptEventRecorder* recorder = recorder_.Get();
    std::thread other([&] { started = recorder->OnRecordingStarted(); });
    const DWORD start = GetTickCount();
    while (started.load() == E_PENDING && GetTickCount() - start < 5000)
        Sleep(5);
    if (started.load() == E_PENDING) {
        other.detach();
        FAIL() << "the module lock stayed held after the crash";
    }
    other.join();
    EXPECT_EQ(S_OK, started.load());
    EXPECT_EQ(1, taker->started.load());

    crashing->crashOnEvent = false;
    EXPECT_EQ(VARIANT_TRUE, recorder_->OnEvent(nullptr, nullptr, nullptr));
}

} // namespace
