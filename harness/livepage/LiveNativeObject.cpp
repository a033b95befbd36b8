#include "harness/livepage/LiveNativeObject.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <stdexcept>

#include "harness/livepage/LiveValues.h"
#include "harness/nativeobject/NodeScriptObject.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/Variant.h"

namespace harness {

using live::Json;

namespace {

// What the sidecar sends along with a handle: the members the library reads
// of an element while it walks and names it (type, names, id, the attribute
// map with the id and name attributes), a text node's text, a rectangle's
// sides, the style members visibility asks for and a window's viewport.
const char* const kPlan = R"({
  "Node": {"get": ["nodeType", "nodeName", "tagName", "id", "name", "type"], "objects": ["attributes"],
           "nodeid": true},
  "Text": {"get": ["nodeValue", "data"]},
  "HTMLTableCellElement": {"get": ["cellIndex"]},
  "HTMLTableRowElement": {"get": ["rowIndex"]},
  "NamedNodeMap": {"calls": [["getNamedItem", "id"], ["getNamedItem", "name"]]},
  "Attr": {"get": ["name", "value", "nodeValue", "specified"]},
  "DOMRect": {"get": ["left", "top", "right", "bottom", "x", "y", "width", "height"]},
  "CSSStyleDeclaration": {"calls": [["getPropertyValue", "display"], ["getPropertyValue", "visibility"]]},
  "Window": {"get": ["innerWidth", "innerHeight", "scrollX", "scrollY", "pageXOffset", "pageYOffset",
                     "devicePixelRatio"]}
})";

// Calls that do not change the page: what was fetched ahead stays valid.
const std::set<std::string> kPureCalls = {
    "item",
    "getNamedItem",
    "getAttribute",
    "hasAttribute",
    "getBoundingClientRect",
    "getComputedStyle",
    "getPropertyValue",
    "elementFromPoint",
    "isEqualNode",
    "getElementsByTagName",
    "getElementById",
    "hasChildNodes",
    "contains",
    "getClientRects",
};

// Members read in runs: a sibling walk reads the next sibling of each.
constexpr int kRunLength = 64;
constexpr int kItemBatch = 64;
// Releases waiting for a request are sent on their own from this many on.
constexpr size_t kReleaseBacklog = 4096;

std::string CallKey(const std::string& name, const std::vector<std::string>& arguments)
{
    std::string key = "c:" + name;
    for (const std::string& argument : arguments)
        key += "\x01" + argument;
    return key;
}

} // namespace

unsigned short LiveSidecarPortFromEnvironment()
{
    const char* port = std::getenv("VXCR_LIVE_PORT");
    return port ? static_cast<unsigned short>(std::strtoul(port, nullptr, 10)) : 0;
}

LiveNativeObject::LiveNativeObject(const LivePageOptions& options) : options_(options)
{
    Json open = {{"open", live::Utf8(options.url)},
                 {"width", options.width},
                 {"height", options.height},
                 {"loadTimeoutMs", options.loadTimeoutMs},
                 {"plan", options.fetchAhead ? Json::parse(kPlan) : Json::object()}};
    connection_ = std::make_unique<LiveConnection>(
        options.port, open, [this](const Json& message) { OnEvent(message); },
        options.loadTimeoutMs + options.callTimeoutMs);
    url_ = live::Wide(connection_->Opened().value("url", live::Utf8(options.url)));
    eventThread_ = std::thread([this] { DispatchEvents(); });
}

LiveNativeObject::~LiveNativeObject()
{
    {
        std::lock_guard<std::mutex> lock(eventMutex_);
        stopping_ = true;
    }
    eventQueued_.notify_all();
    eventThread_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        DropAhead();
        if (!releases_.empty()) {
            Json results;
            Request(Json::array(), results);
        }
    }
    connection_.reset(); // closes the tab
}

// ------------------------------------------------------------ handles

