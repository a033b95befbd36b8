// The Tree model's level walk over captured fixture pages: text blocks,
// tables, naming per item type, inputs, unrendered blocks, images and the
// acceptor.
#include "TreeLevel.h"

using namespace treetests;
using vxWebFw::Recognizing::RecognizedNode;

namespace {

class TextBlockLevels : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/text-blocks.json"); }
};

TEST_F(TextBlockLevels, ParagraphStartingWithTextIsAnItemHoldingItsLink)
{
    RecordingTreeBuilder texts = Level(L"texts");
    const TreeEntry* p = texts.Find(L"startsWithText");
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(tiTextNode, p->type);
    EXPECT_TRUE(p->expandable);
    EXPECT_EQ(nullptr, texts.Find(L"linkInP1")) << "the link belongs to the paragraph's level";

    RecordingTreeBuilder inside = Level(p->node.Get());
    const TreeEntry* link = inside.Find(L"linkInP1");
    ASSERT_NE(nullptr, link);
    EXPECT_EQ(tiLink, link->type);
    EXPECT_EQ(L"linkInP1", link->name);
}

TEST_F(TextBlockLevels, ParagraphStartingWithBoldListsItsContentsAheadOfItself)
{
    RecordingTreeBuilder texts = Level(L"texts");
    const TreeEntry* p = texts.Find(L"startsWithBold");
    const TreeEntry* bold = texts.Find(L"boldFirst");
    const TreeEntry* directLink = texts.Find(L"linkInP2");
    ASSERT_NE(nullptr, p);
    ASSERT_NE(nullptr, bold);
    ASSERT_NE(nullptr, directLink);
    EXPECT_EQ(tiTextNode, p->type);
    EXPECT_FALSE(p->expandable);
    EXPECT_EQ(tiTextNode, bold->type);
    EXPECT_TRUE(bold->expandable);
    EXPECT_EQ(tiLink, directLink->type);
    EXPECT_LT(texts.IndexOf(L"boldFirst"), texts.IndexOf(L"linkInP2"));
    EXPECT_LT(texts.IndexOf(L"linkInP2"), texts.IndexOf(L"startsWithBold"));
    EXPECT_EQ(nullptr, texts.Find(L"linkInBold")) << "a link inside B shows only under B";

    RecordingTreeBuilder underBold = Level(bold->node.Get());
    ASSERT_EQ(1u, underBold.items.size());
    EXPECT_EQ(tiLink, underBold.items[0].type);
    EXPECT_EQ(L"linkInBold", underBold.items[0].name);
}

TEST_F(TextBlockLevels, BlankTextAndEmptyBlocksMakeNoTextItem)
{
    RecordingTreeBuilder texts = Level(L"texts");
    const TreeEntry* leading = texts.Find(L"leadingWhitespaceText");
    ASSERT_NE(nullptr, leading) << "a line break followed by words is not blank";
    EXPECT_EQ(tiTextNode, leading->type);
    EXPECT_EQ(nullptr, texts.Find(L"blankThenSpan"));
    EXPECT_NE(nullptr, texts.Find(L"spanAfterBlank")) << "the SPAN is lifted through its blank P";
    EXPECT_EQ(nullptr, texts.Find(L"emptyParagraph"));
    // A DIV is a Panel whatever it holds.
    ASSERT_NE(nullptr, texts.Find(L"onlyComment"));
    EXPECT_EQ(tiPanel, texts.Find(L"onlyComment")->type);
    EXPECT_TRUE(Level(L"onlyComment").items.empty());
}

TEST_F(TextBlockLevels, UnrenderedNoscriptAndNoframesAreAbsentWithTheirSubtrees)
{
    RecordingTreeBuilder texts = Level(L"texts");
    EXPECT_EQ(nullptr, texts.Find(L"zeroNoscript"));
    EXPECT_EQ(nullptr, texts.Find(L"linkInNoscript"));
    EXPECT_EQ(nullptr, texts.Find(L"styledNoscript"));
    EXPECT_EQ(nullptr, texts.Find(L"bodyNoframes"));
    const TreeEntry* shown = texts.Find(L"shownNoframes");
    ASSERT_NE(nullptr, shown) << "a NOFRAMES with a box is an ordinary text block";
    EXPECT_EQ(tiTextNode, shown->type);
}

TEST_F(TextBlockLevels, HiddenInputReportsNothing)
{
    RecordingTreeBuilder holder = Level(L"hiddenInputHolder");
    EXPECT_EQ(1, holder.clears);
    EXPECT_TRUE(holder.items.empty());
}

