#include "openapphook/StubManager.h"

#include <objbase.h>

#include <utility>
#include <vector>

#include "openapphook/ExceptionGuard.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/UniqueHandle.h"

namespace vxOpenAppHook {

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace {

// Names the disconnect pass in a fault report.
constexpr wchar_t kDisconnectOperationId[] = L"47F47252-FB72-4523-9E91-F8491DA6F78A";

// Dispatches pending COM calls and messages once, without waiting.
void PumpPendingCalls() noexcept
{
    vx::com::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return;
    HANDLE handle = event.Get();
    DWORD index = 0;
    CoWaitForMultipleHandles(0, 0, 1, &handle, &index);
}

// A registered object taken for one disconnect: the reference keeps it alive
// until the call is done.
struct HeldStub
{
    ComPtr<IUnknown> object;
    vx::com::WeaklyHeldObject* registered = nullptr;
};

} // namespace

CStubManager::~CStubManager()
{
    DisconnectAll();
}

HRESULT CStubManager::RegisterStub(vx::com::WeaklyHeldObject* object) noexcept
try {
    if (!object)
        return E_POINTER;
    IUnknown* identity = object->CanonicalUnknown();
    CriticalSectionLock guard(lock_);
    objects_[identity] = object;
    return S_OK;
}
VX_COM_CATCH

void CStubManager::UnregisterStub(vx::com::WeaklyHeldObject* object) noexcept
try {
    if (!object)
        return;
    IUnknown* identity = object->CanonicalUnknown();
    CriticalSectionLock guard(lock_);
    auto found = objects_.find(identity);
    if (found != objects_.end() && found->second == object)
        objects_.erase(found);
}
VX_COM_CATCH_VOID

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

void CStubManager::SetTiming(const StubManagerTiming& timing) noexcept
{
    CriticalSectionLock guard(lock_);
    timing_ = timing;
}

StubManagerTiming CStubManager::Timing() const noexcept
{
    CriticalSectionLock guard(lock_);
    return timing_;
}

void CStubManager::DisconnectPass() noexcept
{
    std::vector<HeldStub> held;
    try {
        CriticalSectionLock guard(lock_);
        held.reserve(objects_.size());
        for (const auto& [identity, object] : objects_) {
            // An object whose count reached zero is being destroyed on
            // another thread and leaves the registry by itself.
            if (object->TryAddRef()) {
                held.emplace_back();
                held.back().object.Attach(identity);
                held.back().registered = object;
            }
        }
    } catch (...) {
        // Out of memory for the list: nothing is disconnected in this pass
        // (the references taken so far are given back below).
    }
    // Markers for a product debugger attached to the process: disconnecting
    // raises first-chance exceptions it should not report.
    OutputDebugStringA("OVL_INTERNAL_DISABLE_EXCEPTION");
    for (HeldStub& stub : held) {
        vx::com::WeaklyHeldObject* object = stub.registered;
        // The object is held, so the call cannot reach freed memory; the
        // guard is left for faults inside the object's own marshaler.
        HRESULT hr = RunGuarded(kDisconnectOperationId, [object]() { return object->DisconnectRemoteClients(); });
        // An object that cannot be disconnected is dropped from the registry
        // instead of being retried forever.
        if (hr != S_OK)
            UnregisterStub(stub.registered);
    }
    OutputDebugStringA("OVL_INTERNAL_ENABLE_EXCEPTION");
    // Giving the references back may destroy objects; they unregister
    // themselves, which takes the lock again: it is not held here.
    held.clear();
}

void CStubManager::DisconnectAll() noexcept
{
    const StubManagerTiming timing = Timing();
    size_t remaining = Count();
    const DWORD start = GetTickCount();
    DWORD now = start;
    while (remaining != 0 && now - start <= timing.disconnectLimitMs) {
        DisconnectPass();
        PumpPendingCalls();
        remaining = Count();
        if (remaining != 0) {
            Sleep(timing.passIntervalMs);
            now = GetTickCount();
        }
    }
}

HRESULT StubRegistration::Register(IStubManager* manager, vx::com::WeaklyHeldObject* object) noexcept
{
    Reset();
    if (!manager)
        return S_OK;
    if (!object)
        return E_POINTER;
    HRESULT hr = manager->RegisterStub(object);
    if (FAILED(hr))
        return hr;
    ComPtr<IStubManager> replaced;
    {
        CriticalSectionLock guard(lock_);
        replaced = std::exchange(manager_, ComPtr<IStubManager>(manager));
        std::swap(object_, object);
    }
    // A registration made by another thread meanwhile is given up.
    if (replaced)
        replaced->UnregisterStub(object);
    return S_OK;
}

void StubRegistration::Reset() noexcept
{
    ComPtr<IStubManager> manager;
    vx::com::WeaklyHeldObject* object = nullptr;
    {
        CriticalSectionLock guard(lock_);
        manager.Swap(manager_);
        std::swap(object, object_);
    }
    if (manager)
        manager->UnregisterStub(object);
}

bool StubRegistration::IsRegistered() const noexcept
{
    CriticalSectionLock guard(lock_);
    return manager_ != nullptr;
}

} // namespace vxOpenAppHook
