#include "harness/livepage/LiveValues.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "harness/nativeobject/ScriptNumber.h"
#include "platform/com/Variant.h"

namespace harness::live {

std::wstring Wide(const std::string& utf8)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string Utf8(const std::wstring& wide)
{
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr,
                            nullptr);
    return text;
}

namespace {

bool WellFormed(const std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

double NumberOf(JsonRef n)
{
    if (n.IsNumber())
        return n.Number();
    const std::string_view text = n.Text();
    if (text == "Infinity")
        return std::numeric_limits<double>::infinity();
    if (text == "-Infinity")
        return -std::numeric_limits<double>::infinity();
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace

Json StringValue(const std::wstring& text)
{
    if (WellFormed(text))
        return Json{{"s", Utf8(text)}};
    Json units = Json::array();
    for (wchar_t c : text)
        units.push_back(static_cast<unsigned>(c));
    return Json{{"u", units}};
}

HRESULT ValueStatus(JsonRef value)
{
    if (value.IsString() || value.IsNumber() || value.IsBool() || value.IsNull())
        return S_OK; // a value fetched ahead, as it is
    if (!value.IsObject())
        return E_UNEXPECTED;
    if (value.Has("missing"))
        return DISP_E_MEMBERNOTFOUND;
    if (value.Has("err"))
        return DISP_E_EXCEPTION;
    if (value.Has("bad"))
        return E_INVALIDARG;
    return S_OK;
}

bool IsHandleValue(JsonRef value)
{
    return value.IsObject() && value.Has("h");
}

bool PlanKeyIndex(std::string_view name, size_t& index)
{
    if (name.empty() || name.size() > 4) // a plan of more than 475,254 keys is not sent
        return false;
    size_t number = 0; // bijective base 26: A is 1, Z 26, AA 27
    for (const char c : name) {
        if (c < 'A' || c > 'Z')
            return false;
        number = number * 26 + static_cast<size_t>(c - 'A' + 1);
    }
    index = number - 1;
    return true;
}

namespace {

HRESULT StringToVariant(std::string_view utf8, VARIANT* out)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = SysAllocStringLen(nullptr, static_cast<UINT>(size > 0 ? size : 0));
    if (!V_BSTR(out))
        return E_OUTOFMEMORY;
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), V_BSTR(out), size);
    return S_OK;
}

} // namespace

HRESULT PrimitiveToVariant(JsonRef value, VARIANT* out)
{
    VariantInit(out);
    // Values fetched ahead come as they are.
    if (value.IsString())
        return StringToVariant(value.Text(), out);
    if (value.IsNumber()) {
        ScriptNumberToVariant(value.Number(), out);
        return S_OK;
    }
    if (value.IsBool()) {
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = value.Bool() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (value.IsNull()) {
        V_VT(out) = VT_NULL;
        return S_OK;
    }
    if (!value.IsObject())
        return E_UNEXPECTED;
    if (JsonRef n = value.Member("n"); n.Exists()) {
        ScriptNumberToVariant(NumberOf(n), out);
        return S_OK;
    }
    if (JsonRef s = value.Member("s"); s.IsString())
        return StringToVariant(s.Text(), out);
    if (JsonRef u = value.Member("u"); u.IsArray()) {
        const size_t count = u.Size();
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = SysAllocStringLen(nullptr, static_cast<UINT>(count));
        if (!V_BSTR(out))
            return E_OUTOFMEMORY;
        for (size_t i = 0; i < count; ++i)
            V_BSTR(out)[i] = static_cast<wchar_t>(u[i].Integer());
        return S_OK;
    }
    if (JsonRef b = value.Member("b"); b.IsBool()) {
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = b.Bool() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (value.Has("null")) {
        V_VT(out) = VT_NULL;
        return S_OK;
    }
    if (value.Has("undef"))
        return S_OK; // VT_EMPTY
    return E_UNEXPECTED;
}

HRESULT PrimitiveArgument(const VARIANT& argument, Json& out)
{
    const VARIANT* v = &argument;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v))
        v = V_VARIANTREF(v);
    switch (V_VT(v)) {
    case VT_EMPTY:
        out = Json{{"undef", 1}};
        return S_OK;
    case VT_NULL:
        out = Json{{"null", 1}};
        return S_OK;
    case VT_BOOL:
        out = Json{{"b", V_BOOL(v) != VARIANT_FALSE}};
        return S_OK;
    case VT_BSTR:
        out = StringValue(std::wstring(V_BSTR(v) ? V_BSTR(v) : L"", V_BSTR(v) ? SysStringLen(V_BSTR(v)) : 0));
        return S_OK;
    default:
        break;
    }
    vx::com::Variant number;
    if (FAILED(VariantChangeType(number.Get(), const_cast<VARIANT*>(v), 0, VT_R8)))
        return DISP_E_TYPEMISMATCH;
    const double d = V_R8(number.Get());
    if (std::isnan(d))
        out = Json{{"n", "NaN"}};
    else if (std::isinf(d))
        out = Json{{"n", d > 0 ? "Infinity" : "-Infinity"}};
    else
        out = Json{{"n", d}};
    return S_OK;
}

bool ArgumentKey(const VARIANT& argument, std::string& key)
{
    const VARIANT* v = &argument;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v))
        v = V_VARIANTREF(v);
    switch (V_VT(v)) {
    case VT_BSTR: {
        const std::wstring text(V_BSTR(v) ? V_BSTR(v) : L"", V_BSTR(v) ? SysStringLen(V_BSTR(v)) : 0);
        if (!WellFormed(text))
            return false; // sent as code units
        key = Utf8(text);
        return true;
    }
    case VT_I4: // the common whole numbers, without a conversion
        key = std::to_string(V_I4(v));
        return true;
    case VT_INT:
        key = std::to_string(V_INT(v));
        return true;
    case VT_I2:
        key = std::to_string(V_I2(v));
        return true;
    case VT_EMPTY:
    case VT_NULL:
    case VT_BOOL:
    case VT_PTR: // a handle
        return false;
    default:
        break;
    }
    vx::com::Variant number; // every other number goes to the page as a double
    if (FAILED(VariantChangeType(number.Get(), const_cast<VARIANT*>(v), 0, VT_R8)))
        return false;
    const double d = V_R8(number.Get());
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 1e15)
        return false; // fractions print differently in script
    key = std::to_string(static_cast<long long>(d));
    return true;
}

bool ItemIndexArgument(const VARIANT& argument, long& index)
{
    const VARIANT* v = &argument;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v))
        v = V_VARIANTREF(v);
    std::string key;
    if (V_VT(v) == VT_BSTR || !ArgumentKey(*v, key) || key.empty() || key.size() > 9 ||
        key.find_first_not_of("0123456789") != std::string::npos)
        return false;
    index = std::strtol(key.c_str(), nullptr, 10);
    return true;
}

std::string CallKey(const std::string& name, const std::vector<std::string>& arguments)
{
    std::string key = "c:" + name;
    for (const std::string& argument : arguments)
        key += "\x01" + argument;
    return key;
}

} // namespace harness::live
