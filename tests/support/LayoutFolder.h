#pragma once
// The test layout folder ("layout" next to the programs' "bin"), where the
// build puts the library and the product-module stand-ins as the product
// folder holds them.
#include <windows.h>

#include <string>

namespace testsupport {

inline std::wstring LayoutDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring bin(path);
    bin.resize(bin.find_last_of(L"\\/"));
    return bin.substr(0, bin.find_last_of(L"\\/")) + L"\\layout";
}

} // namespace testsupport
