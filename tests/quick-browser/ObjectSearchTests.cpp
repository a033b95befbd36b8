// The objects at a point of the top viewport and in focus: down through
// inline frames (coordinates shifted by each frame's client origin), the
// frame itself when its document is out of reach, the page when nothing is
// there.
#include "QuickBrowserFixture.h"

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
};

// iframes.html: outerFrame at (100,100), no border; innerFrame inside it at
// (100,20); innerBox inside that at (20,30), 60x40.
TEST_F(ObjectSearchTest, DomModelPointsReachElementsThroughNestedFrames)
{
    Load("snapshots/iframes.json");
    UseObjectModel(0);
    ObjectLightInformation top = AtPoint(25, 25);
    EXPECT_EQ(NodePath(L"topBox"), top.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotDOMItem), top.kind);

    ObjectLightInformation deep = AtPoint(100 + 100 + 20 + 30, 100 + 20 + 30 + 20);
    EXPECT_EQ(FramePath({L"outerFrame", L"innerFrame", L"innerBox"}), deep.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotDOMItem), deep.kind);

    ObjectLightInformation outerBox = AtPoint(100 + 50, 100 + 50);
    EXPECT_EQ(FramePath({L"outerFrame", L"outerBox"}), outerBox.identityPath.Str());

    // The bordered frame's content starts 5 px in: its document's element
    // sits at the frame's client origin.
    ObjectLightInformation inBorderFrame = AtPoint(550 + 5 + 2, 100 + 5 + 2);
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

TEST_F(ObjectSearchTest, TreeModelPointsReachTreeObjectsInsideFrames)
{
    Load("snapshots/iframes.json");
    ObjectLightInformation deep = AtPoint(100 + 100 + 20 + 5, 100 + 20 + 90 + 5);
    EXPECT_EQ(FramePath({L"outerFrame", L"innerFrame", L"innerInput"}), deep.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotTreeItem), deep.kind);
    ObjectLightInformation frame = AtPoint(550 + 100, 250 + 50);
    EXPECT_EQ(NodePath(L"foreignFrame"), frame.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotTreeFrame), frame.kind);
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
