#pragma once
// The web-framework objects of one page context, created once per
// CCrRawBrowserHelper in dependency order and destroyed in the reverse order
// (members are destroyed last to first). A member whose allocation failed
// stays null. The Tree-model objects (text-block and tree-item recognisers,
// table-cell ids, tree-item string ids and the Tree-model walk) take their
// places between these when the Tree model is built in.
#include <memory>

#include "webfw/DOMModel/DOMModelWalks.h"
#include "webfw/chrome/CrFwDOMModel.h"
#include "webfw/chrome/CrFwNativeModel.h"
#include "webfw/chrome/CrFwRecognizers.h"

struct CCrFwAdapters
{
    std::unique_ptr<CCrFwOptionsProvider> optionsProvider;
    std::unique_ptr<CCrFwNodeLifetime> nodeLifetime;
    std::unique_ptr<CCrFwNodeTypeRecognizer> nodeTypeRecognizer;
    std::unique_ptr<CCrFwElementTypeRecognizer> elementTypeRecognizer;
    std::unique_ptr<CCrFwHTMLInputElementTypeRecognizer> inputElementTypeRecognizer;
    std::unique_ptr<vxWebFw::Recognizing::RecognizerSet> recognizerSet;
    std::unique_ptr<CCrFwChildNodesProvider> childNodesProvider;
    std::unique_ptr<CCrFwParentNodeProvider> parentNodeProvider;
    std::unique_ptr<CCrFwNodeNamePropStrEvaluator> nodeNamePropStrEvaluator;
    std::unique_ptr<CCrFwDOMNodeStringIdEvaluator> domNodeStringIdEvaluator;
    std::unique_ptr<vxWebFw::DOMModel::CDOMModelAllWalk> domAllWalk;
    std::unique_ptr<vxWebFw::DOMModel::CDOMModelFramesWalk> domFramesWalk;
    std::unique_ptr<CCrFwNodeAcceptor> nodeAcceptor;
};

std::unique_ptr<CCrFwAdapters> CreateCrFwAdapters(CCrRawBrowserHelper* helper);
