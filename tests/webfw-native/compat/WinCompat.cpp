// The native build's implementations of the Win32 and OLE Automation calls
// declared in compat/windows.h and compat/oleauto.h.
#include <oleauto.h>
#include <windows.h>

#include <locale.h>
#include <wctype.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>

static_assert(sizeof(wchar_t) == 4, "the native build expects one code point per wchar_t");
static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(DWORD) == 4, "Windows integer sizes");

namespace {

// ---------------------------------------------------------------- allocations

struct Allocations
{
    std::mutex mutex;
    std::unordered_set<const void*> strings;
    std::unordered_set<const void*> arrays;
    long faults = 0;
};

Allocations& Live()
{
    static Allocations* live = new Allocations(); // outlives every static object that frees a string
    return *live;
}

bool IsLiveString(const void* text)
{
    Allocations& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    if (live.strings.count(text))
        return true;
    ++live.faults;
    return false;
}

// The byte count stored ahead of a BSTR's characters.
constexpr size_t kPrefix = sizeof(uint32_t);

uint32_t ByteCount(BSTR text)
{
    uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const char*>(text) - kPrefix, kPrefix);
    return bytes;
}

VARIANT* Elements(SAFEARRAY* array)
{
    return static_cast<VARIANT*>(array->pvData);
}

bool TakeArray(SAFEARRAY* array)
{
    Allocations& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    if (live.arrays.erase(array))
        return true;
    ++live.faults;
    return false;
}

bool IsLiveArray(SAFEARRAY* array)
{
    Allocations& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    if (live.arrays.count(array))
        return true;
    ++live.faults;
    return false;
}

SAFEARRAY* CopyArray(SAFEARRAY* source)
{
    const SAFEARRAYBOUND& bound = source->rgsabound[0];
    SAFEARRAY* copy = SafeArrayCreateVector(VT_VARIANT, bound.lLbound, bound.cElements);
    if (!copy)
        return nullptr;
    for (ULONG i = 0; i < bound.cElements; ++i)
        if (FAILED(VariantCopy(&Elements(copy)[i], &Elements(source)[i]))) {
            SafeArrayDestroy(copy);
            return nullptr;
        }
    return copy;
}

// ---------------------------------------------------------------- code pages

// Windows-1252 at 0x80..0x9F; the five bytes it leaves undefined map to the
// control characters of the same value, as Windows maps them.
const char32_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t FromCp1252(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
}

// The byte of `c` in Windows-1252, or -1 when it has none.
int ToCp1252(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c)
            return 0x80 + i;
    return -1;
}

struct Decoded
{
    char32_t codePoint;
    size_t length; // bytes taken (for an invalid sequence: its longest valid start, at least 1)
    bool valid;
};

// One UTF-8 sequence; overlong forms, surrogates and values above U+10FFFF
// are invalid.
Decoded DecodeUtf8(const unsigned char* text, size_t size)
{
    const unsigned char lead = text[0];
    if (lead < 0x80)
        return {lead, 1, true};
    size_t trail = 0;
    char32_t value = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2;
        value = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3;
        value = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {0, 1, false};
    }
    for (size_t k = 1; k <= trail; ++k) {
        if (k >= size || text[k] < low || text[k] > high)
            return {0, k, false};
        low = 0x80;
        high = 0xBF;
        value = (value << 6) | (text[k] & 0x3F);
    }
    return {value, trail + 1, true};
}

void EncodeUtf8(char32_t c, std::string& out)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Copies a converted text out as the conversion functions answer.
template <class Char>
int Answer(const std::basic_string<Char>& converted, Char* out, int outSize)
{
    if (outSize == 0)
        return static_cast<int>(converted.size());
    if (converted.size() > static_cast<size_t>(outSize))
        return 0;
    std::memcpy(out, converted.data(), converted.size() * sizeof(Char));
    return static_cast<int>(converted.size());
}

// The simple upper-case mapping of the Unicode character data; Windows
// upper-cases by the same data. Only ASCII when the C.UTF-8 locale is missing.
wchar_t UpperCase(wchar_t c)
{
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (unicode)
        return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), unicode));
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

} // namespace

