#pragma once
#include <windows.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

// One entry of a class's static naming-schema table: a method that re-finds
// an object and the names of its parameters.
struct ObjectNamingSchemaEntry
{
    const wchar_t* methodName;
    int paramCount;
    const wchar_t* const* paramNames;
};

// Hands one schema table entry to the engine. The entry is static data and
// is not owned; the object is registered with a stub manager for its life.
class CObjectNamingSchema : public vx::com::ComObject<CObjectNamingSchema, IvxObjectNamingSchema>
{
public:
    static HRESULT Create(IStubManager* owner, const ObjectNamingSchemaEntry* entry,
                          Microsoft::WRL::ComPtr<CObjectNamingSchema>& schema);

    HRESULT STDMETHODCALLTYPE GetMethodName(BSTR* methodName) noexcept override;
    HRESULT STDMETHODCALLTYPE GetParamNames(VARIANT* paramNames) noexcept override;

    CObjectNamingSchema() noexcept = default;

protected:
    ~CObjectNamingSchema() override;

private:
    StubRegistration registration_;
    const ObjectNamingSchemaEntry* entry_ = nullptr;
};

} // namespace vxOpenAppHook
