#include "openapphook/TypeLibraryRegistry.h"

#include <oleauto.h>

#include <cstring>

namespace vxOpenAppHook {

using vx::com::CriticalSectionLock;

bool TypeLibraryRegistry::GuidLess::operator()(const GUID& a, const GUID& b) const noexcept
{
    return std::memcmp(&a, &b, sizeof(GUID)) < 0;
}

TypeLibraryRegistry::~TypeLibraryRegistry()
{
    ReleaseAll();
}

HRESULT TypeLibraryRegistry::LoadTypeLibrary(const std::wstring& path)
{
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLib(path.c_str(), &library);
    if (FAILED(hr))
        return hr;
    CriticalSectionLock guard(lock_);
    libraries_.push_back(library);
    released_ = false;
    return hr;
}

HRESULT TypeLibraryRegistry::FindTypeInfo(REFIID iid, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_POINTER;
    *typeInfo = nullptr;
    CriticalSectionLock guard(lock_);
    if (released_)
        return E_FAIL;
    auto cached = cache_.find(iid);
    if (cached != cache_.end()) {
        cached->second->AddRef();
        *typeInfo = cached->second;
        return S_OK;
    }
    for (ITypeLib* library : libraries_) {
        ITypeInfo* found = nullptr;
        if (SUCCEEDED(library->GetTypeInfoOfGuid(iid, &found)) && found) {
            cache_.emplace(iid, found);
            found->AddRef();
            *typeInfo = found;
            return S_OK;
        }
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT TypeLibraryRegistry::GetTypeInfoCell(REFIID iid, TypeInfoCell** cell)
{
    if (!cell)
        return E_POINTER;
    *cell = nullptr;
    ITypeInfo* typeInfo = nullptr;
    HRESULT hr = FindTypeInfo(iid, &typeInfo);
    if (FAILED(hr))
        return hr;
    CriticalSectionLock guard(lock_);
    cells_.push_back(TypeInfoCell{typeInfo});
    *cell = &cells_.back();
    return S_OK;
}

void TypeLibraryRegistry::ReleaseAll()
{
    CriticalSectionLock guard(lock_);
    for (TypeInfoCell& cell : cells_) {
        if (cell.typeInfo)
            cell.typeInfo->Release();
        cell.typeInfo = nullptr;
    }
    for (auto& entry : cache_)
        entry.second->Release();
    cache_.clear();
    for (ITypeLib* library : libraries_)
        library->Release();
    libraries_.clear();
    released_ = true;
}

size_t TypeLibraryRegistry::LibraryCount() const
{
    CriticalSectionLock guard(lock_);
    return libraries_.size();
}

TypeLibraryRegistry& TypeLibraries()
{
    static TypeLibraryRegistry registry;
    return registry;
}

} // namespace vxOpenAppHook
