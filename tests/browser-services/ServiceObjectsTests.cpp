// The browser and tabs service objects against tiny published services:
// which calls they make with which arguments, how they treat results of the
// wrong type, the notifiers they register and what those pass on, and the
// tear-down at Uninitialize.
#include <windows.h>

#include <gtest/gtest.h>

#include "FakeService.h"
#include "MalformedRecords.h"
#include "RecordingCallback.h"
#include "ServicePublisher.h"
#include "TestEnvironment.h"
#include "module/RemoteServicesSync.h"
#include "module/ModuleServices.h"
#include "openapphook/StubManager.h"
#include "services/BrowserServiceRemote.h"
#include "services/ServiceRendezvous.h"
#include "services/TabRecords.h"
#include "services/TabsServiceRemote.h"

using Microsoft::WRL::ComPtr;
using namespace browser_services_tests;

namespace {

HRESULT CallNotifier(IDispatch* notifier, DISPID member, const VARIANT* argument)
{
    DISPPARAMS parameters = {};
    VARIANT copy;
    if (argument) {
        copy = *argument; // borrowed
        parameters.rgvarg = &copy;
        parameters.cArgs = 1;
    }
    return notifier->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                            nullptr);
}

vx::com::Variant Text(const wchar_t* text)
{
    vx::com::Variant v;
    V_VT(v.Get()) = VT_BSTR;
    V_BSTR(v.Get()) = SysAllocString(text);
    return v;
}

vx::com::Variant Number(LONG value)
{
    vx::com::Variant v;
    V_VT(v.Get()) = VT_I4;
    V_I4(v.Get()) = value;
    return v;
}

std::wstring TextOf(const vx::com::Variant& v)
{
    return v.Type() == VT_BSTR ? std::wstring(V_BSTR(v.Get())) : L"<not a string>";
}

class ServiceObjectsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(vx::com::CreateComObject(tabs_), S_OK);
        ASSERT_EQ(vx::com::CreateComObject(tabsRegistration_), S_OK);
        ASSERT_EQ(vx::com::CreateComObject(browser_), S_OK);
        ASSERT_EQ(vx::com::CreateComObject(eventsRegistration_), S_OK);
        tabs_->AnswerObject(CCrTabsServiceRemote::kRegisterNotifierDispid, tabsRegistration_.Get());
        browser_->AnswerObject(CCrBrowserServiceRemote::kRegisterEventsDispid, eventsRegistration_.Get());
        ASSERT_EQ(tabsPublisher_.Publish(FormatServiceName(kTabsServiceNameFormat, GetCurrentProcessId()), tabs_.Get()),
                  S_OK);
        ASSERT_EQ(browserPublisher_.Publish(FormatServiceName(kBrowserServiceNameFormat, GetCurrentProcessId()),
                                            browser_.Get()),
                  S_OK);
        ASSERT_EQ(vx::com::CreateComObject(invoker_), S_OK);
        ASSERT_EQ(vx::com::CreateComObject(stubManager_), S_OK);
        ASSERT_EQ(vx::com::CreateComObject(callback_), S_OK);
        ASSERT_EQ(vx::com::CreateComObject(tabsService_), S_OK);
        ASSERT_EQ(vx::com::CreateComObject(browserService_), S_OK);
        ASSERT_EQ(tabsService_->Initialize(stubManager_.Get(), invoker_.Get(), callback_.Get()), S_OK);
        ASSERT_EQ(browserService_->Initialize(stubManager_.Get(), invoker_.Get(), callback_.Get()), S_OK);
    }

    void TearDown() override
    {
        if (tabsService_)
            tabsService_->Uninitialize();
        if (browserService_)
            browserService_->Uninitialize();
        tabsService_.Reset();
        browserService_.Reset();
        tabsPublisher_.Withdraw();
        browserPublisher_.Withdraw();
        tabs_.Reset();
        tabsRegistration_.Reset();
        browser_.Reset();
        eventsRegistration_.Reset();
        callback_.Reset();
        invoker_.Reset();
        ModuleServicesHolder::Instance().ReleaseSynchronousInvoker();
        EXPECT_TRUE(WaitUntil([&] { return stubManager_->Count() == 0; })) << "a notifier outlived its registration";
        stubManager_.Reset();
    }

    ComPtr<IDispatch> TabsNotifier()
    {
        return tabs_->LastObjectArgument(CCrTabsServiceRemote::kRegisterNotifierDispid);
    }
    ComPtr<IDispatch> BrowserNotifier()
    {
        return browser_->LastObjectArgument(CCrBrowserServiceRemote::kRegisterEventsDispid);
    }

    ComEnvironment env_;
    ComPtr<FakeService> tabs_, tabsRegistration_, browser_, eventsRegistration_;
    rendezvous_harness::ServicePublisher tabsPublisher_, browserPublisher_;
    ComPtr<CRemoteServicesSync> invoker_;
    ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    ComPtr<RecordingCallback> callback_;
    ComPtr<CCrTabsServiceRemote> tabsService_;
    ComPtr<CCrBrowserServiceRemote> browserService_;
};

