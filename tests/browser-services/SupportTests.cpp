// The browser module's answers to the engine about Chrome's windows and
// pages, asked through the host interfaces as the engine asks them: window
// objects for the two claimed window classes, the page a window shows, every
// page for the root, children, controls and the object at a point.
#include <string>

#include "ModuleFixture.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "services/ChromeWindowClasses.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;

namespace browser_services_tests {
namespace {

std::wstring Moniker(IUnknown* object)
{
    ComPtr<IvxObject> vx;
    BStr moniker;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&vx))) || FAILED(vx->GetMoniker(moniker.Out())))
        return L"<no moniker>";
    return moniker.Str();
}

// The objects of a VT_ARRAY | VT_DISPATCH answer.
std::vector<ComPtr<IDispatch>> Objects(const Variant& answer)
{
    std::vector<ComPtr<IDispatch>> objects;
    if (answer.Type() != (VT_ARRAY | VT_DISPATCH))
        return objects;
    LONG upper = -1;
    SafeArrayGetUBound(V_ARRAY(answer.Get()), 1, &upper);
    for (LONG i = 0; i <= upper; ++i) {
        ComPtr<IDispatch> object;
        SafeArrayGetElement(V_ARRAY(answer.Get()), &i, object.GetAddressOf());
        objects.push_back(std::move(object));
    }
    return objects;
}

VARIANT ObjectArgument(IDispatch* object)
{
    VARIANT value;
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = object;
    return value;
}

class SupportTest : public BrowserModuleTest
{
protected:
    void SetUp() override
    {
        BrowserModuleTest::SetUp();
        ASSERT_EQ(S_OK, standin_->OpenTab(4, L"http://four.test/", false, true));
        ASSERT_EQ(S_OK, standin_->OpenTab(5, L"http://five.test/"));
        Settle();
        ASSERT_EQ(S_OK, module_.As(&windows_));
        ASSERT_EQ(S_OK, module_.As(&objects_));
        ASSERT_EQ(S_OK, module_.As(&controls_));
    }
    ComPtr<IDispatch> WindowObject(HWND window)
    {
        ComPtr<IDispatch> object;
        EXPECT_EQ(VARIANT_TRUE, windows_->GetObjectFromWindow(reinterpret_cast<LONG_PTR>(window), &object));
        return object;
    }
    std::vector<ComPtr<IDispatch>> Children(const VARIANT& parent)
    {
        Variant answer;
        if (objects_->GetObjects(parent, answer.Out()) == VARIANT_FALSE)
            return {};
        return Objects(answer);
    }
    chrome_standin::TabWindows TabWindowsOf(LONG tabId) { return standin_->Tab(tabId)->windows; }

    ComPtr<IvxModuleWindows2> windows_;
    ComPtr<IvxModuleObjects> objects_;
    ComPtr<IvxModuleControls> controls_;
};

TEST_F(SupportTest, TheTwoChromeWindowClassesGetWindowObjectsAndNoOtherWindowDoes)
{
    const chrome_standin::TabWindows tab = TabWindowsOf(4);
    ComPtr<IDispatch> renderer = WindowObject(tab.renderWidgetHost);
    ASSERT_TRUE(renderer);
    EXPECT_EQ(L"ChromeWindow" + std::to_wstring(static_cast<int>(reinterpret_cast<LONG_PTR>(tab.renderWidgetHost))),
              Moniker(renderer.Get()));
    ComPtr<IvxCrRendererWindowProvider> provider;
    ASSERT_EQ(S_OK, renderer.As(&provider));
    EXPECT_TRUE(provider->IsRendererWindow());
    LONG_PTR window = 0;
    EXPECT_EQ(VARIANT_TRUE, windows_->GetWindowFromObject(renderer.Get(), &window));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(tab.renderWidgetHost), window);
    ComPtr<IvxObject> asObject;
    ASSERT_EQ(S_OK, renderer.As(&asObject));
    VARIANT_BOOL exists = VARIANT_FALSE;
    EXPECT_EQ(S_OK, asObject->GetExists(&exists));
    EXPECT_EQ(VARIANT_TRUE, exists);

    ComPtr<IDispatch> compositor = WindowObject(tab.compositor);
    ASSERT_TRUE(compositor);
    ASSERT_EQ(S_OK, compositor.As(&provider));
    EXPECT_FALSE(provider->IsRendererWindow());
    EXPECT_EQ(tab.renderWidgetHost, provider->GetRenderWidgetWindow()) << "it covers the tab window exactly";
    // One pixel off, it covers nothing.
    RECT rectangle = {};
    GetClientRect(tab.renderWidgetHost, &rectangle);
    SetWindowPos(tab.compositor, nullptr, 1, 0, rectangle.right, rectangle.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(nullptr, provider->GetRenderWidgetWindow());

    ComPtr<IDispatch> none;
    HWND frame = GetAncestor(tab.renderWidgetHost, GA_ROOT);
    EXPECT_EQ(VARIANT_FALSE, windows_->GetObjectFromWindow(reinterpret_cast<LONG_PTR>(frame), &none))
        << "left to the next support";
    EXPECT_FALSE(none);
}

