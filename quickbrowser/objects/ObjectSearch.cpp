#include "quickbrowser/objects/ObjectSearch.h"

#include <string>

#include "platform/com/BStr.h"
#include "quickbrowser/objects/DomObjects.h"
#include "quickbrowser/objects/QuickBrowserObjectCom.h"
#include "quickbrowser/objects/TreeObjects.h"
#include "webfw/Recognizing/ElementTypes.h"
#include "webfw/chrome/CrFwAdapters.h"

using Microsoft::WRL::ComPtr;
using vxWebFw::NodeHandle;
using vxWebFw::Recognizing::RecognizedNode;

namespace vxCrQuickBrowser {

namespace {

using ObjectPtr = ComPtr<CCrQuickBrowserObject_Base>;

// Where the search looks: the element at a point, or the focused element.
struct SearchTarget
{
    bool atPoint = false;
    LONG x = 0, y = 0;
};

// Makes the object of the model for the element found (borrowed).
using MakeObject = HRESULT (*)(CCrRawBrowserHelper* accessor, NodeImpl* element, IvxCrQuickBrowserObject_Window* window,
                               const SearchTarget& target, ObjectPtr& object);

template <class T>
HRESULT MakeAs(CCrRawBrowserHelper* accessor, NodeImpl* node, IvxCrQuickBrowserObject_Window* window, ObjectPtr& object)
{
    ComPtr<T> made;
    HRESULT hr = CreateQuickBrowserObject(accessor, node, window, made);
    if (SUCCEEDED(hr))
        object = made.Get();
    return hr;
}

HRESULT Search(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window, const SearchTarget& target,
               MakeObject make, ObjectPtr& found)
{
    found.Reset();
    if (!window)
        return E_FAIL;
    NodeHandle windowNode(accessor);
    if (FAILED(window->GetWindowNode(windowNode.Out())) || !windowNode)
        return E_FAIL;
    NodeHandle document(accessor);
    if (FAILED(accessor->GetDocument(windowNode.Get(), document.Out())) || !document)
        return E_FAIL;
    NodeHandle element(accessor);
    HRESULT hr = target.atPoint ? accessor->ElementFromPoint(document.Get(), target.x, target.y, element.Out())
                                : accessor->GetActiveElement(document.Get(), element.Out());
    if (FAILED(hr) || !element)
        return E_FAIL;
    ObjectPtr object;
    hr = make(accessor, element.Get(), window, target, object);
    if (FAILED(hr))
        return hr;
    ComPtr<IvxCrQuickBrowserObject_ChildWindow> frame;
    if (SUCCEEDED(object->QueryInterface(__uuidof(IvxCrQuickBrowserObject_ChildWindow),
                                         reinterpret_cast<void**>(frame.GetAddressOf())))) {
        SearchTarget inner = target;
        if (target.atPoint) {
            LONG left = 0, top = 0;
            if (FAILED(frame->GetClientOriginLeft(&left)) || FAILED(frame->GetClientOriginTop(&top))) {
                found = object;
                return S_OK;
            }
            inner.x -= left;
            inner.y -= top;
        }
        ObjectPtr insideFrame;
        found = SUCCEEDED(Search(accessor, frame.Get(), inner, make, insideFrame)) ? insideFrame : object;
        return S_OK;
    }
    found = object;
    return S_OK;
}

CCrFwAdapters* AdaptersOf(CCrRawBrowserHelper* accessor)
{
    return accessor ? accessor->Adapters() : nullptr;
}

HRESULT MakeDomObject(CCrRawBrowserHelper* accessor, NodeImpl* element, IvxCrQuickBrowserObject_Window* window,
                      const SearchTarget&, ObjectPtr& object)
{
    CCrFwAdapters* adapters = AdaptersOf(accessor);
    if (!adapters || !adapters->recognizerSet)
        return E_UNEXPECTED;
    RecognizedNode node(element, adapters->recognizerSet.get());
    vxWebFw::Recognizing::INodeAcceptor* acceptor = adapters->nodeAcceptor.get();
    if (vxWebFw::DOMModel::CDOMModelFramesWalk::IsFramesMember(node, acceptor))
        return MakeAs<CCrQuickBrowserObject_DOMFrame>(accessor, element, window, object);
    if (vxWebFw::DOMModel::CDOMModelAllWalk::IsAllMember(node, acceptor))
        return MakeAs<CCrQuickBrowserObject_DOMItem>(accessor, element, window, object);
    return E_FAIL;
}

// The tree object of a node (borrowed): E_FAIL when the node is no tree
// item, frame or cell.
HRESULT MakeTreeObjectForNode(CCrRawBrowserHelper* accessor, NodeImpl* node, IvxCrQuickBrowserObject_Window* window,
                              ObjectPtr& object)
{
    CCrFwAdapters* adapters = AdaptersOf(accessor);
    if (!adapters || !adapters->treeItemsBuild)
        return E_UNEXPECTED;
    switch (adapters->treeItemsBuild->GetCategory(node, adapters->nodeAcceptor.get())) {
    case vxWebFw::TreeModel::ticItem:
        return MakeAs<CCrQuickBrowserObject_TreeItem>(accessor, node, window, object);
    case vxWebFw::TreeModel::ticFrame:
        return MakeAs<CCrQuickBrowserObject_TreeFrame>(accessor, node, window, object);
    case vxWebFw::TreeModel::ticCell:
        return MakeAs<CCrQuickBrowserObject_TreeCell>(accessor, node, window, object);
    default:
        return E_FAIL;
    }
}

std::wstring UpperCased(std::wstring_view text)
{
    std::wstring upper(text);
    if (!upper.empty())
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

// A point on an AREA reaches the first image (in document order) that uses
// the area's map and whose rectangle holds the point.
HRESULT MakeImageMapObject(CCrRawBrowserHelper* accessor, NodeImpl* area, IvxCrQuickBrowserObject_Window* window,
                           const SearchTarget& target, ObjectPtr& object)
{
    CCrFwAdapters* adapters = AdaptersOf(accessor);
    if (!adapters || !adapters->recognizerSet)
        return E_UNEXPECTED;
    RecognizedNode areaNode(area, adapters->recognizerSet.get());
    if (areaNode.GetElementType() != vxWebFw::Recognizing::etAREA)
        return E_FAIL;
    NodeHandle map(accessor);
    if (FAILED(accessor->GetParentNode(area, map.Out())) || !map)
        return E_FAIL;
    RecognizedNode mapNode(map.Get(), adapters->recognizerSet.get());
    if (mapNode.GetElementType() != vxWebFw::Recognizing::etMAP)
        return E_FAIL;
    vx::com::BStr mapName;
    if (FAILED(accessor->GetNameWithFallback(map.Get(), mapName.Out())) || mapName.Empty())
        return E_FAIL;
    const std::wstring name = UpperCased(mapName.View());
    const std::wstring reference = L"#" + name;
    NodeHandle document(accessor);
    if (FAILED(accessor->GetOwnerDocument(area, document.Out())) || !document)
        return E_FAIL;
    NodeHandle images(accessor);
    if (FAILED(accessor->GetElementsByTagName(document.Get(), L"img", images.Out())) || !images)
        return E_FAIL;
    long count = 0;
    if (FAILED(accessor->GetElementListLength(images.Get(), &count)))
        return E_FAIL;
    for (long index = 0; index < count; ++index) {
        NodeHandle image(accessor);
        if (FAILED(accessor->GetElementListItem(images.Get(), index, image.Out())) || !image)
            continue;
        vx::com::BStr useMap;
        if (FAILED(accessor->GetUseMap(image.Get(), useMap.Out())))
            continue;
        const std::wstring used = UpperCased(useMap.View());
        if (used != reference && used != name)
            continue;
        ObjectPtr candidate;
        if (FAILED(MakeTreeObjectForNode(accessor, image.Get(), window, candidate)))
            continue;
        ComPtr<IvxCrQuickBrowserObject_ViewportChild> child;
        BOOL contains = FALSE;
        if (SUCCEEDED(candidate->QueryInterface(__uuidof(IvxCrQuickBrowserObject_ViewportChild),
                                                reinterpret_cast<void**>(child.GetAddressOf()))) &&
            SUCCEEDED(child->ContainsPoint(target.x, target.y, &contains)) && contains) {
            object = candidate;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT MakeTreeObject(CCrRawBrowserHelper* accessor, NodeImpl* element, IvxCrQuickBrowserObject_Window* window,
                       const SearchTarget& target, ObjectPtr& object)
{
    if (SUCCEEDED(MakeTreeObjectForNode(accessor, element, window, object)))
        return S_OK;
    if (target.atPoint && SUCCEEDED(MakeImageMapObject(accessor, element, window, target, object)))
        return S_OK;
    NodeHandle current(accessor);
    HRESULT hr = accessor->CloneNode(element, current.Out());
    if (FAILED(hr))
        return hr;
    for (;;) {
        NodeHandle parent(accessor);
        if (FAILED(accessor->GetParentNode(current.Get(), parent.Out())) || !parent)
            return E_FAIL;
        if (SUCCEEDED(MakeTreeObjectForNode(accessor, parent.Get(), window, object)))
            return S_OK;
        current = std::move(parent);
    }
}

} // namespace

HRESULT DomObjectFromPoint(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window, LONG x, LONG y,
                           ObjectPtr& found)
{
    return Search(accessor, window, SearchTarget{true, x, y}, &MakeDomObject, found);
}

HRESULT DomFocusedObject(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window, ObjectPtr& found)
{
    return Search(accessor, window, SearchTarget{}, &MakeDomObject, found);
}

HRESULT TreeObjectFromPoint(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window, LONG x, LONG y,
                            ObjectPtr& found)
{
    return Search(accessor, window, SearchTarget{true, x, y}, &MakeTreeObject, found);
}

HRESULT TreeFocusedObject(CCrRawBrowserHelper* accessor, IvxCrQuickBrowserObject_Window* window, ObjectPtr& found)
{
    return Search(accessor, window, SearchTarget{}, &MakeTreeObject, found);
}

} // namespace vxCrQuickBrowser
