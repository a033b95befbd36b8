#pragma once
// Runs a piece of work on the module's synchronous invoker (the thread whose
// apartment owns the proxies of remote calls), or on the calling thread when
// there is no invoker. A C++ exception inside the work becomes E_UNEXPECTED:
// the invoker's thread knows nothing of C++.
#include <windows.h>

#include "generated/vxCrHook.h"

template <class Work>
HRESULT RunOnInvoker(IvxCrRemoteServicesSync* invoker, Work& work)
{
    struct Trampoline
    {
        static HRESULT __stdcall Run(void* data)
        {
            try {
                return (*static_cast<Work*>(data))();
            } catch (...) {
                return E_UNEXPECTED;
            }
        }
    };
    if (!invoker)
        return Trampoline::Run(&work);
    return invoker->RunSynchronously(&Trampoline::Run, &work);
}
