#include "quickbrowser/objects/ObjectBuilders.h"

#include "quickbrowser/objects/DomObjects.h"
#include "quickbrowser/objects/TreeObjects.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwEnumerators.h"

using Microsoft::WRL::ComPtr;
using vxCrQuickBrowser::CreateQuickBrowserObject;
using vxWebFw::NodeHandle;

namespace {

// Makes an element object of class T with the identifier and appends it; a
// failure leaves it out.
template <class T, class Setup>
void AppendElement(CCrRawBrowserHelper* accessor, NodeImpl* node, IvxCrQuickBrowserObject_Window* parentWindow,
                   vxCrQuickBrowser::QuickBrowserObjectList& objects, const VARIANT& id, Setup&& setup)
{
    ComPtr<T> object;
    if (FAILED(CreateQuickBrowserObject(accessor, node, parentWindow, object)))
        return;
    if (FAILED(object->SetIdentifier(id)))
        return;
    setup(*object.Get());
    objects.emplace_back(object.Get());
}

CCrFwAdapters* AdaptersOf(CCrRawBrowserHelper* accessor)
{
    return accessor ? accessor->Adapters() : nullptr;
}

} // namespace

namespace vxCrQuickBrowserDOMUtils {

template <class Object, class BuilderInterface>
HRESULT CDOMCollectionBuilder<Object, BuilderInterface>::Add(vxWebFw::Recognizing::RecognizedNode& node,
                                                             const VARIANT& id)
{
    AppendElement<Object>(accessor_, node.GetNode(), parentWindow_, objects_, id, [](auto&) {});
    return S_OK;
}

template class CDOMCollectionBuilder<vxCrQuickBrowser::CCrQuickBrowserObject_DOMItem,
                                     vxWebFw::DOMModel::IDOMAllBuilder>;
template class CDOMCollectionBuilder<vxCrQuickBrowser::CCrQuickBrowserObject_DOMFrame,
                                     vxWebFw::DOMModel::IDOMFramesBuilder>;

HRESULT BuildAllChildren(CCrRawBrowserHelper* accessor, NodeImpl* document,
                         IvxCrQuickBrowserObject_Window* parentWindow, QuickBrowserObjectList& objects)
{
    CCrFwAdapters* adapters = AdaptersOf(accessor);
    if (!adapters || !adapters->domAllWalk || !adapters->nodeLifetime)
        return E_UNEXPECTED;
    CCrFwDocumentAllEnumerator all(accessor, adapters->nodeLifetime.get(), document);
    CAllBuilder builder(accessor, parentWindow, objects);
    return adapters->domAllWalk->DomAllBuild(all, builder, adapters->nodeAcceptor.get());
}

HRESULT BuildFramesChildren(CCrRawBrowserHelper* accessor, NodeImpl* document,
                            IvxCrQuickBrowserObject_Window* parentWindow, QuickBrowserObjectList& objects)
{
    CCrFwAdapters* adapters = AdaptersOf(accessor);
    if (!adapters || !adapters->domFramesWalk || !adapters->nodeLifetime)
        return E_UNEXPECTED;
    CCrFwDocumentAllEnumerator all(accessor, adapters->nodeLifetime.get(), document);
    CFramesBuilder builder(accessor, parentWindow, objects);
    return adapters->domFramesWalk->DomFramesBuild(all, builder, adapters->nodeAcceptor.get());
}

} // namespace vxCrQuickBrowserDOMUtils

namespace vxCrQuickBrowserTreeUtils {

HRESULT CTreeItemsBuilder::Clear()
{
    objects_.clear();
    return S_OK;
}

HRESULT CTreeItemsBuilder::AddItem(NodeImpl* node, bool expandable, vxWebFw::TreeModel::TreeItemType type,
                                   const VARIANT& id)
{
    AppendElement<vxCrQuickBrowser::CCrQuickBrowserObject_TreeItem>(accessor_, node, parentWindow_, objects_, id,
                                                                    [&](auto& item) {
                                                                        item.SetExpandable(expandable);
                                                                        item.SetItemType(type);
                                                                    });
    return S_OK;
}

HRESULT CTreeItemsBuilder::AddFrame(NodeImpl* node, bool expandable, const VARIANT& id)
{
    AppendElement<vxCrQuickBrowser::CCrQuickBrowserObject_TreeFrame>(
        accessor_, node, parentWindow_, objects_, id, [&](auto& frame) { frame.SetExpandable(expandable); });
    return S_OK;
}

HRESULT CTreeItemsBuilder::AddCell(NodeImpl* node, bool expandable, const VARIANT& id, long row, long cell)
{
    AppendElement<vxCrQuickBrowser::CCrQuickBrowserObject_TreeCell>(accessor_, node, parentWindow_, objects_, id,
                                                                    [&](auto& object) {
                                                                        object.SetExpandable(expandable);
                                                                        object.SetCellIndexes(row, cell);
                                                                    });
    return S_OK;
}

HRESULT BuildTreeChildren(CCrRawBrowserHelper* accessor, NodeImpl* parent, IvxCrQuickBrowserObject_Window* parentWindow,
                          QuickBrowserObjectList& objects)
{
    CCrFwAdapters* adapters = AdaptersOf(accessor);
    if (!adapters || !adapters->treeItemsBuild)
        return E_UNEXPECTED;
    CTreeItemsBuilder builder(accessor, parentWindow, objects);
    return adapters->treeItemsBuild->BuildChildren(parent, builder, adapters->nodeAcceptor.get());
}

HRESULT BuildTreeDocumentChildren(CCrRawBrowserHelper* accessor, NodeImpl* document,
                                  IvxCrQuickBrowserObject_Window* parentWindow, QuickBrowserObjectList& objects)
{
    NodeHandle body(accessor);
    if (FAILED(accessor->GetBody(document, body.Out())) || !body)
        return S_OK;
    return BuildTreeChildren(accessor, body.Get(), parentWindow, objects);
}

} // namespace vxCrQuickBrowserTreeUtils
