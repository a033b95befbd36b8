// The browser module's tab list against the Chrome stand-in: it follows the
// tabs service's notifications in order, groups tabs that show one URL by
// ascending tab id, ignores what it cannot apply, and lets a renderer
// connection go when the browser service says so.
#include <windows.h>

#include <gtest/gtest.h>

#include "MalformedRecords.h"
#include "ModuleFixture.h"
#include "services/ServiceNotifiers.h"
#include "services/TabRecords.h"

using Microsoft::WRL::ComPtr;
using namespace browser_services_tests;

namespace {

using Views = std::vector<TabView>;

HRESULT CallNotifier(IDispatch* notifier, DISPID member, const VARIANT& argument)
{
    VARIANT copy = argument; // borrowed
    DISPPARAMS parameters = {&copy, nullptr, 1, 0};
    return notifier->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                            nullptr);
}

TEST_F(BrowserModuleTest, TheTabListFollowsCreatedUpdatedAndRemovedNotificationsInOrder)
{
    ASSERT_EQ(standin_->OpenTab(7, L"http://a/"), S_OK);
    ASSERT_EQ(standin_->OpenTab(3, L"http://b/", true), S_OK);
    ASSERT_EQ(standin_->OpenTab(5, L"http://c/"), S_OK);
    Settle();
    EXPECT_TRUE(module_->TabsLoaded());
    EXPECT_EQ(Tabs(), (Views{{3, L"http://b/", true, 0, false},
                             {5, L"http://c/", false, 0, false},
                             {7, L"http://a/", false, 0, false}}));

    ASSERT_EQ(standin_->UpdateTab(3, L"http://b2/", false), S_OK);
    ASSERT_EQ(standin_->CloseTab(5), S_OK);
    // Created, removed and created again: only the order of the notices
    // tells which URL the tab ends with.
    ASSERT_EQ(standin_->OpenTab(9, L"http://d/"), S_OK);
    ASSERT_EQ(standin_->CloseTab(9), S_OK);
    ASSERT_EQ(standin_->OpenTab(9, L"http://e/", true), S_OK);
    ASSERT_EQ(standin_->UpdateTab(9, L"http://e/", false), S_OK);
    Settle();
    EXPECT_EQ(Tabs(), (Views{{3, L"http://b2/", false, 0, false},
                             {7, L"http://a/", false, 0, false},
                             {9, L"http://e/", false, 0, false}}));
    ComPtr<CCrHookTab> tab = module_->FindTabById(7);
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->TabId(), 7);
    EXPECT_FALSE(module_->FindTabById(5));
}

TEST_F(BrowserModuleTest, TabsShowingOneUrlAreGroupedByAscendingTabId)
{
    ASSERT_EQ(standin_->OpenTab(7, L"http://same/"), S_OK);
    ASSERT_EQ(standin_->OpenTab(3, L"http://same/"), S_OK);
    ASSERT_EQ(standin_->OpenTab(5, L"http://same/"), S_OK);
    ASSERT_EQ(standin_->OpenTab(9, L"http://other/"), S_OK);
    Settle();
    EXPECT_EQ(Tabs(), (Views{{3, L"http://same/", false, 0, true},
                             {5, L"http://same/", false, 1, true},
                             {7, L"http://same/", false, 2, true},
                             {9, L"http://other/", false, 0, false}}));

    // Removing the lowest id moves the others up.
    ASSERT_EQ(standin_->CloseTab(3), S_OK);
    Settle();
    EXPECT_EQ(Tabs(), (Views{{5, L"http://same/", false, 0, true},
                             {7, L"http://same/", false, 1, true},
                             {9, L"http://other/", false, 0, false}}));

    // A URL change regroups both URLs.
    ASSERT_EQ(standin_->UpdateTab(7, L"http://other/", false), S_OK);
    Settle();
    EXPECT_EQ(Tabs(), (Views{{5, L"http://same/", false, 0, false},
                             {7, L"http://other/", false, 0, true},
                             {9, L"http://other/", false, 1, true}}));
}

TEST_F(BrowserModuleTest, AnUpdateOfTheLoadingFlagAloneDoesNotRegroup)
{
    ASSERT_EQ(standin_->OpenTab(3, L"http://same/"), S_OK);
    ASSERT_EQ(standin_->OpenTab(5, L"http://same/"), S_OK);
    Settle();
    ComPtr<CCrHookTab> tab = module_->FindTabById(5);
    ASSERT_TRUE(tab);
    // A group no recomputation would give: it stays until the next one.
    tab->SetGroup(42, false);

    // No Settle here: its marker changes a URL, which regroups. A handler
    // holds the list's lock throughout, so once the new state shows, a
    // look-up in the list waits for the rest of it.
    ASSERT_EQ(standin_->SetTabLoading(5, true), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return tab->IsLoading(); }));
    module_->FindTabById(5);
    EXPECT_EQ(tab->GroupIndex(), 42);

    ASSERT_EQ(standin_->UpdateTab(5, L"http://same/", false), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !tab->IsLoading(); }));
    module_->FindTabById(5);
    EXPECT_EQ(tab->GroupIndex(), 42) << "same URL: no recomputation";

    ASSERT_EQ(standin_->UpdateTab(5, L"http://else/", false), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return tab->Url().Str() == L"http://else/"; }));
    module_->FindTabById(5);
    EXPECT_EQ(tab->GroupIndex(), 0);
    EXPECT_FALSE(tab->HasGroup());
}

