#include "webfw/chrome/CrFwDOMModel.h"

#include "quickbrowser/accessor/RawBrowserHelper.h"

HRESULT CCrFwDOMNodeStringIdEvaluator::Evaluate(vxWebFw::Recognizing::RecognizedNode& node, BSTR* id)
{
    return attributes_.With(helper_, node.GetNode(), [&] { return CDOMNodeStringIdEvaluatorImpl::Evaluate(node, id); });
}

HRESULT CCrFwDOMNodeStringIdEvaluator::GetIdString(NodeImpl* node, BSTR* id)
{
    return attributes_.IdWithFallback(helper_, node, id);
}

HRESULT CCrFwDOMNodeStringIdEvaluator::GetNameString(NodeImpl* node, BSTR* name)
{
    return attributes_.NameWithFallback(helper_, node, name);
}

HRESULT CCrFwNodeNamePropStrEvaluator::GetHref(NodeImpl* node, BSTR* href)
{
    return helper_->GetHref(node, href);
}

HRESULT CCrFwNodeNamePropStrEvaluator::GetSrc(NodeImpl* node, BSTR* src)
{
    return helper_->GetSrc(node, src);
}