TEST_F(ServiceObjectsTest, TheTabsServiceRegistersItsNotifierOnceAndUnregistersAtUninitialize)
{
    vx::com::Variant list;
    {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
        for (LONG i = 0; i < 2; ++i) {
            vx::com::Variant record = MakeRecord(10 + i, i == 1, i ? L"http://b/" : L"http://a/");
            SafeArrayPutElement(array, &i, record.Get());
        }
        V_VT(list.Get()) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(list.Get()) = array;
    }
    tabs_->Answer(CCrTabsServiceRemote::kTabListDispid, *list);

    std::vector<TabInfoRecord> records;
    ASSERT_EQ(tabsService_->GetTabList(records), S_OK);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].tabId, 11);
    EXPECT_TRUE(records[1].loading);
    EXPECT_EQ(records[1].url.Str(), L"http://b/");
    EXPECT_TRUE(tabsService_->IsConnected());
    ASSERT_EQ(tabsService_->GetTabList(records), S_OK);
    EXPECT_EQ(tabs_->CallCount(CCrTabsServiceRemote::kRegisterNotifierDispid), 1u);

    // The notifier lives in the stub manager while it exists.
    ComPtr<IDispatch> notifier = TabsNotifier();
    ASSERT_TRUE(notifier);
    EXPECT_EQ(stubManager_->Count(), 1u);

    tabsService_->Uninitialize();
    // Detached, it leaves the stub manager even while the service still
    // holds it: shutdown does not wait for it.
    EXPECT_EQ(stubManager_->Count(), 0u);
    EXPECT_EQ(tabsRegistration_->CallCount(CCrTabsServiceRemote::kUnregisterDispid), 1u);
    ASSERT_EQ(tabsRegistration_->Calls(CCrTabsServiceRemote::kUnregisterDispid)[0].arguments.size(), 0u);
    EXPECT_FALSE(tabsService_->IsConnected()) << "no reconnection after Uninitialize";

    // A notifier still held by the service reaches nothing any more.
    vx::com::Variant record = MakeRecord(1, false, L"http://late/");
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrTabsNotifierRemote::kOnTabCreated, record.Get()), S_OK);
    EXPECT_TRUE(callback_->Calls().empty());

    notifier.Reset();
    tabs_->ForgetCalls();
    EXPECT_TRUE(WaitUntil([&] { return stubManager_->Count() == 0; }));
}

