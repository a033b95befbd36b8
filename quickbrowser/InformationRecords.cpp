#include "quickbrowser/InformationRecords.h"

#include <utility>

#include "platform/com/SafeArray.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::SafeArray;
using vx::com::Variant;

namespace {

// Builds VT_ARRAY | VT_VARIANT from `count` elements (copied).
HRESULT PackElements(const VARIANT* const* elements, LONG count, VARIANT* record)
{
    if (!record)
        return E_POINTER;
    VariantInit(record);
    SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count)));
    if (!array.Get())
        return E_OUTOFMEMORY;
    for (LONG i = 0; i < count; ++i) {
        HRESULT hr = SafeArrayPutElement(array.Get(), &i, const_cast<VARIANT*>(elements[i]));
        if (FAILED(hr))
            return hr;
    }
    V_VT(record) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(record) = array.Detach();
    return S_OK;
}

// Checks the record's shape: one dimension, lower bound 0, exactly `count`
// elements.
HRESULT CheckShape(const VARIANT& record, LONG count, SAFEARRAY*& array)
{
    array = nullptr;
    if (V_VT(&record) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&record))
        return E_UNEXPECTED;
    SAFEARRAY* candidate = V_ARRAY(&record);
    if (SafeArrayGetDim(candidate) != 1)
        return E_UNEXPECTED;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(candidate, 1, &lower)) || FAILED(SafeArrayGetUBound(candidate, 1, &upper)))
        return E_UNEXPECTED;
    if (lower != 0 || upper + 1 != count)
        return E_UNEXPECTED;
    array = candidate;
    return S_OK;
}

HRESULT ReadElements(const VARIANT& record, LONG count, Variant* elements)
{
    SAFEARRAY* array = nullptr;
    HRESULT hr = CheckShape(record, count, array);
    if (FAILED(hr))
        return hr;
    for (LONG i = 0; i < count; ++i) {
        if (FAILED(SafeArrayGetElement(array, &i, elements[i].Out())))
            return E_UNEXPECTED;
    }
    return S_OK;
}

bool IsDispatch(const Variant& element)
{
    return element.Type() == VT_DISPATCH && V_DISPATCH(element.Get()) != nullptr;
}

HRESULT ChangeTo(Variant& element, VARTYPE type)
{
    if (element.Type() == type)
        return S_OK;
    return SUCCEEDED(VariantChangeType(element.Get(), element.Get(), 0, type)) ? S_OK : E_UNEXPECTED;
}

VARIANT MakeI4(LONG value)
{
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

} // namespace

HRESULT PackThisInformation(const ObjectThisInformation& information, VARIANT* record)
{
    VARIANT path, script, kind, object, expandable;
    V_VT(&path) = VT_BSTR;
    V_BSTR(&path) = information.identityPath.Get();
    V_VT(&script) = VT_DISPATCH;
    V_DISPATCH(&script) = information.scriptObject.Get();
    V_VT(&kind) = VT_UI4;
    V_UI4(&kind) = information.kind;
    V_VT(&object) = VT_DISPATCH;
    V_DISPATCH(&object) = information.object.Get();
    V_VT(&expandable) = VT_BOOL;
    V_BOOL(&expandable) = information.expandable ? VARIANT_TRUE : VARIANT_FALSE;
    const VARIANT* elements[kThisInformationElements] = {&path,   &script,     &kind,
                                                         &object, &expandable, information.identifier.Get()};
    return PackElements(elements, kThisInformationElements, record);
}

HRESULT ReadThisInformation(const VARIANT& record, ObjectThisInformation& information)
{
    Variant elements[kThisInformationElements];
    HRESULT hr = ReadElements(record, kThisInformationElements, elements);
    if (FAILED(hr))
        return hr;
    if (elements[0].Type() != VT_BSTR || !IsDispatch(elements[1]) || !IsDispatch(elements[3]) ||
        elements[4].Type() != VT_BOOL)
        return E_UNEXPECTED;
    if (FAILED(ChangeTo(elements[2], VT_UI4)))
        return E_UNEXPECTED;
    information.identityPath = BStr::Attach(V_BSTR(elements[0].Get()));
    V_VT(elements[0].Get()) = VT_EMPTY;
    information.scriptObject = V_DISPATCH(elements[1].Get());
    information.kind = V_UI4(elements[2].Get());
    information.object = V_DISPATCH(elements[3].Get());
    information.expandable = V_BOOL(elements[4].Get()) != VARIANT_FALSE;
    information.identifier = std::move(elements[5]);
    return S_OK;
}

HRESULT PackLightInformation(BSTR identityPath, ULONG kind, VARIANT* record)
{
    VARIANT path, kindValue;
    V_VT(&path) = VT_BSTR;
    V_BSTR(&path) = identityPath;
    V_VT(&kindValue) = VT_UI4;
    V_UI4(&kindValue) = kind;
    const VARIANT* elements[kLightInformationElements] = {&path, &kindValue};
    return PackElements(elements, kLightInformationElements, record);
}

HRESULT ReadLightInformation(const VARIANT& record, ObjectLightInformation& information)
{
    Variant elements[kLightInformationElements];
    HRESULT hr = ReadElements(record, kLightInformationElements, elements);
    if (FAILED(hr))
        return hr;
    if (elements[0].Type() != VT_BSTR || FAILED(ChangeTo(elements[1], VT_UI4)))
        return E_UNEXPECTED;
    information.identityPath = BStr::Attach(V_BSTR(elements[0].Get()));
    V_VT(elements[0].Get()) = VT_EMPTY;
    information.kind = V_UI4(elements[1].Get());
    return S_OK;
}

HRESULT PackTreeItemIdentifier(LONG itemType, const VARIANT& identifier, VARIANT* result)
{
    VARIANT type = MakeI4(itemType);
    const VARIANT* elements[2] = {&type, &identifier};
    return PackElements(elements, 2, result);
}

HRESULT ReadTreeItemIdentifier(const VARIANT& value, LONG& itemType, Variant& identifier)
{
    Variant elements[2];
    HRESULT hr = ReadElements(value, 2, elements);
    if (FAILED(hr))
        return hr;
    if (FAILED(ChangeTo(elements[0], VT_I4)))
        return E_UNEXPECTED;
    itemType = V_I4(elements[0].Get());
    identifier = std::move(elements[1]);
    return S_OK;
}

HRESULT PackTreeCellIdentifier(LONG rowIndex, LONG cellIndex, VARIANT* result)
{
    VARIANT row = MakeI4(rowIndex), cell = MakeI4(cellIndex);
    const VARIANT* elements[2] = {&row, &cell};
    return PackElements(elements, 2, result);
}

HRESULT ReadTreeCellIdentifier(const VARIANT& value, LONG& rowIndex, LONG& cellIndex)
{
    Variant elements[2];
    HRESULT hr = ReadElements(value, 2, elements);
    if (FAILED(hr))
        return hr;
    if (FAILED(ChangeTo(elements[0], VT_I4)) || FAILED(ChangeTo(elements[1], VT_I4)))
        return E_UNEXPECTED;
    rowIndex = V_I4(elements[0].Get());
    cellIndex = V_I4(elements[1].Get());
    return S_OK;
}

HRESULT ReadNamedObjectIdentifier(const VARIANT& value, BStr& name)
{
    if (V_VT(&value) != VT_BSTR || !V_BSTR(&value))
        return E_UNEXPECTED;
    BStr copy(std::wstring_view(V_BSTR(&value), SysStringLen(V_BSTR(&value))));
    if (!copy.Get())
        return E_OUTOFMEMORY;
    name = std::move(copy);
    return S_OK;
}
