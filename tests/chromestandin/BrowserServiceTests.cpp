// The browser service, its events registration and the renderer quick
// browsers of the stand-in through plain IDispatch calls.
#include <gtest/gtest.h>

#include "StandinFixture.h"

using chrome_standin::StandinService;
using Microsoft::WRL::ComPtr;
using vx::com::Variant;

namespace standin_tests {
namespace {

const HRESULT kServerGone = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);

class BrowserServiceTest : public StandinTest
{
protected:
    void SetUp() override
    {
        StandinTest::SetUp();
        ASSERT_EQ(Standin().OpenTab(12, L"http://twelve.test/page"), S_OK);
        ASSERT_EQ(Standin().OpenTab(13, L"http://thirteen.test/"), S_OK);
        notifier_ = MakeNotifier();
        Variant path = String(L"C:\\product\\vxCrHook.dll"), notifier = Object(notifier_.Get()), result;
        ASSERT_EQ(Call(Browser(), 33, {&path, &notifier}, &result), S_OK);
        ASSERT_EQ(result.Type(), VT_DISPATCH);
        events_ = V_DISPATCH(result.Get());
    }

    std::wstring KeyOf(LONG tabId)
    {
        Variant id = Long(tabId), key;
        EXPECT_EQ(Call(Browser(), 5, {&id}, &key), S_OK);
        return key.Type() == VT_BSTR ? std::wstring(V_BSTR(key.Get())) : std::wstring();
    }

    ComPtr<IDispatch> QuickBrowserFor(const std::wstring& key, HRESULT expected = S_OK)
    {
        Variant argument = String(key.c_str()), result;
        EXPECT_EQ(Call(events_.Get(), 1, {&argument}, &result), expected);
        return result.Type() == VT_DISPATCH ? ComPtr<IDispatch>(V_DISPATCH(result.Get())) : nullptr;
    }

    ComPtr<RecordingNotifier> notifier_;
    ComPtr<IDispatch> events_;
};

TEST_F(BrowserServiceTest, LivenessAnswersAndTheLibraryPathIsRecorded)
{
    EXPECT_EQ(Call(Browser(), 32, {}), S_OK);
    EXPECT_EQ(Standin().RegisteredLibraryPaths(), std::vector<std::wstring>{L"C:\\product\\vxCrHook.dll"});
    EXPECT_EQ(Standin().CallCount(StandinService::Browser, 32), 1);
}

TEST_F(BrowserServiceTest, EachTabHasItsOwnKeyAndQuickBrowser)
{
    std::wstring twelve = KeyOf(12), thirteen = KeyOf(13);
    EXPECT_FALSE(twelve.empty());
    EXPECT_NE(twelve, thirteen);
    EXPECT_EQ(Standin().Tab(12)->browserKey, twelve);
    ComPtr<IDispatch> first = QuickBrowserFor(twelve), again = QuickBrowserFor(twelve),
                      other = QuickBrowserFor(thirteen);
    ASSERT_TRUE(first && other);
    EXPECT_EQ(first.Get(), again.Get()) << "one quick browser per renderer connection";
    EXPECT_NE(first.Get(), other.Get());
    QuickBrowserFor(L"no-such-key", E_INVALIDARG);
    Variant unknownTab = Long(77);
    EXPECT_EQ(Call(Browser(), 5, {&unknownTab}), E_INVALIDARG);
}

TEST_F(BrowserServiceTest, QuickBrowserWindowLiesInsideTheTabWindow)
{
    ComPtr<IDispatch> quickBrowser = QuickBrowserFor(KeyOf(13));
    ASSERT_TRUE(quickBrowser);
    Variant window;
    ASSERT_EQ(Call(quickBrowser.Get(), 2, {}, &window), S_OK);
    ASSERT_EQ(window.Type(), VT_UI4);
    HWND reported = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(V_UI4(window.Get())));
    auto tab = Standin().Tab(13);
    EXPECT_EQ(reported, tab->windows.compositor);
    wchar_t className[64] = {};
    GetClassNameW(GetParent(reported), className, 64);
    EXPECT_STREQ(className, L"Chrome_RenderWidgetHostHWND");
    EXPECT_EQ(GetParent(reported), tab->windows.renderWidgetHost);
}

TEST_F(BrowserServiceTest, PageInformationIsASixElementThisRecordWithAScriptDocument)
{
    ComPtr<IDispatch> quickBrowser = QuickBrowserFor(KeyOf(12));
    ASSERT_TRUE(quickBrowser);
    Variant record;
    ASSERT_EQ(Call(quickBrowser.Get(), 3, {}, &record), S_OK);
    auto elements = Elements(*record);
    ASSERT_EQ(elements.size(), 6u);
    EXPECT_EQ(elements[0].Type(), VT_BSTR);
    ASSERT_EQ(elements[1].Type(), VT_DISPATCH);
    EXPECT_EQ(elements[2].Type(), VT_UI4);
    EXPECT_EQ(V_UI4(elements[2].Get()), 0u);
    ASSERT_EQ(elements[3].Type(), VT_DISPATCH);
    EXPECT_EQ(elements[4].Type(), VT_BOOL);
    EXPECT_EQ(elements[5].Type(), VT_EMPTY);

    // The script object's "document" and that document's URL, by name.
    IDispatch* script = V_DISPATCH(elements[1].Get());
    LPOLESTR name = const_cast<LPOLESTR>(L"document");
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(script->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    DISPPARAMS none = {};
    Variant document;
    ASSERT_EQ(script->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, document.Out(), nullptr,
                             nullptr),
              S_OK);
    ASSERT_EQ(document.Type(), VT_DISPATCH);
    name = const_cast<LPOLESTR>(L"URL");
    ASSERT_EQ(V_DISPATCH(document.Get())->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    Variant url;
    ASSERT_EQ(V_DISPATCH(document.Get())
                  ->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, url.Out(), nullptr, nullptr),
              S_OK);
    EXPECT_STREQ(V_BSTR(url.Get()), L"http://twelve.test/page");

    // The page object answers for itself: same record shape, no children.
    IDispatch* page = V_DISPATCH(elements[3].Get());
    Variant again, children, exists;
    ASSERT_EQ(Call(page, 1, {}, &again), S_OK);
    EXPECT_EQ(Elements(*again).size(), 6u);
    ASSERT_EQ(Call(page, 3, {}, &children), S_OK);
    EXPECT_EQ(children.Type(), VT_EMPTY);
    ASSERT_EQ(Call(page, 4, {}, &exists), S_OK);
    EXPECT_EQ(V_BOOL(exists.Get()), VARIANT_TRUE);

    Variant x = Long(5), y = Long(6), light;
    ASSERT_EQ(Call(quickBrowser.Get(), 4, {&x, &y}, &light), S_OK);
    auto lightElements = Elements(*light);
    ASSERT_EQ(lightElements.size(), 2u);
    EXPECT_EQ(lightElements[0].Type(), VT_BSTR);
    EXPECT_EQ(lightElements[1].Type(), VT_UI4);
}

