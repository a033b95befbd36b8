// The flat JSON parser the live native object reads the sidecar's answers
// with: the values, texts and numbers of the protocol, refusal of malformed
// text, and agreement with nlohmann's parser on generated documents.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include <nlohmann/json.hpp>

#include "harness/livepage/FlatJson.h"

using harness::live::FlatJson;
using harness::live::JsonRef;

namespace {

JsonRef ParseOrFail(FlatJson& json, const std::string& text)
{
    EXPECT_TRUE(json.Parse(text)) << text;
    return json.Root();
}

TEST(FlatJson, ReadsAnAnswerOfTheProtocol)
{
    FlatJson json;
    const JsonRef root =
        ParseOrFail(json, R"( {"id": 7, "results": [{"A": [1, "DIV", "", [], {}, null, true], "h": 12, "i": 3},
                  {"missing": 1}], "ms": 0.25} )");
    ASSERT_TRUE(root.IsObject());
    EXPECT_EQ(3u, root.Size());
    EXPECT_EQ(7, root.Member("id").Integer());
    EXPECT_DOUBLE_EQ(0.25, root.Member("ms").Number());
    EXPECT_FALSE(root.Member("ms").IsInteger());
    EXPECT_FALSE(root.Has("error"));

    const JsonRef results = root.Member("results");
    ASSERT_EQ(2u, results.Size());
    const JsonRef handle = results[0];
    EXPECT_EQ(12, handle.Member("h").Integer());
    // Members by position, in the text's order.
    ASSERT_EQ(3u, handle.Size());
    EXPECT_EQ("A", handle.MemberName(0));
    EXPECT_EQ("i", handle.MemberName(2));
    EXPECT_EQ(3, handle.MemberValue(2).Integer());
    EXPECT_EQ("", handle.MemberName(3));
    EXPECT_FALSE(handle.MemberValue(3).Exists());
    const JsonRef reads = handle.MemberValue(0);
    ASSERT_EQ(7u, reads.Size());
    EXPECT_EQ(1, reads[0].Integer());
    EXPECT_EQ("DIV", reads[1].Text());
    EXPECT_TRUE(reads[2].IsString());
    EXPECT_TRUE(reads[2].Text().empty());
    EXPECT_TRUE(reads[3].IsArray());
    EXPECT_EQ(0u, reads[3].Size());
    EXPECT_TRUE(reads[4].IsObject());
    EXPECT_EQ(0u, reads[4].Size());
    EXPECT_TRUE(reads[5].IsNull());
    EXPECT_TRUE(reads[6].IsBool());
    EXPECT_TRUE(reads[6].Bool());
    EXPECT_TRUE(results[1].Has("missing"));

    // Past the end, absent members and reads of the wrong kind give no value.
    EXPECT_FALSE(reads[7].Exists());
    EXPECT_FALSE(handle.Has("p"));
    EXPECT_FALSE(reads[1].Member("x").Exists());
    EXPECT_FALSE(reads[1][0].Exists());
    EXPECT_EQ("", reads.MemberName(0));
    EXPECT_FALSE(reads.MemberValue(0).Exists());
    EXPECT_EQ(0, reads[1].Integer());
    EXPECT_TRUE(reads[0].Text().empty());
}

TEST(FlatJson, UnescapesTextsIntoUtf8)
{
    FlatJson json;
    EXPECT_EQ("q\"b\\s/\b\f\n\r\t", ParseOrFail(json, R"("q\"b\\s\/\b\f\n\r\t")").Text());
    EXPECT_EQ("h\xC3\xA9llo \xE2\x82\xAC", ParseOrFail(json, R"("h\u00e9llo \u20AC")").Text());
    EXPECT_EQ("\xF0\x9F\x98\x80", ParseOrFail(json, R"("\ud83d\ude00")").Text()); // a pair is one character
    EXPECT_EQ("caf\xC3\xA9", ParseOrFail(json, "\"caf\xC3\xA9\"").Text());        // UTF-8 as it is
    // A lone half has no UTF-8 form.
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b",
              ParseOrFail(json, R"("a\ud800b")").Text());
    EXPECT_EQ("\xEF\xBF\xBD", ParseOrFail(json, R"("\udc00")").Text());
    EXPECT_EQ("\xEF\xBF\xBD\n", ParseOrFail(json, R"("\ud800\n")").Text());
    EXPECT_EQ("\xEF\xBF\xBD\xEF\xBF\xBD", ParseOrFail(json, R"("\ud800\ud800")").Text());
    // Member names are unescaped too.
    EXPECT_EQ(5, ParseOrFail(json, R"({"getNamedItem\u0001id": 5})").Member("getNamedItem\x01id").Integer());
}

TEST(FlatJson, ReadsNumbersAsTheyAreWritten)
{
    FlatJson json;
    EXPECT_EQ(-42, ParseOrFail(json, "-42").Integer());
    EXPECT_EQ(0, ParseOrFail(json, "0").Integer());
    EXPECT_TRUE(json.Root().IsInteger());
    EXPECT_EQ(9007199254740993LL, ParseOrFail(json, "9007199254740993").Integer()); // past a double's exactness
    EXPECT_EQ(9223372036854775807LL, ParseOrFail(json, "9223372036854775807").Integer());
    EXPECT_FALSE(ParseOrFail(json, "9223372036854775808").IsInteger()); // past 64 bits: a number only
    EXPECT_DOUBLE_EQ(9223372036854775808.0, json.Root().Number());
    EXPECT_FALSE(ParseOrFail(json, "3.0").IsInteger());
    EXPECT_DOUBLE_EQ(3.0, json.Root().Number());
    EXPECT_DOUBLE_EQ(-1.5e-3, ParseOrFail(json, "-1.5e-3").Number());
    EXPECT_DOUBLE_EQ(2e10, ParseOrFail(json, "2E+10").Number());
    EXPECT_FALSE(json.Root().IsInteger());
}