TEST_F(ServiceObjectsTest, TabsCallsCarryTheirArgumentsInCallOrder)
{
    vx::com::BStr url(L"http://example.test/next");
    EXPECT_EQ(tabsService_->Navigate(4, url.Get()), S_OK);
    std::vector<FakeService::Call> navigate = tabs_->Calls(CCrTabsServiceRemote::kNavigateDispid);
    ASSERT_EQ(navigate.size(), 1u);
    ASSERT_EQ(navigate[0].arguments.size(), 2u);
    EXPECT_EQ(navigate[0].arguments[0].Type(), VT_I4);
    EXPECT_EQ(V_I4(navigate[0].arguments[0].Get()), 4);
    EXPECT_EQ(TextOf(navigate[0].arguments[1]), L"http://example.test/next");

    EXPECT_EQ(tabsService_->Activate(9), S_OK);
    std::vector<FakeService::Call> activate = tabs_->Calls(CCrTabsServiceRemote::kActivateDispid);
    ASSERT_EQ(activate.size(), 1u);
    ASSERT_EQ(activate[0].arguments.size(), 1u);
    EXPECT_EQ(V_I4(activate[0].arguments[0].Get()), 9);

    vx::com::Variant rectangle;
    {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 4);
        const LONG values[4] = {10, 20, 300, 200};
        for (LONG i = 0; i < 4; ++i) {
            vx::com::Variant value = Number(values[i]);
            SafeArrayPutElement(array, &i, value.Get());
        }
        V_VT(rectangle.Get()) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(rectangle.Get()) = array;
    }
    tabs_->Answer(CCrTabsServiceRemote::kTabRectangleDispid, *rectangle);
    RECT found = {};
    ASSERT_EQ(tabsService_->GetTabRectangle(6, found), S_OK);
    EXPECT_EQ(found.left, 10);
    EXPECT_EQ(found.top, 20);
    EXPECT_EQ(found.right, 310);
    EXPECT_EQ(found.bottom, 220);
    std::vector<FakeService::Call> rectangleCalls = tabs_->Calls(CCrTabsServiceRemote::kTabRectangleDispid);
    ASSERT_EQ(rectangleCalls[0].arguments.size(), 2u);
    EXPECT_EQ(V_I4(rectangleCalls[0].arguments[0].Get()), 6);
    EXPECT_EQ(V_I4(rectangleCalls[0].arguments[1].Get()), -1);
}

TEST_F(ServiceObjectsTest, ResultsOfTheWrongTypeGiveUnexpected)
{
    std::vector<TabInfoRecord> records;
    tabs_->Answer(CCrTabsServiceRemote::kTabListDispid, *Text(L"1,2,3"));
    EXPECT_EQ(tabsService_->GetTabList(records), E_UNEXPECTED);
    tabs_->Answer(CCrTabsServiceRemote::kTabRectangleDispid, *Number(5));
    RECT rectangle = {};
    EXPECT_EQ(tabsService_->GetTabRectangle(1, rectangle), E_UNEXPECTED);

    browser_->Answer(CCrBrowserServiceRemote::kBrowserKeyDispid, *Number(77));
    vx::com::BStr key;
    EXPECT_EQ(browserService_->GetBrowserKey(3, key), E_UNEXPECTED);
    eventsRegistration_->Answer(CCrBrowserServiceRemote::kQuickBrowserDispid, *Text(L"not an object"));
    ComPtr<IDispatch> quickBrowser;
    EXPECT_EQ(browserService_->GetRendererQuickBrowser(vx::com::BStr(L"k").Get(), quickBrowser), E_UNEXPECTED);
    EXPECT_FALSE(quickBrowser);
}

