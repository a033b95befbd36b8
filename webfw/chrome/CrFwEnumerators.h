#pragma once
// Chrome enumerators over a node's children, a document's "all" collection
// and an element's attributes. Their lifetime slots forward to the page
// context's CCrFwNodeLifetime.
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/chrome/CrFwNativeModel.h"

class CCrFwChildNodesEnumerator : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CChildNodesEnumerator>
{
public:
    // `parent` is borrowed: the caller keeps it alive while enumerating.
    CCrFwChildNodesEnumerator(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                              NodeImpl* parent)
        : CCrFwLifetimeForwarder(lifetime), helper_(helper), parent_(parent), current_(helper)
    {
    }
    HRESULT Reset() override;
    HRESULT Next(NodeImpl** node) override;

private:
    CCrRawBrowserHelper* helper_;
    NodeImpl* parent_;
    vxWebFw::NodeHandle current_; // duplicate of the last child returned
};

// The walk over an indexed collection of the native object (a document's
// "all" collection, an element's attributes) that the enumerators below
// share: it owns the collection handle and keeps the position in it.
class CCrFwIndexedCollectionWalk
{
public:
    using OpenCollection = HRESULT (CCrRawBrowserHelper::*)(NodeImpl* owner, NodeImpl** collection);
    using ReadLength = HRESULT (CCrRawBrowserHelper::*)(NodeImpl* collection, long* length);
    using ReadItem = HRESULT (CCrRawBrowserHelper::*)(NodeImpl* collection, long index, NodeImpl** item);

    // `owner` is borrowed: the enumerator's user keeps it alive.
    CCrFwIndexedCollectionWalk(CCrRawBrowserHelper* helper, NodeImpl* owner, OpenCollection open, ReadLength length,
                               ReadItem item)
        : helper_(helper), owner_(owner), open_(open), length_(length), item_(item), collection_(helper)
    {
    }
    CCrFwIndexedCollectionWalk(const CCrFwIndexedCollectionWalk&) = delete;
    CCrFwIndexedCollectionWalk& operator=(const CCrFwIndexedCollectionWalk&) = delete;

    // Reads the collection and its length again; the position goes back to
    // before the first item.
    HRESULT Restart();
    // Moves to the next item, reading the collection first if it has not
    // been read: S_OK at an item, S_FALSE past the last.
    HRESULT MoveNext();
    bool AtItem() const { return index_ < count_; }
    void Skip() { ++index_; }
    // The item at the position (a new handle).
    HRESULT Item(NodeImpl** item);

private:
    CCrRawBrowserHelper* helper_;
    NodeImpl* owner_;
    OpenCollection open_;
    ReadLength length_;
    ReadItem item_;
    vxWebFw::NodeHandle collection_;
    long count_ = 0;
    long index_ = -1;
};

class CCrFwDocumentAllEnumerator : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::NodeEnumerator>
{
public:
    CCrFwDocumentAllEnumerator(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                               NodeImpl* document);
    HRESULT Reset() override;
    HRESULT Next(NodeImpl** node) override;

private:
    CCrFwIndexedCollectionWalk all_;
};

class CCrFwNodeAttributesEnumerator : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CNodeAttributesEnumerator>
{
public:
    CCrFwNodeAttributesEnumerator(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                                  NodeImpl* element, bool specifiedOnly);
    HRESULT Reset() override;
    HRESULT Next(NodeImpl** node) override;

private:
    CCrRawBrowserHelper* helper_;
    CCrFwIndexedCollectionWalk attributes_;
    bool specifiedOnly_;
};
