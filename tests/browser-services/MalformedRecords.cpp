#include "MalformedRecords.h"

#include "platform/com/SafeArray.h"
#include "services/TabRecords.h"

namespace browser_services_tests {

namespace {

LONG byReferenceTarget = 3;

VARIANT Borrowed(VARTYPE type)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

// A SAFEARRAY of VARIANT holding `elements` from index `lowerBound` on.
vx::com::Variant ArrayOf(VARTYPE elementType, LONG lowerBound, std::vector<vx::com::Variant>& elements)
{
    SAFEARRAYBOUND bound = {static_cast<ULONG>(elements.size()), lowerBound};
    vx::com::SafeArray array(SafeArrayCreate(elementType, 1, &bound));
    vx::com::Variant result;
    if (!array.Get())
        return result;
    for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
        LONG index = lowerBound + i;
        if (elementType == VT_VARIANT)
            SafeArrayPutElement(array.Get(), &index, elements[i].Get());
        else if (elementType == VT_I4)
            SafeArrayPutElement(array.Get(), &index, &V_I4(elements[i].Get()));
        else if (elementType == VT_BSTR)
            SafeArrayPutElement(array.Get(), &index, V_BSTR(elements[i].Get()));
    }
    V_VT(result.Get()) = VT_ARRAY | elementType;
    V_ARRAY(result.Get()) = array.Detach();
    return result;
}

} // namespace

vx::com::Variant MakeRecord(LONG tabId, bool loading, const wchar_t* url)
{
    vx::com::Variant record;
    MakeTabInfoRecord(tabId, loading, url, record.Out());
    return record;
}

vx::com::Variant MalformedRecordGenerator::GoodElement(int position)
{
    vx::com::Variant v;
    switch (position) {
    case 0:
        V_VT(v.Get()) = VT_I4;
        V_I4(v.Get()) = static_cast<LONG>(Below(12));
        break;
    case 1:
        V_VT(v.Get()) = VT_BOOL;
        V_BOOL(v.Get()) = Below(2) ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case 2:
        V_VT(v.Get()) = VT_BSTR;
        V_BSTR(v.Get()) = SysAllocString(Below(2) ? L"http://example.test/a" : L"http://example.test/b");
        break;
    default:
        V_VT(v.Get()) = VT_I4;
        V_I4(v.Get()) = static_cast<LONG>(Below(1000));
        break;
    }
    return v;
}

vx::com::Variant MalformedRecordGenerator::WrongElement(int position)
{
    // The type the position must have; anything else is wrong.
    const VARTYPE expected = position == 0 ? VT_I4 : position == 1 ? VT_BOOL : VT_BSTR;
    for (;;) {
        vx::com::Variant v;
        switch (Below(14)) {
        case 0:
            break; // VT_EMPTY
        case 1:
            V_VT(v.Get()) = VT_NULL;
            break;
        case 2:
            V_VT(v.Get()) = VT_I2;
            V_I2(v.Get()) = 5;
            break;
        case 3:
            V_VT(v.Get()) = VT_UI4;
            V_UI4(v.Get()) = 5;
            break;
        case 4:
            V_VT(v.Get()) = VT_R8;
            V_R8(v.Get()) = 5.0;
            break;
        case 5:
            V_VT(v.Get()) = VT_BSTR;
            V_BSTR(v.Get()) = SysAllocString(L"5");
            break;
        case 6:
            V_VT(v.Get()) = VT_BOOL;
            V_BOOL(v.Get()) = VARIANT_TRUE;
            break;
        case 7:
            V_VT(v.Get()) = VT_I4;
            V_I4(v.Get()) = 5;
            break;
        case 8:
            V_VT(v.Get()) = VT_DISPATCH;
            V_DISPATCH(v.Get()) = nullptr;
            break;
        case 9:
            V_VT(v.Get()) = VT_BYREF | VT_I4;
            V_I4REF(v.Get()) = &byReferenceTarget;
            break;
        case 10:
            V_VT(v.Get()) = VT_ERROR;
            V_ERROR(v.Get()) = DISP_E_PARAMNOTFOUND;
            break;
        case 11:
            V_VT(v.Get()) = VT_DATE;
            V_DATE(v.Get()) = 40000.0;
            break;
        case 12: {
            std::vector<vx::com::Variant> inner;
            inner.push_back(GoodElement(0));
            inner.push_back(GoodElement(1));
            inner.push_back(GoodElement(2));
            v = ArrayOf(VT_VARIANT, 0, inner);
            break;
        }
        default:
            V_VT(v.Get()) = VT_UI1;
            V_UI1(v.Get()) = 5;
            break;
        }
        if (v.Type() != expected)
            return v;
    }
}

vx::com::Variant MalformedRecordGenerator::Array(LONG lowerBound, LONG count, uint32_t wrongMask)
{
    std::vector<vx::com::Variant> elements;
    for (LONG i = 0; i < count; ++i)
        elements.push_back((wrongMask >> i) & 1 ? WrongElement(i) : GoodElement(i));
    return ArrayOf(VT_VARIANT, lowerBound, elements);
}

