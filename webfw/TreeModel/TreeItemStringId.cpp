#include "webfw/TreeModel/TreeItemStringId.h"

#include "platform/com/BStr.h"
#include "webfw/DOMModel/UniqueNames.h"

namespace vxWebFw::TreeModel {

using namespace Recognizing;

namespace {
bool YieldsIdentifier(const vx::com::BStr& text)
{
    return !ApplyIdentifierRule(text.View(), L"").empty();
}
} // namespace

HRESULT CTreeItemStringIdEvaluatorImpl::Evaluate(RecognizedNode& node, BSTR* name, bool* keepRaw)
{
    if (!name || !keepRaw)
        return E_POINTER;
    *name = nullptr;
    *keepRaw = false;

    const bool preferName = options_ && options_->GetPreferName();
    vx::com::BStr chosen;
    if (preferName)
        GetNameString(node.GetNode(), chosen.Out());
    else
        GetIdString(node.GetNode(), chosen.Out());
    if (chosen.Empty()) {
        if (preferName)
            GetIdString(node.GetNode(), chosen.Out());
        else
            GetNameString(node.GetNode(), chosen.Out());
    }

    const long elementType = node.GetElementType();
    if (elementType == etIMG && !YieldsIdentifier(chosen) && urlNames_) {
        vx::com::BStr fromSrc;
        urlNames_->EvaluateNamePropStr(node, fromSrc.Out());
        chosen = std::move(fromSrc);
    } else if (elementType == etINPUT && !YieldsIdentifier(chosen)) {
        // An unnamed button is known by its caption, which is kept as it is.
        chosen.Reset();
        const long inputType = node.GetInputType();
        if (inputType == itBUTTON || inputType == itRESET || inputType == itSUBMIT) {
            *keepRaw = true;
            GetValueString(node.GetNode(), chosen.Out());
        }
    }
    *name = chosen.Detach();
    return S_OK;
}

} // namespace vxWebFw::TreeModel
