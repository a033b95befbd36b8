#pragma once
// The Chrome node handler of XPath results: a selected element or attribute
// becomes a hook object carrying the node's script-side object and, for an
// element that is an object of the page's current model, its instance path
// (moniker prefix, then "<frame id>!" for every frame crossed, then the
// element's own id). Other nodes have no value.
#include <vector>

#include "platform/com/BStr.h"
#include "webfw/XPath/XPathEvaluatedNodeHandler.h"

class CCrRawBrowserHelper;

class CCrFwXPathEvaluatedNodeHandler : public vxWebFw::XPath::CWebFwXPathEvaluatedNodeHandlerImpl
{
public:
    // helper is borrowed; monikerPrefix is copied (null reads as empty).
    CCrFwXPathEvaluatedNodeHandler(CCrRawBrowserHelper* helper, BSTR monikerPrefix);

    HRESULT HandleNode(vxWebFw::Recognizing::RecognizedNode& node,
                       const std::vector<vxWebFw::Recognizing::RecognizedNode>& frameChain, VARIANT* value) override;

    // Whether the element is an object of the model the page shows: a member
    // of All or Frames in the DOM model (0), an element with a Tree-item
    // category in the Tree model (3); under any other model setting none is.
    bool IsCurrentModelObject(vxWebFw::Recognizing::RecognizedNode& element);
    HRESULT BuildInstancePath(vxWebFw::Recognizing::RecognizedNode& element,
                              const std::vector<vxWebFw::Recognizing::RecognizedNode>& frameChain, BSTR* path);

private:
    CCrRawBrowserHelper* helper_;
    vx::com::BStr monikerPrefix_;
};
