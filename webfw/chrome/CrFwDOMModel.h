#pragma once
// Chrome side of the DOM model's naming: ids and names with their attribute
// fallback (one attribute map per evaluation), and link and image URLs.
#include "webfw/DOMModel/DOMModelInterfaces.h"
#include "webfw/DOMModel/NodeNamePropStrEvaluator.h"
#include "webfw/chrome/CrFwEvaluationAttributes.h"

class CCrRawBrowserHelper;

class CCrFwDOMNodeStringIdEvaluator : public vxWebFw::DOMModel::CDOMNodeStringIdEvaluatorImpl
{
public:
    CCrFwDOMNodeStringIdEvaluator(CCrRawBrowserHelper* helper, vxWebFw::Options::IOptionsProvider* options)
        : CDOMNodeStringIdEvaluatorImpl(options), helper_(helper)
    {
    }
    HRESULT Evaluate(vxWebFw::Recognizing::RecognizedNode& node, BSTR* id) override;
    HRESULT GetIdString(NodeImpl* node, BSTR* id) override;
    HRESULT GetNameString(NodeImpl* node, BSTR* name) override;

private:
    CCrRawBrowserHelper* helper_;
    CCrFwEvaluationAttributes attributes_;
};

class CCrFwNodeNamePropStrEvaluator : public vxWebFw::CNodeNamePropStrEvaluator
{
public:
    explicit CCrFwNodeNamePropStrEvaluator(CCrRawBrowserHelper* helper) : helper_(helper) {}
    HRESULT GetHref(NodeImpl* node, BSTR* href) override;
    HRESULT GetSrc(NodeImpl* node, BSTR* src) override;

private:
    CCrRawBrowserHelper* helper_;
};
