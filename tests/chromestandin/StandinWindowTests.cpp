// The stand-in's browser windows: layout, visibility, focus, and the tab
// rectangle record, which must lead the tab window lookup (a visible
// top-level "Chrome_WidgetWin_0" of this process with exactly that window
// rectangle; its visible "Chrome_WidgetWin_0" child with the smallest top;
// that child's first "Chrome_RenderWidgetHostHWND") to the active tab.
#include <gtest/gtest.h>

#include <climits>

#include "StandinFixture.h"
#include "services/TabRecords.h"

using Microsoft::WRL::ComPtr;
using vx::com::Variant;

namespace standin_tests {
namespace {

std::wstring ClassOf(HWND window)
{
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

RECT WindowRect(HWND window)
{
    RECT rectangle = {};
    GetWindowRect(window, &rectangle);
    return rectangle;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

HWND LookUpTabWindow(const RECT& wanted)
{
    struct Search
    {
        RECT wanted;
        HWND found;
    } search = {wanted, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
                ClassOf(window) == L"Chrome_WidgetWin_0" && SameRect(WindowRect(window), s->wanted)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found)
        return nullptr;
    HWND container = nullptr;
    LONG smallestTop = LONG_MAX;
    for (HWND child = FindWindowExW(search.found, nullptr, L"Chrome_WidgetWin_0", nullptr); child;
         child = FindWindowExW(search.found, child, L"Chrome_WidgetWin_0", nullptr))
        if (IsWindowVisible(child) && WindowRect(child).top < smallestTop) {
            smallestTop = WindowRect(child).top;
            container = child;
        }
    return container ? FindWindowExW(container, nullptr, L"Chrome_RenderWidgetHostHWND", nullptr) : nullptr;
}

class StandinWindowTest : public StandinTest
{
protected:
    chrome_standin::StandinOptions Options() override
    {
        chrome_standin::StandinOptions options;
        options.frame = {50, 40, 850, 640};
        return options;
    }

    HWND LookUpByRecord(LONG tabId)
    {
        Variant id = Long(tabId), selector = Long(-1), record;
        EXPECT_EQ(Call(Tabs(), 7, {&id, &selector}, &record), S_OK);
        RECT rectangle = {};
        EXPECT_EQ(ParseTabRectangle(*record, rectangle), S_OK);
        return LookUpTabWindow(rectangle);
    }
};

TEST_F(StandinWindowTest, BrowserWindowsAreLaidOutAsConfigured)
{
    const auto& windows = Standin().Windows();
    EXPECT_TRUE(SameRect(WindowRect(windows.frame), RECT{50, 40, 850, 640}));
    EXPECT_EQ(GetAncestor(windows.container, GA_ROOT), windows.frame);
    for (HWND window : {windows.frame, windows.container, windows.shelf, windows.bubble})
        EXPECT_EQ(ClassOf(window), L"Chrome_WidgetWin_0");
    EXPECT_TRUE(IsWindowVisible(windows.frame));
    EXPECT_TRUE(IsWindowVisible(windows.container));
    EXPECT_TRUE(IsWindowVisible(windows.shelf));
    EXPECT_FALSE(IsWindowVisible(windows.bubble));
    RECT container = WindowRect(windows.container);
    EXPECT_EQ(container.top, 40 + chrome_standin::kTabStripHeight);
    EXPECT_EQ(container.bottom, 640 - chrome_standin::kShelfHeight);
    EXPECT_NE(GetWindowThreadProcessId(windows.frame, nullptr), GetCurrentThreadId());
}

TEST_F(StandinWindowTest, OnlyTheActiveTabWindowIsVisibleAndTheRecordLeadsToIt)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    ASSERT_EQ(Standin().OpenTab(2, L"http://two/"), S_OK);
    ASSERT_EQ(Standin().OpenTab(3, L"http://three/"), S_OK);
    auto one = Standin().Tab(1)->windows, two = Standin().Tab(2)->windows, three = Standin().Tab(3)->windows;
    EXPECT_EQ(ClassOf(two.renderWidgetHost), L"Chrome_RenderWidgetHostHWND");
    EXPECT_EQ(ClassOf(two.compositor), L"CompositorHostWindowClass");
    EXPECT_EQ(GetParent(two.renderWidgetHost), Standin().Windows().container);
    EXPECT_TRUE(IsWindowVisible(one.renderWidgetHost));
    EXPECT_FALSE(IsWindowVisible(two.renderWidgetHost));
    EXPECT_EQ(LookUpByRecord(1), one.renderWidgetHost);

    Variant id = Long(2);
    ASSERT_EQ(Call(Tabs(), 6, {&id}), S_OK);
    EXPECT_TRUE(IsWindowVisible(two.renderWidgetHost));
    EXPECT_TRUE(IsWindowVisible(two.compositor));
    EXPECT_FALSE(IsWindowVisible(one.renderWidgetHost));
    EXPECT_FALSE(IsWindowVisible(three.renderWidgetHost));
    EXPECT_EQ(LookUpByRecord(2), two.renderWidgetHost);

    ASSERT_EQ(Standin().Activate(3), S_OK);
    EXPECT_EQ(LookUpByRecord(3), three.renderWidgetHost);
    EXPECT_EQ(Standin().FocusedWindow(), three.renderWidgetHost) << "activation focuses the tab window";
}

TEST_F(StandinWindowTest, AnOverriddenRectangleIsReportedAndMatchesNoWindow)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    RECT elsewhere = {10, 10, 110, 60};
    ASSERT_EQ(Standin().SetTabRectangle(1, &elsewhere), S_OK);
    Variant id = Long(1), selector = Long(-1), record;
    ASSERT_EQ(Call(Tabs(), 7, {&id, &selector}, &record), S_OK);
    auto elements = Elements(*record);
    ASSERT_EQ(elements.size(), 4u);
    EXPECT_EQ(V_I4(elements[0].Get()), 10);
    EXPECT_EQ(V_I4(elements[1].Get()), 10);
    EXPECT_EQ(V_I4(elements[2].Get()), 100);
    EXPECT_EQ(V_I4(elements[3].Get()), 50);
    EXPECT_EQ(LookUpByRecord(1), nullptr);
    ASSERT_EQ(Standin().SetTabRectangle(1, nullptr), S_OK);
    EXPECT_EQ(LookUpByRecord(1), Standin().Tab(1)->windows.renderWidgetHost);
}

TEST_F(StandinWindowTest, ClosingTheActiveTabDestroysItsWindowAndActivatesAnother)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    ASSERT_EQ(Standin().OpenTab(2, L"http://two/"), S_OK);
    HWND closed = Standin().Tab(1)->windows.renderWidgetHost;
    ASSERT_EQ(Standin().CloseTab(1), S_OK);
    EXPECT_FALSE(IsWindow(closed));
    EXPECT_TRUE(Standin().Tab(2)->active);
    EXPECT_TRUE(IsWindowVisible(Standin().Tab(2)->windows.renderWidgetHost));
}

TEST_F(StandinWindowTest, FocusCanBeMovedBetweenTabs)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    ASSERT_EQ(Standin().OpenTab(2, L"http://two/"), S_OK);
    ASSERT_EQ(Standin().FocusTab(1), S_OK);
    EXPECT_EQ(Standin().FocusedWindow(), Standin().Tab(1)->windows.renderWidgetHost);
    ASSERT_EQ(Standin().Activate(2), S_OK);
    EXPECT_EQ(Standin().FocusedWindow(), Standin().Tab(2)->windows.renderWidgetHost);
}

class NoCompositorTest : public StandinTest
{
protected:
    chrome_standin::StandinOptions Options() override
    {
        chrome_standin::StandinOptions options;
        options.compositorWindows = false;
        return options;
    }
};

TEST_F(NoCompositorTest, TheRendererReportsTheTabWindowItself)
{
    ASSERT_EQ(Standin().OpenTab(1, L"http://one/"), S_OK);
    EXPECT_EQ(Standin().Tab(1)->windows.compositor, nullptr);
    Variant id = Long(1), key, path = String(L"x"), notifier = Object(MakeNotifier().Get()), events;
    ASSERT_EQ(Call(Browser(), 5, {&id}, &key), S_OK);
    ASSERT_EQ(Call(Browser(), 33, {&path, &notifier}, &events), S_OK);
    Variant quickBrowser, window;
    ASSERT_EQ(Call(V_DISPATCH(events.Get()), 1, {&key}, &quickBrowser), S_OK);
    ASSERT_EQ(Call(V_DISPATCH(quickBrowser.Get()), 2, {}, &window), S_OK);
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<ULONG_PTR>(V_UI4(window.Get()))),
              Standin().Tab(1)->windows.renderWidgetHost);
}

} // namespace
} // namespace standin_tests