TEST_F(TextBlockLevels, ListedTagsKeepTheirTypes)
{
    RecordingTreeBuilder texts = Level(L"texts");
    ASSERT_NE(nullptr, texts.Find(L"marquee1"));
    EXPECT_EQ(tiMarquee, texts.Find(L"marquee1")->type);
    ASSERT_NE(nullptr, texts.Find(L"applet1"));
    EXPECT_EQ(tiApplet, texts.Find(L"applet1")->type);
}

class TableLevels : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/tables.json"); }
};

TEST_F(TableLevels, TableYieldsOneCellPerTdOrThWithRowAndCellIndexes)
{
    RecordingTreeBuilder outer = Level(L"outer");
    std::vector<std::wstring> cells;
    for (const TreeEntry& e : outer.items) {
        if (e.type == tiCell)
            cells.push_back(e.name + L"@" + std::to_wstring(e.row) + L"," + std::to_wstring(e.cell));
        EXPECT_NE(std::wstring(L"n0c0"), e.name) << "cells of the nested table stay in it";
    }
    const std::vector<std::wstring> expected = {L"h0@0,0",       L"h1@0,1",   L"h2@0,2",   L"r1c0@1,0", L"r1c1@1,1",
                                                L"r1c2@1,2",     L"r2c0@2,0", L"r2c1@2,1", L"r3c0@3,0", L"r3c1@3,1",
                                                L"nestHost@3,2", L"r4c0@4,0", L"r4c1@4,1", L"r4c2@4,2", L"r5c0@5,0",
                                                L"r5c1@5,1",     L"f0@6,0",   L"f1@6,1",   L"f2@6,2"};
    EXPECT_EQ(expected, cells);
    ASSERT_FALSE(outer.items.empty());
    EXPECT_EQ(tiCaption, outer.items[0].type);
    EXPECT_EQ(expected.size() + 1, outer.items.size()) << "TBODY, THEAD, TFOOT and TR add nothing";

    const TreeEntry* host = outer.Find(L"nestHost");
    ASSERT_NE(nullptr, host);
    EXPECT_TRUE(host->expandable);
    RecordingTreeBuilder inHost = Level(host->node.Get());
    ASSERT_EQ(1u, inHost.items.size());
    EXPECT_EQ(tiTable, inHost.items[0].type);
    RecordingTreeBuilder nested = Level(inHost.items[0].node.Get());
    ASSERT_EQ(4u, nested.items.size());
    const TreeEntry* n1c1 = nested.Find(L"n1c1");
    ASSERT_NE(nullptr, n1c1);
    EXPECT_EQ(1, n1c1->row);
    EXPECT_EQ(1, n1c1->cell);
}

TEST_F(TableLevels, UnnamedCellsAreNumberedAndTableIsNamed)
{
    RecordingTreeBuilder body = Level(Element(L"second").Get());
    ASSERT_EQ(2u, body.items.size());
    EXPECT_EQ(0, body.items[0].number);
    EXPECT_EQ(1, body.items[1].number);
    EXPECT_EQ(0, body.items[1].row);
    EXPECT_EQ(1, body.items[1].cell);

    RecordingTreeBuilder page = PageLevel();
    const TreeEntry* second = page.Find(L"second");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(tiTable, second->type);
    EXPECT_EQ(L"second", second->name);
}

TEST_F(TableLevels, RefusedClearStopsTheLevelButRefusedItemsDoNot)
{
    RecordingTreeBuilder refusing(helper_.Get(), native_.Get());
    refusing.clearResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, Adapters().treeItemsBuild->BuildChildren(Element(L"second").Get(), refusing, nullptr));
    EXPECT_TRUE(refusing.items.empty());

    RecordingTreeBuilder failingAdds(helper_.Get(), native_.Get());
    failingAdds.addResult = E_FAIL;
    EXPECT_EQ(S_OK, Adapters().treeItemsBuild->BuildChildren(Element(L"outer").Get(), failingAdds, nullptr));
    EXPECT_EQ(20u, failingAdds.items.size()) << "the caption and all 19 cells are still offered";
}

class NamingLevels : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }

    std::vector<std::wstring> IdsOf(const RecordingTreeBuilder& level, TreeItemType type)
    {
        std::vector<std::wstring> ids;
        for (const TreeEntry& e : level.items)
            if (e.type == type)
                ids.push_back(IdText(e));
        return ids;
    }
};

