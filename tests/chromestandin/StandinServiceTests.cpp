// The tabs service of the stand-in through plain IDispatch calls: the tab
// list, the tab queries, notifications and their order, navigation timing,
// refused and delayed calls, and calls after shutdown.
#include <gtest/gtest.h>

#include "StandinFixture.h"
#include "services/TabRecords.h"

using chrome_standin::NavigationBehaviour;
using chrome_standin::StandinService;
using vx::com::Variant;

namespace standin_tests {
namespace {

using TabsServiceTest = StandinTest;

TEST_F(TabsServiceTest, TabListHoldsOneRecordPerTabThatTheLibraryParses)
{
    ASSERT_EQ(Standin().OpenTab(7, L"http://a.test/", false), S_OK);
    ASSERT_EQ(Standin().OpenTab(3, L"http://b.test/x", true), S_OK);
    ASSERT_EQ(Standin().OpenTab(5, L"about:blank"), S_OK);

    Variant list;
    ASSERT_EQ(Call(Tabs(), 1, {}, &list), S_OK);
    ASSERT_EQ(list.Type(), VT_ARRAY | VT_VARIANT);
    std::vector<TabInfoRecord> tabs;
    ASSERT_EQ(ParseTabList(*list, tabs), S_OK);
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(tabs[0].tabId, 7);
    EXPECT_FALSE(tabs[0].loading);
    EXPECT_EQ(tabs[0].url.Str(), L"http://a.test/");
    EXPECT_EQ(tabs[1].tabId, 3);
    EXPECT_TRUE(tabs[1].loading);
    EXPECT_EQ(tabs[1].url.Str(), L"http://b.test/x");
    EXPECT_EQ(tabs[2].tabId, 5);

    ASSERT_EQ(Standin().CloseTab(3), S_OK);
    ASSERT_EQ(Call(Tabs(), 1, {}, &list), S_OK);
    ASSERT_EQ(ParseTabList(*list, tabs), S_OK);
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[1].tabId, 5);
}

TEST_F(TabsServiceTest, EmptyBrowserGivesAnEmptyList)
{
    Variant list;
    ASSERT_EQ(Call(Tabs(), 1, {}, &list), S_OK);
    ASSERT_EQ(list.Type(), VT_ARRAY | VT_VARIANT);
    EXPECT_TRUE(Elements(*list).empty());
}

TEST_F(TabsServiceTest, TabQueriesAnswerActiveLoadingAndUrl)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/", true), S_OK);
    ASSERT_EQ(Standin().OpenTab(2, L"http://two/"), S_OK);
    Variant one = Long(1), two = Long(2), result;

    ASSERT_EQ(Call(Tabs(), 2, {&one}, &result), S_OK);
    EXPECT_EQ(result.Type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(result.Get()), VARIANT_TRUE) << "the first tab opened is the active one";
    ASSERT_EQ(Call(Tabs(), 2, {&two}, &result), S_OK);
    EXPECT_EQ(V_BOOL(result.Get()), VARIANT_FALSE);
    ASSERT_EQ(Call(Tabs(), 3, {&one}, &result), S_OK);
    EXPECT_EQ(V_BOOL(result.Get()), VARIANT_TRUE);
    ASSERT_EQ(Call(Tabs(), 4, {&two}, &result), S_OK);
    ASSERT_EQ(result.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(result.Get()), L"http://two/");

    ASSERT_EQ(Call(Tabs(), 6, {&two}), S_OK);
    ASSERT_EQ(Call(Tabs(), 2, {&two}, &result), S_OK);
    EXPECT_EQ(V_BOOL(result.Get()), VARIANT_TRUE);
    ASSERT_EQ(Call(Tabs(), 2, {&one}, &result), S_OK);
    EXPECT_EQ(V_BOOL(result.Get()), VARIANT_FALSE);
}

