// Every renderer-side walk over pages whose scripts built extreme DOMs: deep
// chains, wide levels, megabyte values, one id on 100,000 elements, broken
// text and URLs, nested frames and a page that changed while it was
// captured. The walks must finish (no stack overflow, no endless loop), give
// answers that the snapshot itself confirms, and leave no handle behind.
#include <algorithm>
#include <cwctype>
#include <set>

#include "tests/hostile-pages/HostilePageFixture.h"

namespace hostile {
namespace {

std::wstring Upper(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towupper(c); });
    return text;
}

// Names of a collection are unique without regard to letter case, at most
// 255 characters, and hold letters, digits and "_" only.
void ExpectWellFormedUniqueNames(const std::vector<std::wstring>& names)
{
    std::set<std::wstring> seen;
    for (const std::wstring& name : names) {
        EXPECT_FALSE(name.empty());
        EXPECT_LE(name.size(), 255u);
        EXPECT_TRUE(
            std::all_of(name.begin(), name.end(), [](wchar_t c) { return c == L'_' || IsCharAlphaNumericW(c); }))
            << "a name with other characters, length " << name.size();
        EXPECT_TRUE(seen.insert(Upper(name)).second) << "a name given twice, length " << name.size();
    }
}

class DomWalks : public HostilePageTest
{
protected:
    // The All collection holds every element of the top document except the
    // frames.
    void ExpectAllWalkCoversTheDocument()
    {
        AllWalk all = WalkAll();
        ASSERT_EQ(S_OK, all.result);
        const harness::SnapshotPage& page = native_->Page();
        long frames = 0;
        for (long id = 1; id <= page.NodeCount(); ++id) {
            if (page.Node(id).doc != 0)
                continue;
            const std::wstring name = page.StringProp(id, L"nodeName");
            frames += name == L"IFRAME" || name == L"FRAME";
        }
        EXPECT_EQ(TopDocumentElements() - frames, static_cast<long>(all.names.size()) + all.numbered);
        ExpectWellFormedUniqueNames(all.names);
        allNames_ = std::move(all.names);
    }

    bool HasName(const std::wstring& name) const
    {
        return std::find(allNames_.begin(), allNames_.end(), name) != allNames_.end();
    }

    std::vector<std::wstring> allNames_;
};

// The XPath axes from one element, counted on the snapshot: elements only,
// in the top document (the pages here have no frames).
struct AxisCounts
{
    long ancestors = 0, descendants = 0, preceding = 0, following = 0;
    long precedingSiblings = 0, followingSiblings = 0;
};

AxisCounts CountAxes(const harness::SnapshotPage& page, long element)
{
    std::vector<bool> isAncestor(static_cast<size_t>(page.NodeCount()) + 1, false);
    AxisCounts counts;
    for (long p = page.Node(element).parent; p; p = page.Node(p).parent) {
        isAncestor[static_cast<size_t>(p)] = true;
        counts.ancestors += page.Node(p).nodeType == 1;
    }
    const long parent = page.Node(element).parent;
    bool before = true;
    for (long sibling : page.Node(parent).children) {
        if (sibling == element)
            before = false;
        else if (page.Node(sibling).nodeType == 1)
            ++(before ? counts.precedingSiblings : counts.followingSiblings);
    }
    // Snapshot ids are in document order; a node after the element is its
    // descendant when the element is among its ancestors.
    for (long id = 1; id <= page.NodeCount(); ++id) {
        const harness::SnapNode& node = page.Node(id);
        if (node.doc != 0 || node.nodeType != 1 || id == element)
            continue;
        if (id < element) {
            counts.preceding += !isAncestor[static_cast<size_t>(id)];
            continue;
        }
        bool inside = false;
        for (long p = node.parent; p && p >= element; p = page.Node(p).parent)
            inside = inside || p == element;
        ++(inside ? counts.descendants : counts.following);
    }
    return counts;
}

