#pragma once
// The listener a control test object hands to its quick-browser object: one
// for all of the object's event subscriptions. The renderer calls its OnEvent
// with a subscription's cookie; it passes the cookie on to its owner while
// the owner holds it, and ignores events once the owner let go.
#include <windows.h>
#include <oaidl.h>

#include "generated/vxCrHook.h"
#include "openapphook/MultiDispatch.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComBoundary.h"

namespace vxCrTestObjects {

class CCrQuickListener final
    : public vxOpenAppHook::CMultiDispatchObject<
          CCrQuickListener,
          vxOpenAppHook::IDispatchMultiImpl<CCrQuickListener, IvxCrQuickBrowserObjectClient_EventListener>>
{
public:
    // `ownerObject` is the owner as the stub manager sees it (for a reference
    // that fails once the owner is being destroyed); `owner` its listener
    // part. Neither is counted: the owner detaches before it goes.
    static HRESULT Create(vxOpenAppHook::IStubManager* stubManager, vx::com::WeaklyHeldObject* ownerObject,
                          IvxCrCustomControlsNodeEventListener* owner,
                          Microsoft::WRL::ComPtr<CCrQuickListener>& listener);

    // Forgets the owner; later events are ignored.
    void Detach() noexcept;

    // IvxCrQuickBrowserObjectClient_EventListener
    STDMETHODIMP OnEvent(ULONGLONG cookie) noexcept override;

    CCrQuickListener() noexcept = default;

protected:
    ~CCrQuickListener() override = default;

private:
    vx::com::CriticalSection lock_;
    vx::com::WeaklyHeldObject* ownerObject_ = nullptr;
    IvxCrCustomControlsNodeEventListener* owner_ = nullptr;
    vxOpenAppHook::StubRegistration registration_;
};

} // namespace vxCrTestObjects
