#pragma once
// Chrome implementations of the native-model interfaces: each operation is
// one DOM read through the page's CCrRawBrowserHelper. Every lifetime slot
// forwards to the page context's CCrFwNodeLifetime, so a handle from any of
// these objects may be given back through any other.
#include "webfw/NativeModel/NativeModelInterfaces.h"
#include "webfw/Options/OptionsProvider.h"

class CCrRawBrowserHelper;
class CCrFwWalkReads;

class CCrFwNodeLifetime : public vxWebFw::NativeModel::CWebFwNodeLifetimeImpl
{
public:
    explicit CCrFwNodeLifetime(CCrRawBrowserHelper* helper) : helper_(helper) {}
    HRESULT AddRef(NodeImpl* node, NodeImpl** copy) override;
    HRESULT Release(NodeImpl* node) override;

private:
    CCrRawBrowserHelper* helper_;
};

// The lifetime slots of a provider or enumerator, forwarded.
template <class Base>
class CCrFwLifetimeForwarder : public Base
{
public:
    explicit CCrFwLifetimeForwarder(vxWebFw::IObjectLifetime<NodeImpl*>* lifetime) : lifetime_(lifetime) {}
    HRESULT AddRef(NodeImpl* node, NodeImpl** copy) override
    {
        return lifetime_ ? lifetime_->AddRef(node, copy) : E_POINTER;
    }
    HRESULT Release(NodeImpl* node) override { return lifetime_ ? lifetime_->Release(node) : E_POINTER; }

protected:
    vxWebFw::IObjectLifetime<NodeImpl*>* lifetime_;
};

class CCrFwNodeDataProvider : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CWebFwNodeDataProviderImpl>
{
public:
    CCrFwNodeDataProvider(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime)
        : CCrFwLifetimeForwarder(lifetime), helper_(helper)
    {
    }
    HRESULT GetNodeName(NodeImpl* node, BSTR* name) override;
    HRESULT GetNodeValue(NodeImpl* node, BSTR* value) override;
    HRESULT GetPreviousSibling(NodeImpl* node, NodeImpl** sibling) override;
    HRESULT GetNextSibling(NodeImpl* node, NodeImpl** sibling) override;
    HRESULT GetFirstChild(NodeImpl* node, NodeImpl** child) override;
    HRESULT GetLastChild(NodeImpl* node, NodeImpl** child) override;
    HRESULT HasChildNodes(NodeImpl* node, bool* has) override;

private:
    CCrRawBrowserHelper* helper_;
};

// Within a walk of `walkReads` (optional) the children come from it, kept
// until the walk ends; otherwise each enumeration reads them afresh.
class CCrFwChildNodesProvider : public vxWebFw::NativeModel::CWebFwChildNodesProviderImpl
{
public:
    CCrFwChildNodesProvider(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime,
                            CCrFwWalkReads* walkReads = nullptr)
        : helper_(helper), lifetime_(lifetime), walkReads_(walkReads)
    {
    }
    HRESULT GetChildNodes(NodeImpl* node, vxWebFw::NativeModel::NodeEnumeratorPtr& children) override;

private:
    CCrRawBrowserHelper* helper_;
    vxWebFw::IObjectLifetime<NodeImpl*>* lifetime_;
    CCrFwWalkReads* walkReads_;
};

class CCrFwParentNodeProvider : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CWebFwParentNodeProviderImpl>
{
public:
    CCrFwParentNodeProvider(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime)
        : CCrFwLifetimeForwarder(lifetime), helper_(helper)
    {
    }
    HRESULT GetParentNode(NodeImpl* node, NodeImpl** parent) override;

private:
    CCrRawBrowserHelper* helper_;
};

class CCrFwNodeAttributesProvider : public vxWebFw::NativeModel::CWebFwNodeAttributesProviderImpl
{
public:
    CCrFwNodeAttributesProvider(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime)
        : helper_(helper), lifetime_(lifetime)
    {
    }
    HRESULT GetAttributes(NodeImpl* node, bool specifiedOnly,
                          vxWebFw::NativeModel::NodeEnumeratorPtr& attributes) override;

private:
    CCrRawBrowserHelper* helper_;
    vxWebFw::IObjectLifetime<NodeImpl*>* lifetime_;
};

class CCrFwAttributeDataProvider : public vxWebFw::NativeModel::CWebFwAttributeDataProviderImpl
{
public:
    explicit CCrFwAttributeDataProvider(CCrRawBrowserHelper* helper) : helper_(helper) {}
    HRESULT GetAttributeName(NodeImpl* attribute, BSTR* name) override;
    HRESULT GetAttributeValue(NodeImpl* attribute, BSTR* value) override;

private:
    CCrRawBrowserHelper* helper_;
};

class CCrFwFrameDocumentProvider : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CWebFwFrameDocumentProviderImpl>
{
public:
    CCrFwFrameDocumentProvider(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime)
        : CCrFwLifetimeForwarder(lifetime), helper_(helper)
    {
    }
    HRESULT GetFrameDocument(NodeImpl* frame, NodeImpl** document) override;

private:
    CCrRawBrowserHelper* helper_;
};

class CCrFwIFrameDocumentProvider
    : public CCrFwLifetimeForwarder<vxWebFw::NativeModel::CWebFwIFrameDocumentProviderImpl>
{
public:
    CCrFwIFrameDocumentProvider(CCrRawBrowserHelper* helper, vxWebFw::IObjectLifetime<NodeImpl*>* lifetime)
        : CCrFwLifetimeForwarder(lifetime), helper_(helper)
    {
    }
    HRESULT GetIFrameDocument(NodeImpl* iframe, NodeImpl** document) override;

private:
    CCrRawBrowserHelper* helper_;
};

// Reads the quick browser's options record of its page.
class CCrFwOptionsProvider : public vxWebFw::Options::CWebFwOptionsProviderImpl
{
public:
    explicit CCrFwOptionsProvider(CCrRawBrowserHelper* helper) : helper_(helper) {}
    long GetObjectModel() override;
    bool GetPreferName() override;

private:
    CCrRawBrowserHelper* helper_;
};
