#include <gtest/gtest.h>

#include "services/RecordUrlMask.h"

namespace {

using Names = std::vector<std::wstring>;

TEST(RecordUrlMask, MasksNamedParameterValues)
{
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?x=1&sid=abc&y=2", {L"sid"}), L"http://h/p?x=1&sid=*&y=2");
    // Names compare case-insensitively; every occurrence is masked.
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?SID=abc&sid=def", {L"sid"}), L"http://h/p?SID=*&sid=*");
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?a=1&b=2&c=3", {L"c", L"a"}), L"http://h/p?a=*&b=2&c=*");
    // A masked value ends at "?" too, which starts the next name.
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?sid=abc?x=1", {L"sid"}), L"http://h/p?sid=*?x=1");
    // A name must match whole.
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?xsid=1&sidx=2", {L"sid"}), L"http://h/p?xsid=1&sidx=2");
}

TEST(RecordUrlMask, WildcardCutsAfterThePath)
{
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?x=1&sid=abc&y=2", {L"*"}), L"http://h/p*");
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p#frag", {L"sid", L"*"}), L"http://h/p*");
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p;jsessionid=1", {L"*"}), L"http://h/p*");
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p", {L"*"}), L"http://h/p");
}

TEST(RecordUrlMask, NothingToMask)
{
    EXPECT_EQ(MaskRecordedUrl(L"", {L"sid"}), L"");
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?sid=1", {}), L"http://h/p?sid=1");
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p", {L"sid"}), L"http://h/p");
}

TEST(RecordUrlMask, QueryAfterFragmentOrSemicolonDelimiter)
{
    // The first of "?", "#" or ";" ends the path; after it only "&" and "?"
    // separate parameters.
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p#sid=1&a=2", {L"sid"}), L"http://h/p#sid=*&a=2");
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p;sid=1;x&sid=2", {L"sid"}), L"http://h/p;sid=*&sid=*");
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?a=1#sid=2", {L"sid"}), L"http://h/p?a=1#sid=2");
}

TEST(RecordUrlMask, ParameterWithoutValueAndLongNames)
{
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?flag&sid=1", {L"sid"}), L"http://h/p?flag&sid=*");
    std::wstring longName(300, L'n');
    // Only the first 255 characters of a name are compared.
    EXPECT_EQ(MaskRecordedUrl(L"http://h/p?" + longName + L"=v", {std::wstring(255, L'n')}),
              L"http://h/p?" + longName + L"=*");
}

} // namespace
