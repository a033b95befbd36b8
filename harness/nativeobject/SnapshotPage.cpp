#include "harness/nativeobject/SnapshotPage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

#include <cstdio>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "platform/text/HexDigit.h"

namespace harness {

using Json = nlohmann::json;

namespace {

// Page text may hold lone surrogates (script can put any UTF-16 into the
// DOM); the snapshot writes them as "\uD800"-style escapes, which the JSON
// parser refuses because they are no Unicode. Before parsing, each lone one
// is rewritten as the noncharacter U+FDD0 followed by the surrogate moved up
// by 0x1000 (U+E800..U+EFFF); RestoreLoneSurrogates undoes that on every
// converted string. A page's own U+FDD0 before such a character would be
// misread, which no captured page has.
constexpr wchar_t kLoneSurrogateMark = 0xFDD0;
constexpr wchar_t kLoneSurrogateShift = 0x1000;

// The code unit of the "\uXXXX" escape at `at`, or -1.
long EscapedUnit(const std::string& text, size_t at)
{
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u')
        return -1;
    long unit = 0;
    for (size_t k = 2; k < 6; ++k) {
        const int digit = vx::text::HexDigitValue(text[at + k]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

std::string MarkLoneSurrogates(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out.push_back(text[i++]);
            continue;
        }
        const long unit = EscapedUnit(text, i);
        if (unit < 0xD800 || unit > 0xDFFF) {
            out.append(text, i, 2); // any other escape, "\\" included, passes whole
            i += 2;
            continue;
        }
        const long following = EscapedUnit(text, i + 6);
        if (unit <= 0xDBFF && following >= 0xDC00 && following <= 0xDFFF) {
            out.append(text, i, 12); // a proper pair
            i += 12;
            continue;
        }
        char moved[16];
        std::snprintf(moved, sizeof moved, "\\u%04lX", unit + kLoneSurrogateShift);
        out.append("\\uFDD0").append(moved);
        i += 6;
    }
    return out;
}

void RestoreLoneSurrogates(std::wstring& text)
{
    size_t write = 0;
    for (size_t read = 0; read < text.size(); ++read) {
        const wchar_t c = text[read];
        if (c == kLoneSurrogateMark && read + 1 < text.size() && text[read + 1] >= 0xE800 && text[read + 1] <= 0xEFFF) {
            text[write++] = static_cast<wchar_t>(text[++read] - kLoneSurrogateShift);
            continue;
        }
        text[write++] = c;
    }
    text.resize(write);
}

std::wstring DecodeUtf8(const std::string& text)
{
#ifdef _WIN32
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
#else
    // A wchar_t holds a whole code point here. The JSON parser has already
    // checked the UTF-8; a byte that starts no sequence becomes U+FFFD.
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t trail = lead < 0x80 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 4;
        if (trail == 4 || i + trail >= text.size()) {
            out.push_back(L'\uFFFD');
            ++i;
            continue;
        }
        char32_t c = trail ? lead & (0x3F >> trail) : lead;
        for (size_t k = 1; k <= trail; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out.push_back(static_cast<wchar_t>(c));
        i += trail + 1;
    }
    return out;
#endif
}

} // namespace

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    std::wstring out = DecodeUtf8(text);
    RestoreLoneSurrogates(out);
    return out;
}

namespace {

long RefOrZero(const Json& j)
{
    return j.is_number() ? j.get<long>() : 0;
}

SnapValue ToValue(const Json& j)
{
    SnapValue v;
    if (j.is_null()) {
        v.kind = SnapValue::Kind::Null;
    } else if (j.is_boolean()) {
        v.kind = SnapValue::Kind::Bool;
        v.boolean = j.get<bool>();
    } else if (j.is_number()) {
        v.kind = SnapValue::Kind::Number;
        v.number = j.get<double>();
    } else if (j.is_string()) {
        v.kind = SnapValue::Kind::String;
        v.text = Utf8ToWide(j.get<std::string>());
    } else if (j.is_object()) {
        if (j.contains("$node")) {
            v.kind = SnapValue::Kind::Node;
            v.ref = j["$node"].get<long>();
        } else if (j.contains("$window")) {
            v.kind = SnapValue::Kind::Window;
            v.ref = j["$window"].get<long>();
        } else if (j.contains("$list")) {
            v.kind = SnapValue::Kind::List;
            for (const Json& m : j["$list"])
                v.list.push_back(RefOrZero(m));
        } else if (j.contains("$number")) {
            v.kind = SnapValue::Kind::Number;
            std::string s = j["$number"].get<std::string>();
            v.number = s == "NaN"         ? std::numeric_limits<double>::quiet_NaN()
                       : s == "-Infinity" ? -std::numeric_limits<double>::infinity()
                                          : std::numeric_limits<double>::infinity();
        } else if (j.contains("$undefined")) {
            v.kind = SnapValue::Kind::Undefined;
        } else if (j.contains("$error")) {
            v.kind = SnapValue::Kind::Error;
            v.text = Utf8ToWide(j["$error"].get<std::string>());
        } else {
            v.kind = SnapValue::Kind::Object;
            if (j.contains("$object"))
                v.text = Utf8ToWide(j["$object"].get<std::string>());
            // Captured globals keep their members apart ("$members"); other
            // objects hold them beside the class name (e.g. baseVal).
            const Json& members = j.contains("$members") ? j["$members"] : j;
            for (auto it = members.begin(); it != members.end(); ++it)
                if (it.key() != "$object" && it.key() != "$members")
                    v.members[Utf8ToWide(it.key())] = ToValue(it.value());
        }
    }
    return v;
}

SnapWindow ToWindow(const Json& j)
{
    SnapWindow w;
    if (!j.is_object())
        return w;
    w.present = true;
    w.innerWidth = j.value("innerWidth", 0.0);
    w.innerHeight = j.value("innerHeight", 0.0);
    w.devicePixelRatio = j.value("devicePixelRatio", 1.0);
    w.scrollX = w.capturedScrollX = j.value("scrollX", 0.0);
    w.scrollY = w.capturedScrollY = j.value("scrollY", 0.0);
    return w;
}

SnapHitGrid ToHitGrid(const Json& j)
{
    SnapHitGrid g;
    if (!j.is_object())
        return g;
    g.present = true;
    g.step = j.value("step", 0);
    g.offset = j.value("offset", 0);
    g.columns = j.value("columns", 0);
    g.rows = j.value("rows", 0);
    for (const Json& id : j["ids"])
        g.ids.push_back(RefOrZero(id));
    return g;
}

} // namespace

SnapshotPage SnapshotPage::Parse(const std::string& jsonText)
{
    Json root = Json::parse(MarkLoneSurrogates(jsonText));
    if (root.value("format", std::string()) != "page-snapshot/1")
        throw std::runtime_error("not a page-snapshot/1 document");

    SnapshotPage page;
    page.url = Utf8ToWide(root.value("url", std::string()));
    if (root.contains("native") && root["native"].is_object())
        page.exclusionAttributeName = Utf8ToWide(root["native"].value("exclusionAttributeName", std::string()));

    for (const Json& d : root["documents"]) {
        SnapDocument doc;
        doc.node = RefOrZero(d["node"]);
        doc.frameElement = RefOrZero(d["frameElement"]);
        doc.window = ToWindow(d["window"]);
        doc.hitGrid = ToHitGrid(d["hitGrid"]);
        if (d.contains("globals") && d["globals"].is_object())
            for (auto it = d["globals"].begin(); it != d["globals"].end(); ++it)
                doc.globals[Utf8ToWide(it.key())] = ToValue(it.value());
        if (d.contains("calls") && d["calls"].is_object())
            for (auto fn = d["calls"].begin(); fn != d["calls"].end(); ++fn) {
                auto& answers = doc.calls[Utf8ToWide(fn.key())];
                for (auto it = fn.value().begin(); it != fn.value().end(); ++it)
                    answers[Utf8ToWide(it.key())] = ToValue(it.value());
            }
        page.documents.push_back(std::move(doc));
    }

    const Json& nodes = root["nodes"];
    page.nodes_.reserve(nodes.size());
    for (const Json& n : nodes) {
        SnapNode node;
        node.id = n["id"].get<long>();
        if (node.id != static_cast<long>(page.nodes_.size()) + 1)
            throw std::runtime_error("node ids out of order");
        node.parent = RefOrZero(n["parent"]);
        node.doc = n.value("doc", 0);
        for (auto it = n["props"].begin(); it != n["props"].end(); ++it)
            node.props.emplace(Utf8ToWide(it.key()), ToValue(it.value()));
        auto type = node.props.find(L"nodeType");
        if (type != node.props.end())
            node.nodeType = static_cast<long>(type->second.number);
        if (n.contains("attrs"))
            for (const Json& a : n["attrs"]) {
                node.attrs.emplace_back(Utf8ToWide(a[0].get<std::string>()), Utf8ToWide(a[1].get<std::string>()));
                // A third entry false marks an attribute as not specified (hand-written pages only).
                node.attrSpecified.push_back(a.size() < 3 || a[2].get<bool>());
            }
        if (n.contains("rect")) {
            const Json& r = n["rect"];
            node.hasRect = true;
            node.rect = {r.value("x", 0.0), r.value("y", 0.0), r.value("width", 0.0), r.value("height", 0.0)};
        }
        if (n.contains("style"))
            for (auto it = n["style"].begin(); it != n["style"].end(); ++it)
                node.style[Utf8ToWide(it.key())] = Utf8ToWide(it.value().get<std::string>());
        page.nodes_.push_back(std::move(node));
    }
    // Children in id order are children in DOM order.
    for (SnapNode& node : page.nodes_) {
        if (node.parent && page.HasNode(node.parent)) {
            std::vector<long>& siblings = page.Node(node.parent).children;
            node.indexInParent = static_cast<long>(siblings.size());
            siblings.push_back(node.id);
        }
    }
    return page;
}

SnapshotPage SnapshotPage::Load(const std::wstring& path)
{
#ifdef _WIN32
    std::ifstream in(path.c_str(), std::ios::binary);
#else
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
#endif
    if (!in)
        throw std::runtime_error("cannot open snapshot file");
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

const SnapValue* SnapshotPage::Prop(long id, const std::wstring& name) const
{
    if (!HasNode(id))
        return nullptr;
    const auto& props = Node(id).props;
    auto it = props.find(name);
    return it == props.end() ? nullptr : &it->second;
}

std::wstring SnapshotPage::StringProp(long id, const std::wstring& name) const
{
    const SnapValue* v = Prop(id, name);
    return v && v->kind == SnapValue::Kind::String ? v->text : std::wstring();
}

long SnapshotPage::FindById(const std::wstring& elementId) const
{
    for (const SnapNode& node : nodes_)
        if (node.nodeType == 1 && !node.removed && StringProp(node.id, L"id") == elementId)
            return node.id;
    return 0;
}

namespace {

void CollectMemberNames(const std::map<std::wstring, SnapValue>& members, std::set<std::wstring>& names)
{
    for (const auto& member : members) {
        names.insert(member.first);
        CollectMemberNames(member.second.members, names);
    }
}

} // namespace

std::vector<std::wstring> SnapshotPage::MemberNames() const
{
    std::set<std::wstring> names;
    for (const SnapNode& node : nodes_)
        for (const auto& prop : node.props)
            names.insert(prop.first);
    for (const SnapDocument& doc : documents) {
        CollectMemberNames(doc.globals, names);
        for (const auto& call : doc.calls)
            names.insert(call.first);
    }
    return std::vector<std::wstring>(names.begin(), names.end());
}

} // namespace harness