class XPathAxes : public HostilePageTest
{
protected:
    // Every axis from the element with this id agrees with the snapshot.
    void ExpectAxesFrom(const std::wstring& elementId)
    {
        const long element = native_->Page().FindById(elementId);
        ASSERT_NE(0, element);
        const AxisCounts expected = CountAxes(native_->Page(), element);
        const std::wstring at = L"id('" + elementId + L"')";
        EXPECT_EQ(1, Number(L"count(" + at + L")"));
        EXPECT_EQ(expected.ancestors, Number(L"count(" + at + L"/ancestor::*)"));
        EXPECT_EQ(expected.ancestors + 1, Number(L"count(" + at + L"/ancestor-or-self::*)"));
        EXPECT_EQ(expected.descendants, Number(L"count(" + at + L"/descendant::*)"));
        EXPECT_EQ(expected.descendants + 1, Number(L"count(" + at + L"/descendant-or-self::*)"));
        EXPECT_EQ(expected.preceding, Number(L"count(" + at + L"/preceding::*)"));
        EXPECT_EQ(expected.following, Number(L"count(" + at + L"/following::*)"));
        EXPECT_EQ(expected.precedingSiblings, Number(L"count(" + at + L"/preceding-sibling::*)"));
        EXPECT_EQ(expected.followingSiblings, Number(L"count(" + at + L"/following-sibling::*)"));
        EXPECT_EQ(1, Number(L"count(" + at + L"/parent::*)"));
        EXPECT_EQ(1, Number(L"count(" + at + L"/self::*)"));
        EXPECT_LE(1, Number(L"count(" + at + L"/attribute::*)"));
        EXPECT_EQ(0, Number(L"count(" + at + L"/namespace::*)"));
        // The deepest of the ancestors is found from the element, not from
        // the root.
        EXPECT_EQ(expected.ancestors, Number(L"count(" + at + L"/ancestor::*[last()]/descendant::*[@id='" + elementId +
                                             L"']/ancestor::*)"));
    }
};

class TreeWalks : public HostilePageTest
{
};

TEST_F(DomWalks, DeepChainsOfTenThousand)
{
    Load("deep-divs-10000");
    ExpectAllWalkCoversTheDocument();
    EXPECT_TRUE(HasName(L"d9900"));
    HRESULT frames = E_FAIL;
    EXPECT_EQ(0, WalkFrames(&frames));
    EXPECT_EQ(S_OK, frames);
}

TEST_F(DomWalks, NestedTablesListsAndSvg)
{
    Load("deep-structures-10000");
    ExpectAllWalkCoversTheDocument();
    EXPECT_TRUE(HasName(L"t800"));
    EXPECT_TRUE(HasName(L"g3000"));
}

TEST_F(DomWalks, AHundredThousandSiblings)
{
    Load("wide-100000");
    ExpectAllWalkCoversTheDocument();
    EXPECT_TRUE(HasName(L"s99990"));
}

TEST_F(DomWalks, OneIdOnAHundredThousandElementsGetsNumberedSuffixes)
{
    Load("same-id-100000");
    ExpectAllWalkCoversTheDocument();
    EXPECT_TRUE(HasName(L"same"));
    EXPECT_TRUE(HasName(L"same_2"));
    EXPECT_TRUE(HasName(L"same_100000"));
    EXPECT_FALSE(HasName(L"same_100001"));
}

TEST_F(DomWalks, MegabyteIdsNamesAndAttributeMaps)
{
    Load("huge-values");
    ExpectAllWalkCoversTheDocument();
    // The megabyte id is cut to the identifier rule's 255 characters.
    EXPECT_TRUE(HasName(std::wstring(255, L'i')));
}

TEST_F(DomWalks, BrokenTextAndUrls)
{
    Load("bad-content");
    ExpectAllWalkCoversTheDocument();
}

TEST_F(DomWalks, FiftyNestedFramesAreOneFrameOfTheTopDocument)
{
    Load("nested-frames-50");
    ExpectAllWalkCoversTheDocument();
    HRESULT result = E_FAIL;
    EXPECT_EQ(1, WalkFrames(&result));
    EXPECT_EQ(S_OK, result);
}

