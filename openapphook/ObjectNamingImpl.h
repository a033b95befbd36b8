#pragma once
// The naming-schema side of a test object (IvxObjectNaming): the ways the
// engine can re-find the object, from a static table that the owning class
// supplies. Both operations run under the structured-exception guard.
#include <windows.h>
#include <oaidl.h>

#include "generated/vxOpenAppServices.h"
#include "openapphook/ObjectNamingSchema.h"
#include "openapphook/StubManager.h"

namespace vxOpenAppHook {

class IvxObjectNamingImpl
{
public:
    // VT_ARRAY | VT_UNKNOWN: one schema object per table entry, in order.
    HRESULT NamingSchemas(VARIANT* schemas) noexcept;
    // The first entry with exactly this method name (case-sensitive) and
    // parameter count, when the class takes that count; S_OK with null when
    // none matches.
    HRESULT FindSchema(BSTR methodName, LONG paramCount, IvxObjectNamingSchema** schema) noexcept;

protected:
    IvxObjectNamingImpl() noexcept = default;
    ~IvxObjectNamingImpl() = default;

    virtual const ObjectNamingSchemaEntry* NamingSchemaTable() = 0;
    virtual int NamingSchemaCount() = 0;
    virtual IStubManager* NamingStubManager() = 0;
    // The only parameter count the object accepts; -1 for any.
    virtual LONG RequiredParamCount() = 0;
};

} // namespace vxOpenAppHook
