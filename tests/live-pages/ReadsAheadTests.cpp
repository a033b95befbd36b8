// What the live native object finds reads fetched ahead by: the table of
// reads by page handle and read key, and the keys of calls, made from their
// VARIANT arguments as the page makes them.
#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "harness/livepage/LiveValues.h"
#include "harness/livepage/ReadsAhead.h"
#include "platform/com/Variant.h"

using harness::live::ReadsAhead;

namespace {

TEST(ReadsAhead, KeepsEachPairApartAcrossGrowthAndDropsAllAtOnce)
{
    ReadsAhead<long long> table;
    EXPECT_EQ(nullptr, table.Find(1, 0)) << "an empty table";
    // Page handles and read keys alike in parts, as a walk makes them:
    // the same key on many handles and many keys on one handle.
    std::map<std::pair<long long, int>, long long> expected;
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i) {
        const long long remote = 1 + random() % 5000;
        const int key = static_cast<int>(random() % 40);
        const long long value = i + 1;
        table.Put(remote, key) = value; // a pair written again keeps one entry
        expected[{remote, key}] = value;
    }
    // A collection's items: thousands of keys on one handle, with the
    // handles made after it around.
    for (int index = 0; index < 6000; ++index) {
        table.Put(2500, 40 + index) = -index;
        expected[{2500, 40 + index}] = -index;
    }
    EXPECT_EQ(expected.size(), table.Size());
    for (const auto& [pair, value] : expected) {
        const long long* found = table.Find(pair.first, pair.second);
        ASSERT_NE(nullptr, found) << pair.first << "/" << pair.second;
        EXPECT_EQ(value, *found);
    }
    EXPECT_EQ(nullptr, table.Find(5001, 0));
    EXPECT_EQ(nullptr, table.Find(1, 40));

    table.Clear();
    EXPECT_EQ(0u, table.Size());
    for (const auto& [pair, value] : expected)
        ASSERT_EQ(nullptr, table.Find(pair.first, pair.second)) << "kept after Clear";
    // Entries made after dropping start from nothing, not from what was there.
    EXPECT_EQ(0, table.Put(3, 3));
    table.Put(3, 3) = 9;
    EXPECT_EQ(9, *table.Find(3, 3));
    EXPECT_EQ(1u, table.Size());
}

TEST(ReadsAhead, ManyDropsInARowLeaveNoEntryBehind)
{
    ReadsAhead<int> table;
    for (int round = 1; round <= 3000; ++round) {
        table.Put(round, 1) = round;
        ASSERT_EQ(nullptr, table.Find(round - 1, 1)) << "round " << round;
        ASSERT_EQ(round, *table.Find(round, 1));
        table.Clear();
    }
}

TEST(PlanKeyIndex, ReadsThePlaceOfAKeyFromItsCapitalLetters)
{
    const std::pair<const char*, size_t> named[] = {{"A", 0},   {"B", 1},   {"Z", 25},   {"AA", 26},  {"AB", 27},
                                                    {"AZ", 51}, {"BA", 52}, {"ZZ", 701}, {"AAA", 702}};
    for (const auto& [name, place] : named) {
        size_t index = 12345;
        EXPECT_TRUE(harness::live::PlanKeyIndex(name, index)) << name;
        EXPECT_EQ(place, index) << name;
    }
    // The handle and the node id, and names of nothing.
    for (const char* other : {"h", "i", "", "a", "A1", "0", "10", "AAAAA", "A B"}) {
        size_t index = 0;
        EXPECT_FALSE(harness::live::PlanKeyIndex(other, index)) << other;
    }
}

// An argument, and the key of the calls it is an argument of as the page
// makes it (String() of the value sent), or none.
struct KeyedArgument
{
    vx::com::Variant value;
    bool keyed = false;
    std::string key;
};

