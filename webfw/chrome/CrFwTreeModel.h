#pragma once
// Chrome side of the Tree model: layout-box tests and text of text nodes,
// table indexes, and the id, name and value of tree items, each read through
// the page's CCrRawBrowserHelper.
#include "webfw/TreeModel/TableCellIds.h"
#include "webfw/TreeModel/TreeItemRecognizer.h"
#include "webfw/TreeModel/TreeItemStringId.h"
#include "webfw/chrome/CrFwEvaluationAttributes.h"

class CCrRawBrowserHelper;
class CCrFwWalkReads;

class CCrFwTextBlockRecognizer : public vxWebFw::TreeModel::CTextBlockRecognizerImpl
{
public:
    // Text is read through the open walk's reads, when given.
    CCrFwTextBlockRecognizer(CCrRawBrowserHelper* helper, vxWebFw::NativeModel::IChildNodesProvider* children,
                             const vxWebFw::Recognizing::RecognizerSet* set, CCrFwWalkReads* walkReads = nullptr)
        : CTextBlockRecognizerImpl(children, set), helper_(helper), walkReads_(walkReads)
    {
    }
    bool HasLayoutBoxForNoFrames(NodeImpl* node) override { return HasLayoutBox(node); }
    bool HasLayoutBoxForNoScript(NodeImpl* node) override { return HasLayoutBox(node); }
    HRESULT GetTextData(NodeImpl* textNode, BSTR* data) override;

private:
    // True when the bounding client rectangle's width and height, truncated
    // toward zero, are both non-zero.
    bool HasLayoutBox(NodeImpl* node);

    CCrRawBrowserHelper* helper_;
    CCrFwWalkReads* walkReads_;
};

class CCrFwTreeItemRecognizer : public vxWebFw::TreeModel::CTreeItemRecognizerImpl
{
public:
    CCrFwTreeItemRecognizer(CCrRawBrowserHelper* helper, vxWebFw::TreeModel::ITextBlockRecognizer* textBlocks)
        : CTreeItemRecognizerImpl(textBlocks), helper_(helper)
    {
    }

private:
    CCrRawBrowserHelper* helper_;
};

class CCrFwTableCellIdsEvaluator : public vxWebFw::TreeModel::CTableCellIdsEvaluatorImpl
{
public:
    CCrFwTableCellIdsEvaluator(CCrRawBrowserHelper* helper, const vxWebFw::Recognizing::RecognizerSet* set,
                               vxWebFw::NativeModel::IParentNodeProvider* parents)
        : CTableCellIdsEvaluatorImpl(set, parents), helper_(helper)
    {
    }
    HRESULT ReadCellIndex(NodeImpl* cell, long* index) override;
    HRESULT ReadRowIndex(NodeImpl* row, long* index) override;

private:
    CCrRawBrowserHelper* helper_;
};

class CCrFwTreeItemStringIdEvaluator : public vxWebFw::TreeModel::CTreeItemStringIdEvaluatorImpl
{
public:
    CCrFwTreeItemStringIdEvaluator(CCrRawBrowserHelper* helper, vxWebFw::Options::IOptionsProvider* options,
                                   vxWebFw::CNodeNamePropStrEvaluator* urlNames)
        : CTreeItemStringIdEvaluatorImpl(options, urlNames), helper_(helper)
    {
    }
    // The id and name fallbacks of one evaluation share the element's attribute map.
    HRESULT Evaluate(vxWebFw::Recognizing::RecognizedNode& node, BSTR* name, bool* keepRaw) override;
    HRESULT GetIdString(NodeImpl* node, BSTR* id) override;
    HRESULT GetNameString(NodeImpl* node, BSTR* name) override;
    HRESULT GetValueString(NodeImpl* node, BSTR* value) override;

private:
    CCrRawBrowserHelper* helper_;
    CCrFwEvaluationAttributes attributes_;
};