TEST_F(TabsServiceTest, BadCallsAreRefused)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    Variant unknown = Long(99), one = Long(1), url = String(L"http://x/"), text = String(L"not a number");
    EXPECT_EQ(Call(Tabs(), 4, {&unknown}), E_INVALIDARG);
    EXPECT_EQ(Call(Tabs(), 5, {&unknown, &url}), E_INVALIDARG);
    EXPECT_EQ(Call(Tabs(), 6, {&unknown}), E_INVALIDARG);
    EXPECT_EQ(Call(Tabs(), 5, {&one}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(Tabs(), 6, {&text}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Call(Tabs(), 40, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(Tabs(), 32, {&one}), DISP_E_TYPEMISMATCH) << "a notifier must be an object";
}

TEST_F(TabsServiceTest, NotificationsComeFromTheStandinsThreadInTheOrderOfTheChanges)
{
    auto notifier = RegisterTabsNotifier();
    ASSERT_EQ(Standin().OpenTab(5, L"http://five/"), S_OK);
    ASSERT_EQ(Standin().UpdateTab(5, L"http://five/next", true), S_OK);
    ASSERT_EQ(Standin().OpenTab(6, L"http://six/", true), S_OK);
    ASSERT_EQ(Standin().SetTabLoading(5, false), S_OK);
    ASSERT_EQ(Standin().CloseTab(5), S_OK);

    auto received = notifier->WaitFor(5);
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[0].member, 1);
    EXPECT_EQ(received[0].tabId, 5);
    EXPECT_EQ(received[0].text, L"http://five/");
    EXPECT_EQ(received[1].member, 3);
    EXPECT_EQ(received[1].text, L"http://five/next");
    EXPECT_TRUE(received[1].loading);
    EXPECT_EQ(received[2].member, 1);
    EXPECT_EQ(received[2].tabId, 6);
    EXPECT_TRUE(received[2].loading);
    EXPECT_EQ(received[3].member, 3);
    EXPECT_FALSE(received[3].loading);
    EXPECT_EQ(received[4].member, 2);
    EXPECT_EQ(received[4].tabId, 5);
    EXPECT_NE(notifier->LastThread(), GetCurrentThreadId());
}

TEST_F(TabsServiceTest, EveryRegisteredNotifierIsToldUntilItUnregisters)
{
    Variant firstRegistration;
    auto first = RegisterTabsNotifier(&firstRegistration);
    auto second = RegisterTabsNotifier();
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    EXPECT_EQ(first->WaitFor(1).size(), 1u);
    EXPECT_EQ(second->WaitFor(1).size(), 1u);
    EXPECT_EQ(Standin().TabsNotifierCount(), 2u);

    ASSERT_EQ(Call(V_DISPATCH(firstRegistration.Get()), 1, {}), S_OK);
    EXPECT_EQ(Standin().TabsNotifierCount(), 1u);
    ASSERT_EQ(Standin().OpenTab(2, L"http://two/"), S_OK);
    EXPECT_EQ(second->WaitFor(2).size(), 2u);
    ASSERT_TRUE(Standin().FlushNotifications());
    EXPECT_EQ(first->Received().size(), 1u);
}

// A notifier whose process has ended.
class VanishedNotifier : public chrome_standin::DispatchObject<VanishedNotifier>
{
public:
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        ++calls;
        return HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
    }
    LONG calls = 0;
};

TEST_F(TabsServiceTest, ANotifierWhoseProcessIsGoneIsDropped)
{
    Microsoft::WRL::ComPtr<VanishedNotifier> vanished;
    ASSERT_EQ(chrome_standin::CreateDispatchObject(vanished), S_OK);
    Variant argument = Object(vanished.Get());
    ASSERT_EQ(Call(Tabs(), 32, {&argument}), S_OK);
    auto living = RegisterTabsNotifier();
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    ASSERT_EQ(Standin().OpenTab(2, L"http://two/"), S_OK);
    EXPECT_EQ(living->WaitFor(2).size(), 2u);
    ASSERT_TRUE(Standin().FlushNotifications());
    EXPECT_EQ(vanished->calls, 1);
    EXPECT_EQ(Standin().TabsNotifierCount(), 1u);
}

TEST_F(TabsServiceTest, NavigationStartsAndStopsLoadingAfterTheConfiguredDelays)
{
    ASSERT_EQ(Standin().OpenTab(4, L"http://before/"), S_OK);
    ASSERT_EQ(Standin().SetNavigationBehaviour(4, NavigationBehaviour{80, 120}), S_OK);
    auto notifier = RegisterTabsNotifier();
    Variant id = Long(4), url = String(L"http://after/");

    ULONGLONG start = GetTickCount64();
    ASSERT_EQ(Call(Tabs(), 5, {&id, &url}), S_OK);
    auto tab = Standin().Tab(4);
    EXPECT_FALSE(tab->loading) << "loading starts only after the delay";
    EXPECT_EQ(tab->url, L"http://before/");

    auto received = notifier->WaitFor(1);
    ULONGLONG started = GetTickCount64();
    received = notifier->WaitFor(2);
    ULONGLONG stopped = GetTickCount64();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].member, 3);
    EXPECT_TRUE(received[0].loading);
    EXPECT_EQ(received[0].text, L"http://after/");
    EXPECT_EQ(received[1].member, 3);
    EXPECT_FALSE(received[1].loading);
    EXPECT_GE(started - start, 70u);
    EXPECT_GE(stopped - started, 100u);
    EXPECT_FALSE(Standin().Tab(4)->loading);
}

