#include "webfw/chrome/CrFwDOMModel.h"

#include "quickbrowser/accessor/RawBrowserHelper.h"

HRESULT CCrFwDOMNodeStringIdEvaluator::GetIdString(NodeImpl* node, BSTR* id)
{
    return helper_->GetIdWithFallback(node, id);
}

HRESULT CCrFwDOMNodeStringIdEvaluator::GetNameString(NodeImpl* node, BSTR* name)
{
    return helper_->GetNameWithFallback(node, name);
}

HRESULT CCrFwNodeNamePropStrEvaluator::GetHref(NodeImpl* node, BSTR* href)
{
    return helper_->GetHref(node, href);
}

HRESULT CCrFwNodeNamePropStrEvaluator::GetSrc(NodeImpl* node, BSTR* src)
{
    return helper_->GetSrc(node, src);
}