TEST_F(DomWalks, APageThatChangedWhileCaptured)
{
    Load("mutating-all");
    ExpectAllWalkCoversTheDocument();
}

TEST_F(TreeWalks, EveryPageExpandsToTheBottom)
{
    // Each page and the number of levels its deepest item lies below the
    // document at least (frames and wrappers count; the DIV chains are
    // wrappers the Tree model looks through).
    const std::pair<const char*, long> pages[] = {
        {"deep-divs-10000", 1},   {"deep-structures-10000", 30},
        {"wide-100000", 1},       {"same-id-100000", 1},
        {"huge-values", 1},       {"bad-content", 1},
        {"nested-frames-50", 50}, {"mutating-all", 1},
    };
    for (const auto& [name, minimumDepth] : pages) {
        SCOPED_TRACE(name);
        Load(name);
        const TreeWalk tree = ExpandTree();
        EXPECT_EQ(S_OK, tree.result);
        EXPECT_GT(tree.items, 0);
        EXPECT_GE(tree.deepestLevel, minimumDepth);
        TearDown();
    }
}

TEST_F(XPathAxes, FromTheBottomOfADeepChain)
{
    Load("deep-divs-10000");
    ExpectAxesFrom(L"d9900");
    EXPECT_EQ(CountElements(L"DIV"), Number(L"count(//DIV)"));
    EXPECT_EQ(1, Number(L"count(//DIV[@id='d0']/descendant::text()[. = 'bottom'])"));
}

TEST_F(XPathAxes, InNestedTablesListsAndSvg)
{
    Load("deep-structures-10000");
    ExpectAxesFrom(L"t800");
    ExpectAxesFrom(L"l1600");
    ExpectAxesFrom(L"g3300");
    EXPECT_EQ(3333, Number(L"count(//g)"));
}

TEST_F(XPathAxes, AmongAHundredThousandSiblings)
{
    Load("wide-100000");
    ExpectAxesFrom(L"s50000");
    EXPECT_EQ(100000, Number(L"count(//SPAN)"));
    EXPECT_EQ(50000, Number(L"count(//SPAN[position() mod 2 = 0])"));
    EXPECT_EQ(99990, Number(L"count(//SPAN[@id='s99990']/preceding-sibling::SPAN)"));
}

TEST_F(XPathAxes, OverMegabyteValues)
{
    Load("huge-values");
    EXPECT_EQ(10 * 1024 * 1024, Number(L"string-length(//DIV[@id='text'])"));
    EXPECT_EQ(10001, Number(L"count(//DIV[@id='many']/@*)"));
    EXPECT_EQ(1024 * 1024, Number(L"string-length(//A/@class)"));
    EXPECT_EQ(1, Number(L"count(//INPUT[string-length(@name) = 1048576])"));
}

TEST_F(XPathAxes, OneIdOnAHundredThousandElements)
{
    Load("same-id-100000");
    EXPECT_EQ(100000, Number(L"count(//DIV[@id='same'])"));
    EXPECT_EQ(1, Number(L"count(id('same'))"));
    EXPECT_EQ(0, Number(L"count(id('same')/preceding-sibling::*)"));
}

TEST_F(XPathAxes, AcrossFiftyNestedFrames)
{
    Load("nested-frames-50");
    EXPECT_EQ(50, Number(L"count(//IFRAME)"));
    EXPECT_EQ(1, Number(L"count(//P[@id='innermost'])"));
    EXPECT_EQ(50, Number(L"count(//P[@id='innermost']/ancestor::IFRAME)"));
}

TEST_F(XPathAxes, OverBrokenText)
{
    Load("bad-content");
    EXPECT_EQ(9 + 21, Number(L"count(//A)"));
    EXPECT_EQ(21, Number(L"count(//A[contains(@href, '%')])"));
    ExpectAxesFrom(L"bad3middle");
}

} // namespace
} // namespace hostile
