#include "webfw/DOMModel/DOMModelInterfaces.h"

#include "platform/com/BStr.h"

namespace vxWebFw::DOMModel {

HRESULT CDOMNodeStringIdEvaluatorImpl::Evaluate(RecognizedNode& node, BSTR* id)
{
    if (!id)
        return E_POINTER;
    *id = nullptr;
    bool preferName = options_ && options_->GetPreferName();
    vx::com::BStr first, second;
    if (preferName)
        GetNameString(node.GetNode(), first.Out());
    else
        GetIdString(node.GetNode(), first.Out());
    if (!first.Empty()) {
        *id = first.Detach();
        return S_OK;
    }
    if (preferName)
        GetIdString(node.GetNode(), second.Out());
    else
        GetNameString(node.GetNode(), second.Out());
    if (!second.Empty())
        *id = second.Detach();
    return S_OK;
}

} // namespace vxWebFw::DOMModel
