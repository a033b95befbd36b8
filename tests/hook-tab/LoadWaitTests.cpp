#include <gtest/gtest.h>

#include <thread>

#include "HookTabFixture.h"
#include "services/LoadWaitEvents.h"

using Microsoft::WRL::ComPtr;

namespace hook_tab_tests {
namespace {

// Runs `work` on another thread after `delayMs`.
class Later
{
public:
    template <class Work>
    Later(DWORD delayMs, Work work)
        : thread_([delayMs, work] {
              Sleep(delayMs);
              work();
          })
    {
    }
    ~Later() { thread_.join(); }

private:
    std::thread thread_;
};

TEST(LoadWaitEvents, WaiterSeesSignalsOnlyWhileRegistered)
{
    LoadWaitEvents events;
    {
        LoadWaitEvents::Waiter waiter(events);
        ASSERT_TRUE(waiter.Valid());
        EXPECT_EQ(events.Count(), 1u);
        EXPECT_FALSE(waiter.IsSignalled());
        // A signal before the wait begins is not lost.
        events.SignalAll();
        // A lost signal would keep the wait for its whole minute.
        const DWORD start = GetTickCount();
        EXPECT_TRUE(waiter.Wait(60000));
        EXPECT_LT(ElapsedSince(start), 30000u);
    }
    EXPECT_EQ(events.Count(), 0u);
    LoadWaitEvents::Waiter late(events);
    EXPECT_FALSE(late.IsSignalled());
}

TEST(LoadWaitEvents, WaitEndsAtItsLimitAndWakesEarlyOnASignal)
{
    LoadWaitEvents events;
    LoadWaitEvents::Waiter waiter(events);
    DWORD start = GetTickCount();
    EXPECT_FALSE(waiter.Wait(300));
    DWORD elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 290u);
    EXPECT_LT(elapsed, 10000u);

    start = GetTickCount();
    {
        Later signal(150, [&events] { events.SignalAll(); });
        EXPECT_TRUE(waiter.Wait(60000));
    }
    elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 140u);
    EXPECT_LT(elapsed, 30000u);
}

// A tab without services: only its own state and waits.
class TabWaits : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(vx::com::CreateComObject(tab_), S_OK);
        ASSERT_EQ(tab_->Initialize(nullptr, 4, nullptr, nullptr, nullptr), S_OK);
        vx::com::BStr url(L"http://example.test/");
        tab_->SetUrl(url.Get());
    }
    void TearDown() override { tab_->Close(); }

    ComScope com_;
    ComPtr<CCrHookTab> tab_;
};

TEST_F(TabWaits, WaitOnALoadingTabSkipsTheStartWait)
{
    // A start wait of a minute: taken by mistake, it could not go unseen.
    CCrHookTab::Timing timing = tab_->CurrentTiming();
    timing.waitStartMs = 60000;
    tab_->SetTiming(timing);
    tab_->SetLoading(true);
    const DWORD start = GetTickCount();
    vx::com::BStr url;
    {
        Later stop(300, [this] { tab_->SetLoading(false); });
        ASSERT_EQ(tab_->WaitForLoad(url), S_OK);
    }
    const DWORD elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 250u);
    EXPECT_LT(elapsed, 30000u);
    EXPECT_EQ(url.Str(), L"http://example.test/");
}

TEST_F(TabWaits, WaitFollowsALoadThatStartsAndStops)
{
    // Both waits last a minute: the call must end with the stop, not a limit.
    CCrHookTab::Timing timing = tab_->CurrentTiming();
    timing.waitStartMs = timing.waitStopMs = 60000;
    tab_->SetTiming(timing);
    const DWORD start = GetTickCount();
    vx::com::BStr url;
    {
        Later load(200, [this] {
            vx::com::BStr next(L"http://example.test/next");
            tab_->SetUrl(next.Get());
            tab_->SetLoading(true);
            Sleep(300);
            tab_->SetLoading(false);
        });
        ASSERT_EQ(tab_->WaitForLoad(url), S_OK);
    }
    const DWORD elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 450u);
    EXPECT_LT(elapsed, 30000u);
    EXPECT_EQ(url.Str(), L"http://example.test/next");
}

