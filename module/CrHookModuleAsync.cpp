#include "module/CrHookModuleAsync.h"

#include "module/CrHookModule.h"

CCrHookModuleAsync::CCrHookModuleAsync(CCrHookModule& module) : module_(module)
{
    Start();
}

CCrHookModuleAsync::~CCrHookModuleAsync()
{
    Stop();
}

void CCrHookModuleAsync::Execute(int32_t, void*)
{
    // The tab-list handlers are attached with the tabs service; no
    // notification source posts here before then.
    (void)module_;
}

void CCrHookModuleAsync::FreeItem(int32_t, void*)
{
}
