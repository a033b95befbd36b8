#include "webfw/TreeModel/TableCellIds.h"

#include <utility>

#include "webfw/NativeModel/NodeHandle.h"

namespace vxWebFw::TreeModel {

using Recognizing::RecognizedNode;

HRESULT CTableCellIdsEvaluatorImpl::GetRowIndex(NodeImpl* node, long* index)
{
    if (!index)
        return E_POINTER;
    *index = -1;
    if (!node || !parents_)
        return E_FAIL;
    // `current` is the borrowed starting node, then the ancestor `owned` holds.
    NodeImpl* current = node;
    NodeHandle owned(parents_);
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
        NodeHandle parent(parents_);
        if (FAILED(parents_->GetParentNode(current, parent.Out())))
            parent.Reset();
        owned = std::move(parent);
        current = owned.Get();
    }
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
