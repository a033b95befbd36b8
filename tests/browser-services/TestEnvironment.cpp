#include "TestEnvironment.h"

#include <objbase.h>

#include "module/ModuleServices.h"
#include "comhelp/GlobalInterfaceCookie.h"
#include "services/ServiceConnection.h"

namespace browser_services_tests {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
}

ComEnvironment::ComEnvironment()
{
    SetEnvironmentVariableW(L"Vantorix8_Product_Path", LayoutDirectory().c_str());
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The process-wide proxy over the COM utility module lives until the
    // library unloads: make it before counting.
    {
        Microsoft::WRL::ComPtr<IGlobalInterfaceTable> table;
        GetGlobalInterfaceTable(table);
    }
    startLockCount_ = CCrHookAtlModule::GetLockCount();
}

ComEnvironment::~ComEnvironment()
{
    ModuleServicesHolder::Instance().ReleaseSynchronousInvoker();
    CoUninitialize();
}

LONG ComEnvironment::SettledLockCount()
{
    ModuleServicesHolder::Instance().ReleaseSynchronousInvoker();
    WaitUntil([&] { return CCrHookAtlModule::GetLockCount() == startLockCount_; }, 2000);
    return CCrHookAtlModule::GetLockCount();
}

} // namespace browser_services_tests
