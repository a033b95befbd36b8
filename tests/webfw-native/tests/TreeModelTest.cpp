// The Tree model's level walk over captured fixture pages (text blocks,
// tables, naming per item type, inputs, images, rejected nodes), the
// recognition tables and the cell indexes.
#include "TreeLevel.h"

namespace webfwnative {
namespace {

using vxWebFw::Recognizing::RecognizedNode;

class TextBlockLevels : public TreeLevels
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
    ASSERT_NE(nullptr, p);
    ASSERT_NE(nullptr, bold);
    ASSERT_NE(nullptr, texts.Find(L"linkInP2"));
    EXPECT_EQ(tiTextNode, p->type);
    EXPECT_FALSE(p->expandable);
    EXPECT_EQ(tiTextNode, bold->type);
    EXPECT_TRUE(bold->expandable);
    EXPECT_EQ(tiLink, texts.Find(L"linkInP2")->type);
    EXPECT_LT(texts.IndexOf(L"boldFirst"), texts.IndexOf(L"linkInP2"));
    EXPECT_LT(texts.IndexOf(L"linkInP2"), texts.IndexOf(L"startsWithBold"));
    EXPECT_EQ(nullptr, texts.Find(L"linkInBold")) << "a link inside B shows only under B";

    RecordingTreeBuilder underBold = Level(bold->node.Get());
    ASSERT_EQ(1u, underBold.items.size());
    EXPECT_EQ(tiLink, underBold.items[0].type);
    EXPECT_EQ(L"linkInBold", underBold.items[0].name);
}

TEST_F(TextBlockLevels, BlankTextEmptyBlocksAndUnrenderedBlocksMakeNoItem)
{
    RecordingTreeBuilder texts = Level(L"texts");
    const TreeEntry* leading = texts.Find(L"leadingWhitespaceText");
    ASSERT_NE(nullptr, leading) << "a line break followed by words is not blank";
    EXPECT_EQ(tiTextNode, leading->type);
    EXPECT_EQ(nullptr, texts.Find(L"blankThenSpan"));
    EXPECT_NE(nullptr, texts.Find(L"spanAfterBlank")) << "the SPAN is lifted through its blank P";
    EXPECT_EQ(nullptr, texts.Find(L"emptyParagraph"));
    ASSERT_NE(nullptr, texts.Find(L"onlyComment"));
    EXPECT_EQ(tiPanel, texts.Find(L"onlyComment")->type) << "a DIV is a Panel whatever it holds";
    EXPECT_TRUE(Level(L"onlyComment").items.empty());

    // NOSCRIPT and NOFRAMES without a box are absent with their subtrees.
    EXPECT_EQ(nullptr, texts.Find(L"zeroNoscript"));
    EXPECT_EQ(nullptr, texts.Find(L"linkInNoscript"));
    EXPECT_EQ(nullptr, texts.Find(L"styledNoscript"));
    EXPECT_EQ(nullptr, texts.Find(L"bodyNoframes"));
    const TreeEntry* shown = texts.Find(L"shownNoframes");
    ASSERT_NE(nullptr, shown) << "a NOFRAMES with a box is an ordinary text block";
    EXPECT_EQ(tiTextNode, shown->type);

    ASSERT_NE(nullptr, texts.Find(L"marquee1"));
    EXPECT_EQ(tiMarquee, texts.Find(L"marquee1")->type);
    ASSERT_NE(nullptr, texts.Find(L"applet1"));
    EXPECT_EQ(tiApplet, texts.Find(L"applet1")->type);

    RecordingTreeBuilder holder = Level(L"hiddenInputHolder");
    EXPECT_EQ(1, holder.clears);
    EXPECT_TRUE(holder.items.empty()) << "a hidden INPUT reports nothing";
}

class TableLevels : public TreeLevels
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
    RecordingTreeBuilder refusing(Model());
    refusing.clearResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, Adapters().treeItemsBuild.BuildChildren(Element(L"second").Get(), refusing, nullptr));
    EXPECT_TRUE(refusing.items.empty());

    RecordingTreeBuilder failingAdds(Model());
    failingAdds.addResult = E_FAIL;
    EXPECT_EQ(S_OK, Adapters().treeItemsBuild.BuildChildren(Element(L"outer").Get(), failingAdds, nullptr));
    EXPECT_EQ(20u, failingAdds.items.size()) << "the caption and all 19 cells are still offered";
}

TEST_F(TableLevels, UnreadableChildrenGiveAnEmptySuccessfulLevel)
{
    Model().RefuseMember(L"childNodes", E_ACCESSDENIED);
    RecordingTreeBuilder level = Level(L"outer");
    EXPECT_TRUE(level.items.empty());
}

