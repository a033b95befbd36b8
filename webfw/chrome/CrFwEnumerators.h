#pragma once
// Chrome enumerators over a node's children, a document's "all" collection
// and an element's attributes. Their lifetime slots forward to the page
// context's CCrFwNodeLifetime.
#include "webfw/chrome/CrFwNativeModel.h"

class CCrFwChildNodesEnumerator : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CChildNodesEnumerator>
{
public:
    // `parent` is borrowed: the caller keeps it alive while enumerating.
    CCrFwChildNodesEnumerator(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                              NodeImpl* parent)
        : CCrFwLifetimeForwarder(lifetime), helper_(helper), parent_(parent)
    {
    }
    ~CCrFwChildNodesEnumerator() override;
    HRESULT Reset() override;
    HRESULT Next(NodeImpl** node) override;

private:
    CCrRawBrowserHelper* helper_;
    NodeImpl* parent_;
    NodeImpl* current_ = nullptr; // owned duplicate of the last child returned
};

class CCrFwDocumentAllEnumerator : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::NodeEnumerator>
{
public:
    CCrFwDocumentAllEnumerator(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                               NodeImpl* document)
        : CCrFwLifetimeForwarder(lifetime), helper_(helper), document_(document)
    {
    }
    ~CCrFwDocumentAllEnumerator() override;
    HRESULT Reset() override;
    HRESULT Next(NodeImpl** node) override;

private:
    CCrRawBrowserHelper* helper_;
    NodeImpl* document_;
    NodeImpl* all_ = nullptr; // owned
    long length_ = 0;
    long index_ = -1;
};

class CCrFwNodeAttributesEnumerator
    : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CNodeAttributesEnumerator>
{
public:
    CCrFwNodeAttributesEnumerator(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                                  NodeImpl* element, bool specifiedOnly)
        : CCrFwLifetimeForwarder(lifetime), helper_(helper), element_(element), specifiedOnly_(specifiedOnly)
    {
    }
    ~CCrFwNodeAttributesEnumerator() override;
    HRESULT Reset() override;
    HRESULT Next(NodeImpl** node) override;

private:
    CCrRawBrowserHelper* helper_;
    NodeImpl* element_;
    NodeImpl* attributes_ = nullptr; // owned
    long length_ = 0;
    long index_ = -1;
    bool specifiedOnly_;
};
