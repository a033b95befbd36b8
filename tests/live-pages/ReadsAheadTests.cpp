// What the live native object finds reads fetched ahead by: the table of
// reads by page handle and read key, and call keys taken straight from
// VARIANT arguments, which must be the keys the general way gives.
#include <gtest/gtest.h>

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

// The key the general way gives: the argument as the sidecar gets it, then
// its key; false when it has none.
bool GeneralKey(const VARIANT& argument, std::string& key)
{
    nlohmann::json value;
    return SUCCEEDED(harness::live::PrimitiveArgument(argument, value)) && harness::live::ArgumentKey(value, key);
}

TEST(QuickArgumentKey, GivesTheGeneralKeyOrLeavesTheArgumentToIt)
{
    std::vector<vx::com::Variant> arguments;
    auto add = [&](auto&& set) {
        arguments.emplace_back();
        set(arguments.back().Get());
    };
    auto text = [&](const wchar_t* s, UINT length) {
        add([&](VARIANT* v) {
            V_VT(v) = VT_BSTR;
            V_BSTR(v) = SysAllocStringLen(s, length);
        });
    };
    text(L"id", 2);
    text(L"", 0);
    text(L"caf\u00e9 \u4e2d", 6);
    text(L"a\xd800z", 3); // a lone surrogate goes as code units, which have no key
    text(L"\xd83d\xde00", 2);
    for (int n : {0, 7, -3, 2147483647}) {
        add([&](VARIANT* v) {
            V_VT(v) = VT_I4;
            V_I4(v) = n;
        });
    }
    add([](VARIANT* v) {
        V_VT(v) = VT_I2;
        V_I2(v) = -12;
    });
    add([](VARIANT* v) {
        V_VT(v) = VT_INT;
        V_INT(v) = 40;
    });
    for (double d : {5.0, 2.5}) {
        add([&](VARIANT* v) {
            V_VT(v) = VT_R8;
            V_R8(v) = d;
        });
    }
    add([](VARIANT* v) {
        V_VT(v) = VT_BOOL;
        V_BOOL(v) = VARIANT_TRUE;
    });
    add([](VARIANT*) {}); // VT_EMPTY

    int quick = 0;
    for (const vx::com::Variant& argument : arguments) {
        std::string quickKey;
        std::string generalKey;
        const bool general = GeneralKey(*argument.Get(), generalKey);
        if (harness::live::QuickArgumentKey(*argument.Get(), quickKey)) {
            ++quick;
            ASSERT_TRUE(general) << "type " << V_VT(argument.Get()) << ": a key the general way does not give";
            EXPECT_EQ(generalKey, quickKey) << "type " << V_VT(argument.Get());
        }
        // The same through a VARIANT reference, as script engines pass them.
        VARIANT byReference;
        V_VT(&byReference) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&byReference) = const_cast<VARIANT*>(argument.Get());
        std::string referenceKey;
        if (harness::live::QuickArgumentKey(byReference, referenceKey)) {
            EXPECT_TRUE(general);
            EXPECT_EQ(generalKey, referenceKey);
        }
    }
    EXPECT_EQ(10, quick) << "text and 32-bit whole numbers are keyed without the general way";
}

} // namespace
