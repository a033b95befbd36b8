#include <gtest/gtest.h>

#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"
#include "services/TabRecords.h"

using vx::com::Variant;

namespace {

// A VT_ARRAY|VT_VARIANT of the given elements, with a chosen lower bound.
Variant ArrayOf(std::vector<Variant>& elements, LONG lowerBound = 0)
{
    SAFEARRAYBOUND bound = {static_cast<ULONG>(elements.size()), lowerBound};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (size_t i = 0; i < elements.size(); ++i) {
        LONG index = lowerBound + static_cast<LONG>(i);
        SafeArrayPutElement(array, &index, elements[i].Get());
    }
    Variant v;
    V_VT(v.Get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(v.Get()) = array;
    return v;
}

Variant I4(LONG value)
{
    Variant v;
    V_VT(v.Get()) = VT_I4;
    V_I4(v.Get()) = value;
    return v;
}

Variant Bool(bool value)
{
    Variant v;
    V_VT(v.Get()) = VT_BOOL;
    V_BOOL(v.Get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Str(const wchar_t* text)
{
    Variant v;
    V_VT(v.Get()) = VT_BSTR;
    V_BSTR(v.Get()) = SysAllocString(text);
    return v;
}

Variant Record(LONG id, bool loading, const wchar_t* url, LONG lowerBound = 0)
{
    std::vector<Variant> e;
    e.push_back(I4(id));
    e.push_back(Bool(loading));
    e.push_back(Str(url));
    return ArrayOf(e, lowerBound);
}

TEST(TabRecords, TabInfoRecordRoundTrip)
{
    Variant made;
    ASSERT_EQ(MakeTabInfoRecord(12, true, L"http://x/", made.Get()), S_OK);
    TabInfoRecord record;
    ASSERT_EQ(ParseTabInfoRecord(*made, record), S_OK);
    EXPECT_EQ(record.tabId, 12);
    EXPECT_TRUE(record.loading);
    EXPECT_EQ(record.url.View(), L"http://x/");
}

TEST(TabRecords, MalformedTabInfoRecordsAreRefusedAndLeaveTheRecord)
{
    TabInfoRecord record;
    record.tabId = 99;
    // Lower bound 1.
    EXPECT_EQ(ParseTabInfoRecord(*Record(1, false, L"u", 1), record), E_UNEXPECTED);
    // Too few elements.
    std::vector<Variant> two;
    two.push_back(I4(1));
    two.push_back(Bool(false));
    EXPECT_EQ(ParseTabInfoRecord(*ArrayOf(two), record), E_UNEXPECTED);
    // An element of another type (id as string, flag as I4).
    std::vector<Variant> wrong;
    wrong.push_back(Str(L"1"));
    wrong.push_back(Bool(false));
    wrong.push_back(Str(L"u"));
    EXPECT_EQ(ParseTabInfoRecord(*ArrayOf(wrong), record), E_UNEXPECTED);
    std::vector<Variant> wrongFlag;
    wrongFlag.push_back(I4(1));
    wrongFlag.push_back(I4(1));
    wrongFlag.push_back(Str(L"u"));
    EXPECT_EQ(ParseTabInfoRecord(*ArrayOf(wrongFlag), record), E_UNEXPECTED);
    // Not an array at all, and two dimensions.
    EXPECT_EQ(ParseTabInfoRecord(*I4(5), record), E_UNEXPECTED);
    SAFEARRAYBOUND bounds[2] = {{3, 0}, {1, 0}};
    Variant twoDimensional;
    V_VT(twoDimensional.Get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(twoDimensional.Get()) = SafeArrayCreate(VT_VARIANT, 2, bounds);
    EXPECT_EQ(ParseTabInfoRecord(*twoDimensional, record), E_UNEXPECTED);
    EXPECT_EQ(record.tabId, 99);
}

TEST(TabRecords, TabListParsesEveryRecordOrNone)
{
    std::vector<Variant> good;
    good.push_back(Record(7, false, L"a"));
    good.push_back(Record(3, true, L"b"));
    std::vector<TabInfoRecord> tabs;
    ASSERT_EQ(ParseTabList(*ArrayOf(good), tabs), S_OK);
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[1].tabId, 3);
    EXPECT_EQ(tabs[1].url.View(), L"b");

    std::vector<Variant> bad;
    bad.push_back(Record(1, false, L"a"));
    bad.push_back(I4(2));
    std::vector<TabInfoRecord> untouched(1);
    EXPECT_EQ(ParseTabList(*ArrayOf(bad), untouched), E_UNEXPECTED);
    EXPECT_EQ(untouched.size(), 1u);

    std::vector<Variant> none;
    ASSERT_EQ(ParseTabList(*ArrayOf(none), tabs), S_OK);
    EXPECT_TRUE(tabs.empty());
}

TEST(TabRecords, RectangleRecordGivesScreenRectangle)
{
    std::vector<Variant> e;
    for (LONG v : {10, 20, 300, 200})
        e.push_back(I4(v));
    RECT r = {};
    ASSERT_EQ(ParseTabRectangle(*ArrayOf(e), r), S_OK);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 310);
    EXPECT_EQ(r.bottom, 220);
    e.pop_back();
    EXPECT_EQ(ParseTabRectangle(*ArrayOf(e), r), E_UNEXPECTED);
}

} // namespace
