#pragma once
#include <unknwn.h>

#include <unordered_map>

#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

// {6C0B9E27-4D3A-4F85-9A1E-2B7C5D8E0F41}: the manager's own interface, so
// holders can keep it as a COM reference.
MIDL_INTERFACE("6C0B9E27-4D3A-4F85-9A1E-2B7C5D8E0F41")
IStubManager : public IUnknown
{
    // Registers an object (by its canonical IUnknown); E_OUTOFMEMORY when the
    // registry cannot grow.
    virtual HRESULT STDMETHODCALLTYPE RegisterStub(vx::com::WeaklyHeldObject * object) = 0;
    virtual void STDMETHODCALLTYPE UnregisterStub(vx::com::WeaklyHeldObject * object) = 0;
};

// The waits of DisconnectAll, in milliseconds. Tests shorten them; the
// product uses the defaults.
struct StubManagerTiming
{
    DWORD disconnectLimitMs = 1000;
    DWORD passIntervalMs = 50;
};

// Registry of the objects that other apartments or processes may hold: at
// shutdown each one is disconnected from its remote clients, so that no
// proxy can call into the library after it stopped. The registry holds no
// references (objects unregister themselves when they die, see
// StubRegistration); to disconnect, it takes a reference to each object that
// is still alive, under its lock, and calls out only after leaving it.
class CStubManager : public vx::com::ComObject<CStubManager, IStubManager>
{
public:
    HRESULT STDMETHODCALLTYPE RegisterStub(vx::com::WeaklyHeldObject* object) noexcept override;
    void STDMETHODCALLTYPE UnregisterStub(vx::com::WeaklyHeldObject* object) noexcept override;

    size_t Count() const;
    bool IsRegistered(IUnknown* object) const;

    // Disconnects every registered object, pumping pending COM calls between
    // passes, until none remains or the time limit has passed.
    void DisconnectAll() noexcept;
    // One disconnect of every registered object, without waiting for them to
    // go (objects still held stay registered for a later DisconnectAll).
    void DisconnectPass() noexcept;

    void SetTiming(const StubManagerTiming& timing) noexcept;
    StubManagerTiming Timing() const noexcept;

protected:
    ~CStubManager() override;

private:
    mutable vx::com::CriticalSection lock_;
    // Canonical IUnknown -> the object, for taking references.
    std::unordered_map<IUnknown*, vx::com::WeaklyHeldObject*> objects_;
    StubManagerTiming timing_;
};

// An object's registration with a stub manager, as a member of the object:
// registers on Register, leaves the manager on Reset or when destroyed (as
// the object dies, while its memory is still there), and keeps the manager
// alive in between. Reset may be called from any thread, more than once.
class StubRegistration
{
public:
    StubRegistration() noexcept = default;
    ~StubRegistration() { Reset(); }
    StubRegistration(const StubRegistration&) = delete;
    StubRegistration& operator=(const StubRegistration&) = delete;

    // Registers `object` with `manager` (a null manager registers nothing
    // and succeeds). An earlier registration is dropped first.
    HRESULT Register(IStubManager* manager, vx::com::WeaklyHeldObject* object) noexcept;
    void Reset() noexcept;
    bool IsRegistered() const noexcept;

private:
    mutable vx::com::CriticalSection lock_;
    Microsoft::WRL::ComPtr<IStubManager> manager_;
    vx::com::WeaklyHeldObject* object_ = nullptr;
};

} // namespace vxOpenAppHook

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(vxOpenAppHook::IStubManager, 0x6C0B9E27, 0x4D3A, 0x4F85, 0x9A, 0x1E, 0x2B, 0x7C, 0x5D, 0x8E, 0x0F, 0x41)
#endif
