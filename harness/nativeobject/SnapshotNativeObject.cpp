#include "harness/nativeobject/SnapshotNativeObject.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <intrin.h>

#include "harness/nativeobject/NodeScriptObject.h"
#include "harness/nativeobject/ScriptNumber.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"

namespace harness {

namespace {

// Members that are not stored per node but derived from the structure, plus
// the methods the stand-in can call.
const wchar_t* const kBuiltInMembers[] = {L"parentNode",
                                          L"childNodes",
                                          L"firstChild",
                                          L"lastChild",
                                          L"previousSibling",
                                          L"nextSibling",
                                          L"hasChildNodes",
                                          L"ownerDocument",
                                          L"attributes",
                                          L"length",
                                          L"item",
                                          L"getNamedItem",
                                          L"name",
                                          L"value",
                                          L"specified",
                                          L"left",
                                          L"top",
                                          L"right",
                                          L"bottom",
                                          L"x",
                                          L"y",
                                          L"width",
                                          L"height",
                                          L"document",
                                          L"innerWidth",
                                          L"innerHeight",
                                          L"scrollX",
                                          L"scrollY",
                                          L"pageXOffset",
                                          L"pageYOffset",
                                          L"devicePixelRatio",
                                          L"frameElement",
                                          L"scrollTo",
                                          L"getComputedStyle",
                                          L"getPropertyValue",
                                          L"elementFromPoint",
                                          L"isEqualNode",
                                          L"getElementsByTagName",
                                          L"getBoundingClientRect",
                                          L"focus",
                                          L"addEventListener",
                                          L"removeEventListener",
                                          L"getAttribute",
                                          L"baseVal",
                                          L"nodeType",
                                          L"nodeName",
                                          L"nodeValue",
                                          L"getElementById"};

// Adds the time between its construction and destruction to a total, in
// processor time-stamp ticks: reading them costs a few cycles, where a
// performance-counter read may be a system call whose cost would otherwise
// land outside the measured span, on the caller's side.
class OwnTime
{
public:
    explicit OwnTime(std::atomic<LONGLONG>& total) : total_(total), start_(__rdtsc()) {}
    ~OwnTime() { total_ += static_cast<LONGLONG>(__rdtsc() - start_); }
    OwnTime(const OwnTime&) = delete;
    OwnTime& operator=(const OwnTime&) = delete;

private:
    std::atomic<LONGLONG>& total_;
    unsigned long long start_;
};

// Time-stamp ticks per second, measured once against the performance counter.
double TicksPerSecond()
{
    static const double perSecond = [] {
        LARGE_INTEGER frequency, from, to;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&from);
        const unsigned long long start = __rdtsc();
        do
            QueryPerformanceCounter(&to);
        while (to.QuadPart - from.QuadPart < frequency.QuadPart / 20); // 50 ms
        const unsigned long long ticks = __rdtsc() - start;
        return static_cast<double>(ticks) * static_cast<double>(frequency.QuadPart) /
               static_cast<double>(to.QuadPart - from.QuadPart);
    }();
    return perSecond;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return towlower(x) == towlower(y); });
}

HRESULT ArgAsDouble(VARIANT* arg, double& out)
{
    vx::com::Variant v;
    HRESULT hr = VariantChangeType(v.Get(), arg, 0, VT_R8);
    if (FAILED(hr))
        return DISP_E_TYPEMISMATCH;
    out = V_R8(v.Get());
    return S_OK;
}

HRESULT ArgAsString(VARIANT* arg, std::wstring& out)
{
    vx::com::Variant v;
    if (FAILED(VariantChangeType(v.Get(), arg, 0, VT_BSTR)))
        return DISP_E_TYPEMISMATCH;
    BSTR s = V_BSTR(v.Get());
    out.assign(s ? s : L"", s ? SysStringLen(s) : 0);
    return S_OK;
}

void PutString(const std::wstring& s, VARIANT* out)
{
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
}

void PutBool(bool b, VARIANT* out)
{
    V_VT(out) = VT_BOOL;
    V_BOOL(out) = b ? VARIANT_TRUE : VARIANT_FALSE;
}

long CountOf(const std::unordered_map<std::wstring, long>& counts, const std::wstring& name)
{
    auto it = counts.find(name);
    return it == counts.end() ? 0 : it->second;
}

} // namespace

SnapshotNativeObject::SnapshotNativeObject(SnapshotPage page) : page_(std::move(page))
{
    auto add = [this](const std::wstring& name) {
        if (memberIds_.emplace(name, static_cast<LONG>(memberNames_.size() + 1)).second)
            memberNames_.push_back(name);
    };
    for (const wchar_t* name : kBuiltInMembers)
        add(name);
    for (const std::wstring& name : page_.MemberNames())
        add(name);
    for (const SnapDocument& doc : page_.documents) {
        const SnapValue* active = page_.Prop(doc.node, L"activeElement");
        activeElement_.push_back(active && active->kind == SnapValue::Kind::Node ? active->ref : 0);
    }
}

SnapshotNativeObject::~SnapshotNativeObject()
{
    for (Handle* h : live_)
        delete h;
}

Microsoft::WRL::ComPtr<SnapshotNativeObject> CreateSnapshotNativeObject(const std::wstring& path)
{
    Microsoft::WRL::ComPtr<SnapshotNativeObject> object;
    HRESULT hr = vx::com::CreateComObject(object, SnapshotPage::Load(path));
    if (FAILED(hr))
        throw std::runtime_error("cannot create the native object stand-in");
    return object;
}

// ------------------------------------------------------------ handles

NodeImpl* SnapshotNativeObject::Issue(Handle h)
{
    Handle* record = new Handle(std::move(h));
    live_.insert(record);
    ++issued_;
    return reinterpret_cast<NodeImpl*>(record);
}

