#pragma once
// Chrome side of recognition: each recogniser reads its one DOM member
// through the page's CCrRawBrowserHelper (node type and tag name through the
// open walk's reads, when given, so that a walk reads them once per node);
// the acceptor keeps OBJECT, SCRIPT and PARAM elements that carry the
// exclusion attribute out of the models.
#include "webfw/Recognizing/RecognizedNode.h"

class CCrRawBrowserHelper;
class CCrFwWalkReads;

class CCrFwNodeTypeRecognizer : public vxWebFw::Recognizing::CNodeTypeRecognizerImpl
{
public:
    explicit CCrFwNodeTypeRecognizer(CCrRawBrowserHelper* helper, CCrFwWalkReads* walkReads = nullptr)
        : helper_(helper), walkReads_(walkReads)
    {
    }
    HRESULT GetNodeTypeValue(NodeImpl* node, long* value) override;
    virtual HRESULT GetNodeName(NodeImpl* node, BSTR* name);

private:
    CCrRawBrowserHelper* helper_;
    CCrFwWalkReads* walkReads_;
};

class CCrFwElementTypeRecognizer : public vxWebFw::Recognizing::CElementTypeRecognizerImpl
{
public:
    explicit CCrFwElementTypeRecognizer(CCrRawBrowserHelper* helper, CCrFwWalkReads* walkReads = nullptr)
        : helper_(helper), walkReads_(walkReads)
    {
    }
    HRESULT GetTagName(NodeImpl* node, BSTR* tagName) override;

private:
    CCrRawBrowserHelper* helper_;
    CCrFwWalkReads* walkReads_;
};

class CCrFwHTMLInputElementTypeRecognizer : public vxWebFw::Recognizing::CHTMLInputElementTypeRecognizerImpl
{
public:
    explicit CCrFwHTMLInputElementTypeRecognizer(CCrRawBrowserHelper* helper) : helper_(helper) {}
    HRESULT GetInputType(NodeImpl* node, BSTR* type) override;

private:
    CCrRawBrowserHelper* helper_;
};

class CCrFwNodeAcceptor : public vxWebFw::Recognizing::CWebFwNodeAcceptorImpl
{
public:
    explicit CCrFwNodeAcceptor(CCrRawBrowserHelper* helper) : helper_(helper) {}
    bool Accept(vxWebFw::Recognizing::RecognizedNode& node) override;

private:
    CCrRawBrowserHelper* helper_;
};
