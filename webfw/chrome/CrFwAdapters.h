#pragma once
// The web-framework objects of one page context, created once per
// CCrRawBrowserHelper in dependency order and destroyed in the reverse order
// (members are destroyed last to first). A member whose allocation failed
// stays null.
#include <memory>

#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/DOMModel/DOMModelWalks.h"
#include "webfw/TreeModel/TreeItemsBuild.h"
#include "webfw/chrome/CrFwDOMModel.h"
#include "webfw/chrome/CrFwNativeModel.h"
#include "webfw/chrome/CrFwRecognizers.h"
#include "webfw/chrome/CrFwTreeModel.h"
#include "webfw/chrome/CrFwWalkReads.h"

struct CCrFwAdapters
{
    std::unique_ptr<CCrFwOptionsProvider> optionsProvider;
    std::unique_ptr<CCrFwNodeLifetime> nodeLifetime;
    // What a Tree level's walk has read, kept until it ends.
    std::unique_ptr<CCrFwWalkReads> walkReads;
    std::unique_ptr<CCrFwNodeTypeRecognizer> nodeTypeRecognizer;
    std::unique_ptr<CCrFwElementTypeRecognizer> elementTypeRecognizer;
    std::unique_ptr<CCrFwHTMLInputElementTypeRecognizer> inputElementTypeRecognizer;
    std::unique_ptr<vxWebFw::Recognizing::RecognizerSet> recognizerSet;
    std::unique_ptr<CCrFwChildNodesProvider> childNodesProvider;
    std::unique_ptr<CCrFwParentNodeProvider> parentNodeProvider;
    std::unique_ptr<CCrFwTextBlockRecognizer> textBlockRecognizer;
    std::unique_ptr<CCrFwTreeItemRecognizer> treeItemRecognizer;
    std::unique_ptr<CCrFwTableCellIdsEvaluator> tableCellIdsEvaluator;
    std::unique_ptr<CCrFwNodeNamePropStrEvaluator> nodeNamePropStrEvaluator;
    std::unique_ptr<CCrFwDOMNodeStringIdEvaluator> domNodeStringIdEvaluator;
    std::unique_ptr<vxWebFw::DOMModel::CDOMModelAllWalk> domAllWalk;
    std::unique_ptr<vxWebFw::DOMModel::CDOMModelFramesWalk> domFramesWalk;
    std::unique_ptr<CCrFwTreeItemStringIdEvaluator> treeItemStringIdEvaluator;
    std::unique_ptr<vxWebFw::TreeModel::TreeItemsBuild> treeItemsBuild;
    std::unique_ptr<CCrFwNodeAcceptor> nodeAcceptor;
};

// The adapters of the page context `helper` reads, for its AttachNative.
CCrFwAdaptersOwner CreateCrFwAdapters(CCrRawBrowserHelper* helper);
