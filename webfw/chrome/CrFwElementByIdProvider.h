#pragma once
// The id() lookup of XPath over a Chrome page: the document's own
// getElementById, parentNode and the native object's node ids, each read
// through the page's CCrRawBrowserHelper.
#include "webfw/XPath/XPathElementByIdProvider.h"

class CCrRawBrowserHelper;

class CCrFwElementByIdProvider : public vxWebFw::XPath::CWebFwElementByIdProviderImpl
{
public:
    explicit CCrFwElementByIdProvider(CCrRawBrowserHelper* helper) : helper_(helper) {}

    HRESULT GetElementById(NodeImpl* document, const std::wstring& id, NodeImpl** element) override;
    HRESULT GetParentNode(NodeImpl* node, NodeImpl** parent) override;
    HRESULT GetNodeIdentity(NodeImpl* node, LONG* identity) override;

private:
    CCrRawBrowserHelper* helper_;
};
