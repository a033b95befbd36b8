#pragma once
#include <unknwn.h>

#include <unordered_set>

#include "platform/com/ComObject.h"

namespace vxOpenAppHook {

// {6C0B9E27-4D3A-4F85-9A1E-2B7C5D8E0F41}: the manager's own interface, so
// holders can keep it as a COM reference.
MIDL_INTERFACE("6C0B9E27-4D3A-4F85-9A1E-2B7C5D8E0F41")
IStubManager : public IUnknown
{
    virtual void STDMETHODCALLTYPE RegisterStub(IUnknown* object) = 0;
    virtual void STDMETHODCALLTYPE UnregisterStub(IUnknown* object) = 0;
};

// Registry of the objects that other apartments or processes may hold: at
// shutdown each one is disconnected from its remote clients, so that no
// proxy can call into the library after it stopped. Registered pointers are
// not reference-counted: objects unregister themselves when they die.
class CStubManager : public vx::com::ComObject<CStubManager, IStubManager>
{
public:
    void STDMETHODCALLTYPE RegisterStub(IUnknown* object) override;
    void STDMETHODCALLTYPE UnregisterStub(IUnknown* object) override;

    size_t Count() const;
    bool IsRegistered(IUnknown* object) const;

    // Disconnects every registered object, pumping pending COM calls between
    // passes, until none remains or about a second has passed.
    void DisconnectAll();
    // One disconnect of every registered object, without waiting for them to
    // go (objects still held stay registered for a later DisconnectAll).
    void DisconnectPass();

protected:
    ~CStubManager() override;

private:

    mutable vx::com::CriticalSection lock_;
    std::unordered_set<IUnknown*> objects_;
};

} // namespace vxOpenAppHook

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(vxOpenAppHook::IStubManager, 0x6C0B9E27, 0x4D3A, 0x4F85, 0x9A, 0x1E, 0x2B, 0x7C, 0x5D, 0x8E, 0x0F, 0x41)
#endif