SnapshotNativeObject::Handle* SnapshotNativeObject::Find(NodeImpl* node)
{
    Handle* h = reinterpret_cast<Handle*>(node);
    if (live_.count(h))
        return h;
    ++faults_;
    return nullptr;
}

void SnapshotNativeObject::Retire(Handle* h)
{
    live_.erase(h);
    delete h;
}

void SnapshotNativeObject::CountDomCall(NativeSlot slot)
{
    ++slotCalls_[static_cast<int>(slot)];
    if (!renderer_.IsCurrent())
        ++offThread_;
}

template <class Body>
HRESULT SnapshotNativeObject::OnHandle(NativeSlot slot, NodeImpl* node, Body&& body)
{
    OwnTime time(ownTicks_); // the lock is the stand-in's own time too
    std::lock_guard<std::mutex> lock(mutex_);
    CountDomCall(slot);
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    return body(*h);
}

template <class Body>
HRESULT SnapshotNativeObject::OnMember(NativeSlot slot, NodeImpl* node, LONG member, Body&& body)
{
    OwnTime time(ownTicks_); // the lock is the stand-in's own time too
    std::lock_guard<std::mutex> lock(mutex_);
    CountDomCall(slot);
    std::wstring name = NameOf(member);
    if (name.empty())
        return DISP_E_MEMBERNOTFOUND;
    ++memberCalls_[name];
    CountSlotMember(slot, member, 1);
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    return body(*h, name);
}

void SnapshotNativeObject::PutHandle(Handle h, VARIANT* out)
{
    V_VT(out) = VT_PTR;
    V_BYREF(out) = Issue(std::move(h));
}

void SnapshotNativeObject::PutNode(long id, VARIANT* out)
{
    if (id <= 0 || !page_.HasNode(id)) {
        V_VT(out) = VT_NULL;
        return;
    }
    PutHandle(Handle::Bound(Kind::Node, id), out);
}

void SnapshotNativeObject::PutCollection(std::vector<long> ids, VARIANT* out)
{
    Handle h;
    h.kind = Kind::Collection;
    h.list = std::move(ids);
    PutHandle(std::move(h), out);
}

void SnapshotNativeObject::PutAttribute(long element, size_t index, VARIANT* out)
{
    Handle h = Handle::Bound(Kind::Attribute, element);
    h.index = index;
    PutHandle(std::move(h), out);
}

std::vector<long> SnapshotNativeObject::LiveList(const std::vector<long>& ids) const
{
    std::vector<long> out;
    out.reserve(ids.size());
    for (long id : ids)
        if (id <= 0 || !page_.HasNode(id) || !page_.Node(id).removed)
            out.push_back(id);
    return out;
}

HRESULT SnapshotNativeObject::ToVariant(const SnapValue& v, VARIANT* out)
{
    switch (v.kind) {
    case SnapValue::Kind::Undefined:
        return S_OK;
    case SnapValue::Kind::Null:
        V_VT(out) = VT_NULL;
        return S_OK;
    case SnapValue::Kind::Bool:
        PutBool(v.boolean, out);
        return S_OK;
    case SnapValue::Kind::Number:
        ScriptNumberToVariant(v.number, out);
        return S_OK;
    case SnapValue::Kind::String:
        PutString(v.text, out);
        return S_OK;
    case SnapValue::Kind::Node:
        PutNode(v.ref, out);
        return S_OK;
    case SnapValue::Kind::Window: {
        // A frame's window closes with its frame element: script then reads
        // null for it ("contentWindow", "defaultView").
        const long frameElement = page_.documents.at(static_cast<size_t>(v.ref)).frameElement;
        if (frameElement > 0 && page_.HasNode(frameElement) && page_.Node(frameElement).removed) {
            V_VT(out) = VT_NULL;
            return S_OK;
        }
        PutHandle(Handle::OfWindow(static_cast<int>(v.ref)), out);
        return S_OK;
    }
    case SnapValue::Kind::List:
        PutCollection(LiveList(v.list), out);
        return S_OK;
    case SnapValue::Kind::Object: {
        Handle h;
        h.kind = Kind::Object;
        h.object = v;
        PutHandle(std::move(h), out);
        return S_OK;
    }
    case SnapValue::Kind::Error:
        return DISP_E_EXCEPTION;
    }
    return E_UNEXPECTED;
}

SnapRect SnapshotNativeObject::CurrentRect(long id) const
{
    const SnapNode& node = page_.Node(id);
    SnapRect r = node.rect;
    const SnapWindow& w = page_.documents.at(static_cast<size_t>(node.doc)).window;
    r.x -= w.scrollX - w.capturedScrollX;
    r.y -= w.scrollY - w.capturedScrollY;
    return r;
}

long SnapshotNativeObject::HitTest(int doc, double x, double y) const
{
    const SnapDocument& d = page_.documents.at(static_cast<size_t>(doc));
    const SnapHitGrid& g = d.hitGrid;
    if (!g.present || g.step <= 0 || x < 0 || y < 0 || x >= d.window.innerWidth || y >= d.window.innerHeight)
        return 0;
    double px = x + d.window.scrollX - d.window.capturedScrollX;
    double py = y + d.window.scrollY - d.window.capturedScrollY;
    if (px < 0 || py < 0)
        return 0;
    int column = static_cast<int>(px) / g.step, row = static_cast<int>(py) / g.step;
    if (column >= g.columns || row >= g.rows)
        return 0;
    long id = g.ids.at(static_cast<size_t>(row * g.columns + column));
    return id > 0 && page_.HasNode(id) && !page_.Node(id).removed ? id : 0;
}

