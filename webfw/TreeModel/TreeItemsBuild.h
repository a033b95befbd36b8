#pragma once
// One level of the Tree model: the items found below a node, with wrappers
// looked through and the contents of text blocks lifted up ahead of them.
// Names are unique per item type within the level, unnamed items are
// numbered per type from 0; every expansion starts the numbering afresh.
#include "webfw/DOMModel/ObjectIdGenerator.h"
#include "webfw/NativeModel/NativeModelInterfaces.h"
#include "webfw/NativeModel/WalkScope.h"
#include "webfw/TreeModel/TableCellIds.h"
#include "webfw/TreeModel/TreeItemRecognizer.h"
#include "webfw/TreeModel/TreeItemStringId.h"

namespace vxWebFw::TreeModel {

// Receives one level's items. Nodes are borrowed for the call (a builder
// that keeps one duplicates it); `id` is a unique name (VT_BSTR) or a number
// (VT_I4).
class ITreeItemsBuilder
{
public:
    virtual HRESULT Clear() = 0;
    virtual HRESULT AddItem(NodeImpl* node, bool expandable, TreeItemType type, const VARIANT& id) = 0;
    virtual HRESULT AddFrame(NodeImpl* node, bool expandable, const VARIANT& id) = 0;
    virtual HRESULT AddCell(NodeImpl* node, bool expandable, const VARIANT& id, long row, long cell) = 0;

protected:
    ~ITreeItemsBuilder() = default;
};

class TreeItemsBuild
{
public:
    // `walkScope` (optional) is told where each level's walk starts and ends,
    // so that the providers may keep what they read for that long.
    TreeItemsBuild(const RecognizerSet* set, ITreeItemRecognizer* recognizer,
                   NativeModel::IChildNodesProvider* children, ITreeItemStringIdEvaluator* stringIds,
                   ITableCellIdsEvaluator* cellIds, NativeModel::IWalkScope* walkScope = nullptr)
        : set_(set), recognizer_(recognizer), children_(children), stringIds_(stringIds), cellIds_(cellIds),
          walkScope_(walkScope)
    {
    }

    // Reports the items of the level below `parent` (borrowed), as one walk.
    // A parent whose children cannot be enumerated reports nothing and
    // succeeds.
    HRESULT BuildChildren(NodeImpl* parent, ITreeItemsBuilder& builder, Recognizing::INodeAcceptor* acceptor);

    // Which builder operation a node would go to; ticNone: not a tree item.
    TreeItemCategory GetCategory(NodeImpl* node, Recognizing::INodeAcceptor* acceptor);

private:
    using Generator = CObjectIdGeneratorDefaultImpl<long>;

    TreeItemRecognition Recognize(RecognizedNode& node, Recognizing::INodeAcceptor* acceptor);
    HRESULT WalkLevel(NativeModel::NodeEnumerator& children, Generator& generator, ITreeItemsBuilder& builder,
                      Recognizing::INodeAcceptor* acceptor);
    void Report(RecognizedNode& node, const TreeItemRecognition& recognition, TreeItemCategory category,
                Generator& generator, ITreeItemsBuilder& builder);

    const RecognizerSet* set_;
    ITreeItemRecognizer* recognizer_;
    NativeModel::IChildNodesProvider* children_;
    ITreeItemStringIdEvaluator* stringIds_;
    ITableCellIdsEvaluator* cellIds_;
    NativeModel::IWalkScope* walkScope_;
};

} // namespace vxWebFw::TreeModel