LiveNativeObject::Handle* LiveNativeObject::Find(NodeImpl* node)
{
    auto it = handles_.find(reinterpret_cast<Handle*>(node));
    if (it == handles_.end()) {
        ++faults_;
        return nullptr;
    }
    return it->first;
}

// A new handle record of the library's for a page handle.
LiveNativeObject::Handle* LiveNativeObject::NewHandle(long long remote)
{
    auto record = std::make_unique<Handle>();
    record->remote = remote;
    Handle* h = record.get();
    handles_.emplace(h, std::move(record));
    ++remoteRefs_[remote];
    ++libraryHandles_;
    return h;
}

// Takes a handle value as the library's handle; what came along with it is
// kept for reads ahead while fetching ahead, and given back otherwise.
LiveNativeObject::Handle* LiveNativeObject::Adopt(const Json& value)
{
    const long long remote = Remember(value);
    Handle* h = NewHandle(remote);
    ReleaseRef(remote); // the record holds it now
    return h;
}

// Keeps a handle value's page handle (one reference, given back by
// ReleaseRef) and notes what came along with it.
long long LiveNativeObject::Remember(const Json& value)
{
    const long long remote = value["h"].get<long long>();
    ++remoteRefs_[remote];
    if (auto id = value.find("i"); id != value.end() && id->is_number_integer())
        nodeIds_[remote] = id->get<LONG>(); // fixed for the object's life: no task needed
    const bool keep = FetchingAhead();
    if (auto p = value.find("p"); p != value.end() && keep)
        for (auto& [name, member] : p->items())
            NoteAhead(remote, "g:" + name, member);
    for (const char* group : {"o", "c"}) {
        auto members = value.find(group);
        if (members == value.end())
            continue;
        for (auto& [name, member] : members->items()) {
            if (keep)
                NoteAhead(remote, (group[0] == 'o' ? "g:" : "c:") + name, member);
            else
                QueueNestedReleases(member);
        }
    }
    return remote;
}

// A read of `owner` answered ahead. An object is held (aheadHolds_) until
// what was fetched ahead is dropped; each read of it gives the library a
// handle of its own.
void LiveNativeObject::NoteAhead(long long owner, const std::string& key, const Json& value)
{
    AheadValue entry;
    if (live::IsHandleValue(value)) {
        entry.remote = Remember(value);
        aheadHolds_.push_back(entry.remote);
    } else {
        entry.value = value;
    }
    ahead_[owner][key] = std::move(entry);
}

void LiveNativeObject::NoteAheadObject(long long owner, const std::string& key, long long remote)
{
    AheadValue entry;
    entry.remote = remote;
    ++remoteRefs_[remote];
    aheadHolds_.push_back(remote);
    ahead_[owner][key] = std::move(entry);
}

void LiveNativeObject::QueueNestedReleases(const Json& value)
{
    if (!live::IsHandleValue(value))
        return;
    QueueRelease(value["h"].get<long long>());
    for (const char* group : {"o", "c"})
        if (auto members = value.find(group); members != value.end())
            for (auto& [name, member] : members->items())
                QueueNestedReleases(member);
}

void LiveNativeObject::Retire(Handle* h)
{
    --libraryHandles_;
    const long long remote = h->remote;
    handles_.erase(h);
    ReleaseRef(remote);
}

void LiveNativeObject::ReleaseRef(long long remote)
{
    if (--remoteRefs_[remote] == 0) {
        remoteRefs_.erase(remote);
        nodeIds_.erase(remote);
        ahead_.erase(remote);
        QueueRelease(remote);
    }
}

void LiveNativeObject::QueueRelease(long long remote)
{
    releases_.push_back(remote);
}

bool LiveNativeObject::FetchingAhead() const
{
    return options_.fetchAhead && taskDepth_ > 0 && renderer_.IsCurrent();
}

void LiveNativeObject::DropAhead()
{
    ahead_.clear();
    std::vector<long long> holds;
    holds.swap(aheadHolds_);
    for (long long remote : holds)
        ReleaseRef(remote);
}

