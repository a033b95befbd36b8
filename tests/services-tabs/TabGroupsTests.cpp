#include <gtest/gtest.h>

#include "platform/com/BStr.h"
#include "services/TabGroups.h"

namespace {

std::vector<TabGroup> Groups(std::initializer_list<const wchar_t*> urls)
{
    std::vector<vx::com::BStr> owned;
    for (const wchar_t* url : urls)
        owned.emplace_back(url);
    std::vector<BSTR> raw;
    for (const vx::com::BStr& url : owned)
        raw.push_back(url.Get());
    return ComputeTabGroups(raw);
}

TEST(TabGroups, SameUrlCountsUpInTabOrder)
{
    // Tabs 3, 5, 7 (sorted by id) with one URL, and tab 9 with another.
    std::vector<TabGroup> groups = Groups({L"http://a/", L"http://a/", L"http://a/", L"http://b/"});
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[0].index, 0);
    EXPECT_EQ(groups[1].index, 1);
    EXPECT_EQ(groups[2].index, 2);
    EXPECT_TRUE(groups[0].grouped && groups[1].grouped && groups[2].grouped);
    EXPECT_EQ(groups[3].index, 0);
    EXPECT_FALSE(groups[3].grouped);
}

TEST(TabGroups, InterleavedUrls)
{
    std::vector<TabGroup> groups = Groups({L"a", L"b", L"a", L"c", L"b", L"a"});
    std::vector<LONG> indexes;
    for (const TabGroup& g : groups)
        indexes.push_back(g.index);
    EXPECT_EQ(indexes, (std::vector<LONG>{0, 0, 1, 0, 1, 2}));
    EXPECT_FALSE(groups[3].grouped);
    EXPECT_TRUE(groups[1].grouped);
}

TEST(TabGroups, ComparisonIsCaseSensitiveAndHandlesEmpty)
{
    std::vector<TabGroup> groups = Groups({L"http://A/", L"http://a/", L"", L""});
    EXPECT_FALSE(groups[0].grouped);
    EXPECT_FALSE(groups[1].grouped);
    EXPECT_TRUE(groups[2].grouped);
    EXPECT_EQ(groups[3].index, 1);
    EXPECT_TRUE(Groups({}).empty());
}

} // namespace
