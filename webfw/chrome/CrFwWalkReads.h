#pragma once
// What one walk over the page has read, kept until the walk ends (see
// vxWebFw::NativeModel::IWalkScope): the children the walk enumerated, whose
// handles this object owns, and for each such node its node type, tag name
// and text. Within a walk every node is then reached once, read at most once
// per member and never cloned; when the outermost walk ends every kept
// handle is given back and nothing read is used again.
//
// Only nodes whose handles this object owns are answered from what it kept:
// those handles stay alive while it keeps them, so a kept answer can never
// belong to another node. Any other node is read from the page as before.
// At most `maxNodes` nodes are kept per walk; children found beyond that are
// enumerated the ordinary way (a handle of the caller's own for each).
#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/com/BStr.h"
#include "webfw/NativeModel/NativeModelInterfaces.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/NativeModel/WalkScope.h"

class CCrRawBrowserHelper;

class CCrFwWalkReads final : public vxWebFw::NativeModel::IWalkScope
{
public:
    static constexpr size_t kDefaultMaxNodes = 20000;

    explicit CCrFwWalkReads(CCrRawBrowserHelper* helper, size_t maxNodes = kDefaultMaxNodes);
    ~CCrFwWalkReads();
    CCrFwWalkReads(const CCrFwWalkReads&) = delete;
    CCrFwWalkReads& operator=(const CCrFwWalkReads&) = delete;

    void BeginWalk() override;
    void EndWalk() override;
    bool InWalk() const { return depth_ > 0; }
    // Nodes kept by the open walk (none outside a walk).
    size_t KeptNodes() const { return kept_.size(); }
    // Whether `node` is a handle this object owns.
    bool Keeps(NodeImpl* node) const { return !kept_.empty() && kept_.count(node) != 0; }

    // An enumerator over the children of `parent` (borrowed) that keeps them
    // until the walk ends; null outside a walk. The nodes it gives are kept
    // ones or, past the limit, the caller's own; either kind goes back
    // through the enumerator's own Release (which leaves kept ones to the
    // walk), never through another lifetime.
    vxWebFw::NativeModel::NodeEnumeratorPtr ChildNodes(NodeImpl* parent, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime);

    // Member reads: from what was kept for a kept node, from the page
    // otherwise (and then kept for a kept node).
    HRESULT NodeType(NodeImpl* node, long* type);
    HRESULT TagName(NodeImpl* node, BSTR* tag);
    HRESULT TextData(NodeImpl* node, BSTR* data);

private:
    class ChildEnumerator;

    // The children of one parent as far as they were enumerated.
    struct ChildList
    {
        std::vector<NodeImpl*> nodes; // kept nodes, in order
        bool complete = false;        // the last child is among them
        bool cut = false;             // a child after them could not be kept
    };
    // A string member read once: its result and value.
    struct StringRead
    {
        bool done = false;
        HRESULT result = E_FAIL;
        vx::com::BStr value;
    };
    struct KeptNode
    {
        vxWebFw::NodeHandle handle;
        bool typeRead = false;
        HRESULT typeResult = E_FAIL;
        long type = 0;
        StringRead tag;
        StringRead text;
        ChildList children;
    };

    // Takes over `handle` as a kept node; null (and the handle left as it
    // is) outside a walk or at the limit.
    NodeImpl* Keep(vxWebFw::NodeHandle& handle);
    KeptNode* Find(NodeImpl* node);
    HRESULT ReadString(NodeImpl* node, StringRead KeptNode::*member,
                       HRESULT (CCrRawBrowserHelper::*read)(NodeImpl*, BSTR*), BSTR* value);

    CCrRawBrowserHelper* helper_;
    size_t maxNodes_;
    int depth_ = 0;
    // Counts the walks that ended, so that an enumerator left from an ended
    // walk knows its lists are gone.
    unsigned long generation_ = 0;
    std::unordered_map<NodeImpl*, std::unique_ptr<KeptNode>> kept_;
};
