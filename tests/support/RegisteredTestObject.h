#pragma once
// An object registered with a stub manager through a StubRegistration member,
// as the library's own objects are.
#include <windows.h>

#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"

namespace vxtest {

class RegisteredTestObject : public vx::com::ComObject<RegisteredTestObject, IPersist>
{
public:
    explicit RegisteredTestObject(vxOpenAppHook::IStubManager* manager) : manager_(manager) {}
    HRESULT FinalConstruct() override
    {
        HRESULT hr = ComObject::FinalConstruct();
        return SUCCEEDED(hr) ? registration_.Register(manager_, this) : hr;
    }
    STDMETHODIMP GetClassID(CLSID* id) override
    {
        *id = CLSID_NULL;
        return S_OK;
    }
    vxOpenAppHook::StubRegistration& Registration() { return registration_; }

private:
    vxOpenAppHook::IStubManager* manager_;
    vxOpenAppHook::StubRegistration registration_;
};

} // namespace vxtest
