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
// map with the id and name attributes, and the exclusion attribute added
// when the object is made; an image's source and an input's value), a text
// node's text, table cells' and rows' indexes, a rectangle's sides, the
// style members visibility asks for, a window's viewport and document, and
// the document's All collection with its length (where a walk of it starts).
const char* const kPlan = R"({
  "Node": {"get": ["nodeType", "nodeName", "tagName", "id", "name", "type"], "objects": ["attributes"],
           "nodeid": true},
  "Text": {"get": ["nodeValue", "data"]},
  "HTMLTableCellElement": {"get": ["cellIndex"]},
  "HTMLTableRowElement": {"get": ["rowIndex"]},
  "HTMLImageElement": {"get": ["src"]},
  "HTMLInputElement": {"get": ["value"]},
  "NamedNodeMap": {"calls": [["getNamedItem", "id"], ["getNamedItem", "name"]]},
  "Attr": {"get": ["name", "value", "nodeValue", "specified"]},
  "DOMRect": {"get": ["left", "top", "right", "bottom", "x", "y", "width", "height"]},
  "CSSStyleDeclaration": {"calls": [["getPropertyValue", "display"], ["getPropertyValue", "visibility"]]},
  "Window": {"get": ["innerWidth", "innerHeight", "scrollX", "scrollY", "pageXOffset", "pageYOffset",
                     "devicePixelRatio"], "objects": ["document"]},
  "HTMLDocument": {"objects": ["all"]},
  "HTMLAllCollection": {"get": ["length"]}
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

// Releases waiting for a request are sent on their own when a task ends with
// this many.
constexpr size_t kReleaseBacklog = 4096;

Json FetchAheadPlan(const LivePageOptions& options)
{
    Json plan = Json::parse(kPlan);
    if (!options.exclusionAttributeName.empty())
        plan["NamedNodeMap"]["calls"].push_back({"getNamedItem", live::Utf8(options.exclusionAttributeName)});
    return plan;
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
                 {"plan", options.fetchAhead ? FetchAheadPlan(options) : Json::object()}};
    // The page answers a plan key's reads by position: its get members, its
    // objects, then its calls, keys numbered in the order the plan is sent.
    for (const auto& [key, entry] : open["plan"].items()) {
        std::vector<int>& reads = planReads_.emplace_back();
        for (const char* group : {"get", "objects"})
            for (const Json& name : entry.value(group, Json::array()))
                reads.push_back(ReadKey("g:" + name.get<std::string>()));
        planFirstCalls_.push_back(reads.size());
        for (const Json& call : entry.value("calls", Json::array())) {
            std::vector<std::string> arguments;
            for (size_t i = 1; i < call.size(); ++i)
                arguments.push_back(call[i].is_string() ? call[i].get<std::string>() : call[i].dump());
            reads.push_back(ReadKey(live::CallKey(call[0].get<std::string>(), arguments)));
        }
    }
    firstChildKey_ = ReadKey("g:firstChild");
    nextSiblingKey_ = ReadKey("g:nextSibling");
    previousSiblingKey_ = ReadKey("g:previousSibling");
    parentNodeKey_ = ReadKey("g:parentNode");
    connection_ = std::make_unique<LiveConnection>(
        options.port, open, [this](const Json& message) { OnEvent(message); },
        options.loadTimeoutMs + options.callTimeoutMs);
    url_ = live::Wide(connection_->Opened().value("url", live::Utf8(options.url)));
    loaded_ = connection_->Opened().value("loaded", false);
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
            Results results;
            Request(Json::array(), results);
        }
    }
    connection_.reset(); // closes the tab
}

template <class Body>
HRESULT LiveNativeObject::OnHandle(NodeImpl* node, Body&& body)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    Handle* h = Find(node);
    return h ? body(h) : E_INVALIDARG;
}

// The same for a member read or call: an unknown member identifier answers
// DISP_E_MEMBERNOTFOUND.
template <class Body>
HRESULT LiveNativeObject::OnMember(NodeImpl* node, LONG member, Body&& body)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++domCalls_;
    const std::string& name = NameOf(member);
    if (name.empty())
        return DISP_E_MEMBERNOTFOUND;
    Handle* h = Find(node);
    return h ? body(h, name) : E_INVALIDARG;
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
    return OnHandle(node, [&](Handle* h) {
        // A second handle of the same page handle: the page object lives
        // while either does.
        *clone = reinterpret_cast<NodeImpl*>(NewHandle(h->remote));
        return S_OK;
    });
}
VX_COM_CATCH

