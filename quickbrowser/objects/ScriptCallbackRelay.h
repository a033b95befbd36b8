#pragma once
// The object the page's script calls when a subscribed DOM event fires: it
// passes the call on to the quick-browser object that subscribed, which it
// holds without a reference (the object owns its relays and cuts them off
// before it goes). A relay that was cut off drops every call.
#include "generated/vxCrHook.h"
#include "platform/com/ComObject.h"

namespace vxCrQuickBrowser {

class CScriptCallback0 final : public vx::com::ComObject<CScriptCallback0, IvxCrScriptCallback0>
{
public:
    // `owner` is the subscriber's callback interface, `ownerObject` the same
    // object as the stub manager knows it (to take a reference only while it
    // is alive).
    void Connect(IvxCrScriptCallback0* owner, vx::com::WeaklyHeldObject* ownerObject) noexcept;
    void Disconnect() noexcept;

    STDMETHODIMP Invoke(ULONGLONG cookie) noexcept override;

private:
    vx::com::CriticalSection lock_;
    IvxCrScriptCallback0* owner_ = nullptr;
    vx::com::WeaklyHeldObject* ownerObject_ = nullptr;
};

} // namespace vxCrQuickBrowser
