#include "webfw/chrome/CrFwAdapters.h"

#include <new>

namespace {

void DestroyAdapters(CCrFwAdapters* adapters)
{
    delete adapters;
}

} // namespace

CCrFwAdaptersOwner CreateCrFwAdapters(CCrRawBrowserHelper* helper)
{
    CCrFwAdaptersOwner a(new (std::nothrow) CCrFwAdapters(), &DestroyAdapters);
    if (!a)
        return a;
    a->optionsProvider.reset(new (std::nothrow) CCrFwOptionsProvider(helper));
    a->nodeLifetime.reset(new (std::nothrow) CCrFwNodeLifetime(helper));
    a->walkReads.reset(new (std::nothrow) CCrFwWalkReads(helper));
    a->nodeTypeRecognizer.reset(new (std::nothrow) CCrFwNodeTypeRecognizer(helper, a->walkReads.get()));
    a->elementTypeRecognizer.reset(new (std::nothrow) CCrFwElementTypeRecognizer(helper, a->walkReads.get()));
    a->inputElementTypeRecognizer.reset(new (std::nothrow) CCrFwHTMLInputElementTypeRecognizer(helper));
    a->recognizerSet.reset(new (std::nothrow) vxWebFw::Recognizing::RecognizerSet{
        a->nodeTypeRecognizer.get(), a->elementTypeRecognizer.get(), a->inputElementTypeRecognizer.get()});
    a->childNodesProvider.reset(new (std::nothrow)
                                    CCrFwChildNodesProvider(helper, a->nodeLifetime.get(), a->walkReads.get()));
    a->parentNodeProvider.reset(new (std::nothrow) CCrFwParentNodeProvider(helper, a->nodeLifetime.get()));
    a->textBlockRecognizer.reset(new (std::nothrow) CCrFwTextBlockRecognizer(
        helper, a->childNodesProvider.get(), a->recognizerSet.get(), a->walkReads.get()));
    a->treeItemRecognizer.reset(new (std::nothrow) CCrFwTreeItemRecognizer(helper, a->textBlockRecognizer.get()));
    a->tableCellIdsEvaluator.reset(
        new (std::nothrow) CCrFwTableCellIdsEvaluator(helper, a->recognizerSet.get(), a->parentNodeProvider.get()));
    a->nodeNamePropStrEvaluator.reset(new (std::nothrow) CCrFwNodeNamePropStrEvaluator(helper));
    a->domNodeStringIdEvaluator.reset(new (std::nothrow)
                                          CCrFwDOMNodeStringIdEvaluator(helper, a->optionsProvider.get()));
    a->domAllWalk.reset(new (std::nothrow) vxWebFw::DOMModel::CDOMModelAllWalk(a->recognizerSet.get(),
                                                                               a->domNodeStringIdEvaluator.get()));
    a->domFramesWalk.reset(new (std::nothrow) vxWebFw::DOMModel::CDOMModelFramesWalk(
        a->recognizerSet.get(), a->domNodeStringIdEvaluator.get()));
    a->treeItemStringIdEvaluator.reset(new (std::nothrow) CCrFwTreeItemStringIdEvaluator(
        helper, a->optionsProvider.get(), a->nodeNamePropStrEvaluator.get()));
    a->treeItemsBuild.reset(new (std::nothrow) vxWebFw::TreeModel::TreeItemsBuild(
        a->recognizerSet.get(), a->treeItemRecognizer.get(), a->childNodesProvider.get(),
        a->treeItemStringIdEvaluator.get(), a->tableCellIdsEvaluator.get(), a->walkReads.get()));
    a->nodeAcceptor.reset(new (std::nothrow) CCrFwNodeAcceptor(helper));
    return a;
}
