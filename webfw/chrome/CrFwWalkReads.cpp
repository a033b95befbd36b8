#include "webfw/chrome/CrFwWalkReads.h"

#include <new>
#include <unordered_set>

#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwNativeModel.h"

namespace {

HRESULT CopyString(const vx::com::BStr& from, BSTR* to)
{
    if (!from.Get())
        return S_OK;
    *to = SysAllocStringLen(from.Get(), from.Length());
    return *to ? S_OK : E_OUTOFMEMORY;
}

} // namespace

// Enumerates one parent's children through the parent's list: the children
// already kept first, then the page from the last of them on. A parent that
// is itself kept shares its list with every later enumeration in the walk;
// any other parent's list belongs to the enumerator.
class CCrFwWalkReads::ChildEnumerator final : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CChildNodesEnumerator>
{
public:
    ChildEnumerator(CCrFwWalkReads& reads, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime, NodeImpl* parent)
        : CCrFwLifetimeForwarder(lifetime), reads_(reads), parent_(parent), generation_(reads.generation_),
          current_(lifetime)
    {
        KeptNode* kept = reads.Find(parent);
        list_ = kept ? &kept->children : &ownList_;
    }

    // Gives back a node this enumerator gave past the limit; a kept node is
    // left to the walk, which gives it back when it ends (or already did).
    HRESULT Release(NodeImpl* node) override
    {
        if (callerOwned_.erase(node) == 0)
            return S_OK;
        return CCrFwLifetimeForwarder::Release(node);
    }

    HRESULT Reset() override
    {
        position_ = 0;
        ended_ = false;
        current_.Reset();
        return S_OK;
    }

    HRESULT Next(NodeImpl** node) override
    {
        if (!node)
            return E_POINTER;
        *node = nullptr;
        if (reads_.generation_ != generation_)
            return E_UNEXPECTED; // the walk ended: its lists are gone
        if (ended_)
            return S_FALSE;
        ChildList& list = *list_;
        if (!current_ && position_ < list.nodes.size()) {
            *node = list.nodes[position_++];
            return S_OK;
        }
        if (!current_ && list.complete) {
            ended_ = true;
            return S_FALSE;
        }

        // The child after the last one given, read from the page.
        NodeImpl* previous = current_ ? current_.Get() : (position_ ? list.nodes[position_ - 1] : nullptr);
        vxWebFw::NodeHandle found(reads_.helper_);
        if (previous)
            reads_.helper_->GetNextSibling(previous, found.Out());
        else
            reads_.helper_->GetFirstChild(parent_, found.Out());
        if (!found) {
            ended_ = true;
            current_.Reset();
            if (!list.cut)
                list.complete = true;
            return S_FALSE;
        }
        if (!current_ && !list.cut) {
            if (NodeImpl* kept = reads_.Keep(found)) {
                list.nodes.push_back(kept);
                ++position_;
                *node = kept;
                return S_OK;
            }
            list.cut = true;
        }
        // Past the limit: the caller gets the handle and this enumerator
        // keeps a duplicate to go on from.
        HRESULT hr = reads_.helper_->CloneNode(found.Get(), current_.Out());
        if (FAILED(hr))
            return hr;
        callerOwned_.insert(found.Get());
        *node = found.Detach();
        return S_OK;
    }

private:
    CCrFwWalkReads& reads_;
    NodeImpl* parent_;
    unsigned long generation_;
    ChildList ownList_;
    ChildList* list_ = nullptr;
    size_t position_ = 0;
    bool ended_ = false;
    std::unordered_set<NodeImpl*> callerOwned_; // given past the limit, not yet given back
    vxWebFw::NodeHandle current_;               // past the list: duplicate of the last child given
};

CCrFwWalkReads::CCrFwWalkReads(CCrRawBrowserHelper* helper, size_t maxNodes) : helper_(helper), maxNodes_(maxNodes) {}

CCrFwWalkReads::~CCrFwWalkReads() = default;

void CCrFwWalkReads::BeginWalk()
{
    ++depth_;
}

void CCrFwWalkReads::EndWalk()
{
    if (depth_ == 0 || --depth_ > 0)
        return;
    ++generation_;
    kept_.clear(); // gives every kept handle back
}

NodeImpl* CCrFwWalkReads::Keep(vxWebFw::NodeHandle& handle)
{
    if (!InWalk() || kept_.size() >= maxNodes_ || !handle)
        return nullptr;
    auto node = std::make_unique<KeptNode>();
    NodeImpl* key = handle.Get();
    node->handle = std::move(handle);
    kept_.emplace(key, std::move(node));
    return key;
}

CCrFwWalkReads::KeptNode* CCrFwWalkReads::Find(NodeImpl* node)
{
    if (kept_.empty())
        return nullptr;
    auto found = kept_.find(node);
    return found == kept_.end() ? nullptr : found->second.get();
}

vxWebFw::NativeModel::NodeEnumeratorPtr CCrFwWalkReads::ChildNodes(NodeImpl* parent,
                                                                   vxWebFw::IObjectLifetime<NodeImpl*>* lifetime)
{
    if (!InWalk())
        return nullptr;
    return vxWebFw::NativeModel::NodeEnumeratorPtr(new (std::nothrow) ChildEnumerator(*this, lifetime, parent));
}

HRESULT CCrFwWalkReads::NodeType(NodeImpl* node, long* type)
{
    if (!type)
        return E_POINTER;
    KeptNode* kept = Find(node);
    if (!kept)
        return helper_->GetNodeType(node, type);
    if (!kept->typeRead) {
        kept->typeResult = helper_->GetNodeType(node, &kept->type);
        kept->typeRead = true;
    }
    *type = kept->type;
    return kept->typeResult;
}

HRESULT CCrFwWalkReads::ReadString(NodeImpl* node, StringRead KeptNode::*member,
                                   HRESULT (CCrRawBrowserHelper::*read)(NodeImpl*, BSTR*), BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    KeptNode* kept = Find(node);
    if (!kept)
        return (helper_->*read)(node, value);
    StringRead& string = kept->*member;
    if (!string.done) {
        string.result = (helper_->*read)(node, string.value.Out());
        string.done = true;
    }
    HRESULT hr = CopyString(string.value, value);
    return FAILED(hr) ? hr : string.result;
}

HRESULT CCrFwWalkReads::TagName(NodeImpl* node, BSTR* tag)
{
    return ReadString(node, &KeptNode::tag, &CCrRawBrowserHelper::GetTagName, tag);
}

HRESULT CCrFwWalkReads::TextData(NodeImpl* node, BSTR* data)
{
    return ReadString(node, &KeptNode::text, &CCrRawBrowserHelper::GetData, data);
}
