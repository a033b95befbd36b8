// The stand-in program: published for this test process (as its Chrome
// component would be), found by the library's own service lookup, driven
// through its command lines, with notifications crossing back into this
// process; once killed, calls fail as calls into an ended browser do.
#include <gtest/gtest.h>

#include <string>

#include "InteractiveChild.h"
#include "StandinTestSupport.h"
#include "services/ServiceRendezvous.h"
#include "services/TabRecords.h"

using Microsoft::WRL::ComPtr;
using rendezvous_tests::InteractiveChild;
using rendezvous_tests::ProgramPath;
using vx::com::Variant;

namespace standin_tests {
namespace {

std::string Command(InteractiveChild& child, const std::string& line)
{
    child.Send(line);
    return child.WaitFor("");
}

TEST(StandinProcessTest, ServicesPublishedForThisProcessWorkAcrossProcessesUntilTheProgramDies)
{
    ComScope com;
    InteractiveChild child(L"\"" + ProgramPath(L"vxchromestandin.exe") + L"\" --publish-pid=" +
                           std::to_wstring(GetCurrentProcessId()));
    ASSERT_TRUE(child.Started());
    ASSERT_EQ(child.WaitFor("ready "), std::to_string(child.ProcessId()));
    ASSERT_EQ(Command(child, "open 4 http://four.test/ 1"), "ok");

    ComPtr<IDispatch> tabs, browser;
    ASSERT_EQ(LookupTabsService(tabs), S_OK);
    ASSERT_EQ(LookupBrowserService(browser), S_OK);
    Variant list;
    ASSERT_EQ(Call(tabs.Get(), 1, {}, &list), S_OK);
    std::vector<TabInfoRecord> records;
    ASSERT_EQ(ParseTabList(*list, records), S_OK);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].tabId, 4);
    EXPECT_TRUE(records[0].loading);

    auto tabsNotifier = MakeNotifier(), browserNotifier = MakeNotifier();
    Variant tabsArgument = Object(tabsNotifier.Get()), registration;
    ASSERT_EQ(Call(tabs.Get(), 32, {&tabsArgument}, &registration), S_OK);
    EXPECT_EQ(Command(child, "notifiers"), "ok tabs=1 browser=0");
    ASSERT_EQ(Command(child, "update 4 http://four.test/next 0"), "ok");
    auto received = tabsNotifier->WaitFor(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].member, 3);
    EXPECT_EQ(received[0].text, L"http://four.test/next");

    Variant id = Long(4), key, path = String(L"C:\\x\\vxCrHook.dll"), browserArgument = Object(browserNotifier.Get());
    Variant events, quickBrowser, window;
    ASSERT_EQ(Call(browser.Get(), 5, {&id}, &key), S_OK);
    ASSERT_EQ(Call(browser.Get(), 33, {&path, &browserArgument}, &events), S_OK);
    ASSERT_EQ(Call(V_DISPATCH(events.Get()), 1, {&key}, &quickBrowser), S_OK);
    ASSERT_EQ(Call(V_DISPATCH(quickBrowser.Get()), 2, {}, &window), S_OK);
    HWND reported = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(V_UI4(window.Get())));
    wchar_t className[64] = {};
    GetClassNameW(GetParent(reported), className, 64);
    EXPECT_STREQ(className, L"Chrome_RenderWidgetHostHWND") << "the other process's windows are real";

    std::string removed = Command(child, "removebrowser 4");
    ASSERT_EQ(removed.rfind("ok ", 0), 0u) << removed;
    auto browserReceived = browserNotifier->WaitFor(1);
    ASSERT_EQ(browserReceived.size(), 1u);
    EXPECT_EQ(browserReceived[0].text, std::wstring(V_BSTR(key.Get())));

    child.Kill();
    EXPECT_EQ(Call(tabs.Get(), 1, {}, &list), HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE));

    // A browser started again for this process is found under the same names.
    InteractiveChild again(L"\"" + ProgramPath(L"vxchromestandin.exe") + L"\" --publish-pid=" +
                           std::to_wstring(GetCurrentProcessId()));
    ASSERT_EQ(again.WaitFor("ready "), std::to_string(again.ProcessId()));
    ASSERT_EQ(Command(again, "open 9 http://nine.test/"), "ok");
    ASSERT_EQ(LookupTabsService(tabs), S_OK);
    ASSERT_EQ(Call(tabs.Get(), 1, {}, &list), S_OK);
    ASSERT_EQ(ParseTabList(*list, records), S_OK);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].tabId, 9);
    EXPECT_EQ(Command(again, "quit"), "ok bye");
    EXPECT_EQ(again.Finish(), 0u);
}

} // namespace
} // namespace standin_tests
