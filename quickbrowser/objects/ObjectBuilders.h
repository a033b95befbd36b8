#pragma once
// Builders that turn the web framework's enumerations into quick-browser
// objects, and the enumerations the objects' children come from. Every new
// object lies under the builder's parent window; an object that cannot be
// made is left out and the enumeration goes on. Renderer thread only.
#include "quickbrowser/objects/QuickBrowserObjectBase.h"
#include "webfw/DOMModel/DOMModelInterfaces.h"
#include "webfw/TreeModel/TreeItemsBuild.h"

namespace vxCrQuickBrowser {
class CCrQuickBrowserObject_DOMItem;
class CCrQuickBrowserObject_DOMFrame;
} // namespace vxCrQuickBrowser

namespace vxCrQuickBrowserDOMUtils {

using vxCrQuickBrowser::QuickBrowserObjectList;

// Makes one object of class Object (DOM item or DOM frame) per element the
// DOM-model walk reports, with the walk's identifier.
template <class Object, class BuilderInterface>
class CDOMCollectionBuilder : public BuilderInterface
{
public:
    CDOMCollectionBuilder(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* parentWindow,
                          QuickBrowserObjectList& objects)
        : accessor_(accessor), parentWindow_(parentWindow), objects_(objects)
    {
    }
    HRESULT Clear() override
    {
        objects_.clear();
        return S_OK;
    }
    HRESULT Add(vxWebFw::Recognizing::RecognizedNode& node, const VARIANT& id) override;

private:
    CCrRawBrowserHelper* accessor_;
    IvxCrQuickBrowserObject_Window* parentWindow_;
    QuickBrowserObjectList& objects_;
};

// The "all" collection's DOM items and the "frames" collection's DOM frames.
using CAllBuilder =
    CDOMCollectionBuilder<vxCrQuickBrowser::CCrQuickBrowserObject_DOMItem, vxWebFw::DOMModel::IDOMAllBuilder>;
using CFramesBuilder =
    CDOMCollectionBuilder<vxCrQuickBrowser::CCrQuickBrowserObject_DOMFrame, vxWebFw::DOMModel::IDOMFramesBuilder>;

// The DOM items or frames of a document (borrowed).
HRESULT BuildAllChildren(CCrRawBrowserHelper* accessor, NodeImpl* document,
                         IvxCrQuickBrowserObject_Window* parentWindow, QuickBrowserObjectList& objects);
HRESULT BuildFramesChildren(CCrRawBrowserHelper* accessor, NodeImpl* document,
                            IvxCrQuickBrowserObject_Window* parentWindow, QuickBrowserObjectList& objects);

} // namespace vxCrQuickBrowserDOMUtils

namespace vxCrQuickBrowserTreeUtils {

using vxCrQuickBrowser::QuickBrowserObjectList;

class CTreeItemsBuilder : public vxWebFw::TreeModel::ITreeItemsBuilder
{
public:
    CTreeItemsBuilder(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* parentWindow,
                      QuickBrowserObjectList& objects)
        : accessor_(accessor), parentWindow_(parentWindow), objects_(objects)
    {
    }
    HRESULT Clear() override;
    HRESULT AddItem(NodeImpl* node, bool expandable, vxWebFw::TreeModel::TreeItemType type, const VARIANT& id) override;
    HRESULT AddFrame(NodeImpl* node, bool expandable, const VARIANT& id) override;
    HRESULT AddCell(NodeImpl* node, bool expandable, const VARIANT& id, long row, long cell) override;

private:
    CCrRawBrowserHelper* accessor_;
    IvxCrQuickBrowserObject_Window* parentWindow_;
    QuickBrowserObjectList& objects_;
};

// The tree items one level below an element (borrowed).
HRESULT BuildTreeChildren(CCrRawBrowserHelper* accessor, NodeImpl* parent, IvxCrQuickBrowserObject_Window* parentWindow,
                          QuickBrowserObjectList& objects);
// The tree items of a document: those below its body (none without a body).
HRESULT BuildTreeDocumentChildren(CCrRawBrowserHelper* accessor, NodeImpl* document,
                                  IvxCrQuickBrowserObject_Window* parentWindow, QuickBrowserObjectList& objects);

} // namespace vxCrQuickBrowserTreeUtils