void SnapshotNativeObject::CollectElementsByTag(long id, const std::wstring& tag, std::vector<long>& out) const
{
    for (long child : page_.Node(id).children) {
        if (page_.Node(child).nodeType == 1 && (tag == L"*" || EqualsNoCase(page_.StringProp(child, L"tagName"), tag)))
            out.push_back(child);
        CollectElementsByTag(child, tag, out);
    }
}

// The first element below `id` in document order whose id attribute is
// exactly `elementId`; 0 when none. Frame documents are not children of
// their frame elements, so the search stays in one document.
long SnapshotNativeObject::FirstElementWithId(long id, const std::wstring& elementId) const
{
    for (long child : page_.Node(id).children) {
        const SnapNode& node = page_.Node(child);
        if (node.nodeType == 1)
            for (const auto& attr : node.attrs)
                if (attr.first == L"id" && attr.second == elementId)
                    return child;
        if (long found = FirstElementWithId(child, elementId))
            return found;
    }
    return 0;
}

void SnapshotNativeObject::CountSlotMember(NativeSlot slot, LONG member, long delta)
{
    std::vector<long>& counts = slotMemberCalls_[slot];
    if (counts.size() < memberNames_.size())
        counts.resize(memberNames_.size());
    counts.at(static_cast<size_t>(member - 1)) += delta;
}

std::wstring SnapshotNativeObject::NameOf(LONG member)
{
    if (member < 1 || member > static_cast<LONG>(memberNames_.size()))
        return std::wstring();
    return memberNames_[static_cast<size_t>(member - 1)];
}

// ------------------------------------------------------------ reads

HRESULT SnapshotNativeObject::ReadNodeMember(long id, const std::wstring& name, VARIANT* value)
{
    SnapNode& node = page_.Node(id);
    const std::vector<long>* siblings = node.parent ? &page_.Node(node.parent).children : nullptr;
    auto position = [&]() -> long { return siblings ? node.indexInParent : -1; };

    if (name == L"parentNode") {
        PutNode(node.parent, value);
    } else if (name == L"childNodes") {
        PutCollection(node.children, value);
    } else if (name == L"firstChild") {
        PutNode(node.children.empty() ? 0 : node.children.front(), value);
    } else if (name == L"lastChild") {
        PutNode(node.children.empty() ? 0 : node.children.back(), value);
    } else if (name == L"previousSibling") {
        long p = position();
        PutNode(p > 0 ? (*siblings)[static_cast<size_t>(p - 1)] : 0, value);
    } else if (name == L"nextSibling") {
        long p = position();
        PutNode(p >= 0 && p + 1 < static_cast<long>(siblings->size()) ? (*siblings)[static_cast<size_t>(p + 1)] : 0,
                value);
    } else if (name == L"hasChildNodes") {
        PutBool(!node.children.empty(), value);
    } else if (name == L"ownerDocument") {
        PutNode(node.nodeType == 9 ? 0 : page_.documents.at(static_cast<size_t>(node.doc)).node, value);
    } else if (name == L"attributes" && node.nodeType == 1) {
        PutHandle(Handle::Bound(Kind::AttributeMap, id), value);
    } else if (name == L"activeElement" && node.nodeType == 9) {
        PutNode(activeElement_.at(static_cast<size_t>(node.doc)), value);
    } else {
        auto it = node.props.find(name);
        if (it == node.props.end())
            return DISP_E_MEMBERNOTFOUND; // the node has no such member (undefined in script)
        return ToVariant(it->second, value);
    }
    return S_OK;
}

HRESULT SnapshotNativeObject::ReadMember(Handle& h, const std::wstring& name, VARIANT* value)
{
    switch (h.kind) {
    case Kind::Node:
        return ReadNodeMember(h.node, name, value);
    case Kind::Window: {
        const SnapDocument& doc = page_.documents.at(static_cast<size_t>(h.doc));
        const SnapWindow& w = doc.window;
        if (name == L"document")
            PutNode(doc.node, value);
        else if (name == L"innerWidth")
            ScriptNumberToVariant(w.innerWidth, value);
        else if (name == L"innerHeight")
            ScriptNumberToVariant(w.innerHeight, value);
        else if (name == L"scrollX" || name == L"pageXOffset")
            ScriptNumberToVariant(w.scrollX, value);
        else if (name == L"scrollY" || name == L"pageYOffset")
            ScriptNumberToVariant(w.scrollY, value);
        else if (name == L"devicePixelRatio")
            ScriptNumberToVariant(w.devicePixelRatio, value);
        else if (name == L"frameElement")
            PutNode(doc.frameElement, value);
        else {
            // The globals the page's scripts defined.
            auto global = doc.globals.find(name);
            return global == doc.globals.end() ? DISP_E_MEMBERNOTFOUND : ToVariant(global->second, value);
        }
        return S_OK;
    }
    case Kind::Collection:
        if (name != L"length")
            return DISP_E_MEMBERNOTFOUND;
        ScriptNumberToVariant(static_cast<double>(h.list.size()), value);
        return S_OK;
    case Kind::AttributeMap:
        if (name != L"length")
            return DISP_E_MEMBERNOTFOUND;
        ScriptNumberToVariant(static_cast<double>(page_.Node(h.node).attrs.size()), value);
        return S_OK;
    case Kind::Attribute: {
        const auto& attr = page_.Node(h.node).attrs.at(h.index);
        if (name == L"name" || name == L"nodeName")
            PutString(attr.first, value);
        else if (name == L"value" || name == L"nodeValue")
            PutString(attr.second, value);
        else if (name == L"specified")
            PutBool(page_.Node(h.node).attrSpecified.at(h.index), value);
        else if (name == L"nodeType")
            ScriptNumberToVariant(2, value);
        else
            return DISP_E_MEMBERNOTFOUND;
        return S_OK;
    }
    case Kind::Rect: {
        SnapRect r = CurrentRect(h.node);
        if (name == L"left" || name == L"x")
            ScriptNumberToVariant(r.x, value);
        else if (name == L"top" || name == L"y")
            ScriptNumberToVariant(r.y, value);
        else if (name == L"width")
            ScriptNumberToVariant(r.width, value);
        else if (name == L"height")
            ScriptNumberToVariant(r.height, value);
        else if (name == L"right")
            ScriptNumberToVariant(r.x + r.width, value);
        else if (name == L"bottom")
            ScriptNumberToVariant(r.y + r.height, value);
        else
            return DISP_E_MEMBERNOTFOUND;
        return S_OK;
    }
    case Kind::Object: {
        auto it = h.object.members.find(name);
        return it == h.object.members.end() ? DISP_E_MEMBERNOTFOUND : ToVariant(it->second, value);
    }
    case Kind::Style:
    case Kind::Function:
        return DISP_E_MEMBERNOTFOUND;
    }
    return DISP_E_MEMBERNOTFOUND;
}

