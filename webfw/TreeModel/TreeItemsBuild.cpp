#include "webfw/TreeModel/TreeItemsBuild.h"

#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace vxWebFw::TreeModel {

using Recognizing::INodeAcceptor;

HRESULT TreeItemsBuild::BuildChildren(NodeImpl* parent, ITreeItemsBuilder& builder, INodeAcceptor* acceptor)
{
    NativeModel::WalkScopeGuard walk(walkScope_);
    NativeModel::NodeEnumeratorPtr inner;
    if (!children_ || FAILED(children_->GetChildNodes(parent, inner)) || !inner)
        return S_OK;
    NativeModel::CChildNodesEnumerator_del children(std::move(inner));
    Generator generator;
    HRESULT hr = builder.Clear();
    if (FAILED(hr))
        return hr;
    return WalkLevel(children, generator, builder, acceptor);
}

TreeItemCategory TreeItemsBuild::GetCategory(NodeImpl* node, INodeAcceptor* acceptor)
{
    if (!node)
        return ticNone;
    RecognizedNode recognized(node, set_);
    return GetTreeItemCategory(Recognize(recognized, acceptor));
}

TreeItemRecognition TreeItemsBuild::Recognize(RecognizedNode& node, INodeAcceptor* acceptor)
{
    TreeItemRecognition recognition;
    if (acceptor && !acceptor->Accept(node))
        return recognition;
    if (!recognizer_ || FAILED(recognizer_->Recognize(node, &recognition)))
        return TreeItemRecognition{};
    return recognition;
}

HRESULT TreeItemsBuild::WalkLevel(NativeModel::NodeEnumerator& children, Generator& generator,
                                  ITreeItemsBuilder& builder, INodeAcceptor* acceptor)
{
    const HRESULT hr = children.Reset();
    if (FAILED(hr))
        return hr;
    for (;;) {
        NodeHandle owned(&children);
        if (children.Next(owned.Out()) != S_OK)
            break;
        NodeImpl* child = owned.Get();
        if (!child)
            continue;
        RecognizedNode recognized(child, set_);
        const TreeItemRecognition recognition = Recognize(recognized, acceptor);
        const TreeItemCategory category = GetTreeItemCategory(recognition);
        if (category != ticNone) {
            if (recognition.kind == tikTextContainer)
                WalkChildrenOf(child, generator, builder, acceptor);
            Report(recognized, recognition, category, generator, builder);
        } else if (recognition.kind == tikTransparent) {
            WalkChildrenOf(child, generator, builder, acceptor);
        }
    }
    return hr;
}

void TreeItemsBuild::WalkChildrenOf(NodeImpl* node, Generator& generator, ITreeItemsBuilder& builder,
                                    INodeAcceptor* acceptor)
{
    NativeModel::NodeEnumeratorPtr grandChildren;
    if (!children_ || FAILED(children_->GetChildNodes(node, grandChildren)) || !grandChildren)
        return;
    WalkLevel(*grandChildren, generator, builder, acceptor);
}

void TreeItemsBuild::Report(RecognizedNode& node, const TreeItemRecognition& recognition, TreeItemCategory category,
                            Generator& generator, ITreeItemsBuilder& builder)
{
    const bool expandable = recognition.kind != tikTextContainer;
    vx::com::BStr name;
    bool keepRaw = false;
    if (stringIds_)
        stringIds_->Evaluate(node, name.Out(), &keepRaw);
    vx::com::Variant id;
    generator.Generate(recognition.type, name.Get(), keepRaw, id.Get());

    // Builder failures do not stop the level: the remaining items still count.
    switch (category) {
    case ticCell: {
        long row = -1, cell = -1;
        if (cellIds_) {
            cellIds_->GetRowIndex(node.GetNode(), &row);
            cellIds_->GetCellIndex(node.GetNode(), &cell);
        }
        builder.AddCell(node.GetNode(), expandable, *id.Get(), row, cell);
        break;
    }
    case ticFrame:
        builder.AddFrame(node.GetNode(), expandable, *id.Get());
        break;
    default:
        builder.AddItem(node.GetNode(), expandable, recognition.type, *id.Get());
        break;
    }
}

} // namespace vxWebFw::TreeModel
