#pragma once
// A control test object that the engine re-obtains by calling a method of
// its parent (IvxMethodCallInformation) and that has a default alias
// (IvxMethodCallInformation2). Derived supplies
//   std::wstring MethodName();
//   LONG ParamCount();
//   const wchar_t* ParamName(LONG index);
//   std::wstring Alias();
#include <string>

#include "testobjects/ControlObject.h"

namespace vxCrTestObjects {

// A copy of `text` for an out parameter.
HRESULT CopyOutString(const wchar_t* text, BSTR* out) noexcept;
HRESULT CopyOutString(const std::wstring& text, BSTR* out) noexcept;

template <class Derived, class... Entries>
class CallableControlCom : public ControlCom<Derived, IvxMethodCallInformation, IvxMethodCallInformation2, Entries...>
{
public:
    // IvxMethodCallInformation
    STDMETHODIMP IsMethod(VARIANT_BOOL* isMethod) noexcept override
    try {
        if (!isMethod)
            return E_POINTER;
        *isMethod = VARIANT_TRUE;
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP GetMethodName(BSTR* methodName) noexcept override
    try {
        return CopyOutString(this->Self().MethodName(), methodName);
    }
    VX_COM_CATCH
    STDMETHODIMP IsProperty(VARIANT_BOOL* isProperty) noexcept override
    try {
        if (!isProperty)
            return E_POINTER;
        *isProperty = VARIANT_FALSE;
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP GetParamCount(LONG* count) noexcept override
    try {
        if (!count)
            return E_POINTER;
        *count = this->Self().ParamCount();
        return S_OK;
    }
    VX_COM_CATCH
    STDMETHODIMP GetParamName(LONG index, BSTR* name) noexcept override
    try {
        return CopyOutString(this->Self().ParamName(index), name);
    }
    VX_COM_CATCH

    // IvxMethodCallInformation2
    STDMETHODIMP GetAlias(BSTR* alias) noexcept override
    try {
        return CopyOutString(this->Self().Alias(), alias);
    }
    VX_COM_CATCH
    STDMETHODIMP GetAliasBase(BSTR* aliasBase) noexcept override
    try {
        return CopyOutString(this->Self().MethodName(), aliasBase);
    }
    VX_COM_CATCH

protected:
    CallableControlCom() noexcept = default;
};

} // namespace vxCrTestObjects
