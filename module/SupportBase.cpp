#include "module/SupportBase.h"

#include "module/CrHookModule.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

void SupportModuleLink::Attach(CCrHookModule* module)
{
    CriticalSectionLock guard(lock_);
    module_ = module;
}

void SupportModuleLink::Release() noexcept
{
    ComPtr<CCrHookModule> module;
    {
        CriticalSectionLock guard(lock_);
        module.Swap(module_);
    }
}

ComPtr<CCrHookModule> SupportModuleLink::Module()
{
    CriticalSectionLock guard(lock_);
    return module_;
}
