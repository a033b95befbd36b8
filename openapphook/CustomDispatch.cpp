#include "openapphook/CustomDispatch.h"

#include <oleauto.h>

#include "openapphook/ExceptionGuard.h"
#include "openapphook/PropertyValues.h"

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t GetIDsOfNamesOperationId[] = L"0CCF4995-084F-4779-A7CC-07398D495CEA";
constexpr wchar_t InvokeOperationId[] = L"66B93846-E8CB-4dfe-A789-320E18E51EB2";
constexpr wchar_t GetPropertyValuesOperationId[] = L"2DBC2C71-7DEE-413d-9E8D-C8B7C3CE10D8";

} // namespace

HRESULT CCustomDispatch::Create(CStubManager* owner, IUnknown* holder, ITypeInfo* typeInfo, void* target,
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

HRESULT CCustomDispatch::Initialize(CStubManager* owner, IUnknown* holder, ITypeInfo* typeInfo, void* target)
{
    if (!owner || !holder || !typeInfo || !target)
        return E_POINTER;
    holder_ = holder;
    typeInfo_ = typeInfo;
    target_ = target;
    owner_ = owner;
    owner_->RegisterStub(Identity());
    return S_OK;
}

CCustomDispatch::~CCustomDispatch()
{
    if (owner_)
        owner_->UnregisterStub(Identity());
}

STDMETHODIMP CCustomDispatch::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_INVALIDARG;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CCustomDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_INVALIDARG;
    *typeInfo = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return typeInfo_.CopyTo(typeInfo);
}

STDMETHODIMP CCustomDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID, DISPID* dispIds)
{
    return RunGuarded(GetIDsOfNamesOperationId,
                      [&]() -> HRESULT { return DispGetIDsOfNames(typeInfo_.Get(), names, nameCount, dispIds); });
}

STDMETHODIMP CCustomDispatch::Invoke(DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exceptionInfo, UINT* argumentError)
{
    return RunGuarded(InvokeOperationId, [&]() -> HRESULT {
        return typeInfo_->Invoke(target_, dispId, flags, params, result, exceptionInfo, argumentError);
    });
}

STDMETHODIMP CCustomDispatch::GetPropertyValues(VARIANT ids, VARIANT* values, VARIANT* results,
                                                VARIANT_BOOL* succeeded)
{
    return RunGuarded(GetPropertyValuesOperationId, [&]() -> HRESULT {
        ComPtr<IDispatch> self;
        HRESULT hr = QueryInterface(IID_IDispatch, reinterpret_cast<void**>(self.GetAddressOf()));
        if (FAILED(hr))
            return hr;
        return CollectPropertyValues(self.Get(), ids, values, results, succeeded);
    });
}

} // namespace vxOpenAppHook
