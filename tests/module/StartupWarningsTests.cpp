#include <gtest/gtest.h>

#include "harness/host/TestHost.h"
#include "module/StartupWarnings.h"

using Microsoft::WRL::ComPtr;

namespace {

// A real top-level window with a child, like Chrome's frame and its render
// widget; destroyed with the object.
class TestWindows
{
public:
    explicit TestWindows(DWORD topStyle)
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VxcrWarningTestWindow";
        RegisterClassW(&wc);
        top = CreateWindowExW(0, wc.lpszClassName, L"top", topStyle, 0, 0, 300, 200, nullptr, nullptr, wc.hInstance,
                              nullptr);
        child = CreateWindowExW(0, wc.lpszClassName, L"child", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, top, nullptr,
                                wc.hInstance, nullptr);
    }
    ~TestWindows() { DestroyWindow(top); }
    HWND top = nullptr;
    HWND child = nullptr;
};

ComPtr<harness::TestHookHost> MakeHost()
{
    ComPtr<harness::TestHookHost> host;
    EXPECT_EQ(vx::com::CreateComObject(host), S_OK);
    return host;
}

TEST(StartupWarnings, KindIsChosenByConflictThenExtensionThenSwitches)
{
    EXPECT_EQ(SelectStartupWarning(true, false, true), StartupWarningKind::SwitchConflict);
    EXPECT_EQ(SelectStartupWarning(true, true, false), StartupWarningKind::SwitchConflict);
    EXPECT_EQ(SelectStartupWarning(false, false, false), StartupWarningKind::ExtensionMissing);
    EXPECT_EQ(SelectStartupWarning(false, true, true), StartupWarningKind::SwitchesMissing);
    // Hang monitor disabled and the extension reachable: nothing to say.
    EXPECT_EQ(SelectStartupWarning(false, true, false), StartupWarningKind::None);
}

TEST(StartupWarnings, EachKindIsShownWithItsExactTextsForTheTopLevelWindow)
{
    TestWindows windows(WS_OVERLAPPEDWINDOW);
    ASSERT_NE(windows.child, nullptr);
    ComPtr<harness::TestHookHost> host = MakeHost();
    for (auto kind : {StartupWarningKind::ExtensionMissing, StartupWarningKind::SwitchConflict,
                      StartupWarningKind::SwitchesMissing})
        EXPECT_EQ(ShowStartupWarning(host->Identity(), kind, windows.child), S_OK);
    std::vector<harness::ShownMessage> shown = host->Messages().Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].identifier, L"{2E3D2518-A623-4853-9780-00C83879C48A}");
    EXPECT_EQ(shown[0].helpContext, 4500u);
    EXPECT_EQ(shown[0].caption, L"Vantorix Chrome Extension Is Not Installed or Is Disabled");
    EXPECT_EQ(shown[0].text,
              L"The test engine does not have access to internal objects, methods and properties of the page, "
              L"which is open in Chrome. Check whether Vantorix Chrome Extension is installed and enabled.");
    EXPECT_EQ(shown[1].identifier, L"{23FFEED6-422D-4434-958E-79DD726D9D50}");
    EXPECT_EQ(shown[1].helpContext, 4501u);
    EXPECT_EQ(shown[1].caption, L"Chrome Command-line Conflict");
    EXPECT_EQ(shown[1].text, L"Some of the specified Chrome command-line switches does not allow Vantorix to "
                             L"access web pages loaded in Chrome.");
    EXPECT_EQ(shown[2].identifier, L"{23FFEED6-422D-4434-958E-79DD726D9D50}");
    EXPECT_EQ(shown[2].helpContext, 4502u);
    EXPECT_EQ(shown[2].caption, L"No Recommended Chrome Command-Line Switches");
    EXPECT_EQ(shown[2].text, L"Command-line switches that are important to Vantorix were not specified.");
    for (const harness::ShownMessage& m : shown) {
        EXPECT_EQ(m.window, reinterpret_cast<LONG_PTR>(windows.top));
        EXPECT_EQ(m.reserved, 0);
        EXPECT_EQ(m.reserved2, 0);
    }
}

TEST(StartupWarnings, ShownAgainAtEveryCall)
{
    TestWindows windows(WS_OVERLAPPEDWINDOW);
    ComPtr<harness::TestHookHost> host = MakeHost();
    ShowStartupWarning(host->Identity(), StartupWarningKind::SwitchesMissing, windows.child);
    ShowStartupWarning(host->Identity(), StartupWarningKind::SwitchesMissing, windows.child);
    EXPECT_EQ(host->Messages().Shown().size(), 2u);
}

TEST(StartupWarnings, NothingForPopupsNullWindowsOrNoWarning)
{
    TestWindows popup(WS_POPUP);
    TestWindows normal(WS_OVERLAPPEDWINDOW);
    ComPtr<harness::TestHookHost> host = MakeHost();
    EXPECT_EQ(ShowStartupWarning(host->Identity(), StartupWarningKind::ExtensionMissing, popup.child), S_FALSE);
    EXPECT_EQ(ShowStartupWarning(host->Identity(), StartupWarningKind::ExtensionMissing, nullptr), S_FALSE);
    EXPECT_EQ(ShowStartupWarning(host->Identity(), StartupWarningKind::None, normal.child), S_FALSE);
    EXPECT_TRUE(host->Messages().Shown().empty());
}

TEST(StartupWarnings, HostWithoutMessageServiceGivesEFail)
{
    TestWindows windows(WS_OVERLAPPEDWINDOW);
    ComPtr<harness::TestHookHost> host = MakeHost();
    host->SetMessageServiceMode(harness::MessageServiceMode::NotOffered);
    EXPECT_EQ(ShowStartupWarning(host->Identity(), StartupWarningKind::SwitchesMissing, windows.child), E_FAIL);
    host->SetMessageServiceMode(harness::MessageServiceMode::WithoutInterface);
    EXPECT_EQ(ShowStartupWarning(host->Identity(), StartupWarningKind::SwitchesMissing, windows.child), E_FAIL);
    EXPECT_EQ(ShowStartupWarning(nullptr, StartupWarningKind::SwitchesMissing, windows.child), E_FAIL);
    EXPECT_TRUE(host->Messages().Shown().empty());
}

} // namespace