// ------------------------------------------------------------ calls

HRESULT SnapshotNativeObject::CallMember(Handle& h, const std::wstring& name, const std::vector<VARIANT*>& args,
                                         VARIANT* result)
{
    auto need = [&](size_t n) { return args.size() >= n; };
    if ((h.kind == Kind::Collection || h.kind == Kind::AttributeMap) && name == L"item") {
        double index = 0;
        if (!need(1) || FAILED(ArgAsDouble(args[0], index)))
            return DISP_E_BADPARAMCOUNT;
        size_t size = h.kind == Kind::Collection ? h.list.size() : page_.Node(h.node).attrs.size();
        if (index < 0 || index >= static_cast<double>(size)) {
            V_VT(result) = VT_NULL;
            return S_OK;
        }
        if (h.kind == Kind::Collection)
            PutNode(h.list[static_cast<size_t>(index)], result);
        else
            PutAttribute(h.node, static_cast<size_t>(index), result);
        return S_OK;
    }
    if (h.kind == Kind::AttributeMap && name == L"getNamedItem") {
        std::wstring wanted;
        if (!need(1) || FAILED(ArgAsString(args[0], wanted)))
            return DISP_E_BADPARAMCOUNT;
        const auto& attrs = page_.Node(h.node).attrs;
        for (size_t i = 0; i < attrs.size(); ++i)
            if (EqualsNoCase(attrs[i].first, wanted)) {
                PutAttribute(h.node, i, result);
                return S_OK;
            }
        V_VT(result) = VT_NULL;
        return S_OK;
    }
    if (h.kind == Kind::Window && name == L"scrollTo") {
        double x = 0, y = 0;
        if (!need(2) || FAILED(ArgAsDouble(args[0], x)) || FAILED(ArgAsDouble(args[1], y)))
            return DISP_E_BADPARAMCOUNT;
        SnapDocument& doc = page_.documents.at(static_cast<size_t>(h.doc));
        const SnapValue* root = page_.Prop(doc.node, L"documentElement");
        double maxX = 1e9, maxY = 1e9;
        if (root && root->kind == SnapValue::Kind::Node) {
            const SnapValue* sw = page_.Prop(root->ref, L"scrollWidth");
            const SnapValue* sh = page_.Prop(root->ref, L"scrollHeight");
            if (sw && sw->kind == SnapValue::Kind::Number)
                maxX = std::max(0.0, sw->number - doc.window.innerWidth);
            if (sh && sh->kind == SnapValue::Kind::Number)
                maxY = std::max(0.0, sh->number - doc.window.innerHeight);
        }
        doc.window.scrollX = std::clamp(std::floor(x), 0.0, maxX);
        doc.window.scrollY = std::clamp(std::floor(y), 0.0, maxY);
        return S_OK;
    }
    if (h.kind == Kind::Window && page_.documents.at(static_cast<size_t>(h.doc)).calls.count(name)) {
        // A global function of the page: what it answered in the browser for
        // that argument; null for an argument it was not called with.
        const auto& answers = page_.documents.at(static_cast<size_t>(h.doc)).calls.at(name);
        std::wstring argument;
        if (!need(1) || FAILED(ArgAsString(args[0], argument)))
            return DISP_E_BADPARAMCOUNT;
        auto answer = answers.find(argument);
        if (answer == answers.end()) {
            V_VT(result) = VT_NULL;
            return S_OK;
        }
        return ToVariant(answer->second, result);
    }
    if (h.kind == Kind::Window && name == L"getComputedStyle") {
        Handle* element = need(1) && V_VT(args[0]) == VT_PTR ? Find(static_cast<NodeImpl*>(V_BYREF(args[0]))) : nullptr;
        if (!element || element->kind != Kind::Node || page_.Node(element->node).nodeType != 1)
            return DISP_E_TYPEMISMATCH;
        PutHandle(Handle::Bound(Kind::Style, element->node), result);
        return S_OK;
    }
    if (h.kind == Kind::Style && name == L"getPropertyValue") {
        std::wstring property;
        if (!need(1) || FAILED(ArgAsString(args[0], property)))
            return DISP_E_BADPARAMCOUNT;
        const auto& style = page_.Node(h.node).style;
        auto it = style.find(property);
        PutString(it == style.end() ? std::wstring() : it->second, result);
        return S_OK;
    }
    if (h.kind != Kind::Node)
        return DISP_E_MEMBERNOTFOUND;

    SnapNode& node = page_.Node(h.node);
    if (name == L"isEqualNode") {
        Handle* other = need(1) && V_VT(args[0]) == VT_PTR ? Find(static_cast<NodeImpl*>(V_BYREF(args[0]))) : nullptr;
        PutBool(other && other->kind == Kind::Node && EqualNodes(h.node, other->node), result);
        return S_OK;
    }
    if (name == L"getElementsByTagName" && (node.nodeType == 1 || node.nodeType == 9)) {
        std::wstring tag;
        if (!need(1) || FAILED(ArgAsString(args[0], tag)))
            return DISP_E_BADPARAMCOUNT;
        std::vector<long> found;
        CollectElementsByTag(h.node, tag, found);
        PutCollection(std::move(found), result);
        return S_OK;
    }
    if (name == L"getElementById" && node.nodeType == 9) {
        std::wstring wanted;
        if (!need(1) || FAILED(ArgAsString(args[0], wanted)))
            return DISP_E_BADPARAMCOUNT;
        // An empty id names no element.
        PutNode(wanted.empty() ? 0 : FirstElementWithId(h.node, wanted), result);
        return S_OK;
    }
    if (name == L"elementFromPoint" && node.nodeType == 9) {
        double x = 0, y = 0;
        if (!need(2) || FAILED(ArgAsDouble(args[0], x)) || FAILED(ArgAsDouble(args[1], y)))
            return DISP_E_BADPARAMCOUNT;
        PutNode(HitTest(node.doc, x, y), result);
        return S_OK;
    }
    if (name == L"getBoundingClientRect" && node.nodeType == 1) {
        PutHandle(Handle::Bound(Kind::Rect, h.node), result);
        return S_OK;
    }
    if (name == L"focus" && node.nodeType == 1) {
        if (!node.removed) {
            activeElement_.at(static_cast<size_t>(node.doc)) = h.node;
            pendingEvents_.emplace_back(h.node, L"focus");
        }
        return S_OK;
    }
    if (name == L"getAttribute" && node.nodeType == 1) {
        std::wstring wanted;
        if (!need(1) || FAILED(ArgAsString(args[0], wanted)))
            return DISP_E_BADPARAMCOUNT;
        V_VT(result) = VT_NULL;
        for (const auto& attr : node.attrs)
            if (EqualsNoCase(attr.first, wanted)) {
                PutString(attr.second, result);
                break;
            }
        return S_OK;
    }
    if (name == L"hasChildNodes") {
        PutBool(!node.children.empty(), result);
        return S_OK;
    }
    if (name == L"addEventListener" || name == L"removeEventListener") {
        std::wstring type;
        if (!need(2) || FAILED(ArgAsString(args[0], type)) || V_VT(args[1]) != VT_PTR)
            return DISP_E_TYPEMISMATCH;
        Handle* fn = Find(static_cast<NodeImpl*>(V_BYREF(args[1])));
        if (!fn || fn->kind != Kind::Function)
            return DISP_E_TYPEMISMATCH;
        bool capture = false;
        if (need(3)) {
            vx::com::Variant b;
            if (SUCCEEDED(VariantChangeType(b.Get(), args[2], 0, VT_BOOL)))
                capture = V_BOOL(b.Get()) != VARIANT_FALSE;
        }
        auto same = [&](const Listener& l) {
            return l.node == h.node && l.type == type && l.cookie == fn->cookie && l.capture == capture;
        };
        auto it = std::find_if(listeners_.begin(), listeners_.end(), same);
        if (name == L"addEventListener" && it == listeners_.end())
            listeners_.push_back({h.node, type, fn->cookie, capture});
        else if (name == L"removeEventListener" && it != listeners_.end())
            listeners_.erase(it);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
}

// ------------------------------------------------------------ interface

HRESULT SnapshotNativeObject::GetVersion(LONG* version)
{
    if (!version)
        return E_POINTER;
    ++slotCalls_[static_cast<int>(NativeSlot::GetVersion)];
    *version = 1;
    return S_OK;
}

LONG SnapshotNativeObject::GetBrowserWindow()
{
    ++slotCalls_[static_cast<int>(NativeSlot::GetBrowserWindow)];
    return browserWindow_;
}

HRESULT SnapshotNativeObject::GetInfoString(BSTR* info)
{
    if (!info)
        return E_POINTER;
    ++slotCalls_[static_cast<int>(NativeSlot::GetInfoString)];
    std::lock_guard<std::mutex> lock(mutex_);
    *info = SysAllocString((L"snapshot " + page_.url).c_str());
    return *info ? S_OK : E_OUTOFMEMORY;
}

HRESULT SnapshotNativeObject::GetExclusionAttributeName(BSTR* name)
{
    if (!name)
        return E_POINTER;
    ++slotCalls_[static_cast<int>(NativeSlot::GetExclusionAttributeName)];
    std::lock_guard<std::mutex> lock(mutex_);
    *name = SysAllocString(page_.exclusionAttributeName.c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT SnapshotNativeObject::GetWindowNode(NodeImpl** window)
{
    if (!window)
        return E_POINTER;
    *window = nullptr;
    OwnTime time(ownTicks_); // the lock is the stand-in's own time too
    std::lock_guard<std::mutex> lock(mutex_);
    CountDomCall(NativeSlot::GetWindowNode);
    if (page_.documents.empty() || !page_.documents[0].window.present)
        return S_OK;
    *window = Issue(Handle::OfWindow(0));
    return S_OK;
}

HRESULT SnapshotNativeObject::CloneNode(NodeImpl* node, NodeImpl** clone)
{
    if (!clone)
        return E_POINTER;
    *clone = nullptr;
    return OnHandle(NativeSlot::CloneNode, node, [&](Handle& h) -> HRESULT {
        *clone = Issue(h);
        return S_OK;
    });
}

HRESULT SnapshotNativeObject::ReleaseNode(NodeImpl* node)
{
    return OnHandle(NativeSlot::ReleaseNode, node, [&](Handle& h) -> HRESULT {
        Retire(&h);
        return S_OK;
    });
}

void SnapshotNativeObject::ReleaseScriptObjectHandle(NodeImpl* handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    --scriptObjectHandles_;
    if (Handle* h = Find(handle))
        Retire(h);
    else
        ++faults_;
}

void SnapshotNativeObject::AdoptScriptObjectHandle()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++scriptObjectHandles_;
}

long SnapshotNativeObject::ScriptObjectHandles()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return scriptObjectHandles_;
}

HRESULT SnapshotNativeObject::GetNodeId(NodeImpl* node, LONG* id)
{
    if (!id)
        return E_POINTER;
    *id = 0;
    return OnHandle(NativeSlot::GetNodeId, node, [&](Handle& h) -> HRESULT {
        if (h.kind == Kind::Node)
            *id = h.node;
        else if (h.kind == Kind::Window)
            *id = 0x40000000 + h.doc;
        else
            return E_NOINTERFACE; // not a DOM node
        return S_OK;
    });
}

HRESULT SnapshotNativeObject::GetIDOfName(BSTR name, LONG* member)
{
    if (!member)
        return E_POINTER;
    *member = 0;
    OwnTime time(ownTicks_); // the lock is the stand-in's own time too
    std::lock_guard<std::mutex> lock(mutex_);
    CountDomCall(NativeSlot::GetIDOfName);
    std::wstring key(name ? name : L"", name ? SysStringLen(name) : 0);
    ++lookupCalls_[key];
    auto refused = refused_.find(key);
    if (refused != refused_.end() && refused->second > 0) {
        --refused->second;
        return DISP_E_UNKNOWNNAME;
    }
    auto it = memberIds_.find(key);
    if (it == memberIds_.end())
        return DISP_E_UNKNOWNNAME;
    *member = it->second;
    return S_OK;
}

HRESULT SnapshotNativeObject::GetNameOfID(LONG member, BSTR* name)
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    ++slotCalls_[static_cast<int>(NativeSlot::GetNameOfID)];
    std::wstring text = NameOf(member);
    if (text.empty())
        return DISP_E_MEMBERNOTFOUND;
    *name = SysAllocString(text.c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT SnapshotNativeObject::HasMember(NodeImpl* node, LONG member, BOOL* present)
{
    if (!present)
        return E_POINTER;
    *present = FALSE;
    vx::com::Variant value;
    HRESULT hr = GetProperty(node, member, value.Get());
    if (hr == DISP_E_MEMBERNOTFOUND)
        hr = S_OK;
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    ++slotCalls_[static_cast<int>(NativeSlot::HasMember)];
    --slotCalls_[static_cast<int>(NativeSlot::GetProperty)];
    if (!NameOf(member).empty()) {
        CountSlotMember(NativeSlot::GetProperty, member, -1);
        CountSlotMember(NativeSlot::HasMember, member, 1);
    }
    if (value.Type() == VT_PTR)
        Retire(Find(static_cast<NodeImpl*>(V_BYREF(value.Get()))));
    *present = hr == S_OK && value.Type() != VT_EMPTY;
    return S_OK;
}

HRESULT SnapshotNativeObject::GetProperty(NodeImpl* node, LONG member, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    return OnMember(NativeSlot::GetProperty, node, member,
                    [&](Handle& h, const std::wstring& name) -> HRESULT { return ReadMember(h, name, value); });
}

HRESULT SnapshotNativeObject::PutProperty(NodeImpl* node, LONG member, VARIANT* value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    CountDomCall(NativeSlot::PutProperty);
    return Find(node) ? E_NOTIMPL : E_INVALIDARG;
}

HRESULT SnapshotNativeObject::Invoke(NodeImpl* node, LONG member, DISPPARAMS* params, VARIANT* result)
{
    if (result)
        VariantInit(result);
    vx::com::Variant ignored;
    VARIANT* out = result ? result : ignored.Get();
    const HRESULT hr = OnMember(NativeSlot::Invoke, node, member, [&](Handle& h, const std::wstring& name) -> HRESULT {
        if (params && params->cNamedArgs)
            return DISP_E_NONAMEDARGS;
        std::vector<VARIANT*> args; // in call order
        if (params)
            for (UINT i = params->cArgs; i > 0; --i)
                args.push_back(&params->rgvarg[i - 1]);
        return CallMember(h, name, args, out);
    });
    FirePendingEvents();
    return hr;
}

void SnapshotNativeObject::FirePendingEvents()
{
    std::vector<std::pair<long, std::wstring>> events;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events.swap(pendingEvents_);
    }
    for (const auto& [nodeId, type] : events) {
        FireEvent(nodeId, type, false);
        if (type == L"focus")
            FireEvent(nodeId, L"focusin", true);
    }
}

HRESULT SnapshotNativeObject::GetNodeScriptObject(NodeImpl* node, IDispatch** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ++slotCalls_[static_cast<int>(NativeSlot::GetNodeScriptObject)];
    NodeImpl* own = nullptr;
    HRESULT hr = CloneNode(node, &own);
    if (FAILED(hr))
        return hr;
    return CreateNodeScriptObject(this, own, object);
}

HRESULT SnapshotNativeObject::GetNodeScriptObjectEx(NodeImpl* node, BSTR members, IDispatch** object)
{
    // The member list only tells which members will be used; every member is answered.
    HRESULT hr = GetNodeScriptObject(node, object);
    --slotCalls_[static_cast<int>(NativeSlot::GetNodeScriptObject)];
    ++slotCalls_[static_cast<int>(NativeSlot::GetNodeScriptObjectEx)];
    return hr;
}

HRESULT SnapshotNativeObject::RunOnRendererThread(VxCrRendererThreadCallback callback, void* context, ULONG timeout)
{
    ++slotCalls_[static_cast<int>(NativeSlot::RunOnRendererThread)];
    HRESULT hr = renderer_.Run(callback, context, timeout);
    if (dropRendererErrorInfo_)
        SetErrorInfo(0, nullptr);
    return hr;
}

HRESULT SnapshotNativeObject::CreateScriptCallback(IvxCrScriptCallback0* callback, ULONGLONG* cookie,
                                                   NodeImpl** function)
{
    if (!cookie || !function)
        return E_POINTER;
    *cookie = 0;
    *function = nullptr;
    if (!callback)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    CountDomCall(NativeSlot::CreateScriptCallback);
    ULONGLONG c = nextCookie_++;
    callbacks_[c] = callback;
    Handle h;
    h.kind = Kind::Function;
    h.cookie = c;
    *cookie = c;
    *function = Issue(std::move(h));
    return S_OK;
}

HRESULT SnapshotNativeObject::ReleaseScriptCallback(ULONGLONG cookie)
{
    Microsoft::WRL::ComPtr<IvxCrScriptCallback0> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    CountDomCall(NativeSlot::ReleaseScriptCallback);
    auto it = callbacks_.find(cookie);
    if (it == callbacks_.end())
        return E_INVALIDARG;
    dropped = std::move(it->second);
    callbacks_.erase(it);
    return S_OK;
}

HRESULT SnapshotNativeObject::IsNodeAlive(NodeImpl* node, BOOL* alive)
{
    if (!alive)
        return E_POINTER;
    *alive = FALSE;
    return OnHandle(NativeSlot::IsNodeAlive, node, [&](Handle& h) -> HRESULT {
        bool nodeBound =
            h.kind != Kind::Window && h.kind != Kind::Collection && h.kind != Kind::Function && h.kind != Kind::Object;
        *alive = nodeBound ? !page_.Node(h.node).removed : TRUE;
        return S_OK;
    });
}

// ------------------------------------------------------------ observation and steering

const wchar_t* NativeSlotName(NativeSlot slot)
{
    static const wchar_t* const kNames[] = {
        L"GetVersion",
        L"GetBrowserWindow",
        L"GetInfoString",
        L"GetExclusionAttributeName",
        L"GetWindowNode",
        L"CloneNode",
        L"ReleaseNode",
        L"GetNodeId",
        L"GetIDOfName",
        L"GetNameOfID",
        L"HasMember",
        L"GetProperty",
        L"PutProperty",
        L"Invoke",
        L"GetNodeScriptObject",
        L"GetNodeScriptObjectEx",
        L"RunOnRendererThread",
        L"CreateScriptCallback",
        L"ReleaseScriptCallback",
        L"IsNodeAlive",
    };
    const int index = static_cast<int>(slot) - static_cast<int>(NativeSlot::GetVersion);
    return index >= 0 && index < static_cast<int>(sizeof kNames / sizeof kNames[0]) ? kNames[index] : L"?";
}

long SnapshotNativeObject::LiveHandles()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<long>(live_.size());
}

