// Number/string conversions and string helpers of XPath 1.0.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "XPathText.h"
#include "XPathValue.h"

namespace {

namespace Text = vxWebFw::XPath::Engine::Text;

TEST(FormatNumber, SpecialValuesAndSignedZero)
{
    EXPECT_EQ(Text::formatNumber(std::nan("")), L"NaN");
    EXPECT_EQ(Text::formatNumber(std::numeric_limits<double>::infinity()), L"Infinity");
    EXPECT_EQ(Text::formatNumber(-std::numeric_limits<double>::infinity()), L"-Infinity");
    EXPECT_EQ(Text::formatNumber(0.0), L"0");
    EXPECT_EQ(Text::formatNumber(-0.0), L"0");
}

TEST(FormatNumber, NeverUsesAnExponentAndDropsTrailingZeros)
{
    EXPECT_EQ(Text::formatNumber(1), L"1");
    EXPECT_EQ(Text::formatNumber(-42), L"-42");
    EXPECT_EQ(Text::formatNumber(1.5), L"1.5");
    EXPECT_EQ(Text::formatNumber(1e21), L"1000000000000000000000");
    EXPECT_EQ(Text::formatNumber(1e-7), L"0.0000001");
    EXPECT_EQ(Text::formatNumber(123456789012.0), L"123456789012");
    EXPECT_EQ(Text::formatNumber(0.1 + 0.2), L"0.30000000000000004"); // shortest text that reads back exactly
}

TEST(ParseNumber, FollowsTheNumberProductionWithWhitespaceAndMinus)
{
    EXPECT_EQ(Text::parseNumber(L"12"), 12);
    EXPECT_EQ(Text::parseNumber(L" \t\r\n12.5 \n"), 12.5);
    EXPECT_EQ(Text::parseNumber(L"-.5"), -0.5);
    EXPECT_EQ(Text::parseNumber(L"5."), 5);
    EXPECT_TRUE(std::signbit(Text::parseNumber(L"-0")));
    for (const wchar_t* bad :
         {L"", L" ", L"+1", L"1e3", L"- 1", L"1 2", L".", L"-", L"--1", L"0x10", L"1,5", L"\u00a01"})
        EXPECT_TRUE(std::isnan(Text::parseNumber(bad))) << "input: " << std::wstring(bad).size();
}

TEST(ParseNumber, HugeAndTinyValuesSaturate)
{
    std::wstring huge(400, L'9');
    EXPECT_EQ(Text::parseNumber(huge), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Text::parseNumber(L"-" + huge), -std::numeric_limits<double>::infinity());
    std::wstring tiny = L"0." + std::wstring(400, L'0') + L"1";
    EXPECT_EQ(Text::parseNumber(tiny), 0);
}

TEST(Round, HalfGoesUpAndNegativeHalfKeepsTheSign)
{
    EXPECT_EQ(Text::round(2.5), 3);
    EXPECT_EQ(Text::round(-2.5), -2);
    EXPECT_EQ(Text::round(-2.6), -3);
    EXPECT_EQ(Text::round(0.49999999999999994), 0);
    EXPECT_TRUE(std::signbit(Text::round(-0.5)));
    EXPECT_TRUE(std::signbit(Text::round(-0.2)));
    EXPECT_TRUE(std::signbit(Text::round(-0.0)));
    EXPECT_TRUE(std::isnan(Text::round(std::nan(""))));
    EXPECT_EQ(Text::round(4503599627370497.0), 4503599627370497.0); // above 2^52: already integral
}

TEST(Substring, RoundsPositionsAndHandlesNaNAndInfinity)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Text::substring(L"12345", 1.5, 2.6, true), L"234");
    EXPECT_EQ(Text::substring(L"12345", 0, 3, true), L"12");
    EXPECT_EQ(Text::substring(L"12345", std::nan(""), 3, true), L"");
    EXPECT_EQ(Text::substring(L"12345", 1, std::nan(""), true), L"");
    EXPECT_EQ(Text::substring(L"12345", -42, inf, true), L"12345");
    EXPECT_EQ(Text::substring(L"12345", -inf, inf, true), L"");
    EXPECT_EQ(Text::substring(L"12345", 2, 0, false), L"2345");
    EXPECT_EQ(Text::substring(L"12345", 9, 0, false), L"");
}

