#include "testobjects/TreeTestObjects.h"

#include "platform/com/BStr.h"
#include "quickbrowser/InformationRecords.h"
#include "webfw/TreeModel/TreeItemTypes.h"

namespace vxCrTestObjects {

using vxWebFw::TreeModel::TreeItemTypeNames;

std::wstring TreeTypeName(LONG type)
{
    vx::com::BStr name;
    if (FAILED(TreeItemTypeNames::Instance().GetName(type, name.Out())))
        return {};
    return name.Str();
}

HRESULT CCrHookObject_TreeItem::TakeIdentifier(const VARIANT& identifier)
{
    identifier_.Out();
    return ReadTreeItemIdentifier(identifier, itemType_, identifier_);
}

LONG CCrHookObject_TreeFrame::ItemType() const noexcept
{
    return vxWebFw::TreeModel::tiFrame;
}

HRESULT CCrHookObject_TreeCell::TakeIdentifier(const VARIANT& identifier)
{
    row_ = 0;
    column_ = 0;
    return ReadTreeCellIdentifier(identifier, row_, column_);
}

std::wstring CCrHookObject_TreeCell::MethodName()
{
    return TreeTypeName(vxWebFw::TreeModel::tiCell);
}

HRESULT CCrHookObject_TreeCell::get_RowIndex_2A54267D_1DD1_4db1_B425_F9F79289C241(LONG* value) noexcept
try {
    if (!value)
        return E_POINTER;
    *value = row_;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_TreeCell::get_ColumnIndex_2A54267D_1DD1_4db1_B425_F9F79289C241(LONG* value) noexcept
try {
    if (!value)
        return E_POINTER;
    *value = column_;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_TreeCell::GetPropertyCount(LONG* count) noexcept
try {
    if (!count)
        return E_POINTER;
    *count = 3;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_TreeCell::GetPropertyName(LONG index, BSTR* name) noexcept
try {
    static constexpr const wchar_t* kNames[] = {kObjectTypeProperty, kRowIndexProperty, kColumnIndexProperty};
    if (index < 0 || index > 2)
        return E_INVALIDARG;
    return CopyOutString(kNames[index], name);
}
VX_COM_CATCH

HRESULT CCrHookObject_TreeCell::GetRecordPropertyName(LONG index, BSTR* name) noexcept
try {
    return GetPropertyName(index, name);
}
VX_COM_CATCH

} // namespace vxCrTestObjects
