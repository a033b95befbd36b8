#pragma once
#include <oaidl.h>

#include <list>
#include <map>
#include <string>
#include <vector>

#include "platform/com/CriticalSection.h"

namespace vxOpenAppHook {

// A slot that holds the type information of one interface for the lifetime
// of the process. Objects keep a pointer to their interface's cell; the cell
// outlives every object and is emptied when the type libraries are released.
struct TypeInfoCell
{
    ITypeInfo* typeInfo = nullptr;
};

// The type libraries loaded at process attach (the library's own and the
// host's shared one) and the type information looked up in them.
class TypeLibraryRegistry
{
public:
    TypeLibraryRegistry() = default;
    ~TypeLibraryRegistry();
    TypeLibraryRegistry(const TypeLibraryRegistry&) = delete;
    TypeLibraryRegistry& operator=(const TypeLibraryRegistry&) = delete;

    // LoadTypeLib on the path; the library is kept on success.
    HRESULT LoadTypeLibrary(const std::wstring& path);
    // Type information of an interface, from the cache or from the libraries
    // in load order; TYPE_E_ELEMENTNOTFOUND when no library describes it,
    // E_FAIL once the libraries are released. The caller owns one reference.
    HRESULT FindTypeInfo(REFIID iid, ITypeInfo** typeInfo);
    // A new cell filled with the interface's type information.
    HRESULT GetTypeInfoCell(REFIID iid, TypeInfoCell** cell);
    // Empties every cell and releases every cached type information and every
    // library.
    void ReleaseAll();

    size_t LibraryCount() const;

private:
    struct GuidLess
    {
        bool operator()(const GUID& a, const GUID& b) const noexcept;
    };

    mutable vx::com::CriticalSection lock_;
    std::vector<ITypeLib*> libraries_;
    std::map<GUID, ITypeInfo*, GuidLess> cache_;
    std::list<TypeInfoCell> cells_;
    bool released_ = false;
};

// The process's registry.
TypeLibraryRegistry& TypeLibraries();

} // namespace vxOpenAppHook