TEST_F(NamingLevels, CountersAndNamesAreKeptPerItemType)
{
    RecordingTreeBuilder page = PageLevel();
    EXPECT_EQ((std::vector<std::wstring>{L"\"x\"", L"\"x_2\"", L"\"Dup\"", L"\"DUP_2\"", L"\"dup_3\"", L"0", L"1"}),
              IdsOf(page, tiPanel));
    EXPECT_EQ((std::vector<std::wstring>{L"\"q\"", L"\"a\"", L"\"Save_changes_\"", L"0", L"1"}),
              IdsOf(page, tiTextbox));
    EXPECT_EQ((std::vector<std::wstring>{L"\"Submit\"", L"\"submit_2\"", L"\"Submit_3\""}),
              IdsOf(page, tiSubmitButton));
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"\"namedFrame\"", L"1"}), IdsOf(page, tiFrame));
    EXPECT_EQ((std::vector<std::wstring>{L"\"mainForm\""}), IdsOf(page, tiForm));
    EXPECT_EQ((std::vector<std::wstring>{L"\"anchor1\""}), IdsOf(page, tiLink));
}

TEST_F(NamingLevels, NamesRestartOnEveryExpansion)
{
    RecordingTreeBuilder first = PageLevel();
    RecordingTreeBuilder second = PageLevel();
    ASSERT_EQ(first.items.size(), second.items.size());
    for (size_t i = 0; i < first.items.size(); ++i)
        EXPECT_EQ(IdText(first.items[i]), IdText(second.items[i]));
}

class InputLevels : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/inputs.json"); }
};

TEST_F(InputLevels, InputTypesMapToItemTypes)
{
    RecordingTreeBuilder col1 = Level(L"col1");
    auto typeOf = [&](const wchar_t* id) {
        const TreeEntry* e = col1.Find(id);
        EXPECT_NE(nullptr, e) << std::string(id, id + wcslen(id));
        return e ? e->type : tiNone;
    };
    EXPECT_EQ(tiTextbox, typeOf(L"text1"));
    EXPECT_EQ(tiTextbox, typeOf(L"textUpper"));
    EXPECT_EQ(tiTextbox, typeOf(L"noType"));
    EXPECT_EQ(tiTextbox, typeOf(L"bogusType"));
    EXPECT_EQ(tiTextbox, typeOf(L"email1"));
    EXPECT_EQ(tiPasswordBox, typeOf(L"pass1"));
    EXPECT_EQ(tiCheckbox, typeOf(L"check1"));
    EXPECT_EQ(tiRadioButton, typeOf(L"radioA"));
    EXPECT_EQ(tiResetButton, typeOf(L"reset1"));
    EXPECT_EQ(tiButton, typeOf(L"button1"));
    EXPECT_EQ(tiFile, typeOf(L"file1"));
    EXPECT_EQ(tiImageButton, typeOf(L"image1"));
    EXPECT_EQ(nullptr, col1.Find(L"hidden1"));
    if (const TreeEntry* email = col1.Find(L"email1"))
        EXPECT_EQ(L"email1", email->name);
}

TEST_F(InputLevels, UnnamedSubmitIsNamedByItsValueKeptRaw)
{
    RecordingTreeBuilder col1 = Level(L"col1");
    std::vector<const TreeEntry*> submits;
    for (const TreeEntry& e : col1.items)
        if (e.type == tiSubmitButton)
            submits.push_back(&e);
    ASSERT_EQ(1u, submits.size());
    EXPECT_EQ(L"Send", submits[0]->name);

    vx::com::BStr name;
    bool keepRaw = false;
    RecognizedNode submit(submits[0]->node.Get(), Adapters().recognizerSet.get());
    EXPECT_EQ(S_OK, Adapters().treeItemStringIdEvaluator->Evaluate(submit, name.Out(), &keepRaw));
    EXPECT_EQ(L"Send", name.Str());
    EXPECT_TRUE(keepRaw);

    // A named button keeps its name and the identifier rule.
    vxWebFw::NodeHandle reset = Element(L"reset1");
    RecognizedNode named(reset.Get(), Adapters().recognizerSet.get());
    EXPECT_EQ(S_OK, Adapters().treeItemStringIdEvaluator->Evaluate(named, name.Out(), &keepRaw));
    EXPECT_EQ(L"reset1", name.Str());
    EXPECT_FALSE(keepRaw);
}

