#include "webfw/TreeModel/TreeItemsBuild.h"

#include <vector>

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

namespace {

// A level being walked below the level that was asked for: the children of a
// wrapper the Tree model looks through, or of a text block whose items come
// before the block itself. The walk keeps these on the heap, so a page's
// nesting depth never becomes stack depth.
struct OpenLevel
{
    NativeModel::NodeEnumeratorPtr children;
    NodeHandle node; // the wrapper or text block; its handle is its parent level's
    RecognizedNode recognized;
    TreeItemRecognition recognition;
    TreeItemCategory category = ticNone; // ticNone: a wrapper, nothing to report
};

} // namespace

HRESULT TreeItemsBuild::WalkLevel(NativeModel::NodeEnumerator& children, Generator& generator,
                                  ITreeItemsBuilder& builder, INodeAcceptor* acceptor)
{
    const HRESULT hr = children.Reset();
    if (FAILED(hr))
        return hr;
    std::vector<OpenLevel> open;
    for (;;) {
        NativeModel::NodeEnumerator& level = open.empty() ? children : *open.back().children;
        NodeHandle owned(&level);
        if (level.Next(owned.Out()) != S_OK) {
            if (open.empty())
                break;
            // The level is done: a text block is reported after its contents.
            OpenLevel done = std::move(open.back());
            open.pop_back();
            if (done.category != ticNone)
                Report(done.recognized, done.recognition, done.category, generator, builder);
            continue;
        }
        NodeImpl* child = owned.Get();
        if (!child)
            continue;
        RecognizedNode recognized(child, set_);
        const TreeItemRecognition recognition = Recognize(recognized, acceptor);
        const TreeItemCategory category = GetTreeItemCategory(recognition);
        const bool textBlock = category != ticNone && recognition.kind == tikTextContainer;
        if (category != ticNone && !textBlock) {
            Report(recognized, recognition, category, generator, builder);
            continue;
        }
        if (!textBlock && recognition.kind != tikTransparent)
            continue;
        NativeModel::NodeEnumeratorPtr below;
        if (!children_ || FAILED(children_->GetChildNodes(child, below)) || !below || FAILED(below->Reset())) {
            if (textBlock)
                Report(recognized, recognition, category, generator, builder);
            continue;
        }
        open.push_back(
            OpenLevel{std::move(below), std::move(owned), recognized, recognition, textBlock ? category : ticNone});
    }
    return hr;
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
