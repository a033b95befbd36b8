#include "openapphook/StubManager.h"

#include <objbase.h>

#include <vector>

#include "openapphook/ExceptionGuard.h"
#include "platform/com/UniqueHandle.h"

namespace vxOpenAppHook {

using vx::com::CriticalSectionLock;

namespace {

constexpr DWORD DisconnectTimeLimitMs = 1000;
constexpr DWORD PassIntervalMs = 50;
// Names the disconnect pass in a fault report.
constexpr wchar_t kDisconnectOperationId[] = L"47F47252-FB72-4523-9E91-F8491DA6F78A";

// Dispatches pending COM calls and messages once, without waiting.
void PumpPendingCalls()
{
    vx::com::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return;
    HANDLE handle = event.Get();
    DWORD index = 0;
    CoWaitForMultipleHandles(0, 0, 1, &handle, &index);
}

} // namespace

CStubManager::~CStubManager()
{
    DisconnectAll();
}

void CStubManager::RegisterStub(IUnknown* object)
{
    CriticalSectionLock guard(lock_);
    objects_.insert(object);
}

void CStubManager::UnregisterStub(IUnknown* object)
{
    CriticalSectionLock guard(lock_);
    objects_.erase(object);
}

size_t CStubManager::Count() const
{
    CriticalSectionLock guard(lock_);
    return objects_.size();
}

bool CStubManager::IsRegistered(IUnknown* object) const
{
    CriticalSectionLock guard(lock_);
    return objects_.count(object) != 0;
}

void CStubManager::DisconnectPass()
{
    // Markers for a product debugger attached to the process: disconnecting
    // raises first-chance exceptions it should not report.
    OutputDebugStringA("OVL_INTERNAL_DISABLE_EXCEPTION");
    std::vector<IUnknown*> snapshot;
    {
        CriticalSectionLock guard(lock_);
        snapshot.assign(objects_.begin(), objects_.end());
    }
    for (IUnknown* object : snapshot) {
        if (!IsRegistered(object))
            continue;
        // The registry holds no references: an object released by another
        // thread after the check above would make this call fault, which the
        // guard turns into a failure instead of a crash of the process.
        HRESULT hr = RunGuarded(kDisconnectOperationId, [object]() { return CoDisconnectObject(object, 0); });
        // An object that cannot be disconnected is dropped from the registry
        // instead of being retried forever.
        if (hr != S_OK)
            UnregisterStub(object);
    }
    OutputDebugStringA("OVL_INTERNAL_ENABLE_EXCEPTION");
}

void CStubManager::DisconnectAll()
{
    size_t remaining = Count();
    const DWORD start = GetTickCount();
    DWORD now = start;
    while (remaining != 0 && now - start <= DisconnectTimeLimitMs) {
        DisconnectPass();
        PumpPendingCalls();
        remaining = Count();
        if (remaining != 0) {
            Sleep(PassIntervalMs);
            now = GetTickCount();
        }
    }
}

} // namespace vxOpenAppHook