long SnapshotNativeObject::HandlesIssued()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return issued_;
}

long SnapshotNativeObject::Faults()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

long SnapshotNativeObject::SlotCalls(NativeSlot slot)
{
    return slotCalls_[static_cast<int>(slot)];
}

long SnapshotNativeObject::MemberCalls(const std::wstring& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return CountOf(memberCalls_, name);
}

long SnapshotNativeObject::TotalMemberCalls()
{
    std::lock_guard<std::mutex> lock(mutex_);
    long total = 0;
    for (const auto& entry : memberCalls_)
        total += entry.second;
    return total;
}

long SnapshotNativeObject::LookupCalls(const std::wstring& name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return CountOf(lookupCalls_, name);
}

std::vector<std::pair<std::wstring, long>> SnapshotNativeObject::CallsPerMember()
{
    std::vector<std::pair<std::wstring, long>> calls;
    std::lock_guard<std::mutex> lock(mutex_);
    for (int index = static_cast<int>(NativeSlot::GetWindowNode); index < static_cast<int>(NativeSlot::Count);
         ++index) {
        const auto slot = static_cast<NativeSlot>(index);
        if (slot == NativeSlot::RunOnRendererThread)
            continue;
        long byName = 0;
        if (auto members = slotMemberCalls_.find(slot); members != slotMemberCalls_.end())
            for (size_t member = 0; member < members->second.size(); ++member)
                if (long count = members->second[member]) {
                    calls.emplace_back(std::wstring(NativeSlotName(slot)) + L" " + memberNames_.at(member), count);
                    byName += count;
                }
        // Calls that named no member the object knows stay with the slot.
        if (long rest = slotCalls_[index] - byName)
            calls.emplace_back(NativeSlotName(slot), rest);
    }
    std::stable_sort(calls.begin(), calls.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return calls;
}

long SnapshotNativeObject::OffRendererThreadCalls()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return offThread_;
}

