#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "ComHelpTestEnvironment.h"
#include "comhelp/WindowThreadRunner.h"
#include "platform/process/WindowThreadTimeout.h"
#include "platform/com/UniqueHandle.h"

using namespace comhelp_tests;
using ovComHelp_EXP::RunOnWindowThread;
using vx::com::UniqueHandle;

namespace {

// A thread that owns a top-level window and a child window and pumps
// messages until it is told to end. Commands can block or busy it.
class WindowThread
{
public:
    WindowThread()
    {
        UniqueHandle created(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        thread_ = std::thread([this, &created] {
            threadId_ = GetCurrentThreadId();
            window_ = CreateWindowExW(0, L"STATIC", L"runner target", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                      nullptr, nullptr, nullptr);
            child_ =
                CreateWindowExW(0, L"STATIC", L"child", WS_CHILD, 0, 0, 10, 10, window_, nullptr, nullptr, nullptr);
            SetEvent(created.Get());
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                if (message.hwnd == nullptr && message.message == kBusyMessage) {
                    SetEvent(busy_.Get());
                    Sleep(static_cast<DWORD>(message.lParam));
                    continue;
                }
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            DestroyWindow(window_);
        });
        WaitForSingleObject(created.Get(), INFINITE);
    }
    ~WindowThread()
    {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    HWND Window() const { return window_; }
    HWND Child() const { return child_; }
    DWORD ThreadId() const { return threadId_; }

    // Keeps the thread away from its message queue for a while; returns
    // once the thread is busy.
    void Busy(DWORD milliseconds)
    {
        ResetEvent(busy_.Get());
        PostThreadMessageW(threadId_, kBusyMessage, 0, static_cast<LPARAM>(milliseconds));
        WaitForSingleObject(busy_.Get(), INFINITE);
    }

private:
    static const UINT kBusyMessage = WM_APP + 5;

    std::thread thread_;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
    HWND child_ = nullptr;
    UniqueHandle busy_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

struct Gate
{
    UniqueHandle entered{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<int> runs{0};
};

void __stdcall WaitAtGate(void* data)
{
    auto* gate = static_cast<Gate*>(data);
    ++gate->runs;
    SetEvent(gate->entered.Get());
    WaitForSingleObject(gate->release.Get(), 5000);
}

void __stdcall Throw(void*)
{
    throw std::runtime_error("function failed");
}

class WindowThreadRunnerTest : public ComHelpTest
{
protected:
    void TearDown() override
    {
        ovComHelp_EXP::SetWindowThreadCallTimeout(3000);
        ComHelpTest::TearDown();
    }
};

TEST_F(WindowThreadRunnerTest, RunsOnTheThreadThatOwnsTheWindow)
{
    WindowThread target;
    RunRecord record;
    EXPECT_TRUE(RunOnWindowThread(target.Window(), RecordRun, &record));
    EXPECT_EQ(record.runs, 1);
    EXPECT_EQ(record.threadId, target.ThreadId());
    EXPECT_TRUE(RunOnWindowThread(target.Child(), RecordRun, &record));
    EXPECT_EQ(record.threadId, target.ThreadId());
    EXPECT_EQ(ovComHelp_EXP::HookedThreadCount(), 0u) << "hooks go when no request is in progress";
}

TEST_F(WindowThreadRunnerTest, RunsAtOnceForAWindowOfTheCallingThread)
{
    HWND own =
        CreateWindowExW(0, L"STATIC", L"own", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(own, nullptr);
    RunRecord record;
    EXPECT_TRUE(RunOnWindowThread(own, RecordRun, &record));
    EXPECT_EQ(record.threadId, GetCurrentThreadId());
    DestroyWindow(own);
}

TEST_F(WindowThreadRunnerTest, RefusesWhatIsNotAWindowOfThisProcess)
{
    RunRecord record;
    EXPECT_FALSE(RunOnWindowThread(nullptr, RecordRun, &record));
    EXPECT_FALSE(RunOnWindowThread(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ff0)), RecordRun, &record));
    DWORD desktopProcess = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktopProcess);
    if (desktopProcess != GetCurrentProcessId())
        EXPECT_FALSE(RunOnWindowThread(GetDesktopWindow(), RecordRun, &record));
    EXPECT_EQ(record.runs, 0);
}

TEST_F(WindowThreadRunnerTest, ConcurrentRunsShareOneHookPairThatGoesAfterTheLast)
{
    WindowThread target;
    Gate first, second;
    bool firstResult = false, secondResult = false;
    std::thread one([&] { firstResult = RunOnWindowThread(target.Window(), WaitAtGate, &first); });
    ASSERT_EQ(WaitForSingleObject(first.entered.Get(), 5000), WAIT_OBJECT_0);
    std::thread two([&] { secondResult = RunOnWindowThread(target.Window(), WaitAtGate, &second); });
    DWORD start = GetTickCount();
    while (ovComHelp_EXP::WindowThreadHookUseCount(target.ThreadId()) < 2 && GetTickCount() - start < 2000)
        Sleep(5);
    EXPECT_EQ(ovComHelp_EXP::WindowThreadHookUseCount(target.ThreadId()), 2u);
    EXPECT_EQ(ovComHelp_EXP::HookedThreadCount(), 1u);

    SetEvent(first.release.Get());
    SetEvent(second.release.Get());
    one.join();
    two.join();
    EXPECT_TRUE(firstResult);
    EXPECT_TRUE(secondResult);
    EXPECT_EQ(second.runs, 1);
    EXPECT_EQ(ovComHelp_EXP::WindowThreadHookUseCount(target.ThreadId()), 0u);
    EXPECT_EQ(ovComHelp_EXP::HookedThreadCount(), 0u);
}

TEST_F(WindowThreadRunnerTest, ARequestNotStartedInTimeIsDroppedForGood)
{
    WindowThread target;
    ovComHelp_EXP::SetWindowThreadCallTimeout(200);
    // Busy far longer than the time-out, so that a request that waited for
    // the thread shows even on a loaded machine.
    target.Busy(3000);
    RunRecord record;
    DWORD start = GetTickCount();
    EXPECT_FALSE(RunOnWindowThread(target.Window(), RecordRun, &record));
    EXPECT_LT(GetTickCount() - start, 2500u);

    // Once the thread is back at its queue, a later request runs, and the
    // dropped one does not run with it.
    ovComHelp_EXP::SetWindowThreadCallTimeout(30000);
    RunRecord later;
    EXPECT_TRUE(RunOnWindowThread(target.Window(), RecordRun, &later));
    EXPECT_EQ(later.runs, 1);
    EXPECT_EQ(record.runs, 0);
}

TEST_F(WindowThreadRunnerTest, AFunctionEndingWithAnExceptionCountsAsNotDone)
{
    WindowThread target;
    EXPECT_FALSE(RunOnWindowThread(target.Window(), Throw, nullptr));
    RunRecord record;
    EXPECT_TRUE(RunOnWindowThread(target.Window(), RecordRun, &record));
    EXPECT_EQ(record.runs, 1);
}

} // namespace