TEST_F(InputLevels, ControlsOutsideInputAreItems)
{
    auto typeIn = [](const RecordingTreeBuilder& level, const wchar_t* id) {
        const TreeEntry* e = level.Find(id);
        return e ? e->type : tiNone;
    };
    RecordingTreeBuilder col2 = Level(L"col2");
    EXPECT_EQ(tiSelect, typeIn(col2, L"select1"));
    EXPECT_TRUE(Level(L"select1").items.empty()) << "OPTION and OPTGROUP are skipped";
    EXPECT_EQ(tiTextarea, typeIn(col2, L"area1"));
    RecordingTreeBuilder col3 = Level(L"col3");
    EXPECT_EQ(tiButton, typeIn(col3, L"buttonSubmit"));
    EXPECT_EQ(tiLabel, typeIn(col3, L"labelText1"));
    EXPECT_EQ(tiFieldset, typeIn(col3, L"fieldset1"));
    EXPECT_EQ(tiLegend, typeIn(Level(L"fieldset1"), L"legend1"));
}

class ImageLevels : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/links-images.json"); }
};

TEST_F(ImageLevels, ImageWithNumericIdIsNamedFromItsSource)
{
    RecordingTreeBuilder images = Level(L"images");
    const TreeEntry* numeric = images.Find(L"123");
    ASSERT_NE(nullptr, numeric);
    EXPECT_EQ(tiImage, numeric->type);
    EXPECT_EQ(L"box_svg", numeric->name);
}

class AcceptorLevels : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/exclusion.json"); }
};

TEST_F(AcceptorLevels, ExcludedObjectIsAbsentWithItsSubtree)
{
    RecordingTreeBuilder page = PageLevel();
    EXPECT_EQ(nullptr, page.Find(L"excludedObject"));
    EXPECT_EQ(nullptr, page.Find(L"linkInExcludedObject"));
    ASSERT_NE(nullptr, page.Find(L"plainObject"));
    EXPECT_EQ(tiObject, page.Find(L"plainObject")->type);
    ASSERT_NE(nullptr, page.Find(L"divWithAttribute")) << "only OBJECT, SCRIPT and PARAM are excluded";
    EXPECT_EQ(tiPanel, page.Find(L"divWithAttribute")->type);

    // Without an acceptor the excluded OBJECT is an ordinary item.
    RecordingTreeBuilder unfiltered(helper_.Get(), native_.Get());
    EXPECT_EQ(S_OK, Adapters().treeItemsBuild->BuildChildren(Document().Get(), unfiltered, nullptr));
    EXPECT_NE(nullptr, unfiltered.Find(L"excludedObject"));
}

// Rejects the elements with one id attribute.
class RejectById : public vxWebFw::Recognizing::INodeAcceptor
{
public:
    RejectById(CCrRawBrowserHelper* helper, std::wstring id) : helper_(helper), id_(std::move(id)) {}
    bool Accept(RecognizedNode& node) override
    {
        if (node.GetNodeType() != vxWebFw::Recognizing::ntElement)
            return true;
        vx::com::BStr id;
        helper_->GetId(node.GetNode(), id.Out());
        return id.Str() != id_;
    }

private:
    CCrRawBrowserHelper* helper_;
    std::wstring id_;
};

class RejectedWrapper : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/tables.json"); }
};

TEST_F(RejectedWrapper, RejectedTransparentNodeTakesItsSubtreeAlong)
{
    RejectById acceptor(helper_.Get(), L"body1");
    RecordingTreeBuilder outer(helper_.Get(), native_.Get());
    EXPECT_EQ(S_OK, Adapters().treeItemsBuild->BuildChildren(Element(L"outer").Get(), outer, &acceptor));
    EXPECT_EQ(nullptr, outer.Find(L"r1c0"));
    EXPECT_EQ(nullptr, outer.Find(L"nestHost"));
    EXPECT_NE(nullptr, outer.Find(L"h0"));
    EXPECT_NE(nullptr, outer.Find(L"r4c0"));
    EXPECT_EQ(ticNone, Adapters().treeItemsBuild->GetCategory(Element(L"body1").Get(), &acceptor));
    EXPECT_EQ(ticCell, Adapters().treeItemsBuild->GetCategory(Element(L"h0").Get(), &acceptor));
    EXPECT_EQ(ticNone, Adapters().treeItemsBuild->GetCategory(Element(L"r1").Get(), &acceptor));
    EXPECT_EQ(ticItem, Adapters().treeItemsBuild->GetCategory(Element(L"outer").Get(), &acceptor));
}

} // namespace
