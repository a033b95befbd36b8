#include "services/TabRecords.h"

#include <oleauto.h>

#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"

namespace {

using vx::com::Variant;

// The elements of a record: VT_ARRAY|VT_VARIANT, one dimension, lower bound
// 0, at least `minimum` elements. The array stays owned by `value`.
HRESULT RecordElements(const VARIANT& value, LONG minimum, SAFEARRAY*& array, LONG& count)
{
    if (V_VT(&value) != (VT_ARRAY | VT_VARIANT))
        return E_UNEXPECTED;
    array = V_ARRAY(&value);
    if (!array || SafeArrayGetDim(array) != 1)
        return E_UNEXPECTED;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)) || lower != 0)
        return E_UNEXPECTED;
    count = upper + 1;
    return count >= minimum ? S_OK : E_UNEXPECTED;
}

HRESULT Element(SAFEARRAY* array, LONG index, VARTYPE expected, Variant& element)
{
    HRESULT hr = SafeArrayGetElement(array, &index, element.Out());
    if (FAILED(hr))
        return E_UNEXPECTED;
    return element.Type() == expected ? S_OK : E_UNEXPECTED;
}

} // namespace

HRESULT ParseTabInfoRecord(const VARIANT& value, TabInfoRecord& record)
{
    SAFEARRAY* array = nullptr;
    LONG count = 0;
    HRESULT hr = RecordElements(value, 3, array, count);
    if (FAILED(hr))
        return hr;
    Variant id, loading, url;
    if (FAILED(Element(array, 0, VT_I4, id)) || FAILED(Element(array, 1, VT_BOOL, loading)) ||
        FAILED(Element(array, 2, VT_BSTR, url)))
        return E_UNEXPECTED;
    record.tabId = V_I4(id.Get());
    record.loading = V_BOOL(loading.Get()) != VARIANT_FALSE;
    record.url = vx::com::BStr::Attach(V_BSTR(url.Get()));
    V_VT(url.Get()) = VT_EMPTY; // ownership moved into the record
    return S_OK;
}

HRESULT ParseTabList(const VARIANT& value, std::vector<TabInfoRecord>& tabs)
{
    SAFEARRAY* array = nullptr;
    LONG count = 0;
    HRESULT hr = RecordElements(value, 0, array, count);
    if (FAILED(hr))
        return hr;
    std::vector<TabInfoRecord> parsed;
    parsed.reserve(static_cast<size_t>(count));
    for (LONG i = 0; i < count; ++i) {
        Variant element;
        if (FAILED(SafeArrayGetElement(array, &i, element.Out())))
            return E_UNEXPECTED;
        TabInfoRecord record;
        hr = ParseTabInfoRecord(*element, record);
        if (FAILED(hr))
            return hr;
        parsed.push_back(std::move(record));
    }
    tabs = std::move(parsed);
    return S_OK;
}

HRESULT ParseTabRectangle(const VARIANT& value, RECT& rectangle)
{
    SAFEARRAY* array = nullptr;
    LONG count = 0;
    HRESULT hr = RecordElements(value, 4, array, count);
    if (FAILED(hr))
        return hr;
    LONG numbers[4] = {};
    for (LONG i = 0; i < 4; ++i) {
        Variant element;
        if (FAILED(Element(array, i, VT_I4, element)))
            return E_UNEXPECTED;
        numbers[i] = V_I4(element.Get());
    }
    rectangle = {numbers[0], numbers[1], numbers[0] + numbers[2], numbers[1] + numbers[3]};
    return S_OK;
}

HRESULT MakeTabInfoRecord(LONG tabId, bool loading, const wchar_t* url, VARIANT* result)
{
    if (!result)
        return E_POINTER;
    VariantInit(result);
    vx::com::SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, 3));
    if (!array.Get())
        return E_OUTOFMEMORY;
    VARIANT elements[3];
    V_VT(&elements[0]) = VT_I4;
    V_I4(&elements[0]) = tabId;
    V_VT(&elements[1]) = VT_BOOL;
    V_BOOL(&elements[1]) = loading ? VARIANT_TRUE : VARIANT_FALSE;
    vx::com::BStr urlCopy(url ? url : L"");
    V_VT(&elements[2]) = VT_BSTR;
    V_BSTR(&elements[2]) = urlCopy.Get(); // SafeArrayPutElement copies it
    for (LONG i = 0; i < 3; ++i) {
        HRESULT hr = SafeArrayPutElement(array.Get(), &i, &elements[i]);
        if (FAILED(hr))
            return hr;
    }
    V_VT(result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(result) = array.Detach();
    return S_OK;
}
