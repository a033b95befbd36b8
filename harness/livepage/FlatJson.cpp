#include "harness/livepage/FlatJson.h"

#include <charconv>
#include <cstring>

#include "platform/text/HexDigit.h"

namespace harness::live {

namespace {

constexpr int kDeepest = 512;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

} // namespace

// Recursive descent over the text. Elements and members are collected on
// one stack shared by all levels; a closed array or object moves its run
// from the top of the stack to runs_.
class FlatJson::Parser
{
public:
    Parser(FlatJson& json, std::string_view text) : json_(json), p_(text.data()), end_(text.data() + text.size()) {}

    bool Run()
    {
        SkipSpace();
        if (!Value(0))
            return false;
        SkipSpace();
        return p_ == end_;
    }

private:
    void SkipSpace()
    {
        while (p_ != end_ && IsSpace(*p_))
            ++p_;
    }

    bool Literal(const char* word)
    {
        const size_t length = std::strlen(word);
        if (static_cast<size_t>(end_ - p_) < length || std::memcmp(p_, word, length) != 0)
            return false;
        p_ += length;
        return true;
    }

    uint32_t NewEntry(Kind kind)
    {
        json_.entries_.push_back(Entry{});
        json_.entries_.back().kind = kind;
        return static_cast<uint32_t>(json_.entries_.size() - 1);
    }

    bool Value(int depth)
    {
        if (p_ == end_)
            return false;
        switch (*p_) {
        case '{':
            return depth < kDeepest && Object(depth + 1);
        case '[':
            return depth < kDeepest && Array(depth + 1);
        case '"': {
            const uint32_t entry = NewEntry(Kind::String);
            return String(entry);
        }
        case 't':
            NewEntry(Kind::True);
            return Literal("true");
        case 'f':
            NewEntry(Kind::False);
            return Literal("false");
        case 'n':
            NewEntry(Kind::Null);
            return Literal("null");
        default:
            return Number();
        }
    }

    bool Array(int depth)
    {
        const uint32_t entry = NewEntry(Kind::Array);
        const size_t start = stack_.size();
        ++p_; // [
        SkipSpace();
        if (p_ != end_ && *p_ == ']') {
            ++p_;
            return Close(entry, start, 0);
        }
        for (;;) {
            SkipSpace();
            stack_.push_back(static_cast<uint32_t>(json_.entries_.size()));
            if (!Value(depth))
                return false;
            SkipSpace();
            if (p_ == end_)
                return false;
            if (*p_ == ']') {
                ++p_;
                return Close(entry, start, static_cast<uint32_t>(stack_.size() - start));
            }
            if (*p_++ != ',')
                return false;
        }
    }

    bool Object(int depth)
    {
        const uint32_t entry = NewEntry(Kind::Object);
        const size_t start = stack_.size();
        ++p_; // {
        SkipSpace();
        if (p_ != end_ && *p_ == '}') {
            ++p_;
            return Close(entry, start, 0);
        }
        for (;;) {
            SkipSpace();
            if (p_ == end_ || *p_ != '"')
                return false;
            const uint32_t name = NewEntry(Kind::String);
            if (!String(name))
                return false;
            SkipSpace();
            if (p_ == end_ || *p_++ != ':')
                return false;
            SkipSpace();
            stack_.push_back(name);
            stack_.push_back(static_cast<uint32_t>(json_.entries_.size()));
            if (!Value(depth))
                return false;
            SkipSpace();
            if (p_ == end_)
                return false;
            if (*p_ == '}') {
                ++p_;
                return Close(entry, start, static_cast<uint32_t>((stack_.size() - start) / 2));
            }
            if (*p_++ != ',')
                return false;
        }
    }

    bool Close(uint32_t entry, size_t start, uint32_t size)
    {
        Entry& e = json_.entries_[entry];
        e.first = static_cast<uint32_t>(json_.runs_.size());
        e.size = size;
        json_.runs_.insert(json_.runs_.end(), stack_.begin() + static_cast<std::ptrdiff_t>(start), stack_.end());
        stack_.resize(start);
        return true;
    }

    // Four hex digits after "\u".
    bool CodeUnit(uint32_t& unit)
    {
        if (end_ - p_ < 4)
            return false;
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = vx::text::HexDigitValue(*p_++);
            if (digit < 0)
                return false;
            unit = unit * 16 + static_cast<uint32_t>(digit);
        }
        return true;
    }