TEST_F(ServiceObjectsTest, ARegistrationOfTheWrongTypeLeavesTheServiceUnconnected)
{
    tabs_->Answer(CCrTabsServiceRemote::kRegisterNotifierDispid, *Text(L"registration"));
    browser_->Answer(CCrBrowserServiceRemote::kRegisterEventsDispid, *Number(1));
    std::vector<TabInfoRecord> records;
    EXPECT_EQ(tabsService_->GetTabList(records), E_UNEXPECTED);
    EXPECT_FALSE(tabsService_->IsConnected());
    vx::com::BStr key;
    EXPECT_EQ(browserService_->GetBrowserKey(3, key), E_UNEXPECTED);
    EXPECT_EQ(browser_->CallCount(CCrBrowserServiceRemote::kBrowserKeyDispid), 0u);

    // The refused notifiers are cut off at once: they pass nothing on.
    vx::com::Variant record = MakeRecord(2, false, L"http://x/");
    EXPECT_EQ(CallNotifier(TabsNotifier().Get(), CCrTabsNotifierRemote::kOnTabCreated, record.Get()), S_OK);
    vx::com::Variant gone = Text(L"key");
    EXPECT_EQ(CallNotifier(BrowserNotifier().Get(), CCrBrowserEventsNotifier::kOnRemoveBrowser, gone.Get()), S_OK);
    EXPECT_TRUE(callback_->Calls().empty());
    tabs_->ForgetCalls();
    browser_->ForgetCalls();
}

TEST_F(ServiceObjectsTest, BrowserEventsAreRegisteredOnTheFirstKeyWithTheLibraryPath)
{
    EXPECT_TRUE(browserService_->IsConnected());
    EXPECT_EQ(browser_->CallCount(CCrBrowserServiceRemote::kRegisterEventsDispid), 0u) << "registered lazily";

    browser_->Answer(CCrBrowserServiceRemote::kBrowserKeyDispid, *Text(L"renderer-7"));
    vx::com::BStr key;
    ASSERT_EQ(browserService_->GetBrowserKey(7, key), S_OK);
    EXPECT_EQ(key.Str(), L"renderer-7");
    ASSERT_EQ(browserService_->GetBrowserKey(8, key), S_OK);

    std::vector<FakeService::Call> registrations = browser_->Calls(CCrBrowserServiceRemote::kRegisterEventsDispid);
    ASSERT_EQ(registrations.size(), 1u);
    ASSERT_EQ(registrations[0].arguments.size(), 2u);
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring expected(program);
    expected = expected.substr(0, expected.find_last_of(L"\\/")) + L"\\vxCrHook.dll";
    EXPECT_EQ(TextOf(registrations[0].arguments[0]), expected);
    EXPECT_EQ(registrations[0].arguments[1].Type(), VT_DISPATCH);
    std::vector<FakeService::Call> keys = browser_->Calls(CCrBrowserServiceRemote::kBrowserKeyDispid);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(V_I4(keys[0].arguments[0].Get()), 7);

    // The renderer's quick browser comes from the events registration.
    ComPtr<FakeService> quickBrowser;
    ASSERT_EQ(vx::com::CreateComObject(quickBrowser), S_OK);
    eventsRegistration_->AnswerObject(CCrBrowserServiceRemote::kQuickBrowserDispid, quickBrowser.Get());
    ComPtr<IDispatch> found;
    ASSERT_EQ(browserService_->GetRendererQuickBrowser(key.Get(), found), S_OK);
    EXPECT_TRUE(found);
    EXPECT_EQ(TextOf(eventsRegistration_->Calls(CCrBrowserServiceRemote::kQuickBrowserDispid)[0].arguments[0]),
              L"renderer-7");
    found.Reset();

    ComPtr<IDispatch> notifier = BrowserNotifier();
    ASSERT_TRUE(notifier);
    vx::com::Variant gone = Text(L"renderer-7");
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrBrowserEventsNotifier::kOnRemoveBrowser, gone.Get()), S_OK);
    ASSERT_EQ(callback_->Calls().size(), 1u);
    EXPECT_EQ(callback_->Calls()[0].kind, "browser-removed");
    EXPECT_EQ(callback_->Calls()[0].text, L"renderer-7");

    // Uninitialize switches the notifications off and cuts the notifier,
    // which leaves the stub manager although the service still holds it.
    EXPECT_EQ(stubManager_->Count(), 1u);
    browserService_->Uninitialize();
    EXPECT_EQ(stubManager_->Count(), 0u);
    std::vector<FakeService::Call> switches = eventsRegistration_->Calls(CCrBrowserServiceRemote::kEnableEventsDispid);
    ASSERT_EQ(switches.size(), 1u);
    ASSERT_EQ(switches[0].arguments.size(), 1u);
    EXPECT_EQ(switches[0].arguments[0].Type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(switches[0].arguments[0].Get()), VARIANT_FALSE);
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrBrowserEventsNotifier::kOnRemoveBrowser, gone.Get()), S_OK);
    EXPECT_EQ(callback_->Calls().size(), 1u);
    notifier.Reset();
    browser_->ForgetCalls();
}

