#pragma once
// What the XPath id() function needs from a browser's DOM: the document's
// own element-by-id lookup, and enough of the ancestry of the element found
// to place it in the navigator's tree. Handles returned are owned by the
// caller and are given back through the node-data provider's lifetime slots.
#include <windows.h>

#include <string>

#include "webfw/NativeModel/NodeImpl.h"

namespace vxWebFw::XPath {

class IElementByIdProvider
{
public:
    // The element of `document` (borrowed) whose ID is `id`, as the document
    // itself answers it: S_OK with the element, S_FALSE with null when there
    // is none, or a failure.
    virtual HRESULT GetElementById(NodeImpl* document, const std::wstring& id, NodeImpl** element) = 0;
    // The parent node (null at the top of a document).
    virtual HRESULT GetParentNode(NodeImpl* node, NodeImpl** parent) = 0;
    // A number that is the same for every handle of one DOM node and
    // different for different nodes.
    virtual HRESULT GetNodeIdentity(NodeImpl* node, LONG* identity) = 0;

protected:
    ~IElementByIdProvider() = default;
};

class CWebFwElementByIdProviderImpl : public IElementByIdProvider
{
public:
    virtual ~CWebFwElementByIdProviderImpl() = default;
};

} // namespace vxWebFw::XPath
