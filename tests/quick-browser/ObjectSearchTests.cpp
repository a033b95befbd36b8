// The objects at a point of the top viewport and in focus: down through
// inline frames (coordinates shifted by each frame's client origin), the
// frame itself when its document is out of reach, the page when nothing is
// there.
#include "QuickBrowserFixture.h"
#include "quickbrowser/objects/RendererCall.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/chrome/CrFwAdapters.h"

namespace qbtests {
namespace {

class ObjectSearchTest : public QuickBrowserTest
{
protected:
    std::wstring FramePath(std::initializer_list<const wchar_t*> ids)
    {
        std::wstring path;
        for (const wchar_t* id : ids)
            path += (path.empty() ? L"" : L"!") + NodePath(id);
        return path;
    }
    // The root element of the document inside innerFrame.
    long InnerRootElement()
    {
        for (const harness::SnapDocument& document : native_->Page().documents)
            if (document.frameElement == NodeIdOf(L"innerFrame"))
                for (long child : native_->Page().Node(document.node).children)
                    if (native_->Page().Node(child).nodeType == 1)
                        return child;
        return 0;
    }
};

// iframes.html: outerFrame at (100,100) without border, outerBox inside it at
// (10,10) 80x80, innerFrame inside it at (100,20). The captured hit test
// answers per 50 px cell what Chromium found at the cell's centre, so the
// points below lie where every frame level samples what the test names.
TEST_F(ObjectSearchTest, DomModelPointsReachElementsThroughNestedFrames)
{
    Load("snapshots/iframes.json");
    UseObjectModel(0);
    ObjectLightInformation top = AtPoint(25, 25);
    EXPECT_EQ(NodePath(L"topBox"), top.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotDOMItem), top.kind);

    ObjectLightInformation outerBox = AtPoint(100 + 25, 100 + 25);
    EXPECT_EQ(FramePath({L"outerFrame", L"outerBox"}), outerBox.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotDOMItem), outerBox.kind);

    // Two frames down: (25,25) of the inner frame's viewport holds its root
    // element.
    ObjectLightInformation deep = AtPoint(100 + 100 + 25, 100 + 20 + 25);
    EXPECT_EQ(FramePath({L"outerFrame", L"innerFrame"}) + L"!" + std::to_wstring(InnerRootElement()),
              deep.identityPath.Str());

    // The bordered frame's content starts 5 px in: its document's element
    // sits at the frame's client origin.
    ObjectLightInformation inBorderFrame = AtPoint(550 + 5 + 25, 100 + 5 + 25);
    EXPECT_EQ(0u, inBorderFrame.identityPath.Str().rfind(NodePath(L"borderFrame") + L"!", 0))
        << inBorderFrame.identityPath.Str().c_str();
}

TEST_F(ObjectSearchTest, UnreachableFrameAnswersItselfAndNothingAnswersThePage)
{
    Load("snapshots/iframes.json");
    UseObjectModel(0);
    ObjectLightInformation foreign = AtPoint(550 + 100, 250 + 50);
    EXPECT_EQ(NodePath(L"foreignFrame"), foreign.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotDOMFrame), foreign.kind);

    ObjectLightInformation outside = AtPoint(-50, -50);
    EXPECT_EQ(L"Page", outside.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotPage), outside.kind);
}

TEST_F(ObjectSearchTest, TreeModelPointsReachTreeObjectsOrTheFrameAroundThem)
{
    Load("snapshots/iframes.json");
    ObjectLightInformation outerBox = AtPoint(100 + 25, 100 + 25);
    EXPECT_EQ(FramePath({L"outerFrame", L"outerBox"}), outerBox.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotTreeItem), outerBox.kind);
    // Nothing at that point of the inner frame is a tree object: the frame
    // itself answers.
    ObjectLightInformation inner = AtPoint(100 + 100 + 25, 100 + 20 + 25);
    EXPECT_EQ(FramePath({L"outerFrame", L"innerFrame"}), inner.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotTreeFrame), inner.kind);
    ObjectLightInformation foreign = AtPoint(550 + 100, 250 + 50);
    EXPECT_EQ(NodePath(L"foreignFrame"), foreign.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotTreeFrame), foreign.kind);
}