TEST(ArgumentKey, IsTheTextScriptGivesTextAndWholeNumbersOnly)
{
    std::vector<KeyedArgument> arguments;
    auto add = [&](const char* key, auto&& set) {
        KeyedArgument& argument = arguments.emplace_back();
        set(argument.value.Get());
        argument.keyed = key != nullptr;
        argument.key = key ? key : "";
    };
    auto text = [&](const char* key, const wchar_t* s, UINT length) {
        add(key, [&](VARIANT* v) {
            V_VT(v) = VT_BSTR;
            V_BSTR(v) = SysAllocStringLen(s, length);
        });
    };
    text("id", L"id", 2);
    text("", L"", 0);
    text("caf\xc3\xa9 \xe4\xb8\xad", L"caf\u00e9 \u4e2d", 6);
    text("\xf0\x9f\x98\x80", L"\xd83d\xde00", 2);
    text(nullptr, L"a\xd800z", 3); // a lone surrogate goes as code units
    for (int n : {0, 7, -3, 2147483647}) {
        const std::string key = std::to_string(n);
        add(key.c_str(), [&](VARIANT* v) {
            V_VT(v) = VT_I4;
            V_I4(v) = n;
        });
    }
    add("-12", [](VARIANT* v) {
        V_VT(v) = VT_I2;
        V_I2(v) = -12;
    });
    add("40", [](VARIANT* v) {
        V_VT(v) = VT_INT;
        V_INT(v) = 40;
    });
    add("4000000000", [](VARIANT* v) {
        V_VT(v) = VT_UI4;
        V_UI4(v) = 4000000000u;
    });
    add("3", [](VARIANT* v) {
        V_VT(v) = VT_R4;
        V_R4(v) = 3.0f;
    });
    const double noKey[] = {2.5, 1e16, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity()};
    add("5", [](VARIANT* v) {
        V_VT(v) = VT_R8;
        V_R8(v) = 5.0;
    });
    for (double d : noKey) // fractions, and numbers script prints otherwise
        add(nullptr, [&](VARIANT* v) {
            V_VT(v) = VT_R8;
            V_R8(v) = d;
        });
    add(nullptr, [](VARIANT* v) {
        V_VT(v) = VT_BOOL;
        V_BOOL(v) = VARIANT_TRUE;
    });
    add(nullptr, [](VARIANT* v) { V_VT(v) = VT_NULL; });
    add(nullptr, [](VARIANT*) {}); // VT_EMPTY
    add(nullptr, [](VARIANT* v) {  // a handle
        V_VT(v) = VT_PTR;
        V_BYREF(v) = nullptr;
    });

    for (const KeyedArgument& argument : arguments) {
        SCOPED_TRACE(testing::Message() << "type " << V_VT(argument.value.Get()) << ", key " << argument.key);
        std::string key = "left over";
        EXPECT_EQ(argument.keyed, harness::live::ArgumentKey(*argument.value.Get(), key));
        if (argument.keyed) {
            EXPECT_EQ(argument.key, key);
        }
        // The same through a VARIANT reference, as script engines pass them.
        VARIANT byReference;
        V_VT(&byReference) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&byReference) = const_cast<VARIANT*>(argument.value.Get());
        std::string referenceKey;
        EXPECT_EQ(argument.keyed, harness::live::ArgumentKey(byReference, referenceKey));
        if (argument.keyed) {
            EXPECT_EQ(argument.key, referenceKey);
        }
    }
}

// Only whole numbers from 0 up, given as numbers, take a collection walk's
// batches: the page reads text and negative numbers its own way.
TEST(ItemIndexArgument, IsAWholeNumberFromZeroGivenAsANumber)
{
    // The index an argument of `type` holding `value` gives, or -2 for none.
    auto indexOf = [](VARTYPE type, double value) {
        vx::com::Variant argument;
        V_VT(argument.Get()) = VT_R8;
        V_R8(argument.Get()) = value;
        EXPECT_HRESULT_SUCCEEDED(VariantChangeType(argument.Get(), argument.Get(), 0, type));
        long index = -2;
        return harness::live::ItemIndexArgument(*argument.Get(), index) ? index : -2;
    };
    EXPECT_EQ(0, indexOf(VT_I4, 0));
    EXPECT_EQ(7, indexOf(VT_I4, 7));
    EXPECT_EQ(12, indexOf(VT_I2, 12));
    EXPECT_EQ(3, indexOf(VT_R8, 3));
    EXPECT_EQ(4000, indexOf(VT_UI4, 4000));
    EXPECT_EQ(-2, indexOf(VT_I4, -1)) << "past the end in script";
    EXPECT_EQ(-2, indexOf(VT_R8, 2.5));
    EXPECT_EQ(-2, indexOf(VT_R8, 1e12));

    vx::com::Variant text; // the page reads "1e2" as 100
    V_VT(text.Get()) = VT_BSTR;
    V_BSTR(text.Get()) = SysAllocString(L"3");
    long index = 99;
    EXPECT_FALSE(harness::live::ItemIndexArgument(*text.Get(), index));
    VARIANT byReference;
    V_VT(&byReference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&byReference) = text.Get();
    EXPECT_FALSE(harness::live::ItemIndexArgument(byReference, index));
    EXPECT_EQ(99, index) << "left as it was";
}

} // namespace
