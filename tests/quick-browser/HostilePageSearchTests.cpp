// Point and focus searches on pages whose scripts built extreme DOMs (made by
// tests/pages/hostile/make-pages.mjs into the build folder): the answer two
// hundred levels down a chain, and through fifty nested frames what Chromium
// itself hit.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/quick-browser/QuickBrowserFixture.h"
#include "tests/support/PagePath.h"

namespace qbtests {
namespace {

std::string HostileFile(const std::string& relative)
{
    return std::string(VX_HOSTILE_PAGES_DIR) + "/" + relative;
}

double Number(const harness::SnapshotPage& page, long node, const wchar_t* member)
{
    const harness::SnapValue* value = page.Prop(node, member);
    return value ? value->number : 0;
}

class HostilePageSearchTest : public QuickBrowserTest
{
protected:
    void LoadHostile(const std::string& name)
    {
        const std::string file = HostileFile("snapshots/" + name + ".json");
        ASSERT_TRUE(std::ifstream(file).good()) << file << " is missing: ./vxcr makes it before the tests";
        LoadFile(testsupport::WindowsPath(file));
    }
};

TEST_F(HostilePageSearchTest, PointAndFocusTwoHundredLevelsDownAChain)
{
    LoadHostile("deep-divs-10000");
    const long innermost = NodeIdOf(L"innermostVisible");
    // Chromium's own answer at (25,25) is the innermost element of the chain.
    ASSERT_EQ(innermost, native_->Page().documents[0].hitGrid.ids.at(0));
    for (LONG model : {0, 3}) {
        SCOPED_TRACE(model);
        UseObjectModel(model);
        EXPECT_EQ(NodePath(L"innermostVisible"), AtPoint(25, 25).identityPath.Str());
        EXPECT_EQ(NodePath(L"innermostVisible"), Focused().identityPath.Str());
    }
}

// Through the fifty nested frames, every frame element's box on the
// top-level viewport and the objects at points all over the page are what
// Chromium reported (the page is captured on a 10 px grid that falls on grid
// points of every frame's document).
TEST_F(HostilePageSearchTest, PointsAndBoxesThroughFiftyNestedFrames)
{
    LoadHostile("nested-frames-50");
    UseObjectModel(0);
    std::ifstream in(HostileFile("expected/nested-frames-50.geometry.json"));
    ASSERT_TRUE(in.good());
    const nlohmann::json expected = nlohmann::json::parse(in);
    int boxes = 0;
    for (const nlohmann::json& element : expected["elements"]) {
        const nlohmann::json& box = element["topViewport"];
        if (box.is_null())
            continue;
        SCOPED_TRACE(element["frame"].get<std::string>() + "!" + element["id"].get<std::string>());
        ObjectThisInformation object = DomObjectOfNode(element["node"].get<long>());
        ComPtr<IvxCrQuickBrowserObject_Control> control;
        ASSERT_TRUE(object.object && SUCCEEDED(object.object.As(&control)));
        LONG left = 0, top = 0;
        EXPECT_EQ(S_OK, control->GetOnTopViewportLeft(&left));
        EXPECT_EQ(S_OK, control->GetOnTopViewportTop(&top));
        EXPECT_EQ(static_cast<LONG>(std::trunc(box["left"].get<double>())), left);
        EXPECT_EQ(static_cast<LONG>(std::trunc(box["top"].get<double>())), top);
        ++boxes;
    }
    EXPECT_GE(boxes, 10);

    // About 150 of Chromium's top-level hits, spread over the page. On a
    // frame's scroll bar Chromium's hit test answers the frame document's
    // root element, where elementFromPoint (what the page gives the library)
    // answers nothing and the frame itself is the object: a point is on the
    // scroll bar when it lies beyond the root element's client size, measured
    // from the frame's client origin.
    std::map<long, std::pair<double, double>> frameOrigins; // frame element -> top-level client origin
    for (const nlohmann::json& element : expected["elements"]) {
        const long node = element["node"].get<long>();
        if (element["topViewport"].is_null() || native_->Page().StringProp(node, L"nodeName") != L"IFRAME")
            continue;
        const harness::SnapshotPage& page = native_->Page();
        frameOrigins[node] = {element["topViewport"]["left"].get<double>() + Number(page, node, L"clientLeft"),
                              element["topViewport"]["top"].get<double>() + Number(page, node, L"clientTop")};
    }
    auto onFrameScrollBar = [&](long node, LONG x, LONG y) {
        const harness::SnapshotPage& page = native_->Page();
        const int doc = page.Node(node).doc;
        if (doc == 0 || page.StringProp(node, L"nodeName") != L"HTML")
            return false;
        const auto origin = frameOrigins.find(page.documents[static_cast<size_t>(doc)].frameElement);
        if (origin == frameOrigins.end())
            return false;
        return x - origin->second.first >= Number(page, node, L"clientWidth") ||
               y - origin->second.second >= Number(page, node, L"clientHeight");
    };
    const nlohmann::json& hits = expected["hits"];
    size_t deepest = 0;
    for (size_t k = 0; k < hits.size(); k += std::max<size_t>(1, hits.size() / 150)) {
        const nlohmann::json& hit = hits[k];
        if (hit["node"].is_null())
            continue;
        const long node = hit["node"].get<long>();
        const LONG x = hit["x"].get<LONG>(), y = hit["y"].get<LONG>();
        std::wstring path = DomPathOfNode(node);
        if (onFrameScrollBar(node, x, y))
            path = path.substr(0, path.rfind(L'!'));
        EXPECT_EQ(path, AtPoint(x, y).identityPath.Str()) << "at " << x << "," << y;
        deepest = std::max(deepest, static_cast<size_t>(std::count(path.begin(), path.end(), L'!')));
    }
    EXPECT_GE(deepest, 15u) << "no point deep inside the nested frames";
}

} // namespace
} // namespace qbtests