vx::com::Variant MalformedRecordGenerator::WrongOuterType()
{
    vx::com::Variant v;
    switch (Below(10)) {
    case 0:
        shape_ = "empty";
        break;
    case 1:
        shape_ = "null";
        V_VT(v.Get()) = VT_NULL;
        break;
    case 2:
        shape_ = "I4";
        V_VT(v.Get()) = VT_I4;
        V_I4(v.Get()) = 3;
        break;
    case 3:
        shape_ = "BSTR";
        V_VT(v.Get()) = VT_BSTR;
        V_BSTR(v.Get()) = SysAllocString(L"3,true,http://example.test/a");
        break;
    case 4:
        shape_ = "null dispatch";
        V_VT(v.Get()) = VT_DISPATCH;
        V_DISPATCH(v.Get()) = nullptr;
        break;
    case 5: {
        shape_ = "array of I4";
        std::vector<vx::com::Variant> elements;
        elements.push_back(GoodElement(0));
        elements.push_back(GoodElement(0));
        elements.push_back(GoodElement(0));
        v = ArrayOf(VT_I4, 0, elements);
        break;
    }
    case 6: {
        shape_ = "array of BSTR";
        std::vector<vx::com::Variant> elements;
        elements.push_back(GoodElement(2));
        elements.push_back(GoodElement(2));
        elements.push_back(GoodElement(2));
        v = ArrayOf(VT_BSTR, 0, elements);
        break;
    }
    case 8: {
        // A well-formed record, but passed as a by-reference array.
        shape_ = "by-reference array";
        heldBehindReference_ = MakeRecord(static_cast<LONG>(Below(12)), false, L"http://example.test/a");
        V_VT(v.Get()) = VT_ARRAY | VT_VARIANT | VT_BYREF;
        V_ARRAYREF(v.Get()) = &V_ARRAY(heldBehindReference_.Get());
        break;
    }
    case 7:
        shape_ = "null array";
        V_VT(v.Get()) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(v.Get()) = nullptr;
        break;
    default:
        shape_ = "bool";
        V_VT(v.Get()) = VT_BOOL;
        V_BOOL(v.Get()) = VARIANT_TRUE;
        break;
    }
    return v;
}

vx::com::Variant MalformedRecordGenerator::TwoDimensions()
{
    static const ULONG shapes[][2] = {{3, 1}, {1, 3}, {3, 3}, {3, 2}};
    const ULONG* extent = shapes[Below(4)];
    SAFEARRAYBOUND bounds[2] = {{extent[0], 0}, {extent[1], 0}};
    vx::com::SafeArray array(SafeArrayCreate(VT_VARIANT, 2, bounds));
    vx::com::Variant result;
    if (!array.Get())
        return result;
    for (LONG i = 0; i < static_cast<LONG>(extent[0]); ++i) {
        for (LONG j = 0; j < static_cast<LONG>(extent[1]); ++j) {
            LONG index[2] = {i, j};
            vx::com::Variant element = GoodElement(static_cast<int>(extent[0] == 1 ? j : i) % 3);
            SafeArrayPutElement(array.Get(), index, element.Get());
        }
    }
    V_VT(result.Get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(result.Get()) = array.Detach();
    shape_ = "two dimensions " + std::to_string(extent[0]) + "x" + std::to_string(extent[1]);
    return result;
}

vx::com::Variant MalformedRecordGenerator::Next()
{
    switch (Below(5)) {
    case 0:
        return WrongOuterType();
    case 1: {
        LONG count = static_cast<LONG>(Below(3)); // 0, 1 or 2 well-typed elements
        shape_ = "fewer elements: " + std::to_string(count);
        return Array(0, count, 0);
    }
    case 2: {
        static const LONG lowerBounds[] = {1, -1, 2, 100};
        LONG lower = lowerBounds[Below(4)];
        shape_ = "lower bound " + std::to_string(lower);
        return Array(lower, 3 + static_cast<LONG>(Below(2)), 0);
    }
    case 3:
        return TwoDimensions();
    default: {
        uint32_t wrongMask = 1 + Below(7); // at least one of the three is wrong
        LONG count = 3 + static_cast<LONG>(Below(3));
        shape_ = "wrong element types, mask " + std::to_string(wrongMask) + ", " + std::to_string(count) + " elements";
        vx::com::Variant record = Array(0, count, wrongMask);
        if (Below(4) == 0) {
            // The same record behind a by-reference VARIANT.
            shape_ += ", by reference";
            heldBehindReference_ = std::move(record);
            vx::com::Variant holder;
            V_VT(holder.Get()) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(holder.Get()) = heldBehindReference_.Get();
            return holder;
        }
        return record;
    }
    }
}

} // namespace browser_services_tests
