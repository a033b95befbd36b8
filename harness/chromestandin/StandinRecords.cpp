// Record building for the stand-in's services and quick browser.
#include "StandinRecords.h"

#include <oleauto.h>

#include "platform/com/SafeArray.h"

using vx::com::Variant;

namespace chrome_standin {

RecordBuilder& RecordBuilder::Long(LONG value)
{
    Variant element;
    V_VT(element.Get()) = VT_I4;
    V_I4(element.Get()) = value;
    return Take(std::move(element));
}

RecordBuilder& RecordBuilder::ULong(ULONG value)
{
    Variant element;
    V_VT(element.Get()) = VT_UI4;
    V_UI4(element.Get()) = value;
    return Take(std::move(element));
}

RecordBuilder& RecordBuilder::Bool(bool value)
{
    Variant element;
    V_VT(element.Get()) = VT_BOOL;
    V_BOOL(element.Get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return Take(std::move(element));
}

RecordBuilder& RecordBuilder::String(const std::wstring& value)
{
    Variant element;
    BSTR text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    if (!text)
        failed_ = true;
    V_VT(element.Get()) = VT_BSTR;
    V_BSTR(element.Get()) = text;
    return Take(std::move(element));
}

RecordBuilder& RecordBuilder::Dispatch(IDispatch* value)
{
    Variant element;
    V_VT(element.Get()) = VT_DISPATCH;
    V_DISPATCH(element.Get()) = value;
    if (value)
        value->AddRef();
    return Take(std::move(element));
}

RecordBuilder& RecordBuilder::Empty()
{
    return Take(Variant());
}

RecordBuilder& RecordBuilder::Take(Variant&& value)
{
    elements_.push_back(std::move(value));
    return *this;
}

HRESULT RecordBuilder::Detach(VARIANT* result)
{
    if (!result)
        return E_POINTER;
    VariantClear(result);
    if (failed_)
        return E_OUTOFMEMORY;
    vx::com::SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(elements_.size())));
    if (!array.Get())
        return E_OUTOFMEMORY;
    VARIANT* slots = nullptr;
    HRESULT hr = SafeArrayAccessData(array.Get(), reinterpret_cast<void**>(&slots));
    if (FAILED(hr))
        return hr;
    for (size_t i = 0; i < elements_.size(); ++i)
        elements_[i].Detach(&slots[i]); // moved, not copied: the array owns them now
    SafeArrayUnaccessData(array.Get());
    elements_.clear();
    V_VT(result) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(result) = array.Detach();
    return S_OK;
}

HRESULT MakeStandinTabRecord(LONG tabId, bool loading, const std::wstring& url, VARIANT* result)
{
    return RecordBuilder().Long(tabId).Bool(loading).String(url).Detach(result);
}

HRESULT MakeRectangleRecord(const RECT& rectangle, VARIANT* result)
{
    return RecordBuilder()
        .Long(rectangle.left)
        .Long(rectangle.top)
        .Long(rectangle.right - rectangle.left)
        .Long(rectangle.bottom - rectangle.top)
        .Detach(result);
}

} // namespace chrome_standin
