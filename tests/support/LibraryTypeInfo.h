#pragma once
// Loads the library's vxCrHook.tlb and the host's vxOpenAppServices.tlb from
// the test program's folder into the process's type-library registry, once,
// as attaching to the host does: the objects' DISPIDs come from them.
#include <windows.h>

#include <string>

#include "openapphook/TypeLibraryRegistry.h"

namespace testsupport {

inline bool LoadLibraryTypeInfo()
{
    static const bool loaded = [] {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder(path);
        folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
        return SUCCEEDED(vxOpenAppHook::TypeLibraries().LoadTypeLibrary(folder + L"vxCrHook.tlb")) &&
               SUCCEEDED(vxOpenAppHook::TypeLibraries().LoadTypeLibrary(folder + L"vxOpenAppServices.tlb"));
    }();
    return loaded;
}

} // namespace testsupport
