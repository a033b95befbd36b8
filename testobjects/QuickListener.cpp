#include "testobjects/QuickListener.h"

namespace vxCrTestObjects {

HRESULT CCrQuickListener::Create(vxOpenAppHook::IStubManager* stubManager, vx::com::WeaklyHeldObject* ownerObject,
                                 IvxCrCustomControlsNodeEventListener* owner,
                                 Microsoft::WRL::ComPtr<CCrQuickListener>& listener)
{
    Microsoft::WRL::ComPtr<CCrQuickListener> created;
    HRESULT hr = vx::com::CreateComObject(created);
    if (FAILED(hr))
        return hr;
    created->ownerObject_ = ownerObject;
    created->owner_ = owner;
    hr = created->registration_.Register(stubManager, created.Get());
    if (FAILED(hr))
        return hr;
    listener = std::move(created);
    return S_OK;
}

void CCrQuickListener::Detach() noexcept
{
    vx::com::CriticalSectionLock guard(lock_);
    ownerObject_ = nullptr;
    owner_ = nullptr;
}

HRESULT CCrQuickListener::OnEvent(ULONGLONG cookie) noexcept
try {
    vx::com::WeaklyHeldObject* ownerObject = nullptr;
    IvxCrCustomControlsNodeEventListener* owner = nullptr;
    {
        vx::com::CriticalSectionLock guard(lock_);
        // The reference keeps the owner alive through the call; an owner
        // already on its way out gives none.
        if (ownerObject_ && ownerObject_->TryAddRef()) {
            ownerObject = ownerObject_;
            owner = owner_;
        }
    }
    if (!owner)
        return S_OK;
    owner->OnEvent(cookie);
    ownerObject->CanonicalUnknown()->Release();
    return S_OK;
}
VX_COM_CATCH

} // namespace vxCrTestObjects
