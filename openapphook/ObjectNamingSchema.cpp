#include "openapphook/ObjectNamingSchema.h"
#include "platform/com/ComBoundary.h"

#include <oleauto.h>

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;

HRESULT CObjectNamingSchema::Create(IStubManager* owner, const ObjectNamingSchemaEntry* entry,
                                    ComPtr<CObjectNamingSchema>& schema)
{
    if (!owner || !entry)
        return E_POINTER;
    ComPtr<CObjectNamingSchema> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (FAILED(hr))
        return hr;
    created->entry_ = entry;
    hr = created->registration_.Register(owner, created.Get());
    if (FAILED(hr))
        return hr;
    schema = std::move(created);
    return S_OK;
}

CObjectNamingSchema::~CObjectNamingSchema() = default;

HRESULT CObjectNamingSchema::GetMethodName(BSTR* methodName) noexcept
try {
    if (!methodName)
        return E_POINTER;
    *methodName = SysAllocString(entry_->methodName ? entry_->methodName : L"");
    return *methodName ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

HRESULT CObjectNamingSchema::GetParamNames(VARIANT* paramNames) noexcept
try {
    if (!paramNames)
        return E_POINTER;
    VariantInit(paramNames);
    const ULONG count = entry_->paramCount > 0 ? static_cast<ULONG>(entry_->paramCount) : 0;
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, count);
    if (!array)
        return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
        BSTR name = SysAllocString(entry_->paramNames[i] ? entry_->paramNames[i] : L"");
        // Out of memory: the names built so far are still handed out.
        if (!name)
            break;
        HRESULT hr = SafeArrayPutElement(array, &i, name);
        SysFreeString(name);
        if (FAILED(hr))
            break;
    }
    V_VT(paramNames) = VT_ARRAY | VT_BSTR;
    V_ARRAY(paramNames) = array;
    return S_OK;
}
VX_COM_CATCH

} // namespace vxOpenAppHook