bool LiveNativeObject::TakeAhead(Handle* owner, const std::string& key, AheadValue& out)
{
    if (!FetchingAhead())
        return false;
    auto reads = ahead_.find(owner->remote);
    if (reads == ahead_.end())
        return false;
    auto it = reads->second.find(key);
    if (it == reads->second.end())
        return false;
    out = it->second;
    return true;
}

HRESULT LiveNativeObject::AnswerAhead(const AheadValue& ahead, VARIANT* out)
{
    VariantInit(out);
    if (ahead.remote) {
        V_VT(out) = VT_PTR;
        V_BYREF(out) = NewHandle(ahead.remote);
        return S_OK;
    }
    HRESULT hr = live::ValueStatus(ahead.value);
    return FAILED(hr) ? hr : live::PrimitiveToVariant(ahead.value, out);
}

// ------------------------------------------------------------ requests

// Sends the queued releases and `ops` in one request; `results` holds the
// answers of `ops` only.
HRESULT LiveNativeObject::Request(Json ops, Json& results)
{
    Json all = Json::array();
    for (long long remote : releases_)
        all.push_back(Json::array({"release", remote}));
    const size_t released = releases_.size();
    releases_.clear();
    if (ops.empty()) {
        ++tripsByRead_["release"];
    } else {
        const Json& first = ops[0];
        std::string read = first[0].get<std::string>();
        if (first.size() > 2 && first[2].is_string())
            read += " " + first[2].get<std::string>();
        ++tripsByRead_[read];
    }
    for (Json& op : ops)
        all.push_back(std::move(op));
    Json answer;
    HRESULT hr = connection_->Call(Json{{"ops", std::move(all)}}, answer, options_.callTimeoutMs);
    if (FAILED(hr)) {
        if (hr != HRESULT_FROM_WIN32(ERROR_TIMEOUT))
            pageGone_ = true;
        return hr == E_FAIL ? RPC_E_DISCONNECTED : hr;
    }
    const Json& list = answer["results"];
    if (!list.is_array() || list.size() != released + ops.size())
        return E_UNEXPECTED;
    results = Json(list.begin() + static_cast<std::ptrdiff_t>(released), list.end());
    return S_OK;
}

HRESULT LiveNativeObject::Answer(const Json& value, VARIANT* out)
{
    VariantInit(out);
    HRESULT hr = live::ValueStatus(value);
    if (FAILED(hr))
        return hr;
    if (live::IsHandleValue(value)) {
        V_VT(out) = VT_PTR;
        V_BYREF(out) = Adopt(value);
        return S_OK;
    }
    return live::PrimitiveToVariant(value, out);
}

HRESULT LiveNativeObject::ReadOne(Json op, VARIANT* out)
{
    Json ops = Json::array({std::move(op)});
    Json results;
    HRESULT hr = Request(std::move(ops), results);
    if (FAILED(hr))
        return hr;
    return Answer(results[0], out);
}

// A sibling run: the member's value, and the same member of each handle in
// it, fetched ahead.
HRESULT LiveNativeObject::ReadRun(Handle* h, const std::string& member, VARIANT* out)
{
    Json results;
    HRESULT hr = Request(Json::array({Json::array({"chain", h->remote, member, kRunLength})}), results);
    if (FAILED(hr))
        return hr;
    const Json& list = results[0].contains("list") ? results[0]["list"] : Json::array();
    if (list.empty())
        return live::ValueStatus(results[0]) != S_OK ? live::ValueStatus(results[0]) : E_UNEXPECTED;
    hr = Answer(list[0], out);
    long long previous = V_VT(out) == VT_PTR ? static_cast<Handle*>(V_BYREF(out))->remote : 0;
    for (size_t i = 1; i < list.size() && previous; ++i) {
        NoteAhead(previous, "g:" + member, list[i]);
        previous = ahead_[previous]["g:" + member].remote;
    }
    return hr;
}

