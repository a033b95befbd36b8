#include "openapphook/PropertyValues.h"

#include <oleauto.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"

namespace vxOpenAppHook {

using vx::com::SafeArray;
using vx::com::Variant;

namespace {

std::wstring SystemMessage(HRESULT code)
{
    wchar_t* buffer = nullptr;
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer)
        text.assign(buffer, length);
    if (buffer)
        LocalFree(buffer);
    return text;
}

// Frees the strings an Invoke may have put into the record.
void ClearExceptionInfo(EXCEPINFO& info)
{
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    info = EXCEPINFO{};
}

struct DispIdList
{
    std::vector<DISPID> ids;
    LONG lowerBound = 0;
};

bool ReadDispIdArray(SAFEARRAY* array, DispIdList& list)
{
    // Only vectors are read: indexing a multi-dimensional array with one
    // index would read outside it.
    if (!array || SafeArrayGetDim(array) != 1)
        return false;
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return false;
    list.lowerBound = lower;
    for (LONG i = lower; i <= upper; ++i) {
        LONG value = -1;
        if (FAILED(SafeArrayGetElement(array, &i, &value)))
            return false;
        list.ids.push_back(value);
    }
    return true;
}

bool BuildDispIdList(IDispatch* object, const VARIANT& ids, DispIdList& list)
{
    if (V_VT(&ids) == (VT_ARRAY | VT_I4))
        return ReadDispIdArray(V_ARRAY(&ids), list);
    if (V_VT(&ids) == VT_BSTR) {
        LPOLESTR name = V_BSTR(&ids) ? V_BSTR(&ids) : const_cast<LPOLESTR>(L"");
        DISPID id = -1;
        if (FAILED(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id)))
            id = -1;
        list.ids.push_back(id);
        return true;
    }
    Variant converted;
    if (FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(&ids), 0, VT_I4)))
        return false;
    list.ids.push_back(V_I4(converted.Get()));
    return true;
}

// Types a script engine may not know are turned into common ones.
void NormaliseValueType(VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_DECIMAL:
        VariantChangeType(&value, &value, 0, VT_R8);
        break;
    case VT_INT:
        VariantChangeType(&value, &value, 0, VT_I4);
        break;
    case VT_UINT:
        VariantChangeType(&value, &value, 0, VT_UI4);
        break;
    default:
        break;
    }
}

void SetErrorValue(VARIANT& value, HRESULT code, const EXCEPINFO* info)
{
    VariantClear(&value);
    BSTR text = DispatchErrorText(code, info);
    if (text) {
        V_VT(&value) = VT_BSTR;
        V_BSTR(&value) = text;
    }
}

} // namespace

BSTR DispatchErrorText(HRESULT code, const EXCEPINFO* exceptionInfo)
{
    std::wstring text = L"Error: ";
    if (code == DISP_E_EXCEPTION && exceptionInfo && exceptionInfo->bstrDescription &&
        SysStringLen(exceptionInfo->bstrDescription) != 0) {
        text.append(exceptionInfo->bstrDescription, SysStringLen(exceptionInfo->bstrDescription));
    } else {
        std::wstring message = SystemMessage(code);
        if (message.empty()) {
            wchar_t number[16];
            swprintf(number, 16, L"0x%x", static_cast<unsigned>(code));
            message = number;
        }
        text += message;
    }
    return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

HRESULT CollectPropertyValues(IDispatch* object, const VARIANT& ids, VARIANT* values, VARIANT* results,
                              VARIANT_BOOL* succeeded)
{
    if (succeeded)
        *succeeded = VARIANT_FALSE;
    if (!object)
        return E_POINTER;
    if (!values || !results)
        return S_OK;
    DispIdList list;
    if (!BuildDispIdList(object, ids, list))
        return S_OK;

    SAFEARRAYBOUND bound{static_cast<ULONG>(list.ids.size()), list.lowerBound};
    SafeArray valueArray(SafeArrayCreate(VT_VARIANT, 1, &bound));
    SafeArray resultArray(SafeArrayCreate(VT_I4, 1, &bound));
    if (!valueArray.Get() || !resultArray.Get())
        return E_OUTOFMEMORY;

    for (size_t i = 0; i < list.ids.size(); ++i) {
        LONG index = list.lowerBound + static_cast<LONG>(i);
        Variant value;
        HRESULT hr;
        if (list.ids[i] == -1) {
            hr = DISP_E_MEMBERNOTFOUND;
            SetErrorValue(*value, hr, nullptr);
        } else {
            DISPPARAMS noArguments{};
            EXCEPINFO info{};
            hr = object->Invoke(list.ids[i], IID_NULL, 0, DISPATCH_PROPERTYGET, &noArguments, value.Get(), &info,
                                nullptr);
            if (FAILED(hr)) {
                if (info.pfnDeferredFillIn)
                    info.pfnDeferredFillIn(&info);
                SetErrorValue(*value, hr, &info);
            } else {
                NormaliseValueType(*value);
            }
            ClearExceptionInfo(info);
        }
        LONG code = hr;
        SafeArrayPutElement(resultArray.Get(), &index, &code);
        SafeArrayPutElement(valueArray.Get(), &index, value.Get());
    }

    VariantClear(values);
    VariantClear(results);
    V_VT(values) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(values) = valueArray.Detach();
    V_VT(results) = VT_ARRAY | VT_I4;
    V_ARRAY(results) = resultArray.Detach();
    if (succeeded)
        *succeeded = VARIANT_TRUE;
    return S_OK;
}

} // namespace vxOpenAppHook
