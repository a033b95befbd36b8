#pragma once
// The COM side of a quick-browser object: class Derived (final) derives from
// QuickBrowserObjectCom<Derived, Impl, Entries...>, where Impl is its chain
// of operations (CCrQuickBrowserObject_Base and below) and Entries are the
// interfaces it answers besides IvxCrQuickBrowserObject. Every interface
// method runs its operation on the renderer thread (RendererCall.h) and is a
// COM boundary. All dual interfaces share one DISPID space.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "openapphook/MultiDispatch.h"
#include "platform/com/ComBoundary.h"
#include "quickbrowser/objects/QuickBrowserObjectBase.h"
#include "quickbrowser/objects/RendererCall.h"

namespace vxCrQuickBrowser {

template <class Derived, class Impl, class... Entries>
class QuickBrowserObjectCom
    : public Impl,
      public vxOpenAppHook::CMultiDispatchObject<
          Derived, vxOpenAppHook::IDispatchMultiImpl<Derived, IvxCrQuickBrowserObject>, Entries...>
{
    using ComBase = vxOpenAppHook::CMultiDispatchObject<
        Derived, vxOpenAppHook::IDispatchMultiImpl<Derived, IvxCrQuickBrowserObject>, Entries...>;

public:
    // One IUnknown for every base, the operations' chain included.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) noexcept override
    try {
        return ComBase::QueryInterface(riid, ppv);
    }
    VX_COM_CATCH
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ComBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() noexcept override { return ComBase::Release(); }

    // IvxCrQuickBrowserObject
    STDMETHODIMP GetThisInformation(VARIANT* value) noexcept override
    try {
        return OnRenderer([&] { return Impl::GetThisInformation(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetThisLightInformation(VARIANT* value) noexcept override
    try {
        return OnRenderer([&] { return Impl::GetThisLightInformation(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetChildrenInformation(VARIANT* value) noexcept override
    try {
        return OnRenderer([&] { return Impl::GetChildrenInformation(value); });
    }
    VX_COM_CATCH
    STDMETHODIMP GetExists(VARIANT_BOOL* value) noexcept override
    try {
        return OnRenderer([&] { return Impl::GetExists(value); });
    }
    VX_COM_CATCH

    IDispatch* ObjectDispatch() noexcept override
    {
        return static_cast<IvxCrQuickBrowserObject*>(static_cast<Derived*>(this));
    }

protected:
    QuickBrowserObjectCom() noexcept = default;
    ~QuickBrowserObjectCom() override { Impl::ReleaseHeld(); }

    vx::com::WeaklyHeldObject* WeakSelf() noexcept override { return this; }

    void* QueryExtraInterface(REFIID riid) override
    {
        if (IsEqualIID(riid, __uuidof(CCrQuickBrowserObject_Base)))
            return static_cast<CCrQuickBrowserObject_Base*>(this);
        return ComBase::QueryExtraInterface(riid);
    }

    // Runs `work` on the renderer thread; E_UNEXPECTED once the object has
    // let its accessor go.
    template <class Work>
    HRESULT OnRenderer(Work&& work)
    {
        CCrRawBrowserHelper* accessor = Impl::Accessor();
        if (!accessor)
            return E_UNEXPECTED;
        return RunOnRenderer(accessor, work);
    }
};

// Makes an object of class T on `node` (borrowed) under `parentWindow`; on
// success `object` holds the only reference.
template <class T>
HRESULT CreateQuickBrowserObject(CCrRawBrowserHelper* accessor, NodeImpl* node,
                                 IvxCrQuickBrowserObject_Window* parentWindow, Microsoft::WRL::ComPtr<T>& object)
{
    HRESULT hr = vx::com::CreateComObject(object);
    if (FAILED(hr))
        return hr;
    hr = object->Init(accessor, node, parentWindow);
    if (FAILED(hr))
        object.Reset();
    return hr;
}

} // namespace vxCrQuickBrowser