TEST_F(TableLevels, RejectedTransparentNodeTakesItsSubtreeAlong)
{
    RejectNodes acceptor(Model());
    acceptor.rejected.insert(IdOf(L"body1"));
    RecordingTreeBuilder outer(Model());
    EXPECT_EQ(S_OK, Adapters().treeItemsBuild.BuildChildren(Element(L"outer").Get(), outer, &acceptor));
    EXPECT_EQ(nullptr, outer.Find(L"r1c0"));
    EXPECT_EQ(nullptr, outer.Find(L"nestHost"));
    EXPECT_NE(nullptr, outer.Find(L"h0"));
    EXPECT_NE(nullptr, outer.Find(L"r4c0"));
    TreeItemsBuild& build = Adapters().treeItemsBuild;
    EXPECT_EQ(ticNone, build.GetCategory(Element(L"body1").Get(), &acceptor));
    EXPECT_EQ(ticCell, build.GetCategory(Element(L"h0").Get(), &acceptor));
    EXPECT_EQ(ticNone, build.GetCategory(Element(L"r1").Get(), &acceptor));
    EXPECT_EQ(ticItem, build.GetCategory(Element(L"outer").Get(), &acceptor));
    EXPECT_EQ(ticNone, build.GetCategory(nullptr, &acceptor));
}

TEST_F(TableLevels, RowComesFromTheNearestRowAboveAndIsMissingOutsideRows)
{
    ITableCellIdsEvaluator& ids = Adapters().cellIds;
    long row = 7, cell = 7;
    EXPECT_EQ(S_OK, ids.GetRowIndex(Element(L"r2c1").Get(), &row));
    EXPECT_EQ(S_OK, ids.GetCellIndex(Element(L"r2c1").Get(), &cell));
    EXPECT_EQ(2, row);
    EXPECT_EQ(1, cell);
    EXPECT_EQ(S_OK, ids.GetRowIndex(Element(L"r5").Get(), &row)) << "a row is its own row";
    EXPECT_EQ(5, row);
    EXPECT_EQ(S_OK, ids.GetRowIndex(Element(L"n1c0").Get(), &row)) << "the nested table's own row";
    EXPECT_EQ(1, row);

    EXPECT_EQ(E_FAIL, ids.GetRowIndex(Element(L"outer").Get(), &row));
    EXPECT_EQ(-1, row);
    EXPECT_TRUE(FAILED(ids.GetCellIndex(Element(L"outer").Get(), &cell)));
    EXPECT_EQ(-1, cell);
}

class NamingLevels : public TreeLevels
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }

    static std::vector<std::wstring> IdsOf(const RecordingTreeBuilder& level, TreeItemType type)
    {
        std::vector<std::wstring> ids;
        for (const TreeEntry& e : level.items)
            if (e.type == type)
                ids.push_back(IdText(e));
        return ids;
    }
};

TEST_F(NamingLevels, CountersAndNamesAreKeptPerItemTypeAndRestartOnEveryExpansion)
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

    RecordingTreeBuilder again = PageLevel();
    ASSERT_EQ(page.items.size(), again.items.size());
    for (size_t i = 0; i < page.items.size(); ++i)
        EXPECT_EQ(IdText(page.items[i]), IdText(again.items[i]));
}

TEST_F(NamingLevels, PreferringNamesNamesElementsThatHaveBoth)
{
    Adapters().options.preferName = true;
    RecordingTreeBuilder page = PageLevel();
    EXPECT_EQ((std::vector<std::wstring>{L"\"q\"", L"\"b\"", L"\"Save_changes_\"", L"0", L"1"}),
              IdsOf(page, tiTextbox));
}

class InputLevels : public TreeLevels
{
protected:
    void SetUp() override { Load("snapshots/inputs.json"); }
};

