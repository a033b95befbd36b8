#include "webfw/chrome/CrFwRecognizers.h"

#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwWalkReads.h"

using namespace vxWebFw::Recognizing;

HRESULT CCrFwNodeTypeRecognizer::GetNodeTypeValue(NodeImpl* node, long* value)
{
    return walkReads_ ? walkReads_->NodeType(node, value) : helper_->GetNodeType(node, value);
}

HRESULT CCrFwNodeTypeRecognizer::GetNodeName(NodeImpl* node, BSTR* name)
{
    return helper_->GetNodeName(node, name);
}

HRESULT CCrFwElementTypeRecognizer::GetTagName(NodeImpl* node, BSTR* tagName)
{
    return walkReads_ ? walkReads_->TagName(node, tagName) : helper_->GetTagName(node, tagName);
}

HRESULT CCrFwHTMLInputElementTypeRecognizer::GetInputType(NodeImpl* node, BSTR* type)
{
    return helper_->GetType(node, type);
}

bool CCrFwNodeAcceptor::Accept(RecognizedNode& node)
{
    const long type = node.GetElementType();
    if (type != etOBJECT && type != etSCRIPT && type != etPARAM)
        return true;
    bool excluded = false;
    if (FAILED(helper_->HasExclusionAttribute(node.GetNode(), &excluded)))
        return true;
    return !excluded;
}
