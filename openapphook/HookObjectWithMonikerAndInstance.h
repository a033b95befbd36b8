#pragma once
#include <windows.h>
#include <oaidl.h>

#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

// A minimal IDispatch that carries an instance object and a moniker string;
// both are read as properties by DISPID (0x1000002 the instance, 0x1000005
// the moniker). Registered with a stub manager for its life.
class CHookObjectWithMonikerAndInstance : public vx::com::ComObject<CHookObjectWithMonikerAndInstance, IDispatch>
{
public:
    static constexpr DISPID DispIdInstance = 0x1000002;
    static constexpr DISPID DispIdMoniker = 0x1000005;

    static HRESULT Create(IStubManager* owner, IDispatch* instance, BSTR moniker, IDispatch** object);

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** typeInfo) noexcept override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT nameCount, LCID locale,
                               DISPID* dispIds) noexcept override;
    STDMETHODIMP Invoke(DISPID dispId, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exceptionInfo, UINT* argumentError) noexcept override;

    CHookObjectWithMonikerAndInstance() noexcept = default;

protected:
    ~CHookObjectWithMonikerAndInstance() override;

private:
    StubRegistration registration_;
    Microsoft::WRL::ComPtr<IDispatch> instance_;
    vx::com::BStr moniker_;
};

} // namespace vxOpenAppHook