TEST_F(BrowserServiceTest, OptionsAreRecordedPerTabAndKeysMustBeGuids)
{
    ComPtr<IDispatch> quickBrowser = QuickBrowserFor(KeyOf(12));
    ASSERT_TRUE(quickBrowser);
    Variant key = String(L"{FB1CAF99-7FA6-447C-B963-D862CA8BFF89}"), value, badKey = String(L"timeout");
    V_VT(value.Get()) = VT_UI4;
    V_UI4(value.Get()) = 4500;
    ASSERT_EQ(Call(quickBrowser.Get(), 1, {&key, &value}), S_OK);
    EXPECT_NE(Call(quickBrowser.Get(), 1, {&badKey, &value}), S_OK);

    auto options = Standin().OptionsReceived(12);
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options[0].key, L"{FB1CAF99-7FA6-447C-B963-D862CA8BFF89}");
    EXPECT_EQ(options[0].value.Type(), VT_UI4);
    EXPECT_EQ(V_UI4(options[0].value.Get()), 4500u);
    EXPECT_TRUE(Standin().OptionsReceived(13).empty());
}

TEST_F(BrowserServiceTest, RemovingABrowserRenewsTheKeyEndsTheQuickBrowserAndNotifies)
{
    std::wstring oldKey = KeyOf(12);
    ComPtr<IDispatch> oldQuickBrowser = QuickBrowserFor(oldKey);
    Variant record;
    ASSERT_EQ(Call(oldQuickBrowser.Get(), 3, {}, &record), S_OK);
    ComPtr<IDispatch> oldPage = V_DISPATCH(Elements(*record)[3].Get());

    std::wstring reportedOld, reportedNew;
    ASSERT_EQ(Standin().RemoveBrowser(12, &reportedOld, &reportedNew), S_OK);
    EXPECT_EQ(reportedOld, oldKey);
    EXPECT_EQ(KeyOf(12), reportedNew);
    EXPECT_NE(reportedNew, oldKey);

    auto received = notifier_->WaitFor(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].member, 1);
    EXPECT_EQ(received[0].text, oldKey);

    EXPECT_EQ(Call(oldQuickBrowser.Get(), 2, {}), kServerGone);
    EXPECT_EQ(Call(oldPage.Get(), 4, {}), kServerGone);
    QuickBrowserFor(oldKey, E_INVALIDARG);
    ComPtr<IDispatch> renewed = QuickBrowserFor(reportedNew);
    ASSERT_TRUE(renewed);
    EXPECT_NE(renewed.Get(), oldQuickBrowser.Get());
    EXPECT_EQ(Call(renewed.Get(), 2, {}), S_OK);
}

TEST_F(BrowserServiceTest, DisabledEventsAreNotDelivered)
{
    Variant off = Bool(false), on = Bool(true);
    ASSERT_EQ(Call(events_.Get(), 2, {&off}), S_OK);
    ASSERT_EQ(Standin().RemoveBrowser(12), S_OK);
    ASSERT_TRUE(Standin().FlushNotifications());
    EXPECT_TRUE(notifier_->Received().empty());

    ASSERT_EQ(Call(events_.Get(), 2, {&on}), S_OK);
    ASSERT_EQ(Standin().RemoveBrowser(13), S_OK);
    auto received = notifier_->WaitFor(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].text.find(L"browser-13-"), 0u);
}

TEST_F(BrowserServiceTest, ClosingATabEndsItsQuickBrowser)
{
    ComPtr<IDispatch> quickBrowser = QuickBrowserFor(KeyOf(13));
    ASSERT_EQ(Standin().CloseTab(13), S_OK);
    EXPECT_EQ(Call(quickBrowser.Get(), 2, {}), kServerGone);
}

TEST_F(BrowserServiceTest, QuickBrowserCallsCanBeRefusedAndAreCounted)
{
    ComPtr<IDispatch> quickBrowser = QuickBrowserFor(KeyOf(13));
    Standin().RefuseCalls(StandinService::QuickBrowser, 3, E_FAIL);
    EXPECT_EQ(Call(quickBrowser.Get(), 3, {}), E_FAIL);
    EXPECT_EQ(Call(quickBrowser.Get(), 2, {}), S_OK);
    EXPECT_EQ(Standin().CallCount(StandinService::QuickBrowser, 3), 1);
    EXPECT_EQ(Standin().CallCount(StandinService::EventsRegistration, 1), 1);
}

} // namespace
} // namespace standin_tests
