#pragma once
// The Tree model's objects: items, table cells and frames. Each is expanded
// by the Tree-model walk below its element (a frame: below its document's
// body). The builder sets the item type, the identifier and the cell
// indexes when it makes the object.
#include "quickbrowser/objects/FrameObject.h"
#include "quickbrowser/objects/QuickBrowserControlCom.h"
#include "quickbrowser/objects/WindowSlots.h"
#include "webfw/TreeModel/TreeItemTypes.h"

namespace vxCrQuickBrowser {

// The script object of a Tree-model object: a mixer over its element's
// script object (made with every Tree-model type name as member list), its
// WebQuickIds, its WebIds (the name of `itemType`, its own identifier: the
// value the engine re-finds it by, not the record's packed array) and `last`
// (the table or cell instance; may be null).
HRESULT TreeScriptObject(CCrQuickBrowserObject_InDocumentNode& object, long itemType, IDispatch* last,
                         IDispatch** script);

class CCrQuickBrowserObject_TreeItem final
    : public QuickBrowserControlCom<CCrQuickBrowserObject_TreeItem, CCrQuickBrowserObject_InDocumentControl>
{
public:
    void SetItemType(vxWebFw::TreeModel::TreeItemType type) noexcept { itemType_ = type; }
    vxWebFw::TreeModel::TreeItemType ItemType() const noexcept { return itemType_; }

    HRESULT GetScriptDispatch(IDispatch** script) override;
    VX_CR_QUICKBROWSEROBJECT_TYPE GetObjectKind() override { return crqbotTreeItem; }
    // Two elements: the item type (VT_I4) and the identifier.
    HRESULT GetObjectIdentifier(VARIANT* identifier) override;
    HRESULT GetChildren(QuickBrowserObjectList& children) override;

private:
    vxWebFw::TreeModel::TreeItemType itemType_ = vxWebFw::TreeModel::tiNone;
};

class CCrQuickBrowserObject_TreeCell final
    : public QuickBrowserControlCom<CCrQuickBrowserObject_TreeCell, CCrQuickBrowserObject_InDocumentControl>
{
public:
    void SetCellIndexes(LONG row, LONG cell) noexcept
    {
        rowIndex_ = row;
        cellIndex_ = cell;
    }

    HRESULT GetScriptDispatch(IDispatch** script) override;
    VX_CR_QUICKBROWSEROBJECT_TYPE GetObjectKind() override { return crqbotTreeCell; }
    // Two VT_I4 elements: row index and cell index.
    HRESULT GetObjectIdentifier(VARIANT* identifier) override;
    HRESULT GetChildren(QuickBrowserObjectList& children) override;

private:
    LONG rowIndex_ = 0;
    LONG cellIndex_ = 0;
};

class CCrQuickBrowserObject_TreeFrame final
    : public QuickBrowserControlCom<CCrQuickBrowserObject_TreeFrame, CCrQuickBrowserObject_Frame,
                                    ChildWindowSlots<CCrQuickBrowserObject_TreeFrame>>
{
public:
    HRESULT GetScriptDispatch(IDispatch** script) override;
    VX_CR_QUICKBROWSEROBJECT_TYPE GetObjectKind() override { return crqbotTreeFrame; }
    // The items of the frame's document, under the frame.
    HRESULT GetChildren(QuickBrowserObjectList& children) override;

protected:
    IvxCrQuickBrowserObject_Window* AsWindow() noexcept override
    {
        return static_cast<ChildWindowSlots<CCrQuickBrowserObject_TreeFrame>*>(this);
    }
};

} // namespace vxCrQuickBrowser
