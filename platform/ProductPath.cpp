#include "platform/ProductPath.h"

#include <cwctype>
#include <cstdio>
#include <vector>

#include "platform/ErrorInfo.h"

namespace BaseOV {
namespace {

HMODULE libraryModule = nullptr;

std::wstring ReadEnvironment(const wchar_t* name, bool& isSet)
{
    // A variable set to the empty string answers 0 without an error code.
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    isSet = needed != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    if (needed == 0)
        return {};
    std::wstring value(needed, L'\0');
    DWORD written = GetEnvironmentVariableW(name, value.data(), needed);
    value.resize(written < needed ? written : 0);
    return value;
}

std::wstring DirectoryOf(const std::wstring& path)
{
    size_t cut = path.find_last_of(L"\\:");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

std::string WideToAnsi(const std::wstring& text)
{
    if (text.empty())
        return {};
    int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return {};
    std::string narrow(static_cast<size_t>(length - 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

} // namespace

void SetLibraryModule(HMODULE module) noexcept
{
    libraryModule = module;
}

HMODULE GetLibraryModule() noexcept
{
    return libraryModule;
}

std::wstring GetLibraryPath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(libraryModule, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetLibraryDirectory()
{
    return DirectoryOf(GetLibraryPath());
}

const wchar_t* ProductPathVariableName()
{
    std::wstring commandLine = GetCommandLineW();
    bool alternative = commandLine.find(L"/UseAlternativeProductPath") != std::wstring::npos ||
                       commandLine.find(L"-UseAlternativeProductPath") != std::wstring::npos;
    return alternative ? L"Vantorix8_Product_PathAlternative" : L"Vantorix8_Product_Path";
}

void EnsureProductPathVariable()
{
    const wchar_t* name = ProductPathVariableName();
    bool isSet = false;
    ReadEnvironment(name, isSet);
    if (isSet)
        return;

    std::wstring directory = GetLibraryDirectory();
    for (wchar_t& c : directory)
        c = static_cast<wchar_t>(std::towlower(c));
    size_t cut = directory.find_last_of(L"\\:");
    std::wstring lastComponent = cut == std::wstring::npos ? directory : directory.substr(cut + 1);
    if (lastComponent == L"extensions")
        directory = cut == std::wstring::npos ? std::wstring() : directory.substr(0, cut);
    SetEnvironmentVariableW(name, directory.c_str());

    bool pathSet = false;
    std::wstring path = ReadEnvironment(L"PATH", pathSet);
    if (path.find(directory) == std::wstring::npos) {
        std::wstring newPath = directory + L";" + path;
        SetEnvironmentVariableW(L"PATH", newPath.c_str());
    }
}

std::wstring GetProductDirectory()
{
    if (GetModuleHandleW(nullptr) == libraryModule)
        return GetLibraryDirectory();
    bool isSet = false;
    return ReadEnvironment(ProductPathVariableName(), isSet);
}

HMODULE LoadProductModule(const char* fileName)
{
    std::string productDirectory = WideToAnsi(GetProductDirectory());
    std::string direct = productDirectory + "\\" + fileName;
    if (HMODULE module = LoadLibraryA(direct.c_str()))
        return module;
    std::string inExtensions = productDirectory + "\\extensions\\" + fileName;
    if (HMODULE module = LoadLibraryA(inExtensions.c_str()))
        return module;

    char message[520];
    std::snprintf(message, sizeof message, "File %s not found.\nProduct located at : %s", fileName,
                  productDirectory.c_str());
    int length = MultiByteToWideChar(CP_ACP, 0, message, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, message, -1, wide.data(), length);
    SetThreadErrorInfo(wide.c_str(), nullptr, 0);
    return nullptr;
}

} // namespace BaseOV
