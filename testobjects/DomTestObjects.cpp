#include "testobjects/DomTestObjects.h"

namespace vxCrTestObjects {

HRESULT CopyOutString(const wchar_t* text, BSTR* out) noexcept
{
    if (!out)
        return E_POINTER;
    *out = SysAllocString(text ? text : L"");
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CopyOutString(const std::wstring& text, BSTR* out) noexcept
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCrHookObject_DOMNamed::TakeIdentifier(const VARIANT& identifier)
{
    if (V_VT(&identifier) != VT_BSTR || !V_BSTR(&identifier))
        return E_UNEXPECTED;
    name_ = vx::com::BStr(std::wstring_view(V_BSTR(&identifier), SysStringLen(V_BSTR(&identifier))));
    return name_.Get() ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCrHookObject_DOMNamed::GetAlias(BSTR* alias) noexcept
try {
    return CopyOutString(name_.Get(), alias);
}
VX_COM_CATCH

HRESULT CCrHookObject_DOMNamed::GetAliasBase(BSTR* aliasBase) noexcept
try {
    return CopyOutString(name_.Get(), aliasBase);
}
VX_COM_CATCH

} // namespace vxCrTestObjects
