#pragma once
#include <windows.h>
#include <oaidl.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

// A dispatch stub for a raw interface pointer: names and calls are resolved
// through one type information and made on the target pointer. The held
// IUnknown keeps the target alive; the stub is registered with a stub manager
// for its whole life.
class CCustomDispatch : public vx::com::ComObject<CCustomDispatch, IDispatch2, vx::com::AnswerAs<IDispatch, IDispatch2>>
{
public:
    // `target` is an interface of `holder` described by `typeInfo`.
    static HRESULT Create(IStubManager* owner, IUnknown* holder, ITypeInfo* typeInfo, void* target,
                          Microsoft::WRL::ComPtr<CCustomDispatch>& stub);

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                               DISPID* dispIds) noexcept override;
    STDMETHODIMP Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exceptionInfo, UINT* argumentError) noexcept override;
    STDMETHODIMP GetPropertyValues(VARIANT ids, VARIANT* values, VARIANT* results,
                                   VARIANT_BOOL* succeeded) noexcept override;

    CCustomDispatch() noexcept = default;

protected:
    ~CCustomDispatch() override;

private:
    HRESULT Initialize(IStubManager* owner, IUnknown* holder, ITypeInfo* typeInfo, void* target);

    StubRegistration registration_;
    Microsoft::WRL::ComPtr<IUnknown> holder_;
    Microsoft::WRL::ComPtr<ITypeInfo> typeInfo_;
    void* target_ = nullptr;
};

} // namespace vxOpenAppHook
