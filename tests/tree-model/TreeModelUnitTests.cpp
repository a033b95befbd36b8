// Tree-model pieces over the Chrome adapters: the recognition tables and the
// text tests, and cell indexes outside a row. Type names, categories and the
// blank-text rule on their own are tested by the native build of the web
// framework (tests/webfw-native).
#include "TreeLevel.h"

using namespace treetests;
using namespace vxWebFw::Recognizing;

namespace {

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

class TreeRecognition : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/inputs.json"); }

    TreeItemRecognition Recognize(const wchar_t* elementId)
    {
        vxWebFw::NodeHandle node = Element(elementId);
        RecognizedNode recognized(node.Get(), Adapters().recognizerSet.get());
        TreeItemRecognition r;
        EXPECT_EQ(S_OK, recognizer_.Recognize(recognized, &r));
        return r;
    }

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
    vxWebFw::NodeHandle bold(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetLastChild(button.Get(), bold.Out()));
    auto recognize = [&] {
        RecognizedNode recognized(bold.Get(), Adapters().recognizerSet.get());
        TreeItemRecognition r;
        EXPECT_EQ(S_OK, recognizer_.Recognize(recognized, &r));
        return r;
    };
    EXPECT_EQ((TreeItemRecognition{tiNone, tikTransparent}), recognize());
    text_.hasText = true;
    EXPECT_EQ((TreeItemRecognition{tiTextNode, tikTextContainer}), recognize());
    text_.startsWithText = true;
    EXPECT_EQ((TreeItemRecognition{tiTextNode, tikItem}), recognize());
    text_.ignored = true;
    EXPECT_EQ((TreeItemRecognition{tiNone, tikSkipped}), recognize());
}

class CellIndexes : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/tables.json"); }
};

TEST_F(CellIndexes, RowComesFromTheNearestRowAbove)
{
    ITableCellIdsEvaluator& ids = *Adapters().tableCellIdsEvaluator;
    long row = 7, cell = 7;
    EXPECT_EQ(S_OK, ids.GetRowIndex(Element(L"r2c1").Get(), &row));
    EXPECT_EQ(S_OK, ids.GetCellIndex(Element(L"r2c1").Get(), &cell));
    EXPECT_EQ(2, row);
    EXPECT_EQ(1, cell);
    EXPECT_EQ(S_OK, ids.GetRowIndex(Element(L"r5").Get(), &row)) << "a row is its own row";
    EXPECT_EQ(5, row);
    EXPECT_EQ(S_OK, ids.GetRowIndex(Element(L"n1c0").Get(), &row)) << "the nested table's own row";
    EXPECT_EQ(1, row);
}

TEST_F(CellIndexes, NoRowAboveGivesFailureAndMinusOne)
{
    ITableCellIdsEvaluator& ids = *Adapters().tableCellIdsEvaluator;
    long row = 7, cell = 7;
    EXPECT_EQ(E_FAIL, ids.GetRowIndex(Element(L"outer").Get(), &row));
    EXPECT_EQ(-1, row);
    EXPECT_FAILED(ids.GetCellIndex(Element(L"outer").Get(), &cell));
    EXPECT_EQ(-1, cell);
}

} // namespace
