#pragma once
// The test objects of the DOM model: items and frames known by their
// identifier (a string or a number), and objects known by a name only
// (document, all, frames).
#include <string>

#include "platform/com/Variant.h"
#include "testobjects/CallableControlCom.h"

namespace vxCrTestObjects {

// DOM items and frames differ only in their method name and alias prefix.
template <class Derived>
class DomIdentifiedCom : public CallableControlCom<Derived, vxOpenAppHook::IDispatchMultiImpl<Derived, IvxCrHookObject>>
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

    HRESULT TakeIdentifier(const VARIANT& identifier) { return identifier_.CopyFrom(identifier); }
    // The identifier when it is a string.
    HRESULT IdentifierString(BSTR* out)
    {
        if (identifier_.Type() != VT_BSTR)
            return S_OK;
        return CopyOutString(V_BSTR(identifier_.Get()), out);
    }

    std::wstring MethodName() { return Derived::kMethodName; }
    LONG ParamCount() { return 1; }
    const wchar_t* ParamName(LONG) { return kIdentifierParam; }
    std::wstring Alias()
    {
        return BuildDefaultAlias(Derived::kAliasPrefix,
                                 identifier_.Type() == VT_BSTR ? V_BSTR(identifier_.Get()) : nullptr);
    }

protected:
    DomIdentifiedCom() noexcept = default;

private:
    vx::com::Variant identifier_;
};

class CCrHookObject_DOMItem final : public DomIdentifiedCom<CCrHookObject_DOMItem>
{
public:
    static constexpr const wchar_t* kMethodName = L"Item";
    static constexpr const wchar_t* kAliasPrefix = L"item";

    // A DOM item is a leaf: the renderer's DOM item answers no children,
    // so asking it would cost a call into the renderer process for every
    // element of a walk and could only ever give an empty list.
    STDMETHODIMP GetChildObjects(VxCrTestObjectList* list) noexcept override
    try {
        return list ? S_OK : E_POINTER;
    }
    VX_COM_CATCH
};

class CCrHookObject_DOMFrame final : public DomIdentifiedCom<CCrHookObject_DOMFrame>
{
public:
    static constexpr const wchar_t* kMethodName = L"Frame";
    static constexpr const wchar_t* kAliasPrefix = L"frame";
};

// Known by its name alone: the name is both its alias and its alias base.
class CCrHookObject_DOMNamed final : public PageChildCom<CCrHookObject_DOMNamed, IvxMethodCallInformation2>
{
public:
    // IvxMethodCallInformation2
    STDMETHODIMP GetAlias(BSTR* alias) noexcept override;
    STDMETHODIMP GetAliasBase(BSTR* aliasBase) noexcept override;

    // A non-null string, or the object is not made (E_UNEXPECTED).
    HRESULT TakeIdentifier(const VARIANT& identifier);

private:
    vx::com::BStr name_;
};

} // namespace vxCrTestObjects
