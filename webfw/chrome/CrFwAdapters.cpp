#include "webfw/chrome/CrFwAdapters.h"

#include <new>

std::unique_ptr<CCrFwAdapters> CreateCrFwAdapters(CCrRawBrowserHelper* helper)
{
    std::unique_ptr<CCrFwAdapters> a(new (std::nothrow) CCrFwAdapters());
    if (!a)
        return a;
    a->optionsProvider.reset(new (std::nothrow) CCrFwOptionsProvider(helper));
    a->nodeLifetime.reset(new (std::nothrow) CCrFwNodeLifetime(helper));
    a->nodeTypeRecognizer.reset(new (std::nothrow) CCrFwNodeTypeRecognizer(helper));
    a->elementTypeRecognizer.reset(new (std::nothrow) CCrFwElementTypeRecognizer(helper));
    a->inputElementTypeRecognizer.reset(new (std::nothrow) CCrFwHTMLInputElementTypeRecognizer(helper));
    a->recognizerSet.reset(new (std::nothrow) vxWebFw::Recognizing::RecognizerSet{
        a->nodeTypeRecognizer.get(), a->elementTypeRecognizer.get(), a->inputElementTypeRecognizer.get()});
    a->childNodesProvider.reset(new (std::nothrow) CCrFwChildNodesProvider(helper, a->nodeLifetime.get()));
    a->parentNodeProvider.reset(new (std::nothrow) CCrFwParentNodeProvider(helper, a->nodeLifetime.get()));
    a->nodeNamePropStrEvaluator.reset(new (std::nothrow) CCrFwNodeNamePropStrEvaluator(helper));
    a->domNodeStringIdEvaluator.reset(
        new (std::nothrow) CCrFwDOMNodeStringIdEvaluator(helper, a->optionsProvider.get()));
    a->domAllWalk.reset(new (std::nothrow) vxWebFw::DOMModel::CDOMModelAllWalk(a->recognizerSet.get(),
                                                                              a->domNodeStringIdEvaluator.get()));
    a->domFramesWalk.reset(new (std::nothrow) vxWebFw::DOMModel::CDOMModelFramesWalk(
        a->recognizerSet.get(), a->domNodeStringIdEvaluator.get()));
    a->nodeAcceptor.reset(new (std::nothrow) CCrFwNodeAcceptor(helper));
    return a;
}