TEST(FlatJson, RefusesWhatIsNotOneJsonValue)
{
    const char* const malformed[] = {
        "",        " ",    "{",   "[1,]", "[1 2]", "{\"a\" 1}", "{\"a\":1,}", "{a:1}",   "01",          "-",
        "1.",      ".5",   "1e",  "+1",   "tru",   "nul",       "\"open",     "\"\\x\"", "\"\\u12g4\"", "\"tab\there\"",
        "[1] [2]", "{} x", "'s'", "NaN",
    };
    for (const char* text : malformed) {
        FlatJson json;
        EXPECT_FALSE(json.Parse(text)) << text;
        EXPECT_FALSE(json.Root().Exists()) << text;
    }
    // Nesting: 512 levels are read, 513 refused.
    FlatJson json;
    EXPECT_TRUE(json.Parse(std::string(512, '[') + std::string(512, ']')));
    EXPECT_FALSE(json.Parse(std::string(513, '[') + std::string(513, ']')));
    EXPECT_FALSE(json.Root().Exists()) << "a failed parse leaves no value of the one before";
}

TEST(FlatJson, ParsedAgainHoldsOnlyTheNewValue)
{
    FlatJson json;
    ParseOrFail(json, R"({"list": [1, 2, 3], "name": "first"})");
    const JsonRef root = ParseOrFail(json, R"({"name": "second"})");
    EXPECT_EQ(1u, root.Size());
    EXPECT_EQ("second", root.Member("name").Text());
    EXPECT_FALSE(root.Has("list"));
}

// A random document of the kinds the protocol uses.
nlohmann::json RandomValue(std::mt19937& random, int depth)
{
    const int kind = static_cast<int>(random() % (depth > 4 ? 5 : 7));
    switch (kind) {
    case 0:
        return nullptr;
    case 1:
        return random() % 2 == 0;
    case 2:
        return static_cast<long long>(random()) - (1LL << 31);
    case 3:
        return std::ldexp(static_cast<double>(random()), -static_cast<int>(random() % 40));
    case 4: {
        static const char* const pieces[] = {"a", "DIV", "\"", "\\", "\n", "\xC3\xA9", "\xF0\x9F\x98\x80", " ", "\x01"};
        std::string text;
        for (unsigned i = random() % 6; i > 0; --i)
            text += pieces[random() % (sizeof pieces / sizeof pieces[0])];
        return text;
    }
    case 5: {
        nlohmann::json list = nlohmann::json::array();
        for (unsigned i = random() % 5; i > 0; --i)
            list.push_back(RandomValue(random, depth + 1));
        return list;
    }
    default: {
        nlohmann::json object = nlohmann::json::object();
        for (unsigned i = random() % 5; i > 0; --i)
            object["k" + std::to_string(random() % 8)] = RandomValue(random, depth + 1);
        return object;
    }
    }
}

void ExpectSame(const nlohmann::json& expected, JsonRef actual, const std::string& where)
{
    ASSERT_TRUE(actual.Exists()) << where;
    if (expected.is_null()) {
        EXPECT_TRUE(actual.IsNull()) << where;
    } else if (expected.is_boolean()) {
        EXPECT_TRUE(actual.IsBool() && actual.Bool() == expected.get<bool>()) << where;
    } else if (expected.is_number_integer()) {
        EXPECT_TRUE(actual.IsInteger()) << where;
        EXPECT_EQ(expected.get<long long>(), actual.Integer()) << where;
    } else if (expected.is_number()) {
        EXPECT_DOUBLE_EQ(expected.get<double>(), actual.Number()) << where;
    } else if (expected.is_string()) {
        EXPECT_EQ(expected.get<std::string>(), actual.Text()) << where;
    } else if (expected.is_array()) {
        ASSERT_TRUE(actual.IsArray()) << where;
        ASSERT_EQ(expected.size(), actual.Size()) << where;
        for (size_t i = 0; i < expected.size(); ++i)
            ExpectSame(expected[i], actual[i], where + "[" + std::to_string(i) + "]");
    } else {
        ASSERT_TRUE(actual.IsObject()) << where;
        ASSERT_EQ(expected.size(), actual.Size()) << where;
        for (const auto& [name, value] : expected.items())
            ExpectSame(value, actual.Member(name), where + "." + name);
    }
}

TEST(FlatJson, AgreesWithAnotherParserOnGeneratedDocuments)
{
    std::mt19937 random(20261211);
    FlatJson json; // parsed into again and again, as the connection does
    for (int document = 0; document < 300; ++document) {
        const nlohmann::json expected = RandomValue(random, 0);
        const std::string text = expected.dump(document % 2 ? 2 : -1, ' ', document % 3 == 0);
        ASSERT_TRUE(json.Parse(text)) << text;
        ExpectSame(expected, json.Root(), "document " + std::to_string(document));
    }
}

} // namespace
