#include <gtest/gtest.h>

#include "HookTabFixture.h"
#include "services/TabWindowLookup.h"

namespace hook_tab_tests {
namespace {

RECT WindowRect(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

class TabWindowLookup : public StandinTabTest
{
};

TEST_F(TabWindowLookup, ContentRectangleLeadsToTheTabsRenderWidget)
{
    const RECT frame = WindowRect(Standin().Windows().frame);
    EXPECT_EQ(FindTabWindowByContentRect(frame), StandinTab().windows.renderWidgetHost);
    RECT shifted = frame;
    OffsetRect(&shifted, 1, 0);
    EXPECT_EQ(FindTabWindowByContentRect(shifted), nullptr);
}

TEST_F(TabWindowLookup, RenderWidgetAncestorIncludesTheStartWindow)
{
    const auto windows = StandinTab().windows;
    ASSERT_TRUE(windows.compositor);
    EXPECT_EQ(FindRenderWidgetAncestor(windows.compositor), windows.renderWidgetHost);
    EXPECT_EQ(FindRenderWidgetAncestor(windows.renderWidgetHost), windows.renderWidgetHost);
    EXPECT_EQ(FindRenderWidgetAncestor(Standin().Windows().container), nullptr);
    EXPECT_EQ(FindRenderWidgetAncestor(nullptr), nullptr);
}

TEST_F(TabWindowLookup, UnconnectedTabFindsItsWindowByRectangle)
{
    ASSERT_FALSE(Tab().IsRendererConnected());
    HWND window = nullptr;
    ASSERT_EQ(Tab().TabWindow(window), S_OK);
    EXPECT_EQ(window, StandinTab().windows.renderWidgetHost);

    const RECT elsewhere = {0, 0, 10, 10};
    ASSERT_EQ(Standin().SetTabRectangle(kTabId, &elsewhere), S_OK);
    EXPECT_EQ(Tab().TabWindow(window), E_FAIL);
    EXPECT_EQ(window, nullptr);
    LONG left = 0, top = 0, width = 0, height = 0;
    EXPECT_EQ(Tab().Geometry(left, top, width, height), E_FAIL);
}

TEST_F(TabWindowLookup, ConnectedTabUsesTheRenderersWindow)
{
    const RECT elsewhere = {0, 0, 10, 10};
    ASSERT_EQ(Standin().SetTabRectangle(kTabId, &elsewhere), S_OK);
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    HWND window = nullptr;
    ASSERT_EQ(Tab().TabWindow(window), S_OK);
    EXPECT_EQ(window, StandinTab().windows.renderWidgetHost);
}

TEST_F(TabWindowLookup, GeometryVisibilityAndFocus)
{
    const HWND expected = StandinTab().windows.renderWidgetHost;
    const RECT rect = WindowRect(expected);
    LONG left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(Tab().Geometry(left, top, width, height), S_OK);
    EXPECT_EQ(left, rect.left);
    EXPECT_EQ(top, rect.top);
    EXPECT_EQ(width, rect.right - rect.left);
    EXPECT_EQ(height, rect.bottom - rect.top);
    EXPECT_GT(width, 0);

    bool visible = false;
    ASSERT_EQ(Tab().IsVisible(visible), S_OK);
    EXPECT_TRUE(visible);

    // Focus elsewhere first, then through the tab.
    Standin().FocusTab(kTabId);
    ASSERT_EQ(Standin().FocusedWindow(), expected);
    bool focused = false;
    ASSERT_EQ(Tab().IsFocused(focused), S_OK);
    EXPECT_TRUE(focused);
}

TEST_F(TabWindowLookup, SetFocusedActivatesTheTabThenFocusesItsWindow)
{
    ASSERT_EQ(Standin().OpenTab(20, L"http://example.test/other", false, true), S_OK);
    auto other = MakeTab(20);
    ASSERT_TRUE(other);
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    bool focused = true;
    ASSERT_EQ(Tab().IsFocused(focused), S_OK);
    EXPECT_FALSE(focused);

    const LONG activations = Standin().CallCount(chrome_standin::StandinService::Tabs, 6);
    ASSERT_EQ(Tab().SetFocused(true), S_OK);
    EXPECT_EQ(Standin().CallCount(chrome_standin::StandinService::Tabs, 6), activations + 1);
    EXPECT_TRUE(StandinTab().active);
    EXPECT_EQ(Standin().FocusedWindow(), StandinTab().windows.renderWidgetHost);
    ASSERT_EQ(Tab().IsFocused(focused), S_OK);
    EXPECT_TRUE(focused);

    // False does nothing.
    ASSERT_EQ(Tab().SetFocused(false), S_OK);
    EXPECT_EQ(Standin().CallCount(chrome_standin::StandinService::Tabs, 6), activations + 1);
}

} // namespace
} // namespace hook_tab_tests
