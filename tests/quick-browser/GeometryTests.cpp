// Element state, geometry and scrolling of the element objects, on pages
// captured with their layout: figures come from what Chromium reported for
// the same elements.
#include <cmath>
#include <fstream>

#include <nlohmann/json.hpp>

#include "QuickBrowserFixture.h"
#include "quickbrowser/objects/QuickBrowserObjectBase.h"

namespace qbtests {
namespace {

class GeometryTest : public QuickBrowserTest
{
protected:
    void SetUp() override {}
    ComPtr<IvxCrQuickBrowserObject_Control> Control(const wchar_t* elementId)
    {
        ComPtr<IvxCrQuickBrowserObject_Control> control;
        ObjectThisInformation element = DomElement(elementId);
        EXPECT_EQ(S_OK, element.object.As(&control));
        return control;
    }
    bool Visible(const wchar_t* elementId)
    {
        VARIANT_BOOL visible = VARIANT_FALSE;
        EXPECT_EQ(S_OK, Control(elementId)->GetVisible(&visible));
        return visible == VARIANT_TRUE;
    }
    const harness::SnapRect& CapturedRect(const wchar_t* elementId)
    {
        return native_->Page().Node(NodeIdOf(elementId)).rect;
    }
    // Runs `work` on the stand-in's renderer thread (for the interfaces
    // that are called there only).
    template <class Work>
    HRESULT OnRenderer(Work&& work)
    {
        struct Context
        {
            Work* work;
        } context{&work};
        return native_->RunOnRendererThread([](void* p) -> HRESULT { return (*static_cast<Context*>(p)->work)(); },
                                            &context, 5000);
    }
    double ScrollX() { return native_->Page().documents[0].window.scrollX; }
    double ScrollY() { return native_->Page().documents[0].window.scrollY; }
};

TEST_F(GeometryTest, VisibilityTestsTheElementsOwnHiddenAndComputedStyle)
{
    Load("snapshots/text-blocks.json");
    UseObjectModel(0);
    EXPECT_FALSE(Visible(L"displayNoneUpper")); // compared lower-cased
    EXPECT_FALSE(Visible(L"visibilityHidden"));
    EXPECT_TRUE(Visible(L"visibilityCollapse")); // only "hidden" hides
    EXPECT_FALSE(Visible(L"hiddenAttribute"));
    EXPECT_TRUE(Visible(L"zeroSize")); // size plays no part
}

TEST_F(GeometryTest, EnabledFollowsTheDisabledState)
{
    Load("snapshots/inputs.json");
    UseObjectModel(0);
    VARIANT_BOOL enabled = VARIANT_TRUE;
    EXPECT_EQ(S_OK, Control(L"disabled1")->GetEnabled(&enabled));
    EXPECT_EQ(VARIANT_FALSE, enabled);
    EXPECT_EQ(S_OK, Control(L"text1")->GetEnabled(&enabled));
    EXPECT_EQ(VARIANT_TRUE, enabled);
}

TEST_F(GeometryTest, SizeAndTopViewportPositionAreTheCapturedRectanglesTruncated)
{
    Load("snapshots/geometry.json");
    UseObjectModel(0);
    for (const wchar_t* id : {L"plainBox", L"borderBox", L"staticChild", L"relativeChild", L"absoluteGrandchild",
                              L"insideScroller", L"transformed", L"inlineSpan", L"fixedBox"}) {
        SCOPED_TRACE(std::string(id, id + wcslen(id)));
        const harness::SnapRect& rect = CapturedRect(id);
        ComPtr<IvxCrQuickBrowserObject_Control> control = Control(id);
        ULONG width = 0, height = 0;
        LONG left = 0, top = 0;
        EXPECT_EQ(S_OK, control->GetWidth(&width));
        EXPECT_EQ(S_OK, control->GetHeight(&height));
        EXPECT_EQ(S_OK, control->GetOnTopViewportLeft(&left));
        EXPECT_EQ(S_OK, control->GetOnTopViewportTop(&top));
        EXPECT_EQ(static_cast<ULONG>(std::trunc(rect.width)), width);
        EXPECT_EQ(static_cast<ULONG>(std::trunc(rect.height)), height);
        EXPECT_EQ(static_cast<LONG>(std::trunc(rect.x)), left);
        EXPECT_EQ(static_cast<LONG>(std::trunc(rect.y)), top);
    }
}

// iframes.html places the frames with CSS: outerFrame at (100,100) without
// border, innerFrame at (100,20) inside it, innerBox at (20,30) inside that;
// borderFrame at (550,100) with a 5 px border.
TEST_F(GeometryTest, TopViewportPositionAddsEveryEnclosingFramesClientOrigin)
{
    Load("snapshots/iframes.json");
    UseObjectModel(0);
    ObjectThisInformation outer = DomElement(L"outerFrame");
    const std::wstring outerPath = NodePath(L"outerFrame");
    ObjectThisInformation inner =
        std::move(Children(Child(Child(outer, outerPath + L"!document"), outerPath + L"!frames")).at(0));
    const std::wstring innerPath = inner.identityPath.Str();
    ObjectThisInformation innerBox;
    for (ObjectThisInformation& item : Children(Child(Child(inner, innerPath + L"!document"), innerPath + L"!all")))
        if (item.identityPath.Str() == innerPath + L"!" + NodePath(L"innerBox"))
            innerBox = std::move(item);
    ComPtr<IvxCrQuickBrowserObject_Control> control;
    ASSERT_EQ(S_OK, innerBox.object.As(&control));
    LONG left = 0, top = 0;
    EXPECT_EQ(S_OK, control->GetOnTopViewportLeft(&left));
    EXPECT_EQ(S_OK, control->GetOnTopViewportTop(&top));
    EXPECT_EQ(100 + 100 + 20, left);
    EXPECT_EQ(100 + 20 + 30, top);

    // A point on a frame is always the frame's: its document is searched on
    // its own.
    VARIANT_BOOL accessible = VARIANT_FALSE;
    EXPECT_EQ(S_OK, Control(L"borderFrame")->CheckPointAccessible(0, 0, &accessible));
    EXPECT_EQ(VARIANT_TRUE, accessible);
}

// What Chromium reported for every element of a page with an id: its border
// box on the top-level viewport (tests/pages/expected/*.geometry.json).
nlohmann::json ExpectedGeometry(const std::string& name)
{
    std::ifstream in(std::string(VX_PAGES_DIR) + "/expected/" + name + ".geometry.json");
    return nlohmann::json::parse(in);
}

class ChromiumGeometry : public GeometryTest, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(ChromiumGeometry, EveryElementsSizeAndPlaceOnTheTopViewport)
{
    const std::string name = GetParam();
    Load("snapshots/" + name + ".json");
    UseObjectModel(0);
    const nlohmann::json expected = ExpectedGeometry(name);
    int compared = 0;
    for (const nlohmann::json& element : expected["elements"]) {
        if (element["topViewport"].is_null())
            continue;                                    // no box: nothing to compare
        const long nodeId = element["node"].get<long>(); // the snapshot's node id
        const std::string label = element["frame"].get<std::string>() + "!" + element["id"].get<std::string>();
        SCOPED_TRACE(label);
        ObjectThisInformation object = DomObjectOfNode(nodeId);
        ComPtr<IvxCrQuickBrowserObject_Control> control;
        if (!object.object || FAILED(object.object.As(&control))) {
            ADD_FAILURE() << "no control object";
            continue;
        }
        const nlohmann::json& box = element["topViewport"];
        ULONG width = 0, height = 0;
        LONG left = 0, top = 0;
        EXPECT_EQ(S_OK, control->GetWidth(&width));
        EXPECT_EQ(S_OK, control->GetHeight(&height));
        EXPECT_EQ(S_OK, control->GetOnTopViewportLeft(&left));
        EXPECT_EQ(S_OK, control->GetOnTopViewportTop(&top));
        EXPECT_EQ(static_cast<LONG>(std::trunc(box["left"].get<double>())), left);
        EXPECT_EQ(static_cast<LONG>(std::trunc(box["top"].get<double>())), top);
        EXPECT_EQ(static_cast<ULONG>(std::trunc(box["width"].get<double>())), width);
        EXPECT_EQ(static_cast<ULONG>(std::trunc(box["height"].get<double>())), height);
        ++compared;
    }
    EXPECT_GT(compared, 5);
}

INSTANTIATE_TEST_SUITE_P(Pages, ChromiumGeometry,
                         ::testing::Values("viewport", "viewport-scrolled", "iframes", "geometry",
                                           "scrolling-scrolled"));

TEST_F(GeometryTest, PointAccessibleThroughChildrenButNotUnderAnOverlay)
{
    Load("snapshots/geometry.json");
    UseObjectModel(0);
    VARIANT_BOOL accessible = VARIANT_FALSE;
    // overlapTop (700,350) covers the lower right of overlapBottom (650,300).
    EXPECT_EQ(S_OK, Control(L"overlapBottom")->CheckPointAccessible(660, 310, &accessible));
    EXPECT_EQ(VARIANT_TRUE, accessible);
    EXPECT_EQ(S_OK, Control(L"overlapBottom")->CheckPointAccessible(760, 410, &accessible));
    EXPECT_EQ(VARIANT_FALSE, accessible);
    // A point on a child reaches its parent.
    const harness::SnapRect& child = CapturedRect(L"staticChild");
    EXPECT_EQ(S_OK,
              Control(L"positionedParent")
                  ->CheckPointAccessible(static_cast<LONG>(child.x) + 5, static_cast<LONG>(child.y) + 5, &accessible));
    EXPECT_EQ(VARIANT_TRUE, accessible);
}

TEST_F(GeometryTest, ContainsPointIncludesBothEdges)
{
    Load("snapshots/geometry.json");
    UseObjectModel(0);
    ObjectThisInformation box = DomElement(L"plainBox"); // 50,50 100x100
    ComPtr<vxCrQuickBrowser::CCrQuickBrowserObject_Base> object = vxCrQuickBrowser::ImplementationOf(box.object.Get());
    ASSERT_TRUE(object);
    ComPtr<IvxCrQuickBrowserObject_ViewportChild> child;
    ASSERT_EQ(S_OK, object->QueryInterface(__uuidof(IvxCrQuickBrowserObject_ViewportChild),
                                           reinterpret_cast<void**>(child.GetAddressOf())));
    auto contains = [&](LONG x, LONG y) {
        BOOL inside = FALSE;
        EXPECT_EQ(S_OK, OnRenderer([&] { return child->ContainsPoint(x, y, &inside); }));
        return inside != FALSE;
    };
    const long rectangles = native_->MemberCalls(L"getBoundingClientRect");
    EXPECT_TRUE(contains(50, 50));
    EXPECT_EQ(rectangles + 1, native_->MemberCalls(L"getBoundingClientRect")) << "one rectangle per point test";
    EXPECT_TRUE(contains(150, 150));
    EXPECT_FALSE(contains(151, 150));
    EXPECT_FALSE(contains(150, 49));
}

TEST_F(GeometryTest, FocusIsSetOnlyByTrueAndReadBack)
{
    Load("snapshots/forms.json");
    UseObjectModel(0);
    ComPtr<IvxCrQuickBrowserObject_Control> password = Control(L"loginPass");
    VARIANT_BOOL focused = VARIANT_TRUE;
    EXPECT_EQ(S_OK, password->GetFocused(&focused));
    EXPECT_EQ(VARIANT_FALSE, focused);
    EXPECT_EQ(S_OK, password->SetFocused(VARIANT_TRUE));
    EXPECT_EQ(S_OK, password->GetFocused(&focused));
    EXPECT_EQ(VARIANT_TRUE, focused);
    EXPECT_EQ(S_OK, password->SetFocused(VARIANT_FALSE));
    EXPECT_EQ(S_OK, password->GetFocused(&focused));
    EXPECT_EQ(VARIANT_TRUE, focused);
    EXPECT_EQ(NodePath(L"loginPass"), Focused().identityPath.Str());
}

// scrolling.html: a 3000x4000 page in a 1024x768 viewport at (0,0).
TEST_F(GeometryTest, MakeVisibleScrollsOnlyTheAxisOutOfViewToTheElementsEdge)
{
    Load("snapshots/scrolling.json");
    UseObjectModel(0);
    const long before = native_->MemberCalls(L"scrollTo");
    EXPECT_EQ(S_OK, Control(L"topLeft")->MakeVisible(-1, -1));
    EXPECT_EQ(before, native_->MemberCalls(L"scrollTo")) << "scrolled although in view";

    EXPECT_EQ(S_OK, Control(L"farInput")->MakeVisible(-1, -1)); // 600,1500 150x30
    EXPECT_EQ(0, ScrollX());
    EXPECT_EQ(1500, ScrollY());

    // 2500,100 100x50: both axes are out of view from (0,1500) now. The
    // library asks for 2500; the page scrolls no further than its width
    // (3000) minus the viewport's.
    EXPECT_EQ(S_OK, Control(L"farRight")->MakeVisible(-1, -1));
    EXPECT_EQ(3000 - 1024, ScrollX());
    EXPECT_EQ(100, ScrollY());
}

// viewport.html: "wide" is 3000 px wide at the left edge of a 1024 px
// viewport; half of it is wider than the viewport.
TEST_F(GeometryTest, MakeVisibleBringsTheCentreOfAnElementWiderThanTwoViewportsToTheLeftEdge)
{
    Load("snapshots/viewport.json");
    UseObjectModel(0);
    EXPECT_EQ(S_OK, Control(L"wide")->MakeVisible(-1, -1));
    EXPECT_EQ(1500, ScrollX());
}

// viewport.html: "innerScrolledOut" lies above the scrolled part of the inner
// frame (itself inside the outer frame): the inner frame's document scrolls,
// then every window around it, until the centre is on the top viewport inside
// the inner frame's viewport.
TEST_F(GeometryTest, MakeVisibleScrollsUpThroughNestedFrames)
{
    Load("snapshots/viewport.json");
    UseObjectModel(0);
    ObjectThisInformation target = DomObjectOfNode(NodeIdOf(L"innerScrolledOut"));
    ObjectThisInformation innerFrame = DomObjectOfNode(NodeIdOf(L"innerFrame"));
    ComPtr<IvxCrQuickBrowserObject_Control> control;
    ASSERT_EQ(S_OK, target.object.As(&control));
    ComPtr<IvxCrQuickBrowserObject_ChildWindow> frameWindow;
    ASSERT_EQ(S_OK, vxCrQuickBrowser::ImplementationOf(innerFrame.object.Get())
                        ->QueryInterface(__uuidof(IvxCrQuickBrowserObject_ChildWindow),
                                         reinterpret_cast<void**>(frameWindow.GetAddressOf())));
    auto centreInView = [&] {
        LONG left = 0, top = 0, frameLeft = 0, frameTop = 0, frameWidth = 0, frameHeight = 0;
        ULONG width = 0, height = 0;
        EXPECT_EQ(S_OK, control->GetOnTopViewportLeft(&left));
        EXPECT_EQ(S_OK, control->GetOnTopViewportTop(&top));
        EXPECT_EQ(S_OK, control->GetWidth(&width));
        EXPECT_EQ(S_OK, control->GetHeight(&height));
        EXPECT_EQ(S_OK, OnRenderer([&] {
                      frameWindow->GetWindowOnTopViewportLeft(&frameLeft);
                      frameWindow->GetWindowOnTopViewportTop(&frameTop);
                      frameWindow->GetInnerWidth(&frameWidth);
                      return frameWindow->GetInnerHeight(&frameHeight);
                  }));
        const LONG x = left + static_cast<LONG>(width / 2), y = top + static_cast<LONG>(height / 2);
        return frameLeft <= x && x < frameLeft + frameWidth && frameTop <= y && y < frameTop + frameHeight && 0 <= x &&
               x < 1024 && 0 <= y && y < 768;
    };
    EXPECT_FALSE(centreInView());
    EXPECT_EQ(S_OK, control->MakeVisible(-1, -1));
    EXPECT_TRUE(centreInView());
}

} // namespace
} // namespace qbtests