TEST_F(TabsServiceTest, NavigationThatNeverStartsChangesNothing)
{
    ASSERT_EQ(Standin().OpenTab(4, L"http://before/"), S_OK);
    ASSERT_EQ(Standin().SetNavigationBehaviour(4, NavigationBehaviour{-1, 0}), S_OK);
    auto notifier = RegisterTabsNotifier();
    Variant id = Long(4), url = String(L"http://after/");
    ASSERT_EQ(Call(Tabs(), 5, {&id, &url}), S_OK);
    Sleep(200);
    ASSERT_TRUE(Standin().FlushNotifications());
    EXPECT_TRUE(notifier->Received().empty());
    EXPECT_EQ(Standin().Tab(4)->url, L"http://before/");
}

TEST_F(TabsServiceTest, LoadingThatNeverStopsStaysLoadingAndANewNavigationSupersedesIt)
{
    ASSERT_EQ(Standin().OpenTab(4, L"http://before/"), S_OK);
    ASSERT_EQ(Standin().SetNavigationBehaviour(4, NavigationBehaviour{0, -1}), S_OK);
    auto notifier = RegisterTabsNotifier();
    Variant id = Long(4), first = String(L"http://first/"), second = String(L"http://second/");
    ASSERT_EQ(Call(Tabs(), 5, {&id, &first}), S_OK);
    ASSERT_EQ(notifier->WaitFor(1).size(), 1u);
    Sleep(100);
    EXPECT_TRUE(Standin().Tab(4)->loading);

    // A pending load of an older navigation must not land after a newer one.
    ASSERT_EQ(Standin().SetNavigationBehaviour(4, NavigationBehaviour{150, 0}), S_OK);
    ASSERT_EQ(Call(Tabs(), 5, {&id, &second}), S_OK);
    ASSERT_EQ(Standin().SetNavigationBehaviour(4, NavigationBehaviour{0, 0}), S_OK);
    ASSERT_EQ(Call(Tabs(), 5, {&id, &first}), S_OK);
    auto received = notifier->WaitFor(3);
    Sleep(250);
    ASSERT_TRUE(Standin().FlushNotifications());
    received = notifier->Received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1].text, L"http://first/");
    EXPECT_FALSE(received[2].loading);
    EXPECT_EQ(Standin().Tab(4)->url, L"http://first/");
}

TEST_F(TabsServiceTest, ScheduledLoadingKeepsTheUrl)
{
    ASSERT_EQ(Standin().OpenTab(2, L"http://page/"), S_OK);
    auto notifier = RegisterTabsNotifier();
    ASSERT_EQ(Standin().ScheduleLoading(2, 10, 20), S_OK);
    auto received = notifier->WaitFor(2);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[0].loading);
    EXPECT_FALSE(received[1].loading);
    EXPECT_EQ(received[1].text, L"http://page/");
}

TEST_F(TabsServiceTest, RefusedAndDelayedCallsAreCounted)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    Standin().RefuseCalls(StandinService::Tabs, 1, E_ACCESSDENIED);
    Variant list;
    EXPECT_EQ(Call(Tabs(), 1, {}, &list), E_ACCESSDENIED);
    EXPECT_EQ(list.Type(), VT_EMPTY);
    EXPECT_EQ(Standin().CallCount(StandinService::Tabs, 1), 1);

    Standin().ClearCallRules(StandinService::Tabs);
    Standin().DelayCalls(StandinService::Tabs, 1, 150);
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Call(Tabs(), 1, {}, &list), S_OK);
    EXPECT_GE(GetTickCount64() - start, 140u);
    EXPECT_EQ(Standin().CallCount(StandinService::Tabs, 1), 2);
    EXPECT_EQ(Standin().CallCount(StandinService::Tabs, 2), 0);
}

TEST_F(TabsServiceTest, ReferencesKeptAfterShutdownFailAsCallsIntoAVanishedProcess)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    Microsoft::WRL::ComPtr<IDispatch> kept = Tabs();
    standin_.reset();
    Variant list;
    EXPECT_EQ(Call(kept.Get(), 1, {}, &list), HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));
}

} // namespace
} // namespace standin_tests
