#pragma once
// Row and cell index of a table cell: the row is the nearest TR at or above
// the node; the cell index is the node's own.
#include "webfw/NativeModel/NativeModelInterfaces.h"
#include "webfw/Recognizing/RecognizedNode.h"

namespace vxWebFw::TreeModel {

class ITableCellIdsEvaluator
{
public:
    // Each sets the index to -1 first and leaves it there on failure.
    virtual HRESULT GetRowIndex(NodeImpl* node, long* index) = 0;
    virtual HRESULT GetCellIndex(NodeImpl* node, long* index) = 0;

protected:
    ~ITableCellIdsEvaluator() = default;
};

class CTableCellIdsEvaluatorImpl : public ITableCellIdsEvaluator
{
public:
    CTableCellIdsEvaluatorImpl(const Recognizing::RecognizerSet* set, NativeModel::IParentNodeProvider* parents)
        : set_(set), parents_(parents)
    {
    }
    HRESULT GetRowIndex(NodeImpl* node, long* index) override;
    HRESULT GetCellIndex(NodeImpl* node, long* index) override;
    virtual ~CTableCellIdsEvaluatorImpl() = default;
    virtual HRESULT ReadCellIndex(NodeImpl* cell, long* index) = 0;
    virtual HRESULT ReadRowIndex(NodeImpl* row, long* index) = 0;

private:
    const Recognizing::RecognizerSet* set_;
    NativeModel::IParentNodeProvider* parents_;
};

} // namespace vxWebFw::TreeModel
