#pragma once
#include <windows.h>
#include <string>

// Where the product is installed and how this library finds its siblings.
namespace BaseOV {

// The library's own module handle, remembered at process attach.
void SetLibraryModule(HMODULE module) noexcept;
HMODULE GetLibraryModule() noexcept;

// Full path of the library's file, and its directory (everything before the
// last "\" or ":").
std::wstring GetLibraryPath();
std::wstring GetLibraryDirectory();

// "Vantorix8_Product_PathAlternative" when the command line holds
// "/UseAlternativeProductPath" or "-UseAlternativeProductPath", else
// "Vantorix8_Product_Path".
const wchar_t* ProductPathVariableName();

// Sets the product path variable when it is unset: the library's directory in
// lower case, without a trailing "extensions" folder; and puts that directory
// at the front of PATH when PATH does not contain it yet.
void EnsureProductPathVariable();

// The library's own directory when the process's main module is the library,
// otherwise the product path variable (empty when unset).
std::wstring GetProductDirectory();

// Loads a product module from the product directory or its "extensions"
// folder. When neither exists, sets COM error information "File <name> not
// found.\nProduct located at : <dir>" and returns null.
HMODULE LoadProductModule(const char* fileName);

} // namespace BaseOV