HRESULT LiveNativeObject::ReleaseNode(NodeImpl* node) noexcept
try {
    return OnHandle(node, [&](Handle* h) {
        Retire(h);
        return S_OK;
    });
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
    return OnHandle(node, [&](Handle* h) {
        if (const LONG known = remotes_[h->remote].nodeId) {
            *id = known; // fixed for the object's life
            return S_OK;
        }
        vx::com::Variant value;
        HRESULT hr = ReadOne(Json::array({"nodeid", h->remote}), value.Get());
        if (FAILED(hr))
            return hr;
        if (value.Type() != VT_I4)
            return E_UNEXPECTED;
        *id = V_I4(value.Get());
        remotes_[h->remote].nodeId = *id;
        return S_OK;
    });
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
        memberGetKeys_.push_back(ReadKey("g:" + key));
        memberCallKeys_.push_back("c:" + key);
        memberPure_.push_back(kPureCalls.count(key) ? 1 : 0);
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
    const HRESULT hr = OnMember(node, member, [&](Handle* h, const std::string& name) {
        if (const AheadValue* ahead = FindAhead(h, GetKeyOf(member))) {
            *present = ahead->remote || !ahead->value.Has("missing");
            return S_OK;
        }
        vx::com::Variant value;
        HRESULT read = ReadOne(Json::array({"has", h->remote, name}), value.Get());
        *present = SUCCEEDED(read) && value.Type() == VT_BOOL && V_BOOL(value.Get()) != VARIANT_FALSE;
        return read;
    });
    return hr == DISP_E_MEMBERNOTFOUND ? S_OK : hr; // an unknown member is no member
}
VX_COM_CATCH

HRESULT LiveNativeObject::GetProperty(NodeImpl* node, LONG member, VARIANT* value) noexcept
try {
    if (!value)
        return E_POINTER;
    VariantInit(value);
    return OnMember(node, member, [&](Handle* h, const std::string& name) {
        if (const AheadValue* ahead = FindAhead(h, GetKeyOf(member)))
            return AnswerAhead(*ahead, value);
        if (FetchingAhead() && (name == "nextSibling" || name == "previousSibling"))
            return ReadRun(h, name, value);
        if (FetchingAhead() && name == "firstChild")
            return ReadSubtree(h, value);
        return ReadOne(Json::array({"get", h->remote, name}), value);
    });
}
VX_COM_CATCH

HRESULT LiveNativeObject::PutProperty(NodeImpl* node, LONG member, VARIANT* value) noexcept
try {
    if (!value)
        return E_POINTER;
    return OnMember(node, member, [&](Handle* h, const std::string& name) {
        Json argument;
        HRESULT hr = Argument(*value, argument);
        if (FAILED(hr))
            return hr;
        DropAhead(); // the page changes
        // The page answers a put with no value: only whether it went.
        Results results;
        hr = Request(Json::array({Json::array({"put", h->remote, name, argument})}), results);
        return FAILED(hr) ? hr : live::ValueStatus(results[0]);
    });
}
VX_COM_CATCH

HRESULT LiveNativeObject::Invoke(NodeImpl* node, LONG member, DISPPARAMS* params, VARIANT* result) noexcept
try {
    vx::com::Variant ignored;
    VARIANT* out = result ? result : ignored.Get();
    VariantInit(out);
    if (params && params->cNamedArgs)
        return DISP_E_NONAMEDARGS;
    return OnMember(node, member, [&](Handle* h, const std::string& name) {
        if (const AheadValue* ahead = FindAheadCall(h, member, params))
            return AnswerAhead(*ahead, out);
        Json op = Json::array({"call", h->remote, name});
        for (UINT i = params ? params->cArgs : 0; i > 0; --i) { // rgvarg holds the arguments last first
            Json argument;
            HRESULT hr = Argument(params->rgvarg[i - 1], argument);
            if (FAILED(hr))
                return hr;
            op.push_back(std::move(argument));
        }
        if (!memberPure_[static_cast<size_t>(member - 1)]) {
            DropAhead(); // the call may change the page
            return ReadOne(std::move(op), out);
        }
        long index = 0;
        if (FetchingAhead() && name == "item" && params && params->cArgs == 1 &&
            live::ItemIndexArgument(params->rgvarg[0], index))
            return ReadItems(h, index, out);
        return ReadOne(std::move(op), out);
    });
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
    if (releases_.size() >= kReleaseBacklog && !pageGone_)
        PostReleases();
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
    return OnHandle(node, [&](Handle* h) {
        vx::com::Variant value;
        HRESULT hr = ReadOne(Json::array({"alive", h->remote}), value.Get());
        *alive = SUCCEEDED(hr) && value.Type() == VT_BOOL && V_BOOL(value.Get()) != VARIANT_FALSE;
        return hr;
    });
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

double LiveNativeObject::PageMilliseconds()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pageMilliseconds_;
}

double LiveNativeObject::WaitMilliseconds()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return waitMilliseconds_;
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
    pageMilliseconds_ = 0;
    waitMilliseconds_ = 0;
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
    live::FlatJson answer;
    HRESULT hr = connection_->Call(std::move(message), answer, options_.callTimeoutMs);
    return hr == E_FAIL ? RPC_E_DISCONNECTED : hr;
}

} // namespace harness