void SnapshotNativeObject::ResetCounters()
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& count : slotCalls_)
        count = 0;
    memberCalls_.clear();
    lookupCalls_.clear();
    slotMemberCalls_.clear();
    offThread_ = 0;
    ownTicks_ = 0;
}

double SnapshotNativeObject::OwnSeconds()
{
    return static_cast<double>(ownTicks_.load()) / TicksPerSecond();
}

long SnapshotNativeObject::NodeIdOf(NodeImpl* handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Handle* h = reinterpret_cast<Handle*>(handle);
    return live_.count(h) && h->kind == Kind::Node ? h->node : 0;
}

NodeImpl* SnapshotNativeObject::HandleOf(long nodeId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!page_.HasNode(nodeId))
        return nullptr;
    return Issue(Handle::Bound(Kind::Node, nodeId));
}

void SnapshotNativeObject::RefuseMember(const std::wstring& name, int times)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refused_[name] = times;
}

void SnapshotNativeObject::RemoveNode(long nodeId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!page_.HasNode(nodeId))
        return;
    SnapNode& node = page_.Node(nodeId);
    if (node.parent) {
        auto& siblings = page_.Node(node.parent).children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), nodeId), siblings.end());
        node.parent = 0;
    }
    std::vector<long> pending{nodeId};
    while (!pending.empty()) {
        long id = pending.back();
        pending.pop_back();
        SnapNode& n = page_.Node(id);
        n.removed = true;
        for (long& active : activeElement_)
            if (active == id) {
                const SnapValue* body = page_.Prop(page_.documents.at(static_cast<size_t>(n.doc)).node, L"body");
                active = body && body->kind == SnapValue::Kind::Node ? body->ref : 0;
            }
        pending.insert(pending.end(), n.children.begin(), n.children.end());
    }
}