TEST_F(SupportTest, ARendererWindowObjectLeadsToItsTabsDomPageEvenWhenHidden)
{
    const chrome_standin::TabWindows hidden = TabWindowsOf(5); // not the active tab
    ASSERT_FALSE(IsWindowVisible(hidden.renderWidgetHost));
    ASSERT_FALSE(module_->FindTabById(5)->IsRendererConnected());
    ComPtr<IDispatch> window = WindowObject(hidden.renderWidgetHost);
    const std::vector<ComPtr<IDispatch>> pages = Children(ObjectArgument(window.Get()));
    ASSERT_EQ(1u, pages.size());
    EXPECT_EQ(L"Cr5Wnd!", Moniker(pages[0].Get()));
    EXPECT_EQ(VARIANT_TRUE, controls_->IsControl(pages[0].Get()));
    EXPECT_EQ(VARIANT_FALSE, controls_->IsControl(window.Get()));

    // A compositor object shows no page of its own.
    ComPtr<IDispatch> compositor = WindowObject(TabWindowsOf(4).compositor);
    EXPECT_TRUE(Children(ObjectArgument(compositor.Get())).empty());
}

TEST_F(SupportTest, TheRootGetsTheTreePageOfEveryTabUnlessItsFlagIsSet)
{
    VARIANT root;
    VariantInit(&root);
    std::vector<std::wstring> monikers;
    for (const ComPtr<IDispatch>& page : Children(root))
        monikers.push_back(Moniker(page.Get()));
    EXPECT_EQ((std::vector<std::wstring>{L"Cr4!", L"Cr5!", L"Cr1000!"}), monikers);
    VARIANT flag;
    V_VT(&flag) = VT_BOOL;
    V_BOOL(&flag) = VARIANT_TRUE;
    Variant answer;
    EXPECT_EQ(VARIANT_FALSE, objects_->GetObjects(flag, answer.Out()));
}

TEST_F(SupportTest, PagesExpandAndTheObjectAtAPointComesFromTheRenderer)
{
    // Tab 4 shows the naming page in its renderer process.
    const chrome_standin::TabWindows tab = TabWindowsOf(4);
    ComPtr<IDispatch> window = WindowObject(tab.renderWidgetHost);
    const std::vector<ComPtr<IDispatch>> pages = Children(ObjectArgument(window.Get()));
    ASSERT_EQ(1u, pages.size());
    // The renderer shows the model of the object-model option (the Tree
    // model by default) under the page's own prefix.
    const std::vector<ComPtr<IDispatch>> items = Children(ObjectArgument(pages[0].Get()));
    ASSERT_FALSE(items.empty());
    for (const ComPtr<IDispatch>& item : items)
        EXPECT_EQ(0u, Moniker(item.Get()).rfind(L"Cr4Wnd!", 0));

    RECT rectangle = {};
    ASSERT_TRUE(GetWindowRect(tab.renderWidgetHost, &rectangle));
    LONG_PTR found = 0;
    ComPtr<IDispatch> object;
    ASSERT_EQ(VARIANT_TRUE,
              controls_->GetObjectFromPoint(window.Get(), rectangle.left + 10, rectangle.top + 100, &found, &object));
    EXPECT_EQ(-1, found);
    const std::wstring moniker = Moniker(object.Get());
    EXPECT_EQ(0u, moniker.rfind(L"Cr4!", 0)) << "Tree-model moniker";
    EXPECT_GT(moniker.size(), 4u);
    ComPtr<IDispatch> focused;
    EXPECT_EQ(VARIANT_TRUE, controls_->GetFocusedObject(window.Get(), &found, &focused));
    EXPECT_TRUE(focused);
}

TEST(BrowserFrameRules, AnAddressBarOrAPopupLeadsToItsChromeFrame)
{
    WNDCLASSW widget = {};
    widget.lpfnWndProc = DefWindowProcW;
    widget.hInstance = GetModuleHandleW(nullptr);
    widget.lpszClassName = kChromeWidgetClass;
    RegisterClassW(&widget);
    WNDCLASSW omnibox = widget;
    omnibox.lpszClassName = kChromeOmniboxClass;
    RegisterClassW(&omnibox);
    HWND frame = CreateWindowExW(0, kChromeWidgetClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                                 widget.hInstance, nullptr);
    HWND addressBar = CreateWindowExW(0, kChromeOmniboxClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, frame, nullptr,
                                      widget.hInstance, nullptr);
    HWND popup = CreateWindowExW(0, kChromeWidgetClass, L"", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, frame, nullptr,
                                 widget.hInstance, nullptr);
    HWND dialog = CreateWindowExW(0, kChromeWidgetClass, L"", WS_POPUP | WS_DLGFRAME | WS_VISIBLE, 10, 10, 50, 50,
                                  frame, nullptr, widget.hInstance, nullptr);
    HWND found = nullptr;
    EXPECT_TRUE(FindBrowserFrame(addressBar, found));
    EXPECT_EQ(frame, found);
    EXPECT_TRUE(FindBrowserFrame(popup, found));
    EXPECT_EQ(frame, found);
    EXPECT_FALSE(FindBrowserFrame(dialog, found)) << "a dialog frame is not a browser pop-up";
    ShowWindow(frame, SW_HIDE);
    EXPECT_FALSE(FindBrowserFrame(popup, found)) << "the owner must be visible";
    DestroyWindow(frame);
}

} // namespace
} // namespace browser_services_tests
