#pragma once
// Window test objects: what the engine gets for the two Chrome windows the
// hook claims, the render widget host window that shows a tab's page and the
// compositor host window laid over it. Through such an object the engine
// reaches the page of the tab the window shows.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "generated/vxCrHook.h"
#include "generated/vxOpenAppServices.h"
#include "openapphook/MultiDispatch.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"

class CCrHookObject_WindowBase
    : public vxOpenAppHook::CMultiDispatchObject<CCrHookObject_WindowBase,
                                                 vxOpenAppHook::IDispatchMultiImpl<CCrHookObject_WindowBase, IvxObject>,
                                                 IvxObjectInternal, IvxCrRendererWindowProvider>
{
public:
    // A renderer window object for a Chrome_RenderWidgetHostHWND, a
    // compositor host object for a CompositorHostWindowClass window; false
    // for any other window (and when the object cannot be made).
    static bool CreateForWindow(HWND window, vxOpenAppHook::CStubManager* stubManager,
                                Microsoft::WRL::ComPtr<IDispatch>& object);

    // IvxObject
    STDMETHODIMP GetIdentifierString(BSTR* identifier) noexcept override;
    STDMETHODIMP GetNativeObject(IDispatch** nativeObject) noexcept override;
    STDMETHODIMP GetNativePropertyName(BSTR* propertyName) noexcept override;
    STDMETHODIMP GetExists(VARIANT_BOOL* exists) noexcept override;
    STDMETHODIMP GetMoniker(BSTR* moniker) noexcept override;
    STDMETHODIMP GetCreationValue(LONG* creationValue) noexcept override;

    // IvxObjectInternal: the module's stub manager.
    STDMETHODIMP GetInternalObject(IUnknown** internalObject) noexcept override;

    // IvxCrRendererWindowProvider
    STDMETHODIMP_(BOOL) IsRendererWindow() noexcept override;
    STDMETHODIMP_(HWND) GetRenderWidgetWindow() noexcept override;
    STDMETHODIMP_(HWND) GetWindowHandle() noexcept override;

protected:
    explicit CCrHookObject_WindowBase(bool rendererWindow) noexcept : rendererWindow_(rendererWindow) {}
    ~CCrHookObject_WindowBase() override = default;

private:
    template <class T>
    static bool CreateAs(HWND window, vxOpenAppHook::CStubManager* stubManager,
                         Microsoft::WRL::ComPtr<IDispatch>& object);
    HRESULT Initialize(HWND window, vxOpenAppHook::CStubManager* stubManager);

    const bool rendererWindow_;
    HWND window_ = nullptr;
    vx::com::BStr name_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    vxOpenAppHook::StubRegistration registration_;
};

class CCrHookObject_RendererWindow final : public CCrHookObject_WindowBase
{
public:
    CCrHookObject_RendererWindow() noexcept : CCrHookObject_WindowBase(true) {}
};

class CCrHookObject_CompositorHostWindow final : public CCrHookObject_WindowBase
{
public:
    CCrHookObject_CompositorHostWindow() noexcept : CCrHookObject_WindowBase(false) {}
};