// -------------------------------------------------------------------- BSTR

BSTR SysAllocString(const OLECHAR* text)
{
    return text ? SysAllocStringLen(text, static_cast<UINT>(std::wcslen(text))) : nullptr;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    if (length > (UINT32_MAX - kPrefix) / sizeof(OLECHAR) - 1)
        return nullptr;
    const uint32_t bytes = static_cast<uint32_t>(length * sizeof(OLECHAR));
    char* block = static_cast<char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    std::memcpy(block, &bytes, kPrefix);
    BSTR chars = reinterpret_cast<BSTR>(block + kPrefix);
    if (text)
        std::memcpy(chars, text, bytes);
    else
        std::memset(chars, 0, bytes);
    chars[length] = L'\0';
    Allocations& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    live.strings.insert(chars);
    return chars;
}

UINT SysStringLen(BSTR text)
{
    if (!text)
        return 0;
    // A string that is not a BSTR has no length prefix: counted as a fault and
    // measured up to its null so that the caller goes on reading valid memory.
    if (!IsLiveString(text))
        return static_cast<UINT>(std::wcslen(text));
    return ByteCount(text) / sizeof(OLECHAR);
}

void SysFreeString(BSTR text)
{
    if (!text)
        return;
    {
        Allocations& live = Live();
        std::lock_guard<std::mutex> lock(live.mutex);
        if (!live.strings.erase(text)) {
            ++live.faults;
            return;
        }
    }
    std::free(reinterpret_cast<char*>(text) - kPrefix);
}

// -------------------------------------------------------------------- VARIANT

void VariantInit(VARIANTARG* value)
{
    value->vt = VT_EMPTY;
    value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* value)
{
    if (!value)
        return E_INVALIDARG;
    switch (value->vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I4:
    case VT_R8:
    case VT_BOOL:
        break;
    case VT_BSTR:
        SysFreeString(value->bstrVal);
        break;
    case VT_ARRAY | VT_VARIANT:
        SafeArrayDestroy(value->parray);
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    value->vt = VT_EMPTY;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source)
{
    if (!destination || !source)
        return E_INVALIDARG;
    if (destination == source)
        return S_OK;
    HRESULT hr = VariantClear(destination);
    if (FAILED(hr))
        return hr;
    switch (source->vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I4:
    case VT_R8:
    case VT_BOOL:
        *destination = *source;
        return S_OK;
    case VT_BSTR: {
        BSTR copy = nullptr;
        if (source->bstrVal) {
            copy = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
            if (!copy)
                return E_OUTOFMEMORY;
        }
        *destination = *source;
        destination->bstrVal = copy;
        return S_OK;
    }
    case VT_ARRAY | VT_VARIANT: {
        SAFEARRAY* copy = nullptr;
        if (source->parray) {
            if (!IsLiveArray(source->parray))
                return E_INVALIDARG;
            copy = CopyArray(source->parray);
            if (!copy)
                return E_OUTOFMEMORY;
        }
        *destination = *source;
        destination->parray = copy;
        return S_OK;
    }
    default:
        return DISP_E_BADVARTYPE;
    }
}

// -------------------------------------------------------------------- SAFEARRAY

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements)
{
    if (type != VT_VARIANT || elements > 0x7FFFFFFF / sizeof(VARIANT))
        return nullptr;
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array)
        return nullptr;
    // Zeroed VARIANTs are VT_EMPTY.
    array->pvData = std::calloc(elements ? elements : 1, sizeof(VARIANT));
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    array->cDims = 1;
    array->fFeatures = FADF_VARIANT;
    array->cbElements = sizeof(VARIANT);
    array->rgsabound[0] = {elements, lowerBound};
    Allocations& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    live.arrays.insert(array);
    return array;
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, LONG* index, void* element)
{
    if (!array || !index || !element)
        return E_INVALIDARG;
    if (!IsLiveArray(array))
        return E_INVALIDARG;
    const SAFEARRAYBOUND& bound = array->rgsabound[0];
    const int64_t offset = static_cast<int64_t>(*index) - bound.lLbound;
    if (offset < 0 || offset >= static_cast<int64_t>(bound.cElements))
        return DISP_E_BADINDEX;
    return VariantCopy(&Elements(array)[offset], static_cast<const VARIANT*>(element));
}

