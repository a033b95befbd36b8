#include "HookHostRun.h"

using namespace testsupport;

const wchar_t KnownPath[] = L"C:\\windows\\system32;C:\\windows";

std::wstring LayoutDirectory()
{
    return ParentDirectory(ExecutableDirectory()) + L"\\layout";
}

std::wstring LayoutLibrary()
{
    return LayoutDirectory() + L"\\vxCrHook.dll";
}

ChildResult RunHookHost(const std::wstring& arguments, ChildOptions options)
{
    for (const wchar_t* name : {L"Vantorix8_Product_Path", L"Vantorix8_Product_PathAlternative"})
        if (!options.setEnvironment.count(name))
            options.removeEnvironment.push_back(name);
    if (!options.setEnvironment.count(L"PATH"))
        options.setEnvironment[L"PATH"] = KnownPath;
    std::wstring commandLine = Quote(ExecutableDirectory() + L"\\vxhookhost.exe") + L" " + arguments;
    return RunChild(commandLine, options);
}
