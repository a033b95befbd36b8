#include "quickbrowser/objects/TreeObjects.h"

#include <string>

#include "platform/com/BStr.h"
#include "quickbrowser/InformationRecords.h"
#include "quickbrowser/objects/DomObjects.h"
#include "quickbrowser/objects/ObjectBuilders.h"

using Microsoft::WRL::ComPtr;
using vxWebFw::NodeHandle;

namespace vxCrQuickBrowser {

namespace {

// Every type name joined with "!", made once for the process.
const std::wstring& TreeTypeMemberList()
{
    static const std::wstring list = [] {
        std::wstring joined;
        for (const std::wstring& name : vxWebFw::TreeModel::TreeItemTypeNames::Instance().GetAllNames()) {
            if (!joined.empty())
                joined += L'!';
            joined += name;
        }
        return joined;
    }();
    return list;
}

} // namespace

HRESULT TreeScriptObject(CCrRawBrowserHelper* accessor, NodeImpl* element, IStubManager* owner, IDispatch** script)
{
    if (!script)
        return E_POINTER;
    *script = nullptr;
    vx::com::BStr members(TreeTypeMemberList());
    if (!members.Get())
        return E_OUTOFMEMORY;
    ComPtr<IDispatch> own;
    HRESULT hr = accessor->GetNodeScriptObjectEx(element, members.Get(), own.GetAddressOf());
    if (FAILED(hr))
        return hr;
    return MixScriptObject(owner, own.Get(), script);
}

HRESULT CCrQuickBrowserObject_TreeItem::GetScriptDispatch(IDispatch** script)
{
    return TreeScriptObject(Accessor(), Node(), StubManager(), script);
}

HRESULT CCrQuickBrowserObject_TreeItem::GetObjectIdentifier(VARIANT* identifier)
{
    if (!identifier)
        return E_POINTER;
    VariantClear(identifier);
    return PackTreeItemIdentifier(static_cast<LONG>(itemType_), *identifier_.Get(), identifier);
}

HRESULT CCrQuickBrowserObject_TreeItem::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    return vxCrQuickBrowserTreeUtils::BuildTreeChildren(Accessor(), Node(), ParentWindow(), children);
}

HRESULT CCrQuickBrowserObject_TreeCell::GetScriptDispatch(IDispatch** script)
{
    return TreeScriptObject(Accessor(), Node(), StubManager(), script);
}

HRESULT CCrQuickBrowserObject_TreeCell::GetObjectIdentifier(VARIANT* identifier)
{
    if (!identifier)
        return E_POINTER;
    VariantClear(identifier);
    return PackTreeCellIdentifier(rowIndex_, cellIndex_, identifier);
}

HRESULT CCrQuickBrowserObject_TreeCell::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    return vxCrQuickBrowserTreeUtils::BuildTreeChildren(Accessor(), Node(), ParentWindow(), children);
}

HRESULT CCrQuickBrowserObject_TreeFrame::GetScriptDispatch(IDispatch** script)
{
    return TreeScriptObject(Accessor(), Node(), StubManager(), script);
}

HRESULT CCrQuickBrowserObject_TreeFrame::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    NodeHandle document;
    if (FAILED(FrameDocument(document)))
        return S_OK; // a frame whose document cannot be reached has no items
    return vxCrQuickBrowserTreeUtils::BuildTreeDocumentChildren(Accessor(), document.Get(), AsWindow(), children);
}

} // namespace vxCrQuickBrowser
