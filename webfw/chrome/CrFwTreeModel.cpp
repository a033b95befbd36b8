#include "webfw/chrome/CrFwTreeModel.h"

#include "webfw/NativeModel/NodeHandle.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwWalkReads.h"

bool CCrFwTextBlockRecognizer::HasLayoutBox(NodeImpl* node)
{
    vxWebFw::NodeHandle rect(helper_);
    if (FAILED(helper_->GetBoundingClientRect(node, rect.Out())) || !rect.Get())
        return false;
    double width = 0, height = 0;
    if (FAILED(helper_->GetRectWidth(rect.Get(), &width)) || FAILED(helper_->GetRectHeight(rect.Get(), &height)))
        return false;
    return static_cast<long>(width) != 0 && static_cast<long>(height) != 0;
}

HRESULT CCrFwTextBlockRecognizer::GetTextData(NodeImpl* textNode, BSTR* data)
{
    return walkReads_ ? walkReads_->TextData(textNode, data) : helper_->GetData(textNode, data);
}

HRESULT CCrFwTableCellIdsEvaluator::ReadCellIndex(NodeImpl* cell, long* index)
{
    return helper_->GetCellIndex(cell, index);
}

HRESULT CCrFwTableCellIdsEvaluator::ReadRowIndex(NodeImpl* row, long* index)
{
    return helper_->GetRowIndex(row, index);
}

HRESULT CCrFwTreeItemStringIdEvaluator::Evaluate(vxWebFw::Recognizing::RecognizedNode& node, BSTR* name, bool* keepRaw)
{
    return attributes_.With(helper_, node.GetNode(),
                            [&] { return CTreeItemStringIdEvaluatorImpl::Evaluate(node, name, keepRaw); });
}

HRESULT CCrFwTreeItemStringIdEvaluator::GetIdString(NodeImpl* node, BSTR* id)
{
    return attributes_.IdWithFallback(helper_, node, id);
}

HRESULT CCrFwTreeItemStringIdEvaluator::GetNameString(NodeImpl* node, BSTR* name)
{
    return attributes_.NameWithFallback(helper_, node, name);
}

HRESULT CCrFwTreeItemStringIdEvaluator::GetValueString(NodeImpl* node, BSTR* value)
{
    return helper_->GetValue(node, value);
}