TEST_F(BrowserModuleTest, NotificationsForUnknownIdsChangeNothing)
{
    ASSERT_EQ(standin_->OpenTab(3, L"http://three/"), S_OK);
    Settle();
    const Views before = Tabs();
    ComPtr<IvxCrTabsServiceRemoteCallback> callback;
    ASSERT_EQ(module_.As(&callback), S_OK);
    EXPECT_EQ(callback->OnTabRemoved(99), S_OK);
    vx::com::BStr url(L"http://ninety-nine/");
    EXPECT_EQ(callback->OnTabUpdated(99, VARIANT_TRUE, url.Get()), S_OK);
    Settle();
    EXPECT_EQ(Tabs(), before);
    EXPECT_FALSE(module_->FindTabById(99));
}

TEST_F(BrowserModuleTest, MalformedRecordsThroughTheNotifierChangeNothing)
{
    ASSERT_EQ(standin_->OpenTab(3, L"http://example.test/a", true), S_OK);
    ASSERT_EQ(standin_->OpenTab(5, L"http://example.test/a"), S_OK);
    Settle();
    const Views before = Tabs();
    ASSERT_EQ(before.size(), 2u);

    // A notifier like the one the module registered, bound to its tabs
    // service object.
    ComPtr<CCrTabsNotifierRemote> notifier;
    ASSERT_EQ(vx::com::CreateComObject(notifier, module_->StubManager().Get(), module_->TabsService().Get()), S_OK);
    MalformedRecordGenerator generator(7);
    for (int i = 0; i < 3000; ++i) {
        vx::com::Variant record = generator.Next();
        DISPID member = i % 2 ? CCrTabsNotifierRemote::kOnTabCreated : CCrTabsNotifierRemote::kOnTabUpdated;
        ASSERT_EQ(CallNotifier(notifier.Get(), member, *record), S_OK) << i << ": " << generator.LastShape();
    }
    Settle();
    EXPECT_EQ(Tabs(), before);

    // The same notifier passes a well-formed record on.
    vx::com::Variant record = MakeRecord(11, false, L"http://eleven/");
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrTabsNotifierRemote::kOnTabCreated, *record), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return module_->FindTabById(11) != nullptr; }));
    notifier.Reset();
}

TEST_F(BrowserModuleTest, ABrowserRemovedNoticeResetsOnlyTheTabHoldingThatKey)
{
    ASSERT_EQ(standin_->OpenTab(3, L"http://three/"), S_OK);
    ASSERT_EQ(standin_->OpenTab(5, L"http://five/"), S_OK);
    Settle();
    ComPtr<CCrHookTab> three = module_->FindTabById(3), five = module_->FindTabById(5);
    ASSERT_TRUE(three && five);
    ASSERT_EQ(three->ConnectRenderer(), S_OK);
    ASSERT_EQ(five->ConnectRenderer(), S_OK);
    vx::com::BStr keyOfThree(standin_->Tab(3)->browserKey.c_str());
    vx::com::BStr keyOfFive(standin_->Tab(5)->browserKey.c_str());
    ASSERT_TRUE(three->HoldsBrowserKey(keyOfThree.Get()));
    ASSERT_TRUE(five->HoldsBrowserKey(keyOfFive.Get()));

    // A key nobody holds changes nothing.
    ComPtr<IvxCrBrowserServiceRemoteCallback> callback;
    ASSERT_EQ(module_.As(&callback), S_OK);
    vx::com::BStr nobody(L"no-such-renderer");
    EXPECT_EQ(callback->OnRemoveBrowser(nobody.Get()), S_OK);
    Settle();
    EXPECT_TRUE(three->HoldsBrowserKey(keyOfThree.Get()));
    EXPECT_TRUE(five->HoldsBrowserKey(keyOfFive.Get()));

    // The stand-in takes tab 3's renderer connection away and says so
    // through the browser events notifier the module registered.
    std::wstring oldKey, newKey;
    ASSERT_EQ(standin_->RemoveBrowser(3, &oldKey, &newKey), S_OK);
    EXPECT_EQ(oldKey, keyOfThree.Str());
    ASSERT_TRUE(standin_->FlushNotifications());
    Settle();
    EXPECT_FALSE(three->HoldsBrowserKey(keyOfThree.Get()));
    EXPECT_TRUE(five->HoldsBrowserKey(keyOfFive.Get()));

    // The next need connects tab 3 to its new renderer.
    ASSERT_EQ(three->ConnectRenderer(), S_OK);
    EXPECT_TRUE(three->HoldsBrowserKey(vx::com::BStr(newKey.c_str()).Get()));
}

} // namespace
