#include "module/ModuleServices.h"

using vx::com::CriticalSectionLock;

ModuleServicesHolder::ModuleServicesHolder()
{
    stubManagerAlive_ = SUCCEEDED(vx::com::CreateComObject(stubManager_));
}

ModuleServicesHolder& ModuleServicesHolder::Instance()
{
    static ModuleServicesHolder holder;
    return holder;
}

Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> ModuleServicesHolder::StubManager()
{
    CriticalSectionLock guard(stubLock_);
    return stubManager_;
}

bool ModuleServicesHolder::StubManagerAlive()
{
    CriticalSectionLock guard(stubLock_);
    return stubManagerAlive_;
}

void ModuleServicesHolder::ShutdownStubManager()
{
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> manager;
    {
        CriticalSectionLock guard(stubLock_);
        if (!stubManagerAlive_)
            return;
        stubManagerAlive_ = false;
        manager = std::move(stubManager_);
    }
    // Disconnect outside the lock: pumping may run calls that look the
    // manager up.
    if (manager)
        manager->DisconnectAll();
}