long SnapshotNativeObject::ActiveElement(int doc)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return activeElement_.at(static_cast<size_t>(doc));
}

long SnapshotNativeObject::ScriptCallbackCount()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<long>(callbacks_.size());
}

long SnapshotNativeObject::ListenerCount()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<long>(listeners_.size());
}

namespace {
struct FireContext
{
    std::vector<std::pair<Microsoft::WRL::ComPtr<IvxCrScriptCallback0>, ULONGLONG>> calls;
    int made = 0;
};

HRESULT STDMETHODCALLTYPE FireOnRenderer(void* context)
{
    auto* fire = static_cast<FireContext*>(context);
    for (auto& call : fire->calls) {
        call.first->Invoke(call.second);
        ++fire->made;
    }
    return S_OK;
}
} // namespace

// DOM isEqualNode: same type, name, value and attributes (in any order),
// and equal children in order.
bool SnapshotNativeObject::EqualNodes(long a, long b) const
{
    if (a == b)
        return true;
    const SnapNode& x = page_.Node(a);
    const SnapNode& y = page_.Node(b);
    auto prop = [](const SnapNode& n, const wchar_t* name) {
        auto it = n.props.find(name);
        return it == n.props.end() ? std::wstring() : it->second.text;
    };
    if (x.nodeType != y.nodeType || prop(x, L"nodeName") != prop(y, L"nodeName") ||
        prop(x, L"nodeValue") != prop(y, L"nodeValue") || x.attrs.size() != y.attrs.size() ||
        x.children.size() != y.children.size())
        return false;
    for (const auto& attr : x.attrs)
        if (std::find(y.attrs.begin(), y.attrs.end(), attr) == y.attrs.end())
            return false;
    for (size_t i = 0; i < x.children.size(); ++i)
        if (!EqualNodes(x.children[i], y.children[i]))
            return false;
    return true;
}

