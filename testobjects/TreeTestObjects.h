#pragma once
// The test objects of the Tree model: items (with their item type), frames
// and table cells (by row and column). Their method names are the Tree type
// names, read from the process's table on every call.
#include <string>

#include "platform/com/Variant.h"
#include "testobjects/CallableControlCom.h"

namespace vxCrTestObjects {

// The name of a Tree item type; empty when the type has none.
std::wstring TreeTypeName(LONG type);

// Items and frames: one identifier parameter; name mapping by type and
// identifier. Derived supplies LONG ItemType() and kAliasFallback.
template <class Derived>
class TreeIdentifiedCom : public CallableControlCom<Derived, IvxNameMappingPropertyInformation,
                                                    vxOpenAppHook::IDispatchMultiImpl<Derived, IvxCrHookObject>>
{
public:
    // IvxCrHookObject
    STDMETHODIMP get_ObjectIndentifier_2D271DFC_DFDC_43c4_B03B_CC0F37C91570(VARIANT* value) noexcept override
    try {
        if (!value)
            return E_POINTER;
        vx::com::Variant copy;
        HRESULT hr = copy.CopyFrom(*identifier_);
        if (FAILED(hr))
            return hr;
        VariantClear(value);
        copy.Detach(value);
        return S_OK;
    }
    VX_COM_CATCH

    // IvxNameMappingPropertyInformation
    STDMETHODIMP GetPropertyCount(LONG* count) noexcept override
    try {
        if (!count)
            return E_POINTER;
        *count = 2;
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP GetPropertyName(LONG index, BSTR* name) noexcept override
    try {
        if (index < 0 || index > 1)
            return E_INVALIDARG;
        return CopyOutString(index == 0 ? kObjectTypeProperty : kObjectIdentifierProperty, name);
    }
    VX_COM_CATCH
    STDMETHODIMP GetRecordPropertyName(LONG index, BSTR* name) noexcept override
    try {
        return GetPropertyName(index, name);
    }
    VX_COM_CATCH

    std::wstring MethodName() { return TreeTypeName(this->Self().ItemType()); }
    LONG ParamCount() { return 1; }
    const wchar_t* ParamName(LONG) { return kIdentifierParam; }
    std::wstring Alias()
    {
        const std::wstring typeName = MethodName();
        return BuildDefaultAlias(typeName.empty() ? Derived::kAliasFallback : typeName.c_str(),
                                 identifier_.Type() == VT_BSTR ? V_BSTR(identifier_.Get()) : nullptr);
    }

protected:
    TreeIdentifiedCom() noexcept = default;

    vx::com::Variant identifier_;
};

class CCrHookObject_TreeItem final : public TreeIdentifiedCom<CCrHookObject_TreeItem>
{
public:
    static constexpr const wchar_t* kAliasFallback = L"item";

    // A two-element array: item type and identifier.
    HRESULT TakeIdentifier(const VARIANT& identifier);
    LONG ItemType() const noexcept { return itemType_; }

private:
    LONG itemType_ = 0;
};

class CCrHookObject_TreeFrame final : public TreeIdentifiedCom<CCrHookObject_TreeFrame>
{
public:
    static constexpr const wchar_t* kAliasFallback = L"frame";

    HRESULT TakeIdentifier(const VARIANT& identifier) { return identifier_.CopyFrom(identifier); }
    LONG ItemType() const noexcept;
};

class CCrHookObject_TreeCell final
    : public CallableControlCom<CCrHookObject_TreeCell, IvxNameMappingPropertyInformation,
                                vxOpenAppHook::IDispatchMultiImpl<CCrHookObject_TreeCell, IvxCrHookObject_Cell>>
{
public:
    // IvxCrHookObject_Cell
    STDMETHODIMP get_RowIndex_2A54267D_1DD1_4db1_B425_F9F79289C241(LONG* value) noexcept override;
    STDMETHODIMP get_ColumnIndex_2A54267D_1DD1_4db1_B425_F9F79289C241(LONG* value) noexcept override;

    // IvxNameMappingPropertyInformation
    STDMETHODIMP GetPropertyCount(LONG* count) noexcept override;
    STDMETHODIMP GetPropertyName(LONG index, BSTR* name) noexcept override;
    STDMETHODIMP GetRecordPropertyName(LONG index, BSTR* name) noexcept override;

    // A two-element array: row and column.
    HRESULT TakeIdentifier(const VARIANT& identifier);

    std::wstring MethodName();
    LONG ParamCount() { return 2; }
    const wchar_t* ParamName(LONG index) { return index == 0 ? kRowIndexParam : kColumnIndexParam; }
    std::wstring Alias() { return L"cell"; }

private:
    LONG row_ = 0;
    LONG column_ = 0;
};

} // namespace vxCrTestObjects