// The nodes below `h` in one request: the first child is the answer; every
// child, sibling and parent link among them is noted, so that a walk of the
// subtree (firstChild, nextSibling, parentNode, previousSibling) needs no
// further round trip. Links past the end of a list cut short are left out.
HRESULT LiveNativeObject::ReadSubtree(Handle* h, VARIANT* out)
{
    Json results;
    HRESULT hr = Request(Json::array({Json::array({"subtree", h->remote, options_.subtreeNodes})}), results);
    if (FAILED(hr))
        return hr;
    const Json& answer = results[0];
    if (!answer.contains("list") || !answer.contains("depths") || answer["list"].size() != answer["depths"].size())
        return live::ValueStatus(answer) != S_OK ? live::ValueStatus(answer) : E_UNEXPECTED;
    const Json& list = answer["list"];
    const bool complete = answer.value("complete", false);
    const long long root = h->remote;
    std::vector<long long> lastAtDepth{root}; // the last node seen at each depth, the root at 0
    const Json none = Json{{"null", 1}};
    for (size_t i = 0; i < list.size(); ++i) {
        const size_t depth = answer["depths"][i].get<size_t>();
        if (!live::IsHandleValue(list[i]) || depth < 1 || depth > lastAtDepth.size())
            return E_UNEXPECTED;
        const long long node = Remember(list[i]);
        aheadHolds_.push_back(node);
        const long long parent = lastAtDepth[depth - 1];
        NoteAheadObject(node, "g:parentNode", parent);
        if (i == 0 || answer["depths"][i - 1].get<size_t>() == depth - 1) {
            NoteAheadObject(parent, "g:firstChild", node);
            NoteAhead(node, "g:previousSibling", none);
        } else {
            NoteAheadObject(lastAtDepth[depth], "g:nextSibling", node);
            NoteAheadObject(node, "g:previousSibling", lastAtDepth[depth]);
        }
        lastAtDepth.resize(depth + 1);
        lastAtDepth[depth] = node;
        // What the next entry says of this node's children and of the runs
        // it ends; nothing past a list that was cut short.
        const bool last = i + 1 == list.size();
        if (last && !complete)
            break;
        const size_t next = last ? 0 : answer["depths"][i + 1].get<size_t>();
        if (next <= depth)
            NoteAhead(node, "g:firstChild", none);
        for (size_t ended = depth; ended > next; --ended)
            NoteAhead(lastAtDepth[ended], "g:nextSibling", none);
    }
    if (list.empty() && complete)
        NoteAhead(root, "g:firstChild", none);
    AheadValue first;
    if (!TakeAhead(h, "g:firstChild", first))
        return ReadOne(Json::array({"get", root, "firstChild"}), out);
    return AnswerAhead(first, out);
}

HRESULT LiveNativeObject::ReadItems(Handle* h, long index, VARIANT* out)
{
    Json results;
    HRESULT hr = Request(Json::array({Json::array({"items", h->remote, index, kItemBatch})}), results);
    if (FAILED(hr))
        return hr;
    if (!results[0].contains("list"))
        return live::ValueStatus(results[0]) != S_OK ? live::ValueStatus(results[0]) : E_UNEXPECTED;
    const Json& list = results[0]["list"];
    if (list.empty()) { // past the end: item() answers null
        VariantInit(out);
        V_VT(out) = VT_NULL;
        return S_OK;
    }
    for (size_t i = 1; i < list.size(); ++i)
        NoteAhead(h->remote, CallKey("item", {std::to_string(index + static_cast<long>(i))}), list[i]);
    return Answer(list[0], out);
}

HRESULT LiveNativeObject::Argument(const VARIANT& argument, Json& out)
{
    if (V_VT(&argument) == VT_PTR) {
        Handle* h = Find(static_cast<NodeImpl*>(V_BYREF(&argument)));
        if (!h)
            return E_INVALIDARG;
        out = Json{{"h", h->remote}};
        return S_OK;
    }
    return live::PrimitiveArgument(argument, out);
}