void SnapshotNativeObject::SetNodeProperty(long nodeId, const std::wstring& name, SnapValue value)
{
    std::lock_guard<std::mutex> lock(mutex_);
    page_.Node(nodeId).props[name] = std::move(value);
}

bool SnapshotNativeObject::TypeText(long nodeId, const std::wstring& text)
{
    SnapValue value;
    value.kind = SnapValue::Kind::String;
    value.text = text;
    SetNodeProperty(nodeId, L"value", std::move(value));
    return FireEvent(nodeId, L"keyup") >= 0;
}

bool SnapshotNativeObject::ChooseOption(long selectId, long index)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        SnapNode& select = page_.Node(selectId);
        auto options = select.props.find(L"options");
        if (options == select.props.end() || options->second.kind != SnapValue::Kind::List || index < 0 ||
            index >= static_cast<long>(options->second.list.size()))
            return false;
        for (size_t i = 0; i < options->second.list.size(); ++i) {
            SnapNode& option = page_.Node(options->second.list[i]);
            SnapValue selected;
            selected.kind = SnapValue::Kind::Bool;
            selected.boolean = static_cast<long>(i) == index;
            option.props[L"selected"] = selected;
            if (selected.boolean)
                select.props[L"value"] = option.props[L"value"];
        }
        SnapValue selectedIndex;
        selectedIndex.kind = SnapValue::Kind::Number;
        selectedIndex.number = index;
        select.props[L"selectedIndex"] = selectedIndex;
    }
    return FireEvent(selectId, L"change") >= 0;
}

bool SnapshotNativeObject::ToggleChecked(long nodeId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    SnapValue& checked = page_.Node(nodeId).props[L"checked"];
    const bool was = checked.kind == SnapValue::Kind::Bool && checked.boolean;
    checked.kind = SnapValue::Kind::Bool;
    checked.boolean = !was;
    return true;
}

int SnapshotNativeObject::FireEvent(long nodeId, const std::wstring& type, bool bubbles)
{
    FireContext fire;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<long> path; // target first, then ancestors
        for (long id = nodeId; id && page_.HasNode(id); id = page_.Node(id).parent)
            path.push_back(id);
        // Capturing listeners from the top down, then bubbling ones from the target up.
        for (auto it = path.rbegin(); it != path.rend(); ++it)
            for (const Listener& l : listeners_)
                if (l.capture && l.node == *it && l.type == type && callbacks_.count(l.cookie))
                    fire.calls.emplace_back(callbacks_[l.cookie], l.cookie);
        for (long id : path) {
            for (const Listener& l : listeners_)
                if (!l.capture && l.node == id && l.type == type && callbacks_.count(l.cookie))
                    fire.calls.emplace_back(callbacks_[l.cookie], l.cookie);
            if (!bubbles)
                break; // the target's own listeners only
        }
    }
    renderer_.Run(&FireOnRenderer, &fire, INFINITE);
    return fire.made;
}

} // namespace harness