TEST_F(TabWaits, WaitWithoutALoadGivesUpAfterTheStartWait)
{
    const DWORD start = GetTickCount();
    vx::com::BStr url;
    ASSERT_EQ(tab_->WaitForLoad(url), S_OK);
    const DWORD elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, CCrHookTab::kWaitStartMs - 10);
    EXPECT_LT(elapsed, 4000u);
}

TEST_F(TabWaits, TheProductWaitsAreTheDefaultsAndATestMayShortenThem)
{
    const CCrHookTab::Timing product = tab_->CurrentTiming();
    EXPECT_EQ(product.waitStartMs, 1500u);
    EXPECT_EQ(product.waitStopMs, 58500u);
    EXPECT_EQ(product.navigateStartMs, 3000u);
    EXPECT_EQ(product.navigateStopMs, 57000u);
    EXPECT_EQ(product.reconnectTries, 5);
    EXPECT_EQ(product.reconnectIntervalMs, 500u);

    CCrHookTab::Timing shorter = product;
    shorter.waitStartMs = 100;
    tab_->SetTiming(shorter);
    const DWORD start = GetTickCount();
    vx::com::BStr url;
    ASSERT_EQ(tab_->WaitForLoad(url), S_OK);
    const DWORD elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 90u);
    EXPECT_LT(elapsed, CCrHookTab::kWaitStartMs);
}

TEST_F(TabWaits, SettingTheSameLoadingValueSignalsNothing)
{
    tab_->SetLoading(true);
    const DWORD start = GetTickCount();
    vx::com::BStr url;
    {
        // Repeating "loading" must not end the wait for the stop.
        Later repeat(100, [this] {
            tab_->SetLoading(true);
            Sleep(400);
            tab_->SetLoading(false);
        });
        ASSERT_EQ(tab_->WaitForLoad(url), S_OK);
    }
    EXPECT_GE(ElapsedSince(start), 450u);
}

TEST_F(TabWaits, ClosedTabRefusesToWaitAndToConnect)
{
    tab_->Close();
    EXPECT_FALSE(tab_->IsAlive());
    vx::com::BStr url;
    EXPECT_FAILED(tab_->WaitForLoad(url));
    EXPECT_FAILED(tab_->ConnectRenderer());
    HWND window = nullptr;
    EXPECT_EQ(tab_->TabWindow(window), E_FAIL);
}

TEST_F(TabWaits, PrefixesAndCounters)
{
    EXPECT_EQ(tab_->ObjectNamePrefix(true).Str(), L"Cr4!");
    EXPECT_EQ(tab_->ObjectNamePrefix(false).Str(), L"Cr4Wnd!");
    const LONG tree = tab_->ChangeCounter(true);
    const LONG dom = tab_->ChangeCounter(false);
    tab_->ResetRenderer();
    EXPECT_EQ(tab_->ChangeCounter(true), tree + 1);
    EXPECT_EQ(tab_->ChangeCounter(false), dom + 1);
    tab_->Close();
    EXPECT_EQ(tab_->ChangeCounter(true), tree + 2);
    tab_->Close();
    EXPECT_EQ(tab_->ChangeCounter(true), tree + 2);
}

TEST_F(TabWaits, GroupAndUrl)
{
    EXPECT_EQ(tab_->GroupIndex(), 0);
    EXPECT_FALSE(tab_->HasGroup());
    tab_->SetGroup(2, true);
    EXPECT_EQ(tab_->GroupIndex(), 2);
    EXPECT_TRUE(tab_->HasGroup());
    tab_->SetUrl(nullptr);
    EXPECT_TRUE(tab_->Url().Empty());
}

} // namespace
} // namespace hook_tab_tests
