#pragma once
// Identifiers of collection members: a name unique within the collection
// (VT_BSTR), or, for a member without a usable name, a counter (VT_I4).
// One generator lives for one collection build; keys separate independent
// counters and name registries (one per collection or tree level).
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>

#include "platform/com/Variant.h"
#include "webfw/DOMModel/UniqueNames.h"

namespace vxWebFw {

template <class T>
class IObjectIdGenerator
{
public:
    virtual HRESULT Reset() = 0;
    virtual HRESULT Generate(T key, BSTR name, bool keepRaw, VARIANT* id) = 0;
    virtual HRESULT Skip(T key) = 0;

protected:
    ~IObjectIdGenerator() = default;
};

namespace detail {

struct ObjectIdEntry
{
    long counter = 0;
    CNameRegistry names;
};

// Shared part of both generators; `countEveryCall` selects the counting
// policy: false counts only unnamed members, true every Generate call.
template <class T, bool countEveryCall>
class ObjectIdGeneratorBase : public IObjectIdGenerator<T>
{
public:
    HRESULT Reset() override
    {
        entries_.clear();
        return S_OK;
    }

    HRESULT Generate(T key, BSTR name, bool keepRaw, VARIANT* id) override
    {
        if (!id)
            return E_POINTER;
        ObjectIdEntry& entry = entries_[key];
        std::wstring_view raw = name ? std::wstring_view(name, SysStringLen(name)) : std::wstring_view();
        std::wstring candidate = keepRaw ? std::wstring(raw) : ApplyIdentifierRule(raw, L"");

        vx::com::Variant result;
        if (candidate.empty()) {
            V_VT(result.Get()) = VT_I4;
            V_I4(result.Get()) = entry.counter;
            if (!countEveryCall)
                ++entry.counter;
        } else {
            std::wstring unique = entry.names.MakeUnique(keepRaw ? candidate : ApplyIdentifierRule(candidate, L"Item"));
            V_VT(result.Get()) = VT_BSTR;
            V_BSTR(result.Get()) = SysAllocStringLen(unique.data(), static_cast<UINT>(unique.size()));
            if (!V_BSTR(result.Get())) {
                V_VT(result.Get()) = VT_EMPTY;
                return E_OUTOFMEMORY;
            }
        }
        if (countEveryCall)
            ++entry.counter;
        VariantClear(id);
        return VariantCopy(id, result.Get());
    }

    HRESULT Skip(T key) override
    {
        ++entries_[key].counter;
        return S_OK;
    }

private:
    std::map<T, ObjectIdEntry> entries_;
};

} // namespace detail

// Unnamed members are numbered among themselves.
template <class T>
class CObjectIdGeneratorDefaultImpl : public detail::ObjectIdGeneratorBase<T, false>
{
};

// Every generated or skipped member consumes a number, so an unnamed member's
// number is its position in the enumeration.
class CObjectIdGeneratorThroughImpl : public detail::ObjectIdGeneratorBase<long, true>
{
};

} // namespace vxWebFw