HRESULT SafeArrayDestroy(SAFEARRAY* array)
{
    if (!array)
        return S_OK;
    if (!TakeArray(array))
        return E_INVALIDARG;
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i)
        VariantClear(&Elements(array)[i]);
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound)
{
    if (!array || !bound)
        return E_INVALIDARG;
    if (dimension != 1)
        return DISP_E_BADINDEX;
    *bound = array->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound)
{
    if (!array || !bound)
        return E_INVALIDARG;
    if (dimension != 1)
        return DISP_E_BADINDEX;
    *bound = array->rgsabound[0].lLbound + static_cast<LONG>(array->rgsabound[0].cElements) - 1;
    return S_OK;
}

namespace vxcompat {

long LiveStrings()
{
    Allocations& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    return static_cast<long>(live.strings.size());
}

long LiveArrays()
{
    Allocations& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    return static_cast<long>(live.arrays.size());
}

long AllocationFaults()
{
    Allocations& live = Live();
    std::lock_guard<std::mutex> lock(live.mutex);
    return live.faults;
}

} // namespace vxcompat

// -------------------------------------------------------------------- code pages

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH text, int bytes, LPWSTR out, int outChars)
{
    if (!text || bytes == 0 || bytes < -1 || outChars < 0 || (!out && outChars != 0))
        return 0;
    if ((flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0 || (codePage != CP_ACP && codePage != CP_UTF8))
        return 0;
    const size_t size = bytes < 0 ? std::strlen(text) + 1 : static_cast<size_t>(bytes);
    const auto* input = reinterpret_cast<const unsigned char*>(text);
    std::wstring converted;
    for (size_t i = 0; i < size;) {
        if (codePage == CP_ACP) {
            converted.push_back(static_cast<wchar_t>(FromCp1252(input[i++])));
            continue;
        }
        const Decoded d = DecodeUtf8(input + i, size - i);
        if (!d.valid && (flags & MB_ERR_INVALID_CHARS))
            return 0;
        converted.push_back(static_cast<wchar_t>(d.valid ? d.codePoint : 0xFFFD));
        i += d.length;
    }
    return Answer(converted, out, outChars);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH text, int chars, LPSTR out, int outBytes, LPCCH defaultChar,
                        LPBOOL usedDefault)
{
    if (!text || chars == 0 || chars < -1 || outBytes < 0 || (!out && outBytes != 0) || flags != 0)
        return 0;
    if (codePage == CP_UTF8 && (defaultChar || usedDefault))
        return 0;
    if (codePage != CP_ACP && codePage != CP_UTF8)
        return 0;
    const size_t size = chars < 0 ? std::wcslen(text) + 1 : static_cast<size_t>(chars);
    if (usedDefault)
        *usedDefault = FALSE;
    std::string converted;
    for (size_t i = 0; i < size; ++i) {
        const auto c = static_cast<char32_t>(text[i]);
        if (codePage == CP_UTF8) {
            EncodeUtf8(c, converted);
            continue;
        }
        const int byte = ToCp1252(c);
        if (byte >= 0) {
            converted.push_back(static_cast<char>(byte));
        } else {
            converted.push_back(defaultChar ? *defaultChar : '?');
            if (usedDefault)
                *usedDefault = TRUE;
        }
    }
    return Answer(converted, out, outBytes);
}

DWORD CharUpperBuffA(LPSTR text, DWORD length)
{
    if (!text)
        return 0;
    for (DWORD i = 0; i < length; ++i) {
        const char32_t c = FromCp1252(static_cast<unsigned char>(text[i]));
        const int upper = ToCp1252(static_cast<char32_t>(UpperCase(static_cast<wchar_t>(c))));
        if (upper >= 0)
            text[i] = static_cast<char>(upper);
    }
    return length;
}

DWORD CharUpperBuffW(LPWSTR text, DWORD length)
{
    if (!text)
        return 0;
    for (DWORD i = 0; i < length; ++i)
        text[i] = UpperCase(text[i]);
    return length;
}
