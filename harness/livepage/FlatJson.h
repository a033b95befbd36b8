#pragma once
// A JSON text parsed into a few flat arrays: one entry per value, the
// elements and members of arrays and objects as runs of entry numbers, and
// all text (strings and member names, unescaped, UTF-8) in one buffer.
// Answers of the live-page sidecar are large and made of many small values;
// a tree of separately allocated values costs more to build than the text
// costs to read, so they are parsed into this instead.
//
// A JsonRef names one value of a FlatJson; it is valid as long as that
// FlatJson object is alive, not parsed again and not moved from.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace harness::live {

class FlatJson;

class JsonRef
{
public:
    JsonRef() = default; // no value

    bool Exists() const { return json_ != nullptr; }
    bool IsNull() const;
    bool IsBool() const;
    bool IsNumber() const;
    // A number written without a fraction or an exponent that fits 64 bits.
    bool IsInteger() const;
    bool IsString() const;
    bool IsArray() const;
    bool IsObject() const;

    bool Bool() const;         // false for anything else
    double Number() const;     // 0 for anything else
    long long Integer() const; // IsInteger() values only; 0 for anything else
    std::string_view Text() const;

    // Elements of an array or members of an object; 0 for anything else.
    size_t Size() const;
    // An array's element; no value past its end or for anything else.
    JsonRef operator[](size_t index) const;
    // An object's member; no value when it has none of that name.
    JsonRef Member(std::string_view name) const;
    // An object's members by position, in the order of the text: the name
    // ("" past the end or for anything else) and the value.
    std::string_view MemberName(size_t index) const;
    JsonRef MemberValue(size_t index) const;
    bool Has(std::string_view name) const { return Member(name).Exists(); }

private:
    friend class FlatJson;
    JsonRef(const FlatJson* json, uint32_t entry) : json_(json), entry_(entry) {}
    const FlatJson* json_ = nullptr;
    uint32_t entry_ = 0;
};

class FlatJson
{
public:
    FlatJson() = default;
    FlatJson(FlatJson&&) = default;
    FlatJson& operator=(FlatJson&&) = default;
    FlatJson(const FlatJson&) = delete;
    FlatJson& operator=(const FlatJson&) = delete;

    // Parses one JSON value (with white space around it); false, and no
    // value, when the text is anything else. Nesting deeper than 512 levels
    // is refused.
    bool Parse(std::string_view text);
    // The parsed value; no value before a successful Parse.
    JsonRef Root() const { return entries_.empty() ? JsonRef() : JsonRef(this, 0); }

private:
    friend class JsonRef;
    enum class Kind : uint8_t { Null, False, True, Number, String, Array, Object };
    struct Entry
    {
        Kind kind = Kind::Null;
        bool integer = false;
        uint32_t first = 0; // strings: offset in text_; arrays, objects: offset in runs_
        uint32_t size = 0;  // strings: bytes; arrays: elements; objects: members
        double number = 0;
        long long whole = 0;
    };
    class Parser;

    std::vector<Entry> entries_;
    // An array's elements, or an object's members as name and value pairs
    // (the name a string entry), as entry numbers.
    std::vector<uint32_t> runs_;
    std::string text_;
};

} // namespace harness::live
