#pragma once
// The OLE Automation types and functions the browser-independent web
// framework uses, for its native build only:
//   - BSTR: a 4-byte byte count ahead of the characters, which are followed
//     by a null; SysStringLen is that count over sizeof(OLECHAR);
//   - VARIANT with the kinds the framework makes (empty, null, I4, R8, BOOL,
//     BSTR, and arrays of VARIANT); VariantClear frees what it holds,
//     VariantCopy copies deeply;
//   - one-dimensional SAFEARRAYs of VARIANT.
// Every BSTR and SAFEARRAY is recorded while it lives, so tests can tell that
// nothing was leaked and that nothing was freed twice or freed unallocated
// (such a free is counted as a fault and otherwise ignored).
#include <windows.h>

typedef WCHAR OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef OLECHAR* BSTR;
typedef unsigned short VARTYPE;
typedef short VARIANT_BOOL;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I4 = 3,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_ARRAY = 0x2000,
};

#define FADF_VARIANT 0x0800

struct SAFEARRAYBOUND
{
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY
{
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

struct VARIANT
{
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union
    {
        LONG lVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        SAFEARRAY* parray;
    };
};
typedef VARIANT VARIANTARG;

#define V_VT(v) ((v)->vt)
#define V_I4(v) ((v)->lVal)
#define V_R8(v) ((v)->dblVal)
#define V_BOOL(v) ((v)->boolVal)
#define V_BSTR(v) ((v)->bstrVal)
#define V_ARRAY(v) ((v)->parray)

BSTR SysAllocString(const OLECHAR* text);
// A null `text` gives `length` zeroed characters.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
UINT SysStringLen(BSTR text);
void SysFreeString(BSTR text);

void VariantInit(VARIANTARG* value);
// DISP_E_BADVARTYPE for a kind outside the list above (the value is left as it is).
HRESULT VariantClear(VARIANTARG* value);
// Clears `destination` first; E_OUTOFMEMORY leaves it empty.
HRESULT VariantCopy(VARIANTARG* destination, const VARIANTARG* source);

// Only VT_VARIANT elements; other element types give null.
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements);
// Copies the VARIANT at `element` into the slot (its previous value cleared).
HRESULT SafeArrayPutElement(SAFEARRAY* array, LONG* index, void* element);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound);

namespace vxcompat {

// BSTRs and SAFEARRAYs allocated and not yet freed, on every thread.
long LiveStrings();
long LiveArrays();
// Frees of a pointer that is not a live BSTR or SAFEARRAY.
long AllocationFaults();

} // namespace vxcompat
