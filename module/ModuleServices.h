#pragma once
#include <windows.h>
#include <wrl/client.h>

#include "generated/ovComHelp.h"
#include "openapphook/StubManager.h"
#include "platform/com/CriticalSection.h"

// Process-wide services of the library, created with its static objects:
// - the module lock, which guards the module singleton, its notifier lists
//   and every unload broadcast (recursive, so a notifier may unsubscribe
//   from inside its callback);
// - the library-wide stub manager through which objects are handed to other
//   apartments and processes, shut down once at detach.
class ModuleServicesHolder
{
public:
    static ModuleServicesHolder& Instance();

    vx::com::CriticalSection& ModuleLock() noexcept { return moduleLock_; }

    // The stub manager; null once it was shut down.
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> StubManager();
    bool StubManagerAlive();
    // Disconnects everything registered (at most about a second) and releases
    // the manager; later calls do nothing.
    void ShutdownStubManager();

    // The synchronous invoker: a separate invoker thread of the COM utility
    // module, created on first use and then kept. Fails (nothing kept) when
    // the module cannot give one.
    HRESULT SynchronousInvoker(Microsoft::WRL::ComPtr<IovInvoker>& invoker);
    // Process detach: hands the invoker back to the COM utility module (its
    // thread ends) and forgets it.
    void ReleaseSynchronousInvoker();

private:
    ModuleServicesHolder();

    vx::com::CriticalSection moduleLock_;
    vx::com::CriticalSection stubLock_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    bool stubManagerAlive_ = false;
    vx::com::CriticalSection invokerLock_;
    Microsoft::WRL::ComPtr<IovInvoker> synchronousInvoker_;
};
