#include "quickbrowser/objects/ScriptCallbackRelay.h"

namespace vxCrQuickBrowser {

void CScriptCallback0::Connect(IvxCrScriptCallback0* owner, vx::com::WeaklyHeldObject* ownerObject) noexcept
{
    vx::com::CriticalSectionLock hold(lock_);
    owner_ = owner;
    ownerObject_ = ownerObject;
}

void CScriptCallback0::Disconnect() noexcept
{
    vx::com::CriticalSectionLock hold(lock_);
    owner_ = nullptr;
    ownerObject_ = nullptr;
}

STDMETHODIMP CScriptCallback0::Invoke(ULONGLONG cookie) noexcept
try {
    IvxCrScriptCallback0* owner = nullptr;
    {
        // A reference is taken only while the owner is alive: one that is
        // going already cuts its relays off under this lock.
        vx::com::CriticalSectionLock hold(lock_);
        if (owner_ && ownerObject_->TryAddRef())
            owner = owner_;
    }
    if (!owner)
        return S_OK;
    const HRESULT hr = owner->Invoke(cookie);
    // The reference taken above, given back through the object's IUnknown.
    owner->Release();
    return hr;
}
VX_COM_CATCH

} // namespace vxCrQuickBrowser
