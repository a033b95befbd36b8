// The live native object's handles, the reads it answers ahead, and its
// requests to the sidecar.
#include "harness/livepage/LiveNativeObject.h"

#include "harness/livepage/LiveValues.h"

#include <algorithm>
#include <chrono>

namespace harness {

using live::Json;

namespace {

// Members read in runs: a sibling walk reads the next sibling of each, a
// collection walk the next item.
constexpr int kRunLength = 64;
// A collection walk's first batch, and how much larger each next one is: a
// short read costs little, and a walk of thousands of items few round trips.
constexpr long kFirstItemBatch = 64;
constexpr long kItemBatchGrowth = 4;
constexpr long kLargestItemBatch = 4096;
// A walk from the start of a collection whose length came ahead, and that
// holds no more than this many items, gets them all in one batch.
constexpr long kWholeCollection = 256;
// Answers kept as room for later ones (a walk's answers are of a few sizes).
constexpr size_t kSpareAnswers = 8;

// Values the object notes itself.
live::FlatJson Parsed(const char* text)
{
    live::FlatJson json;
    json.Parse(text);
    return json;
}

live::JsonRef MissingValue()
{
    static const live::FlatJson missing = Parsed(R"({"missing":1})");
    return missing.Root();
}

live::JsonRef NullValue()
{
    static const live::FlatJson null = Parsed("null");
    return null.Root();
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
    ++remotes_[remote].refs;
    ++libraryHandles_;
    return h;
}

// Takes a handle value as the library's handle; what came along with it is
// kept for reads ahead while fetching ahead, and given back otherwise.
LiveNativeObject::Handle* LiveNativeObject::Adopt(live::JsonRef value)
{
    const long long remote = Remember(value);
    Handle* h = NewHandle(remote);
    ReleaseRef(remote); // the record holds it now
    return h;
}

template <class Each>
void LiveNativeObject::ForEachPlanRead(live::JsonRef value, Each&& each)
{
    // Each plan key that matched sends its reads under its name.
    for (size_t m = 0; m < value.Size(); ++m) {
        const live::JsonRef reads = value.MemberValue(m);
        size_t index = 0;
        if (!live::PlanKeyIndex(value.MemberName(m), index) || index >= planReads_.size() || !reads.IsArray())
            continue;
        const std::vector<int>& names = planReads_[index];
        const size_t firstCall = planFirstCalls_[index];
        for (size_t n = 0; n < reads.Size() && n < names.size(); ++n) {
            live::JsonRef read = reads[n];
            if (const live::JsonRef same = read.Member("same"); same.Exists()) { // as an earlier read of the list
                if (!same.IsInteger() || same.Integer() < 0 || static_cast<size_t>(same.Integer()) >= n)
                    continue;
                read = reads[static_cast<size_t>(same.Integer())];
            }
            if (read.IsObject() && read.Size() == 0)
                continue; // {}: not sent
            if (read.IsArray() && read.Size() == 0)
                read = MissingValue(); // []: no such member
            each(names[n], read);
        }
        // Reads left off the end of a list: members that do not exist, and
        // calls that answered null.
        for (size_t n = reads.Size(); n < names.size(); ++n)
            each(names[n], n < firstCall ? MissingValue() : NullValue());
    }
}

// Keeps a handle value's page handle (one reference, given back by
// ReleaseRef) and notes what came along with it.
long long LiveNativeObject::Remember(live::JsonRef value)
{
    const long long remote = value.Member("h").Integer();
    Remote& record = remotes_[remote];
    ++record.refs;
    if (const live::JsonRef id = value.Member("i"); id.IsInteger())
        record.nodeId = static_cast<LONG>(id.Integer()); // fixed for the object's life: no task needed
    if (FetchingAhead())
        ForEachPlanRead(value, [&](int key, live::JsonRef member) { NoteAhead(remote, key, member); });
    else
        ForEachPlanRead(value, [&](int, live::JsonRef member) { QueueNestedReleases(member); });
    return remote;
}

// A read of `owner` answered ahead. An object is held (aheadHolds_) until
// what was fetched ahead is dropped; each read of it gives the library a
// handle of its own.
void LiveNativeObject::NoteAhead(long long owner, int key, live::JsonRef value)
{
    AheadValue entry;
    if (live::IsHandleValue(value)) {
        entry.remote = Remember(value);
        aheadHolds_.push_back(entry.remote);
    } else {
        entry.value = value; // in a kept answer, or a constant
    }
    ahead_.Put(owner, key) = entry;
    aheadNoted_ = true;
}

void LiveNativeObject::NoteAheadObject(long long owner, int key, long long remote)
{
    AheadValue entry;
    entry.remote = remote;
    ++remotes_[remote].refs;
    aheadHolds_.push_back(remote);
    ahead_.Put(owner, key) = entry;
    aheadNoted_ = true;
}

void LiveNativeObject::QueueNestedReleases(live::JsonRef value)
{
    if (!live::IsHandleValue(value))
        return;
    QueueRelease(value.Member("h").Integer());
    ForEachPlanRead(value, [&](int, live::JsonRef member) { QueueNestedReleases(member); });
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
    auto record = remotes_.find(remote);
    if (record != remotes_.end() && --record->second.refs <= 0) {
        remotes_.erase(record);
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
    DropItemsInFlight();
    ahead_.Clear();
    aheadNoted_ = false;
    std::vector<long long> holds;
    holds.swap(aheadHolds_);
    for (long long remote : holds)
        ReleaseRef(remote);
    LetAnswersGo();
}

void LiveNativeObject::LetAnswersGo()
{
    for (auto& answer : keptAnswers_)
        if (spareAnswers_.size() < kSpareAnswers)
            spareAnswers_.push_back(std::move(answer));
    keptAnswers_.clear();
}

const LiveNativeObject::AheadValue* LiveNativeObject::FindAhead(Handle* owner, int key)
{
    return FetchingAhead() ? AheadOf(owner->remote, key) : nullptr;
}

const LiveNativeObject::AheadValue* LiveNativeObject::FindAheadCall(Handle* owner, LONG member,
                                                                    const DISPPARAMS* params)
{
    const size_t index = static_cast<size_t>(member - 1); // a known identifier
    if (!FetchingAhead() || !memberPure_[index])
        return nullptr;
    callKey_ = memberCallKeys_[index];
    std::string argument;
    for (UINT i = params ? params->cArgs : 0; i > 0; --i) { // rgvarg holds the arguments last first
        if (!live::ArgumentKey(params->rgvarg[i - 1], argument))
            return nullptr;
        callKey_ += '\x01';
        callKey_ += argument;
    }
    return AheadOf(owner->remote, KnownReadKey(callKey_));
}

const LiveNativeObject::AheadValue* LiveNativeObject::AheadOf(long long remote, int key) const
{
    if (key < 0)
        return nullptr;
    return ahead_.Find(remote, key);
}

int LiveNativeObject::ReadKey(const std::string& key)
{
    return readKeys_.emplace(key, static_cast<int>(readKeys_.size())).first->second;
}

int LiveNativeObject::KnownReadKey(const std::string& key) const
{
    auto it = readKeys_.find(key);
    return it == readKeys_.end() ? -1 : it->second;
}

int LiveNativeObject::GetKeyOf(LONG member) const
{
    if (member < 1 || static_cast<size_t>(member) > memberGetKeys_.size())
        return -1;
    return memberGetKeys_[static_cast<size_t>(member - 1)];
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

// Sends the queued releases and `ops` in one request; `results` gives the
// answers of `ops` only. The answer is kept while reads fetched ahead may
// point into it: until they are dropped, or else until the next request.
HRESULT LiveNativeObject::Request(Json ops, Results& results)
{
    if (!aheadNoted_)
        LetAnswersGo();
    SentRequest sent = SendRequest(std::move(ops));
    return ReceiveAnswer(sent, results);
}

LiveNativeObject::SentRequest LiveNativeObject::SendRequest(Json ops)
{
    SentRequest sent;
    Json all = Json::array();
    sent.released = releases_.empty() ? 0 : 1;
    sent.ops = ops.size();
    if (sent.released)
        all.push_back(TakeReleases());
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
    if (spareAnswers_.empty()) {
        sent.answer = std::make_unique<live::FlatJson>();
    } else {
        sent.answer = std::move(spareAnswers_.back());
        spareAnswers_.pop_back();
    }
    sent.id = connection_->Start(Json{{"ops", std::move(all)}}, *sent.answer);
    return sent;
}

HRESULT LiveNativeObject::ReceiveAnswer(SentRequest& sent, Results& results)
{
    const auto waited = std::chrono::steady_clock::now();
    HRESULT hr = connection_->Wait(sent.id, options_.callTimeoutMs);
    waitMilliseconds_ += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - waited).count();
    keptAnswers_.push_back(std::move(sent.answer));
    const live::FlatJson& answer = *keptAnswers_.back();
    if (FAILED(hr)) {
        if (hr != HRESULT_FROM_WIN32(ERROR_TIMEOUT))
            pageGone_ = true;
        return hr == E_FAIL ? RPC_E_DISCONNECTED : hr;
    }
    pageMilliseconds_ += answer.Root().Member("ms").Number();
    const live::JsonRef list = answer.Root().Member("results");
    if (!list.IsArray() || list.Size() != sent.released + sent.ops)
        return E_UNEXPECTED;
    results.list = list;
    results.first = sent.released;
    return S_OK;
}

// Handles of one answer have numbers in a run and are mostly let go
// together, so runs go as [first, last]: a walk's releases are thousands of
// numbers, and their text reaches the page at the cost of its length.
LiveNativeObject::Json LiveNativeObject::TakeReleases()
{
    std::sort(releases_.begin(), releases_.end());
    releases_.erase(std::unique(releases_.begin(), releases_.end()), releases_.end());
    Json release = Json::array({"release"});
    for (size_t i = 0; i < releases_.size();) {
        size_t end = i + 1;
        while (end < releases_.size() && releases_[end] == releases_[end - 1] + 1)
            ++end;
        if (end - i == 1)
            release.push_back(releases_[i]);
        else
            release.push_back(Json::array({releases_[i], releases_[end - 1]}));
        i = end;
    }
    releases_.clear();
    return release;
}

// The page's answer to releases tells nothing the object needs, so the task
// that ends with many of them does not wait for it.
void LiveNativeObject::PostReleases()
{
    ++tripsByRead_["release"];
    connection_->Post(Json{{"ops", Json::array({TakeReleases()})}});
}

HRESULT LiveNativeObject::Answer(live::JsonRef value, VARIANT* out)
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
    Results results;
    HRESULT hr = Request(std::move(ops), results);
    if (FAILED(hr))
        return hr;
    return Answer(results[0], out);
}

// A sibling run: the member's value, and the same member of each handle in
// it, fetched ahead.
HRESULT LiveNativeObject::ReadRun(Handle* h, const std::string& member, VARIANT* out)
{
    Results results;
    HRESULT hr = Request(Json::array({Json::array({"chain", h->remote, member, kRunLength})}), results);
    if (FAILED(hr))
        return hr;
    const live::JsonRef list = results[0].Member("list");
    if (list.Size() == 0)
        return live::ValueStatus(results[0]) != S_OK ? live::ValueStatus(results[0]) : E_UNEXPECTED;
    hr = Answer(list[0], out);
    long long previous = V_VT(out) == VT_PTR ? static_cast<Handle*>(V_BYREF(out))->remote : 0;
    const int key = ReadKey("g:" + member);
    for (size_t i = 1; i < list.Size() && previous; ++i) {
        NoteAhead(previous, key, list[i]);
        previous = AheadOf(previous, key)->remote;
    }
    return hr;
}

// The nodes below `h` in one request: the first child is the answer; every
// child, sibling and parent link among them is noted, so that a walk of the
// subtree (firstChild, nextSibling, parentNode, previousSibling) needs no
// further round trip. Links past the end of a list cut short are left out.
HRESULT LiveNativeObject::ReadSubtree(Handle* h, VARIANT* out)
{
    Results results;
    HRESULT hr = Request(Json::array({Json::array({"subtree", h->remote, options_.subtreeNodes})}), results);
    if (FAILED(hr))
        return hr;
    const live::JsonRef answer = results[0];
    const live::JsonRef list = answer.Member("list");
    const live::JsonRef depths = answer.Member("depths");
    if (!list.IsArray() || !depths.IsArray() || list.Size() != depths.Size())
        return live::ValueStatus(answer) != S_OK ? live::ValueStatus(answer) : E_UNEXPECTED;
    const bool complete = answer.Member("complete").Bool();
    const long long root = h->remote;
    std::vector<long long> lastAtDepth{root}; // the last node seen at each depth, the root at 0
    const live::JsonRef none = NullValue();
    const size_t count = list.Size();
    for (size_t i = 0; i < count; ++i) {
        const long long depthValue = depths[i].Integer();
        if (!live::IsHandleValue(list[i]) || depthValue < 1 || static_cast<size_t>(depthValue) > lastAtDepth.size())
            return E_UNEXPECTED;
        const size_t depth = static_cast<size_t>(depthValue);
        const long long node = Remember(list[i]);
        aheadHolds_.push_back(node);
        const long long parent = lastAtDepth[depth - 1];
        NoteAheadObject(node, parentNodeKey_, parent);
        if (i == 0 || static_cast<size_t>(depths[i - 1].Integer()) == depth - 1) {
            NoteAheadObject(parent, firstChildKey_, node);
            NoteAhead(node, previousSiblingKey_, none);
        } else {
            NoteAheadObject(lastAtDepth[depth], nextSiblingKey_, node);
            NoteAheadObject(node, previousSiblingKey_, lastAtDepth[depth]);
        }
        lastAtDepth.resize(depth + 1);
        lastAtDepth[depth] = node;
        // What the next entry says of this node's children and of the runs
        // it ends; nothing past a list that was cut short.
        const bool last = i + 1 == count;
        if (last && !complete)
            break;
        const size_t next = last ? 0 : static_cast<size_t>(std::max(0LL, depths[i + 1].Integer()));
        if (next <= depth)
            NoteAhead(node, firstChildKey_, none);
        for (size_t ended = depth; ended > next; --ended)
            NoteAhead(lastAtDepth[ended], nextSiblingKey_, none);
    }
    if (count == 0 && complete)
        NoteAhead(root, firstChildKey_, none);
    const AheadValue* first = FindAhead(h, firstChildKey_);
    if (!first)
        return ReadOne(Json::array({"get", root, "firstChild"}), out);
    return AnswerAhead(*first, out);
}

HRESULT LiveNativeObject::ReadItems(Handle* h, long index, VARIANT* out)
{
    const bool goesOn = itemsCollection_ == h->remote && itemsNext_ == index;
    std::optional<ItemsInFlight> batch;
    if (itemsInFlight_ && goesOn && itemsInFlight_->collection == h->remote && itemsInFlight_->from == index)
        batch.swap(itemsInFlight_);
    else
        DropItemsInFlight(); // the walk went elsewhere
    if (batch) {
        itemsBatch_ = batch->count;
    } else if (goesOn) {
        itemsBatch_ = std::min(itemsBatch_ * kItemBatchGrowth, kLargestItemBatch);
    } else {
        itemsBatch_ = kFirstItemBatch;
        const AheadValue* length = index == 0 ? FindAhead(h, KnownReadKey("g:length")) : nullptr;
        if (length && !length->remote && length->value.IsInteger() && length->value.Integer() > 0 &&
            length->value.Integer() <= kWholeCollection)
            itemsBatch_ = static_cast<long>(length->value.Integer());
    }
    itemsCollection_ = h->remote;
    itemsNext_ = index + itemsBatch_;
    if (!batch) {
        if (!aheadNoted_)
            LetAnswersGo();
        batch.emplace();
        batch->request = SendRequest(Json::array({Json::array({"items", h->remote, index, itemsBatch_})}));
    }
    Results results;
    HRESULT hr = ReceiveAnswer(batch->request, results);
    if (FAILED(hr))
        return hr;
    const live::JsonRef list = results[0].Member("list");
    if (!list.IsArray())
        return live::ValueStatus(results[0]) != S_OK ? live::ValueStatus(results[0]) : E_UNEXPECTED;
    // A walk that has gone past its first batch and found this one full has
    // the next one read in the page while the library goes through this one.
    // Nothing can change the page before it is read: a call that might drops
    // it unread, its handles given back.
    if (goesOn && list.Size() == static_cast<size_t>(itemsBatch_)) {
        const long count = std::min(itemsBatch_ * kItemBatchGrowth, kLargestItemBatch);
        itemsInFlight_.emplace();
        itemsInFlight_->collection = h->remote;
        itemsInFlight_->from = itemsNext_;
        itemsInFlight_->count = count;
        itemsInFlight_->request = SendRequest(Json::array({Json::array({"items", h->remote, itemsNext_, count})}));
    }
    if (list.Size() == 0) { // past the end: item() answers null
        VariantInit(out);
        V_VT(out) = VT_NULL;
        return S_OK;
    }
    for (size_t i = 1; i < list.Size(); ++i)
        NoteAhead(h->remote, ReadKey(live::CallKey("item", {std::to_string(index + static_cast<long>(i))})), list[i]);
    return Answer(list[0], out);
}

// A batch asked for ahead that the walk did not reach: its answer still
// comes (the page read it before anything the object sent after it), and
// the handles in it go back to the page.
void LiveNativeObject::DropItemsInFlight()
{
    if (!itemsInFlight_)
        return;
    ItemsInFlight batch = std::move(*itemsInFlight_);
    itemsInFlight_.reset();
    Results results;
    if (FAILED(ReceiveAnswer(batch.request, results)))
        return;
    const live::JsonRef list = results[0].Member("list");
    for (size_t i = 0; i < list.Size(); ++i)
        QueueNestedReleases(list[i]);
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

const std::string& LiveNativeObject::NameOf(LONG member) const
{
    static const std::string unknown;
    if (member < 1 || static_cast<size_t>(member) > memberNames_.size())
        return unknown;
    return memberNames_[static_cast<size_t>(member - 1)];
}

// One DOM call on a handle: under the lock and counted; a handle the
// object did not issue answers E_INVALIDARG.

} // namespace harness