std::string LiveNativeObject::NameOf(LONG member)
{
    if (member < 1 || static_cast<size_t>(member) > memberNames_.size())
        return std::string();
    return memberNames_[static_cast<size_t>(member - 1)];
}

// ------------------------------------------------------------ IvxCrNativeChromeObject

HRESULT LiveNativeObject::GetVersion(LONG* version) noexcept
try {
    if (!version)
        return E_POINTER;
    *version = 1;
    return S_OK;
}
VX_COM_CATCH

LONG LiveNativeObject::GetBrowserWindow() noexcept
try {
    return browserWindow_;
}
VX_COM_CATCH_RETURN({})

HRESULT LiveNativeObject::GetInfoString(BSTR* info) noexcept
try {
    if (!info)
        return E_POINTER;
    *info = SysAllocString((L"live " + url_).c_str());
    return *info ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

HRESULT LiveNativeObject::GetExclusionAttributeName(BSTR* name) noexcept
try {
    if (!name)
        return E_POINTER;
    *name = SysAllocString(options_.exclusionAttributeName.c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

HRESULT LiveNativeObject::GetWindowNode(NodeImpl** window) noexcept
try {
    if (!window)
        return E_POINTER;
    *window = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    vx::com::Variant value;
    HRESULT hr = ReadOne(Json::array({"window"}), value.Get());
    if (FAILED(hr))
        return hr;
    if (value.Type() == VT_PTR) {
        *window = static_cast<NodeImpl*>(V_BYREF(value.Get()));
        V_VT(value.Get()) = VT_EMPTY;
    }
    return S_OK;
}
VX_COM_CATCH

HRESULT LiveNativeObject::CloneNode(NodeImpl* node, NodeImpl** clone) noexcept
try {
    if (!clone)
        return E_POINTER;
    *clone = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    // A second handle of the same page handle: the page object lives while
    // either does.
    *clone = reinterpret_cast<NodeImpl*>(NewHandle(h->remote));
    return S_OK;
}
VX_COM_CATCH

HRESULT LiveNativeObject::ReleaseNode(NodeImpl* node) noexcept
try {
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    Retire(h);
    return S_OK;
}
VX_COM_CATCH

void LiveNativeObject::AdoptScriptObjectHandle()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++scriptObjectHandles_;
}

void LiveNativeObject::ReleaseScriptObjectHandle(NodeImpl* handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    --scriptObjectHandles_;
    if (Handle* h = Find(handle))
        Retire(h);
}

HRESULT LiveNativeObject::GetNodeId(NodeImpl* node, LONG* id) noexcept
try {
    if (!id)
        return E_POINTER;
    *id = 0;
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    if (auto known = nodeIds_.find(h->remote); known != nodeIds_.end()) {
        *id = known->second; // fixed for the object's life
        return S_OK;
    }
    vx::com::Variant value;
    HRESULT hr = ReadOne(Json::array({"nodeid", h->remote}), value.Get());
    if (FAILED(hr))
        return hr;
    if (value.Type() != VT_I4)
        return E_UNEXPECTED;
    *id = V_I4(value.Get());
    nodeIds_[h->remote] = *id;
    return S_OK;
}
VX_COM_CATCH

HRESULT LiveNativeObject::GetIDOfName(BSTR name, LONG* member) noexcept
try {
    if (!member)
        return E_POINTER;
    *member = 0;
    if (!name || !SysStringLen(name))
        return DISP_E_UNKNOWNNAME;
    const std::string key = live::Utf8(std::wstring(name, SysStringLen(name)));
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    auto it = memberIds_.find(key);
    if (it == memberIds_.end()) {
        memberNames_.push_back(key);
        it = memberIds_.emplace(key, static_cast<LONG>(memberNames_.size())).first;
    }
    *member = it->second;
    return S_OK;
}
VX_COM_CATCH

HRESULT LiveNativeObject::GetNameOfID(LONG member, BSTR* name) noexcept
try {
    if (!name)
        return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string text = NameOf(member);
    if (text.empty()) {
        *name = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    *name = SysAllocString(live::Wide(text).c_str());
    return *name ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

HRESULT LiveNativeObject::HasMember(NodeImpl* node, LONG member, BOOL* present) noexcept
try {
    if (!present)
        return E_POINTER;
    *present = FALSE;
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    const std::string name = NameOf(member);
    if (name.empty())
        return S_OK;
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    if (FetchingAhead())
        if (auto reads = ahead_.find(h->remote); reads != ahead_.end())
            if (auto it = reads->second.find("g:" + name); it != reads->second.end()) {
                *present = it->second.remote || !it->second.value.contains("missing");
                return S_OK;
            }
    vx::com::Variant value;
    HRESULT hr = ReadOne(Json::array({"has", h->remote, name}), value.Get());
    if (FAILED(hr))
        return hr;
    *present = value.Type() == VT_BOOL && V_BOOL(value.Get()) != VARIANT_FALSE;
    return S_OK;
}
VX_COM_CATCH

HRESULT LiveNativeObject::GetProperty(NodeImpl* node, LONG member, VARIANT* value) noexcept
try {
    if (!value)
        return E_POINTER;
    VariantInit(value);
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    const std::string name = NameOf(member);
    if (name.empty())
        return DISP_E_MEMBERNOTFOUND;
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    AheadValue ahead;
    if (TakeAhead(h, "g:" + name, ahead))
        return AnswerAhead(ahead, value);
    if (FetchingAhead() && (name == "nextSibling" || name == "previousSibling"))
        return ReadRun(h, name, value);
    if (FetchingAhead() && name == "firstChild")
        return ReadSubtree(h, value);
    return ReadOne(Json::array({"get", h->remote, name}), value);
}
VX_COM_CATCH

HRESULT LiveNativeObject::PutProperty(NodeImpl* node, LONG member, VARIANT* value) noexcept
try {
    if (!value)
        return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    const std::string name = NameOf(member);
    if (name.empty())
        return DISP_E_MEMBERNOTFOUND;
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    Json argument;
    HRESULT hr = Argument(*value, argument);
    if (FAILED(hr))
        return hr;
    DropAhead();
    vx::com::Variant ignored;
    return ReadOne(Json::array({"put", h->remote, name, argument}), ignored.Get());
}
VX_COM_CATCH

HRESULT LiveNativeObject::Invoke(NodeImpl* node, LONG member, DISPPARAMS* params, VARIANT* result) noexcept
try {
    vx::com::Variant ignored;
    VARIANT* out = result ? result : ignored.Get();
    VariantInit(out);
    if (params && params->cNamedArgs)
        return DISP_E_NONAMEDARGS;
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    const std::string name = NameOf(member);
    if (name.empty())
        return DISP_E_MEMBERNOTFOUND;
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    Json op = Json::array({"call", h->remote, name});
    std::vector<std::string> keys;
    bool keyed = true;
    for (UINT i = params ? params->cArgs : 0; i > 0; --i) { // rgvarg holds the arguments last first
        Json argument;
        HRESULT hr = Argument(params->rgvarg[i - 1], argument);
        if (FAILED(hr))
            return hr;
        std::string key;
        keyed = keyed && live::ArgumentKey(argument, key);
        keys.push_back(key);
        op.push_back(std::move(argument));
    }
    if (!kPureCalls.count(name)) {
        DropAhead(); // the call may change the page
        return ReadOne(std::move(op), out);
    }
    AheadValue ahead;
    if (keyed && TakeAhead(h, CallKey(name, keys), ahead))
        return AnswerAhead(ahead, out);
    if (FetchingAhead() && name == "item" && keys.size() == 1 && keyed)
        return ReadItems(h, std::strtol(keys[0].c_str(), nullptr, 10), out);
    return ReadOne(std::move(op), out);
}
VX_COM_CATCH

HRESULT LiveNativeObject::GetNodeScriptObject(NodeImpl* node, IDispatch** object) noexcept
try {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    NodeImpl* own = nullptr;
    HRESULT hr = CloneNode(node, &own);
    if (FAILED(hr))
        return hr;
    return CreateNodeScriptObject(this, own, object);
}
VX_COM_CATCH

HRESULT LiveNativeObject::GetNodeScriptObjectEx(NodeImpl* node, BSTR, IDispatch** object) noexcept
try {
    // The member list only tells which members will be used; every member is answered.
    return GetNodeScriptObject(node, object);
}
VX_COM_CATCH

struct LiveNativeObject::TaskCall
{
    LiveNativeObject* self;
    VxCrRendererThreadCallback callback;
    void* context;
};

HRESULT STDMETHODCALLTYPE LiveNativeObject::RunTask(void* context) noexcept
try {
    auto& call = *static_cast<TaskCall*>(context);
    ++call.self->taskDepth_;
    HRESULT hr = call.callback(call.context);
    if (--call.self->taskDepth_ == 0)
        call.self->EndTask();
    return hr;
}
VX_COM_CATCH

// The page may change once the task is over: drop what was fetched ahead.
// The handles nobody took go back to the page with the next request, or
// alone once enough of them are waiting.
void LiveNativeObject::EndTask()
{
    std::lock_guard<std::mutex> lock(mutex_);
    DropAhead();
    if (releases_.size() >= kReleaseBacklog && !pageGone_) {
        Json results;
        Request(Json::array(), results);
    }
}

HRESULT LiveNativeObject::RunOnRendererThread(VxCrRendererThreadCallback callback, void* context,
                                              ULONG timeout) noexcept
try {
    if (!callback)
        return E_POINTER;
    TaskCall call{this, callback, context};
    return renderer_.Run(&RunTask, &call, timeout);
}
VX_COM_CATCH

HRESULT LiveNativeObject::CreateScriptCallback(IvxCrScriptCallback0* callback, ULONGLONG* cookie,
                                               NodeImpl** function) noexcept
try {
    if (!cookie || !function)
        return E_POINTER;
    *cookie = 0;
    *function = nullptr;
    if (!callback)
        return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    const ULONGLONG made = nextCookie_++;
    vx::com::Variant value;
    HRESULT hr = ReadOne(Json::array({"callback", std::to_string(made)}), value.Get());
    if (FAILED(hr))
        return hr;
    if (value.Type() != VT_PTR)
        return E_UNEXPECTED;
    callbacks_[made] = callback;
    *cookie = made;
    *function = static_cast<NodeImpl*>(V_BYREF(value.Get()));
    V_VT(value.Get()) = VT_EMPTY;
    return S_OK;
}
VX_COM_CATCH

HRESULT LiveNativeObject::ReleaseScriptCallback(ULONGLONG cookie) noexcept
try {
    Microsoft::WRL::ComPtr<IvxCrScriptCallback0> dropped; // released after the lock
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    auto it = callbacks_.find(cookie);
    if (it == callbacks_.end())
        return E_INVALIDARG;
    dropped = std::move(it->second);
    callbacks_.erase(it);
    vx::com::Variant ignored;
    ReadOne(Json::array({"dropcallback", std::to_string(cookie)}), ignored.Get());
    return S_OK;
}
VX_COM_CATCH

HRESULT LiveNativeObject::IsNodeAlive(NodeImpl* node, BOOL* alive) noexcept
try {
    if (!alive)
        return E_POINTER;
    *alive = FALSE;
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    Handle* h = Find(node);
    if (!h)
        return E_INVALIDARG;
    vx::com::Variant value;
    HRESULT hr = ReadOne(Json::array({"alive", h->remote}), value.Get());
    if (FAILED(hr))
        return hr;
    *alive = value.Type() == VT_BOOL && V_BOOL(value.Get()) != VARIANT_FALSE;
    return S_OK;
}
VX_COM_CATCH

// ------------------------------------------------------------ events

// Runs on the connection's reader thread: an event it cannot read is
// dropped, never let out of the thread.
void LiveNativeObject::OnEvent(const Json& message) noexcept
try {
    const std::string event = message.value("event", std::string());
    if (event == "callback") {
        const ULONGLONG cookie = std::strtoull(message.value("cookie", std::string("0")).c_str(), nullptr, 10);
        {
            std::lock_guard<std::mutex> lock(eventMutex_);
            events_.push_back(cookie);
        }
        eventQueued_.notify_all();
    } else if (event == "dialog") {
        std::lock_guard<std::mutex> lock(eventMutex_);
        dialogs_.push_back(
            live::Wide(message.value("type", std::string()) + ": " + message.value("message", std::string())));
    } else if (event == "crashed" || event == "gone" || event == "disconnected") {
        pageGone_ = true;
    }
} catch (...) {
}

HRESULT STDMETHODCALLTYPE LiveNativeObject::FireCallback(void* context) noexcept
try {
    auto& fired = *static_cast<FiredCallback*>(context);
    return fired.callback->Invoke(fired.cookie);
}
VX_COM_CATCH

void LiveNativeObject::DispatchEvents()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (;;) {
        ULONGLONG cookie;
        {
            std::unique_lock<std::mutex> lock(eventMutex_);
            eventQueued_.wait(lock, [this] { return stopping_ || !events_.empty(); });
            if (stopping_)
                break;
            cookie = events_.front();
            events_.pop_front();
        }
        Microsoft::WRL::ComPtr<IvxCrScriptCallback0> callback;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (auto it = callbacks_.find(cookie); it != callbacks_.end())
                callback = it->second;
        }
        if (!callback)
            continue; // released since the page called it
        FiredCallback fired{callback.Get(), cookie};
        TaskCall call{this, &FireCallback, &fired};
        renderer_.Run(&RunTask, &call, INFINITE);
    }
    CoUninitialize();
}

// ------------------------------------------------------------ observation and steering

long LiveNativeObject::LiveHandles()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return libraryHandles_;
}

long LiveNativeObject::ScriptObjectHandles()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return scriptObjectHandles_;
}

