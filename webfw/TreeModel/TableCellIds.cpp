#include "webfw/TreeModel/TableCellIds.h"

namespace vxWebFw::TreeModel {

using Recognizing::RecognizedNode;

HRESULT CTableCellIdsEvaluatorImpl::GetRowIndex(NodeImpl* node, long* index)
{
    if (!index)
        return E_POINTER;
    *index = -1;
    if (!node || !parents_)
        return E_FAIL;
    // `current` is borrowed while it is the starting node and owned after.
    NodeImpl* current = node;
    bool owned = false;
    HRESULT hr = E_FAIL;
    while (current) {
        RecognizedNode recognized(current, set_);
        if (recognized.GetElementType() == Recognizing::etTR) {
            long row = -1;
            hr = ReadRowIndex(current, &row);
            if (SUCCEEDED(hr))
                *index = row;
            break;
        }
        NodeImpl* parent = nullptr;
        if (FAILED(parents_->GetParentNode(current, &parent)))
            parent = nullptr;
        if (owned)
            parents_->Release(current);
        current = parent;
        owned = true;
    }
    if (owned && current)
        parents_->Release(current);
    return hr;
}

HRESULT CTableCellIdsEvaluatorImpl::GetCellIndex(NodeImpl* node, long* index)
{
    if (!index)
        return E_POINTER;
    *index = -1;
    long cell = -1;
    HRESULT hr = ReadCellIndex(node, &cell);
    if (SUCCEEDED(hr))
        *index = cell;
    return hr;
}

} // namespace vxWebFw::TreeModel
