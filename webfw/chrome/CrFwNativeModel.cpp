#include "webfw/chrome/CrFwNativeModel.h"

#include <new>

#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwEnumerators.h"
#include "webfw/chrome/CrFwWalkReads.h"

HRESULT CCrFwNodeLifetime::AddRef(NodeImpl* node, NodeImpl** copy)
{
    return helper_->CloneNode(node, copy);
}

HRESULT CCrFwNodeLifetime::Release(NodeImpl* node)
{
    return helper_->ReleaseNode(node); // releases a copy of the pointer; the caller's stays as it is
}

HRESULT CCrFwNodeDataProvider::GetNodeName(NodeImpl* node, BSTR* name)
{
    return helper_->GetNodeName(node, name);
}

HRESULT CCrFwNodeDataProvider::GetNodeValue(NodeImpl* node, BSTR* value)
{
    return helper_->GetNodeValue(node, value);
}

HRESULT CCrFwNodeDataProvider::GetPreviousSibling(NodeImpl* node, NodeImpl** sibling)
{
    return helper_->GetPreviousSibling(node, sibling);
}

HRESULT CCrFwNodeDataProvider::GetNextSibling(NodeImpl* node, NodeImpl** sibling)
{
    return helper_->GetNextSibling(node, sibling);
}

HRESULT CCrFwNodeDataProvider::GetFirstChild(NodeImpl* node, NodeImpl** child)
{
    return helper_->GetFirstChild(node, child);
}

HRESULT CCrFwNodeDataProvider::GetLastChild(NodeImpl* node, NodeImpl** child)
{
    return helper_->GetLastChild(node, child);
}

HRESULT CCrFwNodeDataProvider::HasChildNodes(NodeImpl* node, bool* has)
{
    return helper_->HasChildNodes(node, has);
}

HRESULT CCrFwChildNodesProvider::GetChildNodes(NodeImpl* node, vxWebFw::NativeModel::NodeEnumeratorPtr& children)
{
    if (walkReads_ && walkReads_->InWalk())
        children = walkReads_->ChildNodes(node, lifetime_);
    else
        children.reset(new (std::nothrow) CCrFwChildNodesEnumerator(helper_, lifetime_, node));
    return children ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCrFwParentNodeProvider::GetParentNode(NodeImpl* node, NodeImpl** parent)
{
    return helper_->GetParentNode(node, parent);
}

HRESULT CCrFwNodeAttributesProvider::GetAttributes(NodeImpl* node, bool specifiedOnly,
                                                   vxWebFw::NativeModel::NodeEnumeratorPtr& attributes)
{
    attributes.reset(new (std::nothrow) CCrFwNodeAttributesEnumerator(helper_, lifetime_, node, specifiedOnly));
    return attributes ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCrFwAttributeDataProvider::GetAttributeName(NodeImpl* attribute, BSTR* name)
{
    return helper_->GetAttrName(attribute, name);
}

HRESULT CCrFwAttributeDataProvider::GetAttributeValue(NodeImpl* attribute, BSTR* value)
{
    return helper_->GetAttrValue(attribute, value);
}

HRESULT CCrFwFrameDocumentProvider::GetFrameDocument(NodeImpl* frame, NodeImpl** document)
{
    return helper_->GetFrameContentDocument(frame, document);
}

HRESULT CCrFwIFrameDocumentProvider::GetIFrameDocument(NodeImpl* iframe, NodeImpl** document)
{
    return helper_->GetIFrameContentDocument(iframe, document);
}

long CCrFwOptionsProvider::GetObjectModel()
{
    return helper_->Options().ObjectModel();
}

bool CCrFwOptionsProvider::GetPreferName()
{
    return helper_->Options().PreferName();
}