long LiveNativeObject::Faults()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_;
}

long LiveNativeObject::DomCalls()
{
    return domCalls_;
}

long LiveNativeObject::RoundTrips()
{
    return connection_->RoundTrips() - tripsAtReset_;
}

std::vector<std::pair<std::string, long>> LiveNativeObject::RoundTripsPerRead()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::pair<std::string, long>> trips(tripsByRead_.begin(), tripsByRead_.end());
    std::sort(trips.begin(), trips.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return trips;
}

void LiveNativeObject::ResetCounters()
{
    std::lock_guard<std::mutex> lock(mutex_);
    tripsByRead_.clear();
    domCalls_ = 0;
    tripsAtReset_ = connection_->RoundTrips();
}

long LiveNativeObject::PageHandles()
{
    std::lock_guard<std::mutex> lock(mutex_);
    vx::com::Variant value;
    if (FAILED(ReadOne(Json::array({"count"}), value.Get())) || value.Type() != VT_I4)
        return -1;
    return V_I4(value.Get());
}

std::vector<std::wstring> LiveNativeObject::Dialogs()
{
    std::lock_guard<std::mutex> lock(eventMutex_);
    return dialogs_;
}

HRESULT LiveNativeObject::Evaluate(const std::wstring& expression, VARIANT* result)
{
    if (!result)
        return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    DropAhead();
    return ReadOne(Json::array({"eval", live::Utf8(expression)}), result);
}

HRESULT LiveNativeObject::Control(const std::string& control, const Json& arguments)
{
    std::lock_guard<std::mutex> lock(mutex_);
    DropAhead();
    Json message = arguments;
    message["control"] = control;
    Json answer;
    HRESULT hr = connection_->Call(std::move(message), answer, options_.callTimeoutMs);
    return hr == E_FAIL ? RPC_E_DISCONNECTED : hr;
}

} // namespace harness
