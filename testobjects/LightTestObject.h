#pragma once
// A light test object: what the tab answers for the object at a point and
// the focused object. It carries only a moniker, by which the engine finds
// the full object; it always exists.
#include "platform/com/BStr.h"
#include "testobjects/HookObjectCom.h"

namespace vxCrTestObjects {

class CCrHookObjectLight final : public HookObjectCom<CCrHookObjectLight>
{
public:
    static HRESULT Create(vxOpenAppHook::IStubManager* stubManager, BSTR moniker,
                          Microsoft::WRL::ComPtr<IvxObject>& object);

    HRESULT IdentifierString(BSTR*) { return S_OK; }
    HRESULT NativeObject(IDispatch**) { return S_OK; }
    HRESULT Exists(bool& exists)
    {
        exists = true;
        return S_OK;
    }
    HRESULT Moniker(BSTR* out);
    LONG CreationValue() const noexcept { return 0; }

    CCrHookObjectLight() noexcept = default;

private:
    vx::com::BStr moniker_;
};

} // namespace vxCrTestObjects
