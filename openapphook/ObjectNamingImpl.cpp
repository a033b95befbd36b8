#include "openapphook/ObjectNamingImpl.h"

#include <cwchar>

#include "openapphook/ExceptionGuard.h"
#include "platform/com/SafeArray.h"

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kListSchemasOperation[] = L"5AC96EAD-A318-4da1-BA3A-FE48B0279147";
constexpr wchar_t kFindSchemaOperation[] = L"E1C749DC-821F-47c9-BAE4-FE7C3AD5AC25";

} // namespace

HRESULT IvxObjectNamingImpl::NamingSchemas(VARIANT* schemas) noexcept
{
    if (!schemas)
        return E_POINTER;
    VariantInit(schemas);
    return RunGuarded(kListSchemasOperation, [&]() -> HRESULT {
        const ObjectNamingSchemaEntry* table = NamingSchemaTable();
        const int count = NamingSchemaCount();
        SAFEARRAY* array = SafeArrayCreateVector(VT_UNKNOWN, 0, static_cast<ULONG>(count > 0 ? count : 0));
        if (!array)
            return E_OUTOFMEMORY;
        for (LONG i = 0; i < count; ++i) {
            ComPtr<CObjectNamingSchema> schema;
            HRESULT hr = CObjectNamingSchema::Create(NamingStubManager(), &table[i], schema);
            if (SUCCEEDED(hr))
                hr = SafeArrayPutElement(array, &i, schema->CanonicalUnknown());
            if (FAILED(hr)) {
                SafeArrayDestroy(array);
                return hr;
            }
        }
        V_VT(schemas) = VT_ARRAY | VT_UNKNOWN;
        V_ARRAY(schemas) = array;
        return S_OK;
    });
}

HRESULT IvxObjectNamingImpl::FindSchema(BSTR methodName, LONG paramCount, IvxObjectNamingSchema** schema) noexcept
{
    if (!schema)
        return E_POINTER;
    *schema = nullptr;
    return RunGuarded(kFindSchemaOperation, [&]() -> HRESULT {
        const LONG required = RequiredParamCount();
        if (required != -1 && required != paramCount)
            return S_OK;
        const ObjectNamingSchemaEntry* table = NamingSchemaTable();
        const int count = NamingSchemaCount();
        for (int i = 0; i < count; ++i) {
            const ObjectNamingSchemaEntry& entry = table[i];
            if (entry.paramCount != paramCount || !entry.methodName ||
                std::wcscmp(entry.methodName, methodName ? methodName : L"") != 0)
                continue;
            ComPtr<CObjectNamingSchema> found;
            HRESULT hr = CObjectNamingSchema::Create(NamingStubManager(), &entry, found);
            if (FAILED(hr))
                return hr;
            return found->QueryInterface(IID_PPV_ARGS(schema));
        }
        return S_OK;
    });
}

} // namespace vxOpenAppHook
