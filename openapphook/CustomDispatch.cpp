#include "openapphook/CustomDispatch.h"

#include <oleauto.h>

#include "openapphook/ExceptionGuard.h"
#include "openapphook/PropertyValues.h"
#include "platform/com/ComBoundary.h"

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t GetIDsOfNamesOperationId[] = L"0CCF4995-084F-4779-A7CC-07398D495CEA";
constexpr wchar_t InvokeOperationId[] = L"66B93846-E8CB-4dfe-A789-320E18E51EB2";
constexpr wchar_t GetPropertyValuesOperationId[] = L"2DBC2C71-7DEE-413d-9E8D-C8B7C3CE10D8";

} // namespace

HRESULT CCustomDispatch::Create(IStubManager* owner, IUnknown* holder, ITypeInfo* typeInfo, void* target,
                                ComPtr<CCustomDispatch>& stub)
{
    ComPtr<CCustomDispatch> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (FAILED(hr))
        return hr;
    hr = created->Initialize(owner, holder, typeInfo, target);
    if (FAILED(hr))
        return hr;
    stub = std::move(created);
    return S_OK;
}

HRESULT CCustomDispatch::Initialize(IStubManager* owner, IUnknown* holder, ITypeInfo* typeInfo, void* target)
{
    if (!owner || !holder || !typeInfo || !target)
        return E_POINTER;
    holder_ = holder;
    typeInfo_ = typeInfo;
    target_ = target;
    return registration_.Register(owner, this);
}

CCustomDispatch::~CCustomDispatch() = default;

STDMETHODIMP CCustomDispatch::GetTypeInfoCount(UINT* count) noexcept
try {
    if (!count)
        return E_INVALIDARG;
    *count = 1;
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CCustomDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo) noexcept
try {
    if (!typeInfo)
        return E_INVALIDARG;
    *typeInfo = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return typeInfo_.CopyTo(typeInfo);
}
VX_COM_CATCH

STDMETHODIMP CCustomDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID, DISPID* dispIds) noexcept
try {
    return RunGuarded(GetIDsOfNamesOperationId,
                      [&]() -> HRESULT { return DispGetIDsOfNames(typeInfo_.Get(), names, nameCount, dispIds); });
}
VX_COM_CATCH

STDMETHODIMP CCustomDispatch::Invoke(DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exceptionInfo, UINT* argumentError) noexcept
try {
    return RunGuarded(InvokeOperationId, [&]() -> HRESULT {
        return typeInfo_->Invoke(target_, dispId, flags, params, result, exceptionInfo, argumentError);
    });
}
VX_COM_CATCH

STDMETHODIMP CCustomDispatch::GetPropertyValues(VARIANT ids, VARIANT* values, VARIANT* results,
                                                VARIANT_BOOL* succeeded) noexcept
try {
    return RunGuarded(GetPropertyValuesOperationId, [&]() -> HRESULT {
        ComPtr<IDispatch> self;
        HRESULT hr = QueryInterface(IID_IDispatch, reinterpret_cast<void**>(self.GetAddressOf()));
        if (FAILED(hr))
            return hr;
        return CollectPropertyValues(self.Get(), ids, values, results, succeeded);
    });
}
VX_COM_CATCH

} // namespace vxOpenAppHook
