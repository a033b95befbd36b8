#include "webfw/TreeModel/TreeItemRecognizer.h"

#include "platform/com/BStr.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace vxWebFw::TreeModel {

using namespace Recognizing;

// ---- text blocks

bool CTextBlockRecognizerImpl::IsBlank(BSTR text)
{
    const UINT length = SysStringLen(text);
    for (UINT i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        if (c != L'\t' && c != L'\n' && c != L'\r' && c != L' ')
            return false;
    }
    return true;
}

bool CTextBlockRecognizerImpl::IsIgnored(RecognizedNode& node)
{
    switch (node.GetElementType()) {
    case etNOFRAMES:
        return !HasLayoutBoxForNoFrames(node.GetNode());
    case etNOSCRIPT:
        return !HasLayoutBoxForNoScript(node.GetNode());
    default:
        return false;
    }
}

bool CTextBlockRecognizerImpl::IsNonBlankText(NodeImpl* node)
{
    RecognizedNode child(node, set_);
    if (child.GetNodeType() != ntText)
        return false;
    vx::com::BStr data;
    GetTextData(node, data.Out());
    return !IsBlank(data.Get());
}

bool CTextBlockRecognizerImpl::HasTextChild(RecognizedNode& node)
{
    NativeModel::NodeEnumeratorPtr children;
    if (!children_ || FAILED(children_->GetChildNodes(node.GetNode(), children)) || !children)
        return false;
    if (FAILED(children->Reset()))
        return false;
    for (;;) {
        NodeHandle child(children.get());
        if (children->Next(child.Out()) != S_OK)
            return false;
        if (child && IsNonBlankText(child.Get()))
            return true;
    }
}

bool CTextBlockRecognizerImpl::StartsWithText(RecognizedNode& node)
{
    NativeModel::NodeEnumeratorPtr children;
    if (!children_ || FAILED(children_->GetChildNodes(node.GetNode(), children)) || !children)
        return false;
    if (FAILED(children->Reset()))
        return false;
    NodeHandle first(children.get());
    if (children->Next(first.Out()) != S_OK || !first)
        return false;
    return IsNonBlankText(first.Get());
}

// ---- items

CTreeItemRecognizerImpl::CTreeItemRecognizerImpl(ITextBlockRecognizer* textBlocks) : textBlocks_(textBlocks)
{
    const TreeItemRecognition skipped{tiNone, tikSkipped};
    const TreeItemRecognition transparent{tiNone, tikTransparent};
    elements_ = {
        {etA, {tiLink, tikItem}},
        {etAPPLET, {tiApplet, tikItem}},
        {etBUTTON, {tiButton, tikItem}},
        {etCAPTION, {tiCaption, tikItem}},
        {etDIV, {tiPanel, tikItem}},
        {etEMBED, {tiObject, tikItem}},
        {etFIELDSET, {tiFieldset, tikItem}},
        {etFORM, {tiForm, tikItem}},
        {etFRAME, {tiFrame, tikItem}},
        {etIFRAME, {tiFrame, tikItem}},
        {etIMG, {tiImage, tikItem}},
        {etLABEL, {tiLabel, tikItem}},
        {etLEGEND, {tiLegend, tikItem}},
        {etMARQUEE, {tiMarquee, tikItem}},
        {etOBJECT, {tiObject, tikItem}},
        {etSELECT, {tiSelect, tikItem}},
        {etTABLE, {tiTable, tikItem}},
        {etTD, {tiCell, tikItem}},
        {etTEXTAREA, {tiTextarea, tikItem}},
        {etHTML, transparent},
        {etBODY, transparent},
        {etTR, transparent},
        {etHEAD, skipped},
        {etTITLE, skipped},
        {etSTYLE, skipped},
        {etSCRIPT, skipped},
        {etMAP, skipped},
        {etAREA, skipped},
        {etOPTION, skipped},
        {etOPTGROUP, skipped},
    };
    inputs_ = {
        {itBUTTON, {tiButton, tikItem}},
        {itCHECKBOX, {tiCheckbox, tikItem}},
        {itFILE, {tiFile, tikItem}},
        {itIMAGE, {tiImageButton, tikItem}},
        {itPASSWORD, {tiPasswordBox, tikItem}},
        {itRADIO, {tiRadioButton, tikItem}},
        {itRESET, {tiResetButton, tikItem}},
        {itSUBMIT, {tiSubmitButton, tikItem}},
        {itTEXT, {tiTextbox, tikItem}},
        {itHIDDEN, transparent},
    };
}

HRESULT CTreeItemRecognizerImpl::Recognize(RecognizedNode& node, TreeItemRecognition* recognition)
{
    if (!recognition)
        return E_POINTER;
    *recognition = TreeItemRecognition{};
    const long elementType = node.GetElementType();
    if (auto found = elements_.find(elementType); found != elements_.end()) {
        *recognition = found->second;
        return S_OK;
    }
    if (elementType == etINPUT) {
        auto input = inputs_.find(node.GetInputType());
        *recognition = input != inputs_.end() ? input->second : TreeItemRecognition{tiTextbox, tikItem};
        return S_OK;
    }
    if (!textBlocks_) {
        recognition->kind = tikTransparent;
        return S_OK;
    }
    if (textBlocks_->IsIgnored(node))
        *recognition = {tiNone, tikSkipped};
    else if (textBlocks_->StartsWithText(node))
        *recognition = {tiTextNode, tikItem};
    else if (textBlocks_->HasTextChild(node))
        *recognition = {tiTextNode, tikTextContainer};
    else
        *recognition = {tiNone, tikTransparent};
    return S_OK;
}

} // namespace vxWebFw::TreeModel