// links-images.html: an image map whose two AREAs cover the image; the
// captured hit test answers the AREA at (375,275), over the image's left half.
TEST_F(ObjectSearchTest, APointOnAnImageMapAreaReachesTheImageUsingTheMap)
{
    Load("snapshots/links-images.json");
    ObjectLightInformation image = AtPoint(375, 275);
    EXPECT_EQ(NodePath(L"mapImage"), image.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotTreeItem), image.kind);
    // The DOM model answers the AREA itself.
    UseObjectModel(0);
    EXPECT_EQ(NodePath(L"areaLeft"), AtPoint(375, 275).identityPath.Str());
}

// Every point of the captured hit grid whose element is no Tree-model
// object answers the nearest ancestor that is one (by the framework's own
// classification, read in-process).
TEST_F(ObjectSearchTest, APointOnAnElementThatIsNoTreeObjectReachesItsNearestAncestorThatIs)
{
    Load("snapshots/text-blocks.json");
    ComPtr<CCrRawBrowserHelper> accessor;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(accessor));
    ASSERT_EQ(S_OK, accessor->AttachNative(nullptr, native_.Get(), CreateCrFwAdapters));
    auto isTreeObject = [&](long nodeId) {
        vxWebFw::TreeModel::TreeItemCategory category = vxWebFw::TreeModel::ticNone;
        EXPECT_EQ(S_OK, vxCrQuickBrowser::RunOnRenderer(accessor.Get(), [&] {
                      vxWebFw::NodeHandle node(accessor.Get(), native_->HandleOf(nodeId));
                      category = accessor->Adapters()->treeItemsBuild->GetCategory(
                          node.Get(), accessor->Adapters()->nodeAcceptor.get());
                      return S_OK;
                  }));
        return category != vxWebFw::TreeModel::ticNone;
    };
    const harness::SnapHitGrid& grid = native_->Page().documents[0].hitGrid;
    int checked = 0;
    for (size_t cell = 0; cell < grid.ids.size() && checked < 5; ++cell) {
        const long hit = grid.ids[cell];
        if (hit <= 0 || native_->Page().Node(hit).nodeType != 1 || isTreeObject(hit))
            continue;
        long ancestor = native_->Page().Node(hit).parent;
        while (ancestor && !isTreeObject(ancestor))
            ancestor = native_->Page().Node(ancestor).parent;
        if (!ancestor)
            continue;
        const LONG x = grid.offset + static_cast<LONG>(cell % grid.columns) * grid.step;
        const LONG y = grid.offset + static_cast<LONG>(cell / grid.columns) * grid.step;
        EXPECT_EQ(std::to_wstring(ancestor), AtPoint(x, y).identityPath.Str()) << "at " << x << "," << y;
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no point on an element that is no tree object";
}

TEST_F(ObjectSearchTest, FocusedObjectInBothModels)
{
    Load("snapshots/forms-focused.json");
    UseObjectModel(0);
    ObjectLightInformation dom = Focused();
    EXPECT_EQ(NodePath(L"loginPass"), dom.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotDOMItem), dom.kind);
    UseObjectModel(3);
    ObjectLightInformation tree = Focused();
    EXPECT_EQ(NodePath(L"loginPass"), tree.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotTreeItem), tree.kind);
}

TEST_F(ObjectSearchTest, OptionKeysMustBeGuidStrings)
{
    Load("snapshots/forms.json");
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = 0;
    vx::com::BStr malformed(L"object model");
    EXPECT_TRUE(FAILED(quickBrowser_->UpdateOption(malformed.Get(), value)));
    vx::com::BStr unknown(L"{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(S_OK, quickBrowser_->UpdateOption(unknown.Get(), value));
    ULONG window = 0;
    EXPECT_EQ(S_OK, quickBrowser_->GetInBrowserWindow(&window));
}

} // namespace
} // namespace qbtests