TEST_F(InputLevels, InputTypesMapToItemTypes)
{
    RecordingTreeBuilder col1 = Level(L"col1");
    auto typeOf = [&](const wchar_t* id) {
        const TreeEntry* e = col1.Find(id);
        EXPECT_NE(nullptr, e) << std::wstring(id);
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
    RecognizedNode submit(submits[0]->node.Get(), &Adapters().recognizers);
    EXPECT_EQ(S_OK, Adapters().treeStringIds.Evaluate(submit, name.Out(), &keepRaw));
    EXPECT_EQ(L"Send", name.Str());
    EXPECT_TRUE(keepRaw);

    // A named button keeps its name and the identifier rule.
    vxWebFw::NodeHandle reset = Element(L"reset1");
    RecognizedNode named(reset.Get(), &Adapters().recognizers);
    EXPECT_EQ(S_OK, Adapters().treeStringIds.Evaluate(named, name.Out(), &keepRaw));
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

class ImageLevels : public TreeLevels
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

TEST(TreeItemTypeNames, NamesEveryTypeAndRefusesOthers)
{
    const TreeItemTypeNames& names = TreeItemTypeNames::Instance();
    EXPECT_EQ(&names, &TreeItemTypeNames::Instance());
    ASSERT_EQ(26u, names.GetAllNames().size());
    EXPECT_EQ(L"TextNode", names.GetAllNames().front());
    EXPECT_EQ(L"Textbox", names.GetAllNames().back());
    vx::com::BStr name;
    EXPECT_EQ(S_OK, names.GetName(tiSubmitButton, name.Out()));
    EXPECT_EQ(L"SubmitButton", name.Str());
    EXPECT_EQ(S_OK, names.GetFrameName(name.Out()));
    EXPECT_EQ(L"Frame", name.Str());
    EXPECT_EQ(S_OK, names.GetCellName(name.Out()));
    EXPECT_EQ(L"Cell", name.Str());
    for (long bad : {0L, 27L, -1L}) {
        EXPECT_EQ(E_UNEXPECTED, names.GetName(bad, name.Out())) << bad;
        EXPECT_EQ(nullptr, name.Get());
    }
}

TEST(TreeItemCategory, FollowsKindAndType)
{
    EXPECT_EQ(ticNone, GetTreeItemCategory({tiPanel, tikSkipped}));
    EXPECT_EQ(ticNone, GetTreeItemCategory({tiCell, tikTransparent}));
    EXPECT_EQ(ticItem, GetTreeItemCategory({tiPanel, tikItem}));
    EXPECT_EQ(ticItem, GetTreeItemCategory({tiTextNode, tikTextContainer}));
    EXPECT_EQ(ticCell, GetTreeItemCategory({tiCell, tikItem}));
    EXPECT_EQ(ticFrame, GetTreeItemCategory({tiFrame, tikItem}));
}

TEST(TextBlockText, BlankMeansOnlyTabsLineBreaksAndSpaces)
{
    vx::com::BStr blank(L" \t\r\n "), text(L" \t x"), nbsp(L"\u00a0");
    EXPECT_TRUE(CTextBlockRecognizerImpl::IsBlank(nullptr));
    EXPECT_TRUE(CTextBlockRecognizerImpl::IsBlank(blank.Get()));
    EXPECT_FALSE(CTextBlockRecognizerImpl::IsBlank(text.Get()));
    EXPECT_FALSE(CTextBlockRecognizerImpl::IsBlank(nbsp.Get()));
}

// Answers the text tests from fixed values and counts the questions.
class FixedTextBlocks : public ITextBlockRecognizer
{
public:
    bool IsIgnored(RecognizedNode&) override { return ++asked, ignored; }
    bool HasTextChild(RecognizedNode&) override { return ++asked, hasText; }
    bool StartsWithText(RecognizedNode&) override { return ++asked, startsWithText; }
    bool ignored = false, hasText = false, startsWithText = false;
    int asked = 0;
};

class TreeRecognition : public TreeLevels
{
protected:
    void SetUp() override { Load("snapshots/inputs.json"); }

    TreeItemRecognition Recognize(NodeImpl* node)
    {
        RecognizedNode recognized(node, &Adapters().recognizers);
        TreeItemRecognition r;
        EXPECT_EQ(S_OK, recognizer_.Recognize(recognized, &r));
        return r;
    }
    TreeItemRecognition Recognize(const wchar_t* elementId) { return Recognize(Element(elementId).Get()); }

    FixedTextBlocks text_;
    CTreeItemRecognizerImpl recognizer_{&text_};
};

TEST_F(TreeRecognition, ListedElementsAndInputsNeedNoTextTests)
{
    EXPECT_EQ((TreeItemRecognition{tiPanel, tikItem}), Recognize(L"col1"));
    EXPECT_EQ((TreeItemRecognition{tiForm, tikItem}), Recognize(L"allInputs"));
    EXPECT_EQ((TreeItemRecognition{tiSelect, tikItem}), Recognize(L"select1"));
    EXPECT_EQ((TreeItemRecognition{tiNone, tikSkipped}), Recognize(L"groupA"));
    EXPECT_EQ((TreeItemRecognition{tiTextbox, tikItem}), Recognize(L"email1"));
    EXPECT_EQ((TreeItemRecognition{tiTextbox, tikItem}), Recognize(L"textUpper"));
    EXPECT_EQ((TreeItemRecognition{tiNone, tikTransparent}), Recognize(L"hidden1"));
    EXPECT_EQ((TreeItemRecognition{tiButton, tikItem}), Recognize(L"buttonSubmit")) << "BUTTON of type submit";
    EXPECT_EQ((TreeItemRecognition{tiImageButton, tikItem}), Recognize(L"image1"));
    EXPECT_EQ(0, text_.asked);
}

TEST_F(TreeRecognition, OtherElementsAreDecidedByTheirText)
{
    // The B inside a BUTTON is an element outside the tables.
    vxWebFw::NodeHandle button = Element(L"buttonPlain");
    vxWebFw::NodeHandle bold = Owned();
    ASSERT_EQ(S_OK, Adapters().nodeData.GetLastChild(button.Get(), bold.Out()));
    EXPECT_EQ((TreeItemRecognition{tiNone, tikTransparent}), Recognize(bold.Get()));
    text_.hasText = true;
    EXPECT_EQ((TreeItemRecognition{tiTextNode, tikTextContainer}), Recognize(bold.Get()));
    text_.startsWithText = true;
    EXPECT_EQ((TreeItemRecognition{tiTextNode, tikItem}), Recognize(bold.Get()));
    text_.ignored = true;
    EXPECT_EQ((TreeItemRecognition{tiNone, tikSkipped}), Recognize(bold.Get()));
}

} // namespace
} // namespace webfwnative