TEST_F(ServiceObjectsTest, TheTabsNotifierPassesOnParsedRecordsAndAnswersOnlyItsMethods)
{
    std::vector<TabInfoRecord> records;
    tabsService_->IsConnected();
    ComPtr<IDispatch> notifier = TabsNotifier();
    ASSERT_TRUE(notifier);

    vx::com::Variant created = MakeRecord(5, true, L"http://five/");
    vx::com::Variant updated = MakeRecord(5, false, L"http://five/done");
    vx::com::Variant removed = Number(5);
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrTabsNotifierRemote::kOnTabCreated, created.Get()), S_OK);
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrTabsNotifierRemote::kOnTabUpdated, updated.Get()), S_OK);
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrTabsNotifierRemote::kOnTabRemoved, removed.Get()), S_OK);
    // A record passed as a by-reference VARIANT is the same record.
    vx::com::Variant byReference;
    V_VT(byReference.Get()) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(byReference.Get()) = created.Get();
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrTabsNotifierRemote::kOnTabCreated, byReference.Get()), S_OK);
    // Missing arguments: S_OK, nothing passed on.
    EXPECT_EQ(CallNotifier(notifier.Get(), CCrTabsNotifierRemote::kOnTabRemoved, nullptr), S_OK);

    std::vector<CallbackCall> calls = callback_->Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].kind, "created");
    EXPECT_EQ(calls[0].tabId, 5);
    EXPECT_TRUE(calls[0].loading);
    EXPECT_EQ(calls[0].text, L"http://five/");
    EXPECT_EQ(calls[1].kind, "updated");
    EXPECT_FALSE(calls[1].loading);
    EXPECT_EQ(calls[1].text, L"http://five/done");
    EXPECT_EQ(calls[2].kind, "removed");
    EXPECT_EQ(calls[2].tabId, 5);
    EXPECT_EQ(calls[3].kind, "created");

    EXPECT_EQ(CallNotifier(notifier.Get(), 4, created.Get()), DISP_E_MEMBERNOTFOUND);
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"ontabupdated");
    EXPECT_EQ(notifier->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, CCrTabsNotifierRemote::kOnTabUpdated);
    notifier.Reset();
    tabs_->ForgetCalls();
}

TEST_F(ServiceObjectsTest, MalformedRecordsAreRefusedAndNothingIsPassedOn)
{
    tabsService_->IsConnected();
    ComPtr<IDispatch> notifier = TabsNotifier();
    ASSERT_TRUE(notifier);
    MalformedRecordGenerator generator(20240611);
    for (int i = 0; i < 5000; ++i) {
        vx::com::Variant record = generator.Next();
        TabInfoRecord parsed;
        ASSERT_EQ(ParseTabInfoRecord(*record, parsed), E_UNEXPECTED) << i << ": " << generator.LastShape();
        DISPID member = i % 2 ? CCrTabsNotifierRemote::kOnTabCreated : CCrTabsNotifierRemote::kOnTabUpdated;
        ASSERT_EQ(CallNotifier(notifier.Get(), member, record.Get()), S_OK) << i << ": " << generator.LastShape();
    }
    EXPECT_TRUE(callback_->Calls().empty());
    notifier.Reset();
    tabs_->ForgetCalls();
}

} // namespace