    bool String(uint32_t entry)
    {
        std::string& text = json_.text_;
        const size_t first = text.size();
        ++p_; // "
        for (;;) {
            const char* run = p_;
            while (p_ != end_ && *p_ != '"' && *p_ != '\\' && static_cast<unsigned char>(*p_) >= 0x20)
                ++p_;
            text.append(run, static_cast<size_t>(p_ - run));
            if (p_ == end_ || static_cast<unsigned char>(*p_) < 0x20)
                return false;
            if (*p_ == '"') {
                ++p_;
                break;
            }
            ++p_; // backslash
            if (p_ == end_)
                return false;
            const char escape = *p_++;
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                text.push_back(escape);
                break;
            case 'b':
                text.push_back('\b');
                break;
            case 'f':
                text.push_back('\f');
                break;
            case 'n':
                text.push_back('\n');
                break;
            case 'r':
                text.push_back('\r');
                break;
            case 't':
                text.push_back('\t');
                break;
            case 'u': {
                uint32_t unit = 0;
                if (!CodeUnit(unit))
                    return false;
                if (unit >= 0xD800 && unit <= 0xDBFF && end_ - p_ >= 6 && p_[0] == '\\' && p_[1] == 'u') {
                    const char* back = p_;
                    p_ += 2;
                    uint32_t low = 0;
                    if (!CodeUnit(low))
                        return false;
                    if (low >= 0xDC00 && low <= 0xDFFF)
                        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                    else
                        p_ = back; // a lone high half, then another escape
                }
                if (unit >= 0xD800 && unit <= 0xDFFF)
                    unit = 0xFFFD; // a lone half has no UTF-8 form
                AppendUtf8(text, unit);
                break;
            }
            default:
                return false;
            }
        }
        Entry& e = json_.entries_[entry];
        e.first = static_cast<uint32_t>(first);
        e.size = static_cast<uint32_t>(text.size() - first);
        return true;
    }

    bool Number()
    {
        const char* start = p_;
        if (p_ != end_ && *p_ == '-')
            ++p_;
        const char* digits = p_;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9')
            ++p_;
        const size_t count = static_cast<size_t>(p_ - digits);
        if (count == 0 || (count > 1 && *digits == '0'))
            return false;
        bool whole = true;
        if (p_ != end_ && *p_ == '.') {
            whole = false;
            const char* fraction = ++p_;
            while (p_ != end_ && *p_ >= '0' && *p_ <= '9')
                ++p_;
            if (p_ == fraction)
                return false;
        }
        if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
            whole = false;
            ++p_;
            if (p_ != end_ && (*p_ == '+' || *p_ == '-'))
                ++p_;
            const char* exponent = p_;
            while (p_ != end_ && *p_ >= '0' && *p_ <= '9')
                ++p_;
            if (p_ == exponent)
                return false;
        }
        Entry& e = json_.entries_[NewEntry(Kind::Number)];
        if (whole && count <= 18) {
            long long value = 0;
            for (const char* d = digits; d != p_; ++d)
                value = value * 10 + (*d - '0');
            e.whole = *start == '-' ? -value : value;
            e.number = static_cast<double>(e.whole);
            e.integer = true;
            return true;
        }
        const auto parsed = std::from_chars(start, p_, e.number);
        if (parsed.ec != std::errc() && parsed.ec != std::errc::result_out_of_range)
            return false;
        if (whole) { // 19 digits or more: an integer when it fits 64 bits
            long long value = 0;
            const auto exact = std::from_chars(start, p_, value);
            e.integer = exact.ec == std::errc() && exact.ptr == p_;
            e.whole = value;
        }
        return true;
    }

    FlatJson& json_;
    const char* p_;
    const char* end_;
    std::vector<uint32_t> stack_;
};

bool FlatJson::Parse(std::string_view text)
{
    entries_.clear();
    runs_.clear();
    text_.clear();
    // The text's size bounds what the buffers need.
    entries_.reserve(text.size() / 8 + 1);
    runs_.reserve(text.size() / 8 + 1);
    text_.reserve(text.size());
    if (Parser(*this, text).Run())
        return true;
    entries_.clear();
    runs_.clear();
    text_.clear();
    return false;
}

// ------------------------------------------------------------ JsonRef

bool JsonRef::IsNull() const
{
    return json_ && json_->entries_[entry_].kind == FlatJson::Kind::Null;
}

bool JsonRef::IsBool() const
{
    return json_ && (json_->entries_[entry_].kind == FlatJson::Kind::True ||
                     json_->entries_[entry_].kind == FlatJson::Kind::False);
}

bool JsonRef::IsNumber() const
{
    return json_ && json_->entries_[entry_].kind == FlatJson::Kind::Number;
}

bool JsonRef::IsInteger() const
{
    return IsNumber() && json_->entries_[entry_].integer;
}

bool JsonRef::IsString() const
{
    return json_ && json_->entries_[entry_].kind == FlatJson::Kind::String;
}

bool JsonRef::IsArray() const
{
    return json_ && json_->entries_[entry_].kind == FlatJson::Kind::Array;
}

bool JsonRef::IsObject() const
{
    return json_ && json_->entries_[entry_].kind == FlatJson::Kind::Object;
}

bool JsonRef::Bool() const
{
    return json_ && json_->entries_[entry_].kind == FlatJson::Kind::True;
}

double JsonRef::Number() const
{
    return IsNumber() ? json_->entries_[entry_].number : 0;
}

long long JsonRef::Integer() const
{
    return IsInteger() ? json_->entries_[entry_].whole : 0;
}

std::string_view JsonRef::Text() const
{
    if (!IsString())
        return {};
    const FlatJson::Entry& e = json_->entries_[entry_];
    return std::string_view(json_->text_.data() + e.first, e.size);
}

size_t JsonRef::Size() const
{
    return IsArray() || IsObject() ? json_->entries_[entry_].size : 0;
}

JsonRef JsonRef::operator[](size_t index) const
{
    if (!IsArray() || index >= json_->entries_[entry_].size)
        return {};
    return JsonRef(json_, json_->runs_[json_->entries_[entry_].first + index]);
}

std::string_view JsonRef::MemberName(size_t index) const
{
    if (!IsObject() || index >= json_->entries_[entry_].size)
        return {};
    return JsonRef(json_, json_->runs_[json_->entries_[entry_].first + 2 * index]).Text();
}

JsonRef JsonRef::MemberValue(size_t index) const
{
    if (!IsObject() || index >= json_->entries_[entry_].size)
        return {};
    return JsonRef(json_, json_->runs_[json_->entries_[entry_].first + 2 * index + 1]);
}

JsonRef JsonRef::Member(std::string_view name) const
{
    if (!IsObject())
        return {};
    const FlatJson::Entry& e = json_->entries_[entry_];
    for (uint32_t i = 0; i < e.size; ++i) {
        const uint32_t* pair = &json_->runs_[e.first + 2 * i];
        if (JsonRef(json_, pair[0]).Text() == name)
            return JsonRef(json_, pair[1]);
    }
    return {};
}

} // namespace harness::live
