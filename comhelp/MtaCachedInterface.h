#pragma once
// An interface registered in the global interface table that is also kept,
// once fetched there by a thread of the multi-threaded apartment, for every
// later caller in that apartment. Any thread of the MTA may call a pointer
// obtained in the MTA, so those callers skip the table. That matters for
// remote objects: each fetch of one from the table in an apartment that
// holds no proxy of it builds a new proxy, which costs a round trip to the
// other process to take a reference and another to give it back when the
// caller lets go, around every single call.
//
// Callers in other apartments fetch from the table as before. The kept
// pointer is released in the MTA: directly on an MTA thread, otherwise
// through the COM utility module's MTA invoker.
//
// Fetch may run on any number of threads at once; Register and Reset (and
// the destructor) must not run while another thread fetches.
#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <atomic>

#include "comhelp/GlobalInterfaceCookie.h"

class MtaCachedInterface
{
public:
    MtaCachedInterface() noexcept = default;
    ~MtaCachedInterface() { Reset(); }
    MtaCachedInterface(const MtaCachedInterface&) = delete;
    MtaCachedInterface& operator=(const MtaCachedInterface&) = delete;

    // Registers `object` under `iid` (replacing what was held); a null
    // object leaves the holder empty and succeeds.
    HRESULT Register(IUnknown* object, REFIID iid);
    // The interface for the calling thread; E_FAIL when empty.
    HRESULT Fetch(REFIID iid, void** object) const;
    template <class I>
    HRESULT Fetch(Microsoft::WRL::ComPtr<I>& object) const
    {
        return Fetch(__uuidof(I), reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
    }

    bool Empty() const noexcept { return registration_.Empty(); }
    void Reset() noexcept;

    // Whether the calling thread belongs to the multi-threaded apartment
    // (explicitly or implicitly).
    static bool CallerInMta() noexcept;

private:
    GlobalInterfaceCookie registration_;
    mutable std::atomic<IUnknown*> keptForMta_{nullptr}; // one reference, owned
};
