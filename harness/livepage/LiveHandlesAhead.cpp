// The live native object's handles, the reads it answers ahead, and its
// requests to the sidecar.
#include "harness/livepage/LiveNativeObject.h"

#include "harness/livepage/LiveValues.h"

#include <algorithm>

namespace harness {

using live::Json;

namespace {

// Members read in runs: a sibling walk reads the next sibling of each, a
// collection walk the next item.
constexpr int kRunLength = 64;
constexpr long kFirstItemBatch = 64;
constexpr long kLargestItemBatch = 4096;

double Seconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

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

template <class Each>
void LiveNativeObject::ForEachPlanRead(const Json& value, Each&& each)
{
    const auto keys = value.find("k");
    const auto values = value.find("a");
    if (keys == value.end() || values == value.end() || !keys->is_array() || !values->is_array())
        return;
    for (size_t j = 0; j < keys->size() && j < values->size(); ++j) {
        const Json& key = (*keys)[j];
        const Json& reads = (*values)[j];
        if (!key.is_number_unsigned() || key.get<size_t>() >= planReads_.size() || !reads.is_array())
            continue;
        const std::vector<std::string>& names = planReads_[key.get<size_t>()];
        static const Json missing = {{"missing", 1}};
        for (size_t n = 0; n < reads.size() && n < names.size(); ++n) {
            const Json* read = &reads[n];
            if (auto same = read->find("same"); same != read->end()) { // as an earlier read of the list
                if (!same->is_number_unsigned() || same->get<size_t>() >= n)
                    continue;
                read = &reads[same->get<size_t>()];
            }
            if (read->is_object() && read->empty())
                continue; // {}: not sent
            if (read->is_array() && read->empty())
                read = &missing; // []: no such member
            each(names[n], *read);
        }
    }
}

// Keeps a handle value's page handle (one reference, given back by
// ReleaseRef) and notes what came along with it.
long long LiveNativeObject::Remember(const Json& value)
{
    const long long remote = value["h"].get<long long>();
    ++remoteRefs_[remote];
    if (auto id = value.find("i"); id != value.end() && id->is_number_integer())
        nodeIds_[remote] = id->get<LONG>(); // fixed for the object's life: no task needed
    if (FetchingAhead())
        ForEachPlanRead(value, [&](const std::string& key, const Json& member) { NoteAhead(remote, key, member); });
    else
        ForEachPlanRead(value, [&](const std::string&, const Json& member) { QueueNestedReleases(member); });
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
    ForEachPlanRead(value, [&](const std::string&, const Json& member) { QueueNestedReleases(member); });
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

const LiveNativeObject::AheadValue* LiveNativeObject::FindAhead(Handle* owner, const std::string& key)
{
    if (!FetchingAhead())
        return nullptr;
    auto reads = ahead_.find(owner->remote);
    if (reads == ahead_.end())
        return nullptr;
    auto it = reads->second.find(key);
    return it == reads->second.end() ? nullptr : &it->second;
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
    const size_t released = releases_.empty() ? 0 : 1;
    if (released) {
        Json release = Json::array({"release"});
        for (long long remote : releases_)
            release.push_back(remote);
        all.push_back(std::move(release));
        releases_.clear();
    }
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
    const double sent = Seconds();
    HRESULT hr = connection_->Call(Json{{"ops", std::move(all)}}, answer, options_.callTimeoutMs);
    waitMilliseconds_ += (Seconds() - sent) * 1000;
    if (FAILED(hr)) {
        if (hr != HRESULT_FROM_WIN32(ERROR_TIMEOUT))
            pageGone_ = true;
        return hr == E_FAIL ? RPC_E_DISCONNECTED : hr;
    }
    if (auto ms = answer.find("ms"); ms != answer.end() && ms->is_number())
        pageMilliseconds_ += ms->get<double>();
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
    const AheadValue* first = FindAhead(h, "g:firstChild");
    if (!first)
        return ReadOne(Json::array({"get", root, "firstChild"}), out);
    return AnswerAhead(*first, out);
}

HRESULT LiveNativeObject::ReadItems(Handle* h, long index, VARIANT* out)
{
    const bool goesOn = itemsCollection_ == h->remote && itemsNext_ == index;
    itemsBatch_ = goesOn ? std::min(itemsBatch_ * 2, kLargestItemBatch) : kFirstItemBatch;
    itemsCollection_ = h->remote;
    itemsNext_ = index + itemsBatch_;
    Json results;
    HRESULT hr = Request(Json::array({Json::array({"items", h->remote, index, itemsBatch_})}), results);
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
        NoteAhead(h->remote, live::CallKey("item", {std::to_string(index + static_cast<long>(i))}), list[i]);
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

// One DOM call on a handle: under the lock and counted; a handle the
// object did not issue answers E_INVALIDARG.

} // namespace harness
