#include "testobjects/LightTestObject.h"

namespace vxCrTestObjects {

HRESULT CCrHookObjectLight::Create(vxOpenAppHook::IStubManager* stubManager, BSTR moniker,
                                   Microsoft::WRL::ComPtr<IvxObject>& object)
{
    object.Reset();
    Microsoft::WRL::ComPtr<CCrHookObjectLight> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (FAILED(hr))
        return hr;
    created->moniker_ = vx::com::BStr(std::wstring_view(moniker ? moniker : L"", moniker ? SysStringLen(moniker) : 0));
    if (!created->moniker_.Get())
        return E_OUTOFMEMORY;
    hr = created->InitializeBase(stubManager, nullptr);
    if (FAILED(hr))
        return hr;
    return vx::com::QueryTo(created.Get(), object);
}

HRESULT CCrHookObjectLight::Moniker(BSTR* out)
{
    *out = SysAllocStringLen(moniker_.Get(), moniker_.Length());
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace vxCrTestObjects
