#include "quickbrowser/objects/TreeObjects.h"

#include <string>

#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "quickbrowser/InformationRecords.h"
#include "quickbrowser/objects/DomObjects.h"
#include "quickbrowser/objects/Instances.h"
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

HRESULT TreeScriptObject(CCrQuickBrowserObject_InDocumentNode& object, long itemType, IDispatch* last,
                         IDispatch** script)
{
    if (!script)
        return E_POINTER;
    *script = nullptr;
    CCrRawBrowserHelper* accessor = object.Accessor();
    vx::com::BStr members(TreeTypeMemberList());
    if (!members.Get())
        return E_OUTOFMEMORY;
    ComPtr<IDispatch> own;
    HRESULT hr = accessor->GetNodeScriptObjectEx(object.Node(), members.Get(), own.GetAddressOf());
    if (FAILED(hr))
        return hr;
    ComPtr<IDispatch> quickIds;
    hr = CreateWebQuickIds(accessor, object.Node(), quickIds);
    if (FAILED(hr))
        return hr;
    vx::com::BStr typeName;
    hr = vxWebFw::TreeModel::TreeItemTypeNames::Instance().GetName(itemType, typeName.Out());
    if (FAILED(hr))
        return hr;
    ComPtr<IDispatch> webIds;
    hr = CreateWebIds(accessor, typeName.Get(), object.OwnIdentifier(), webIds);
    if (FAILED(hr))
        return hr;
    if (last)
        return MixScriptObject(object.StubManager(), own.Get(), {quickIds.Get(), webIds.Get(), last}, script);
    return MixScriptObject(object.StubManager(), own.Get(), {quickIds.Get(), webIds.Get()}, script);
}

HRESULT CCrQuickBrowserObject_TreeItem::GetScriptDispatch(IDispatch** script)
{
    ComPtr<IDispatch> table;
    HRESULT hr = CreateTableInstance(Accessor(), Node(), table);
    if (FAILED(hr))
        return hr;
    return TreeScriptObject(*this, itemType_, table.Get(), script);
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
    ComPtr<IDispatch> cellIds;
    HRESULT hr = CreateWebCellIds(Accessor(), rowIndex_, cellIndex_, cellIds);
    if (FAILED(hr))
        return hr;
    return TreeScriptObject(*this, vxWebFw::TreeModel::tiCell, cellIds.Get(), script);
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
    return TreeScriptObject(*this, vxWebFw::TreeModel::tiFrame, nullptr, script);
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
