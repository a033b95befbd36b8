#include "services/ChromeWindowObjects.h"

#include <cwchar>

#include "platform/com/ComBoundary.h"
#include "services/ChromeWindowClasses.h"

using Microsoft::WRL::ComPtr;

template <class T>
bool CCrHookObject_WindowBase::CreateAs(HWND window, vxOpenAppHook::CStubManager* stubManager,
                                        ComPtr<IDispatch>& object)
{
    ComPtr<T> created;
    if (FAILED(vx::com::CreateComObject(created)))
        return false;
    if (FAILED(created->Initialize(window, stubManager)))
        return false;
    return SUCCEEDED(vx::com::QueryTo(created.Get(), object));
}

bool CCrHookObject_WindowBase::CreateForWindow(HWND window, vxOpenAppHook::CStubManager* stubManager,
                                               ComPtr<IDispatch>& object)
{
    object.Reset();
    if (IsRenderWidgetHostWindow(window))
        return CreateAs<CCrHookObject_RendererWindow>(window, stubManager, object);
    if (HasWindowClass(window, kChromeCompositorHostClass))
        return CreateAs<CCrHookObject_CompositorHostWindow>(window, stubManager, object);
    return false;
}

HRESULT CCrHookObject_WindowBase::Initialize(HWND window, vxOpenAppHook::CStubManager* stubManager)
{
    window_ = window;
    stubManager_ = stubManager;
    wchar_t name[48] = {};
    // The handle's value as a signed decimal number.
    std::swprintf(name, 48, L"ChromeWindow%d", static_cast<int>(reinterpret_cast<LONG_PTR>(window)));
    name_ = vx::com::BStr(name);
    if (!name_.Get())
        return E_OUTOFMEMORY;
    return registration_.Register(stubManager, this);
}

HRESULT CCrHookObject_WindowBase::GetIdentifierString(BSTR* identifier) noexcept
try {
    if (!identifier)
        return E_POINTER;
    *identifier = nullptr;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_WindowBase::GetNativeObject(IDispatch** nativeObject) noexcept
try {
    if (!nativeObject)
        return E_POINTER;
    *nativeObject = nullptr;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_WindowBase::GetNativePropertyName(BSTR* propertyName) noexcept
try {
    if (!propertyName)
        return E_POINTER;
    *propertyName = SysAllocString(L"NativeChromeObject");
    return *propertyName ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

HRESULT CCrHookObject_WindowBase::GetExists(VARIANT_BOOL* exists) noexcept
try {
    if (!exists)
        return E_POINTER;
    *exists = IsWindow(window_) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_WindowBase::GetMoniker(BSTR* moniker) noexcept
try {
    if (!moniker)
        return E_POINTER;
    *moniker = SysAllocStringLen(name_.Get(), name_.Length());
    return *moniker ? S_OK : E_OUTOFMEMORY;
}
VX_COM_CATCH

HRESULT CCrHookObject_WindowBase::GetCreationValue(LONG* creationValue) noexcept
try {
    if (!creationValue)
        return E_POINTER;
    *creationValue = 0;
    return S_OK;
}
VX_COM_CATCH

HRESULT CCrHookObject_WindowBase::GetInternalObject(IUnknown** internalObject) noexcept
try {
    if (!internalObject)
        return E_POINTER;
    *internalObject = stubManager_ ? stubManager_->Identity() : nullptr;
    if (*internalObject)
        (*internalObject)->AddRef();
    return S_OK;
}
VX_COM_CATCH

BOOL CCrHookObject_WindowBase::IsRendererWindow() noexcept
try {
    return rendererWindow_ ? TRUE : FALSE;
}
VX_COM_CATCH_RETURN(FALSE)

HWND CCrHookObject_WindowBase::GetRenderWidgetWindow() noexcept
try {
    if (rendererWindow_)
        return window_;
    // A compositor host window stands for the render widget host window it
    // covers exactly.
    if (!IsWindowVisible(window_))
        return nullptr;
    HWND renderWidget = FindRenderWidgetAncestor(window_);
    if (!renderWidget || !IsWindowVisible(renderWidget))
        return nullptr;
    RECT covered = {};
    RECT own = {};
    if (!GetWindowRect(renderWidget, &covered) || !GetWindowRect(window_, &own) || !EqualRect(&covered, &own))
        return nullptr;
    return renderWidget;
}
VX_COM_CATCH_RETURN(nullptr)

HWND CCrHookObject_WindowBase::GetWindowHandle() noexcept
try {
    return window_;
}
VX_COM_CATCH_RETURN(nullptr)