TEST(Characters, SupplementaryCharactersCountOnce)
{
    std::wstring text;
    text += L'a';
    Text::appendCharacter(text, 0x1F600);
    text += L'b';
    EXPECT_EQ(Text::characterCount(text), 3u);
    EXPECT_EQ(Text::substring(text, 2, 1, true).size(), text.size() - 2); // the whole emoji, never half of it
    std::wstring translated = Text::translate(text, text.substr(1, text.size() - 2), L"X");
    EXPECT_EQ(translated, L"aXb");
}

TEST(NormalizeAndTranslate, FollowTheFunctionDefinitions)
{
    EXPECT_EQ(Text::normalizeSpace(L" \t a \r\n b  "), L"a b");
    EXPECT_EQ(Text::normalizeSpace(L"   "), L"");
    EXPECT_EQ(Text::translate(L"--aaa--", L"abc-", L"ABC"), L"AAA");
    EXPECT_EQ(Text::translate(L"abc", L"aa", L"xy"), L"xbc"); // first occurrence in 'from' decides
}

// Long lists and patterns take other paths than short ones (a table, a
// linear-time search); they must give the same answers.
TEST(NormalizeAndTranslate, LongListsAndPatternsGiveTheSameAnswers)
{
    std::wstring from = L"aa";
    for (wchar_t c = 0x100; c < 0x100 + 100; ++c)
        from += c; // none of them is in the texts below
    const std::wstring to = L"xy" + std::wstring(98, L'#') + L"!";
    // 'a' maps by its first occurrence; the character at index 100 maps to
    // '!'; the one at index 101 is past the end of 'to' and is removed.
    EXPECT_EQ(Text::translate(L"ab", from, to), L"xb");
    EXPECT_EQ(Text::translate(std::wstring(1, static_cast<wchar_t>(0x100 + 98)), from, to), L"!");
    EXPECT_EQ(Text::translate(std::wstring(1, static_cast<wchar_t>(0x100 + 99)) + L"z", from, to), L"z");
    EXPECT_EQ(Text::translate(L"z\u0100a", from, L"xy"), L"zx");

    const std::wstring pattern = std::wstring(40, L'a') + L"b";
    std::wstring haystack(100000, L'a');
    EXPECT_EQ(Text::find(haystack, pattern), std::wstring::npos);
    haystack += L"b";
    EXPECT_EQ(Text::find(haystack, pattern), haystack.size() - pattern.size());
    haystack.insert(5, pattern);
    EXPECT_EQ(Text::find(haystack, pattern), 5u);
    EXPECT_EQ(Text::find(L"short", pattern), std::wstring::npos);
    EXPECT_EQ(Text::find(pattern, pattern), 0u);
    EXPECT_EQ(Text::find(L"xyz", L""), 0u);
}

// A path value kept for a whole evaluation is handed to every context node;
// its copies must share the nodes (a copy per context node makes a predicate
// such as [count(//*) > 0] quadratic), and a copy that is changed must not
// change the others.
TEST(NodeSetValues, CopiesShareTheNodesUntilOneIsChanged)
{
    using namespace vxWebFw::XPath::Engine;
    int cells[3] = {};
    NodeSet set;
    for (const int& cell : cells)
        set.nodes.push_back(Node(NodeKind::Element, &cell));
    const Value original = Value::fromNodeSet(set);
    const Value shared = original;
    EXPECT_EQ(&shared.nodes(), &original.nodes());

    Value changed = original;
    changed.nodeSet().nodes.pop_back();
    EXPECT_EQ(changed.nodes().size(), 2u);
    EXPECT_EQ(original.nodes().size(), 3u);
    EXPECT_EQ(shared.nodes().size(), 3u);

    Value moved = original;
    std::vector<Node> taken = std::move(moved).nodes();
    EXPECT_EQ(taken.size(), 3u);
    EXPECT_EQ(original.nodes().size(), 3u);
    EXPECT_TRUE(moved.nodes().empty());

    Value empty = Value::fromNodeSet(NodeSet());
    EXPECT_TRUE(empty.isNodeSet());
    EXPECT_FALSE(empty.toBoolean());
    empty.nodeSet().nodes.push_back(set.nodes[0]);
    EXPECT_TRUE(empty.toBoolean());
}

} // namespace
