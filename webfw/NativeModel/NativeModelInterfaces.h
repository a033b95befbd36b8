#pragma once
// What the framework algorithms know of a browser's DOM: node data, child and
// parent navigation, attributes and frame documents. Every node handle that
// an operation returns is owned by the caller and may be released through
// the lifetime slots of any of these objects.
#include <windows.h>
#include <oleauto.h>

#include <memory>

#include "webfw/NativeModel/NodeImpl.h"
#include "webfw/NativeModel/ObjectLifetime.h"

namespace vxWebFw::NativeModel {

using NodeEnumerator = IObjectEnumerator<NodeImpl*>;
using NodeEnumeratorPtr = std::unique_ptr<NodeEnumerator>;

class INodeDataProvider : public IObjectLifetime<NodeImpl*>
{
public:
    virtual HRESULT GetNodeName(NodeImpl* node, BSTR* name) = 0;
    virtual HRESULT GetNodeValue(NodeImpl* node, BSTR* value) = 0;
    virtual HRESULT GetPreviousSibling(NodeImpl* node, NodeImpl** sibling) = 0;
    virtual HRESULT GetNextSibling(NodeImpl* node, NodeImpl** sibling) = 0;
    virtual HRESULT GetFirstChild(NodeImpl* node, NodeImpl** child) = 0;
    virtual HRESULT GetLastChild(NodeImpl* node, NodeImpl** child) = 0;
    virtual HRESULT HasChildNodes(NodeImpl* node, bool* has) = 0;

protected:
    ~INodeDataProvider() = default;
};

class IChildNodesProvider
{
public:
    virtual HRESULT GetChildNodes(NodeImpl* node, NodeEnumeratorPtr& children) = 0;

protected:
    ~IChildNodesProvider() = default;
};

class IParentNodeProvider : public IObjectLifetime<NodeImpl*>
{
public:
    virtual HRESULT GetParentNode(NodeImpl* node, NodeImpl** parent) = 0;

protected:
    ~IParentNodeProvider() = default;
};

class INodeAttributesProvider
{
public:
    virtual HRESULT GetAttributes(NodeImpl* node, bool specifiedOnly, NodeEnumeratorPtr& attributes) = 0;

protected:
    ~INodeAttributesProvider() = default;
};

class IAttributeDataProvider
{
public:
    virtual HRESULT GetAttributeName(NodeImpl* attribute, BSTR* name) = 0;
    virtual HRESULT GetAttributeValue(NodeImpl* attribute, BSTR* value) = 0;

protected:
    ~IAttributeDataProvider() = default;
};

class IFrameDocumentProvider : public IObjectLifetime<NodeImpl*>
{
public:
    virtual HRESULT GetFrameDocument(NodeImpl* frame, NodeImpl** document) = 0;

protected:
    ~IFrameDocumentProvider() = default;
};

class IIFrameDocumentProvider : public IObjectLifetime<NodeImpl*>
{
public:
    virtual HRESULT GetIFrameDocument(NodeImpl* iframe, NodeImpl** document) = 0;

protected:
    ~IIFrameDocumentProvider() = default;
};

// Browser-independent bases: each adds the virtual destructor.
class CWebFwNodeLifetimeImpl : public IObjectLifetime<NodeImpl*>
{
public:
    virtual ~CWebFwNodeLifetimeImpl() = default;
};
class CWebFwNodeDataProviderImpl : public INodeDataProvider
{
public:
    virtual ~CWebFwNodeDataProviderImpl() = default;
};
class CWebFwChildNodesProviderImpl : public IChildNodesProvider
{
public:
    virtual ~CWebFwChildNodesProviderImpl() = default;
};
class CWebFwParentNodeProviderImpl : public IParentNodeProvider
{
public:
    virtual ~CWebFwParentNodeProviderImpl() = default;
};
class CWebFwNodeAttributesProviderImpl : public INodeAttributesProvider
{
public:
    virtual ~CWebFwNodeAttributesProviderImpl() = default;
};
class CWebFwAttributeDataProviderImpl : public IAttributeDataProvider
{
public:
    virtual ~CWebFwAttributeDataProviderImpl() = default;
};
class CWebFwFrameDocumentProviderImpl : public IFrameDocumentProvider
{
public:
    virtual ~CWebFwFrameDocumentProviderImpl() = default;
};
class CWebFwIFrameDocumentProviderImpl : public IIFrameDocumentProvider
{
public:
    virtual ~CWebFwIFrameDocumentProviderImpl() = default;
};

// Enumerator bases for children and attributes.
class CChildNodesEnumerator : public NodeEnumerator
{
};
class CNodeAttributesEnumerator : public NodeEnumerator
{
};

// Holds another enumerator and forwards every operation to it.
class CChildNodesEnumerator_del : public CChildNodesEnumerator
{
public:
    explicit CChildNodesEnumerator_del(NodeEnumeratorPtr inner) : inner_(std::move(inner)) {}

    HRESULT AddRef(NodeImpl* node, NodeImpl** copy) override { return inner_ ? inner_->AddRef(node, copy) : E_POINTER; }
    HRESULT Release(NodeImpl* node) override { return inner_ ? inner_->Release(node) : E_POINTER; }
    HRESULT Reset() override { return inner_ ? inner_->Reset() : E_POINTER; }
    HRESULT Next(NodeImpl** node) override { return inner_ ? inner_->Next(node) : E_POINTER; }

private:
    NodeEnumeratorPtr inner_;
};

} // namespace vxWebFw::NativeModel
