#pragma once
// Turns a node selected by an XPath expression into the value that stands
// for it in the result array.
#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "webfw/Recognizing/RecognizedNode.h"

namespace vxWebFw::XPath {

class IXPathEvaluatedNodeHandler
{
public:
    // node: the selected node; frameChain: the FRAME and IFRAME elements
    // crossed from the root document to reach it, outermost first. Sets
    // value (initialised empty here) and answers S_OK, or S_FALSE for "no
    // value", or a failure that aborts the conversion.
    virtual HRESULT HandleNode(Recognizing::RecognizedNode& node,
                               const std::vector<Recognizing::RecognizedNode>& frameChain, VARIANT* value) = 0;

protected:
    ~IXPathEvaluatedNodeHandler() = default;
};

class CWebFwXPathEvaluatedNodeHandlerImpl : public IXPathEvaluatedNodeHandler
{
public:
    virtual ~CWebFwXPathEvaluatedNodeHandlerImpl() = default;
};

} // namespace vxWebFw::XPath
