#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "HookTabFixture.h"
#include "openapphook/DispHelper.h"
#include "platform/com/Variant.h"

using chrome_standin::StandinService;
using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;

namespace hook_tab_tests {
namespace {

constexpr DISPID kBrowserKeyDispid = 5;

class HookTabRenderer : public StandinTabTest
{
protected:
    // Where the page in the tab's renderer (the naming snapshot) was captured.
    static constexpr wchar_t kRendererPageUrl[] = L"http://fixtures.test/naming.html";

    LONG BrowserKeyCalls() { return Standin().CallCount(StandinService::Browser, kBrowserKeyDispid); }

    // The "URL" of the page's document, through the page's script object.
    std::wstring DocumentUrl()
    {
        ComPtr<IDispatch> script;
        EXPECT_EQ(Tab().GetPageScriptObject(script), S_OK);
        if (!script)
            return L"<no script object>";
        Variant document;
        EXPECT_EQ(vxOpenAppHook::CvxDispHelper(script.Get()).GetProperty(L"document", document.Get()), S_OK);
        if (document.Type() != VT_DISPATCH || !V_DISPATCH(document.Get()))
            return L"<no document>";
        Variant url;
        EXPECT_EQ(vxOpenAppHook::CvxDispHelper(V_DISPATCH(document.Get())).GetProperty(L"URL", url.Get()), S_OK);
        return url.Type() == VT_BSTR ? std::wstring(V_BSTR(url.Get())) : L"<no URL>";
    }
};

TEST_F(HookTabRenderer, ConnectKeepsKeyWindowAndPageObjectsAndConnectsOnce)
{
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    EXPECT_TRUE(Tab().IsRendererConnected());
    const BStr key(StandinTab().browserKey.c_str());
    EXPECT_TRUE(Tab().HoldsBrowserKey(key.Get()));
    EXPECT_FALSE(Tab().HoldsBrowserKey(BStr(L"other").Get()));
    EXPECT_FALSE(Tab().HoldsBrowserKey(nullptr));

    ComPtr<IDispatch> page;
    ASSERT_EQ(Tab().GetPageQuickBrowserObject(page), S_OK);
    ASSERT_TRUE(page);
    EXPECT_EQ(DocumentUrl(), kRendererPageUrl);

    // Held: no second connection.
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    EXPECT_EQ(BrowserKeyCalls(), 1);
}

TEST_F(HookTabRenderer, AConnectionWaitingOnTheBrowserLeavesTheTabFreeAndAResetMakesItReadAgain)
{
    // The browser-key lookup hangs for a while in the browser process.
    Standin().DelayCalls(StandinService::Browser, kBrowserKeyDispid, 1500);
    std::atomic<bool> connectDone{false};
    std::atomic<HRESULT> connected{E_PENDING};
    CCrHookTab* tab = &Tab();
    std::thread connecting([&] {
        ComScope com;
        connected = tab->ConnectRenderer();
        connectDone = true;
    });
    while (BrowserKeyCalls() == 0 && !connectDone)
        Sleep(5);

    // Meanwhile the tab answers from other threads without waiting for it.
    EXPECT_TRUE(Tab().IsAlive());
    EXPECT_FALSE(Tab().IsRendererConnected());
    EXPECT_FALSE(Tab().HoldsBrowserKey(BStr(StandinTab().browserKey.c_str()).Get()));
    EXPECT_EQ(Tab().Url().Str(), kFirstUrl);
    // A renderer reset now makes what the lookup brings back stale.
    Tab().ResetRenderer();
    EXPECT_FALSE(connectDone.load()) << "the tab waited for the browser's answer";

    connecting.join();
    EXPECT_EQ(connected.load(), S_OK);
    EXPECT_EQ(BrowserKeyCalls(), 2) << "the stale lookup was used instead of a new one";
    EXPECT_TRUE(Tab().IsRendererConnected());
    EXPECT_TRUE(Tab().HoldsBrowserKey(BStr(StandinTab().browserKey.c_str()).Get()));
}

// The stand-in's own quick browser, which refuses and counts calls on demand.
class HookTabRendererCalls : public HookTabRenderer
{
protected:
    chrome_standin::StandinOptions Options() override { return WithStandinQuickBrowser(); }
};

TEST_F(HookTabRendererCalls, FailedConnectionLeavesTheTabUnconnected)
{
    Standin().RefuseCalls(StandinService::QuickBrowser, 3, E_ACCESSDENIED);
    const LONG counter = Tab().ChangeCounter(false);
    EXPECT_EQ(Tab().ConnectRenderer(), E_ACCESSDENIED);
    EXPECT_FALSE(Tab().IsRendererConnected());
    EXPECT_FALSE(Tab().HoldsBrowserKey(BStr(StandinTab().browserKey.c_str()).Get()));
    EXPECT_EQ(Tab().ChangeCounter(false), counter + 1);

    Standin().ClearCallRules(StandinService::QuickBrowser);
    EXPECT_EQ(Tab().ConnectRenderer(), S_OK);
}

TEST_F(HookTabRendererCalls, NoBrowserKeyStopsBeforeAnyRendererCall)
{
    Standin().RefuseCalls(StandinService::Browser, kBrowserKeyDispid, E_INVALIDARG);
    const LONG counter = Tab().ChangeCounter(true);
    EXPECT_FAILED(Tab().ConnectRenderer());
    EXPECT_EQ(Standin().CallCount(StandinService::QuickBrowser, 2), 0);
    EXPECT_EQ(Tab().ChangeCounter(true), counter);
}

TEST_F(HookTabRenderer, ResetThenThePageOperationConnectsAgain)
{
    EXPECT_EQ(DocumentUrl(), kRendererPageUrl);
    EXPECT_EQ(BrowserKeyCalls(), 1);
    const LONG counter = Tab().ChangeCounter(true);
    Tab().ResetRenderer();
    EXPECT_FALSE(Tab().IsRendererConnected());
    EXPECT_EQ(Tab().ChangeCounter(true), counter + 1);
    EXPECT_EQ(DocumentUrl(), kRendererPageUrl);
    EXPECT_EQ(BrowserKeyCalls(), 2);
    EXPECT_TRUE(Tab().IsRendererConnected());
}

TEST_F(HookTabRenderer, RemovedBrowserResetsOnlyTheTabThatHoldsIt)
{
    ASSERT_EQ(Standin().OpenTab(30, L"http://example.test/third"), S_OK);
    auto other = MakeTab(30);
    ASSERT_TRUE(other);
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    ASSERT_EQ(other->ConnectRenderer(), S_OK);

    std::wstring oldKey, newKey;
    ASSERT_EQ(Standin().RemoveBrowser(kTabId, &oldKey, &newKey), S_OK);
    ASSERT_TRUE(Standin().FlushNotifications());
    EXPECT_FALSE(Tab().IsRendererConnected());
    EXPECT_TRUE(other->IsRendererConnected());

    // The next page operation reaches the new renderer connection.
    EXPECT_EQ(DocumentUrl(), kRendererPageUrl);
    EXPECT_TRUE(Tab().HoldsBrowserKey(BStr(newKey.c_str()).Get()));
}

TEST_F(HookTabRenderer, NavigateWaitsForTheLoadAndConnects)
{
    // Waits of a minute: the call must end with the load, not at a limit.
    CCrHookTab::Timing timing = Tab().CurrentTiming();
    timing.navigateStartMs = timing.navigateStopMs = 60000;
    Tab().SetTiming(timing);
    const DWORD start = GetTickCount();
    BStr url(L"http://example.test/next");
    ASSERT_EQ(Tab().Navigate(url.Get()), S_OK);
    // Stand-in default: starts after 30 ms, stops 150 ms later.
    EXPECT_LT(ElapsedSince(start), 30000u);
    EXPECT_EQ(Tab().Url().Str(), L"http://example.test/next");
    EXPECT_FALSE(Tab().IsLoading());
    EXPECT_TRUE(Tab().IsRendererConnected());
    EXPECT_EQ(StandinTab().url, L"http://example.test/next");
}

TEST_F(HookTabRenderer, NavigateToAPageThatNeverStartsLoadingGivesUpAfterTheStartWait)
{
    // The product waits 3 s (checked with the other defaults); 300 ms here.
    CCrHookTab::Timing timing = Tab().CurrentTiming();
    timing.navigateStartMs = 300;
    Tab().SetTiming(timing);
    chrome_standin::NavigationBehaviour never;
    never.startAfterMs = -1;
    ASSERT_EQ(Standin().SetNavigationBehaviour(kTabId, never), S_OK);
    const DWORD start = GetTickCount();
    BStr url(L"http://example.test/never");
    EXPECT_EQ(Tab().Navigate(url.Get()), S_FALSE);
    const DWORD elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 280u);
    EXPECT_LT(elapsed, 30000u);
    // No connection is tried after a wait that timed out.
    EXPECT_EQ(BrowserKeyCalls(), 0);
}

TEST_F(HookTabRenderer, NavigateRetriesTheConnectionAfterTheLoad)
{
    // Pauses of 100 ms instead of the product's 500 ms.
    CCrHookTab::Timing timing = Tab().CurrentTiming();
    timing.reconnectIntervalMs = 100;
    Tab().SetTiming(timing);
    Standin().RefuseCalls(StandinService::Browser, kBrowserKeyDispid, E_FAIL);
    const DWORD start = GetTickCount();
    BStr url(L"http://example.test/retry");
    EXPECT_EQ(Tab().Navigate(url.Get()), S_OK);
    const DWORD elapsed = ElapsedSince(start);
    EXPECT_EQ(BrowserKeyCalls(), CCrHookTab::kReconnectTries);
    // Four pauses between five tries.
    EXPECT_GE(elapsed, 4 * timing.reconnectIntervalMs - 20);
    EXPECT_LT(elapsed, 30000u);
    EXPECT_FALSE(Tab().IsRendererConnected());
}

TEST_F(HookTabRenderer, NavigateFailureOfTheServiceIsReported)
{
    Standin().RefuseCalls(StandinService::Tabs, 5, E_ACCESSDENIED);
    BStr url(L"http://example.test/refused");
    EXPECT_EQ(Tab().Navigate(url.Get()), E_ACCESSDENIED);
}

TEST_F(HookTabRenderer, WaitForAReloadStartedByTheBrowser)
{
    CCrHookTab::Timing timing = Tab().CurrentTiming();
    timing.waitStartMs = timing.waitStopMs = 60000;
    Tab().SetTiming(timing);
    ASSERT_EQ(Standin().ScheduleLoading(kTabId, 200, 300), S_OK);
    const DWORD start = GetTickCount();
    BStr url;
    ASSERT_EQ(Tab().WaitForLoad(url), S_OK);
    const DWORD elapsed = ElapsedSince(start);
    EXPECT_GE(elapsed, 450u);
    EXPECT_LT(elapsed, 30000u);
    EXPECT_FALSE(Tab().IsLoading());
}

TEST_F(HookTabRenderer, CloseReleasesTheRendererAndRefusesPageWork)
{
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    const LONG counter = Tab().ChangeCounter(false);
    Tab().Close();
    EXPECT_FALSE(Tab().IsAlive());
    EXPECT_FALSE(Tab().IsRendererConnected());
    EXPECT_EQ(Tab().ChangeCounter(false), counter + 1);
    ComPtr<IDispatch> script;
    EXPECT_FAILED(Tab().GetPageScriptObject(script));
    EXPECT_FAILED(Tab().Navigate(BStr(L"http://example.test/").Get()));
    ComPtr<IDispatch> instance;
    EXPECT_EQ(Tab().GetTabInstance(instance), E_FAIL);
}

} // namespace
} // namespace hook_tab_tests
