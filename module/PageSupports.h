#pragma once
// The support objects through which the browser module answers the engine
// about Chrome's windows and pages: the root (every page of the browser),
// the windows the hook claims and the pages they show, and the children,
// controls, object at a point and focused object of pages and elements.
// Each holds the module until its IvxCrExtender::Shutdown; every answer is
// VARIANT_FALSE (not handled) rather than a failure.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include "generated/vxCrHook.h"
#include "generated/vxOpenAppServices.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/ComObject.h"
#include "module/SupportBase.h"

// What the three page supports share: IvxModuleObjects, whose first method
// none of them handles.
template <class Derived, class... Interfaces>
class PageSupportBase : public SupportBase<Derived, IvxModuleObjects, Interfaces...>
{
public:
    using SupportBase<Derived, IvxModuleObjects, Interfaces...>::SupportBase;

    STDMETHODIMP_(VARIANT_BOOL) HandlesObject(VARIANT) noexcept override
    try {
        return VARIANT_FALSE;
    }
    VX_COM_CATCH_RETURN(VARIANT_FALSE)
};

// IvxModuleObjects: the Tree-model page of every tab, for the engine's root.
class CCrRootSupport final : public PageSupportBase<CCrRootSupport>
{
public:
    using PageSupportBase::PageSupportBase;

    // `parent` is the engine's flag: set (true or non-zero) means no pages.
    STDMETHODIMP_(VARIANT_BOOL) GetObjects(VARIANT parent, VARIANT* objects) noexcept override;
};

// IvxModuleWindows: window objects for Chrome's render widget host and
// compositor host windows; IvxModuleObjects: the DOM-model page of the tab
// a renderer window object shows.
class CCrWindowSupport final : public PageSupportBase<CCrWindowSupport, IvxModuleWindows>
{
public:
    using PageSupportBase::PageSupportBase;

    STDMETHODIMP_(VARIANT_BOOL) GetObjectFromWindow(LONG_PTR window, IDispatch** object) noexcept override;
    STDMETHODIMP_(VARIANT_BOOL) GetWindowFromObject(IDispatch* object, LONG_PTR* window) noexcept override;
    STDMETHODIMP_(VARIANT_BOOL) GetObjects(VARIANT parent, VARIANT* objects) noexcept override;
};

// IvxModuleObjects: the children of a page or element test object;
// IvxModuleControls: which objects are controls, and the object at a point
// and the focused object of a tab window (Tree model).
class CCrPageSupport final : public PageSupportBase<CCrPageSupport, IvxModuleControls>
{
public:
    using PageSupportBase::PageSupportBase;

    STDMETHODIMP_(VARIANT_BOOL) GetObjects(VARIANT parent, VARIANT* objects) noexcept override;
    STDMETHODIMP_(VARIANT_BOOL) IsControl(IDispatch* object) noexcept override;
    STDMETHODIMP_(VARIANT_BOOL)
    GetObjectFromPoint(IDispatch* windowObject, LONG x, LONG y, LONG_PTR* window, IDispatch** object) noexcept override;
    STDMETHODIMP_(VARIANT_BOOL)
    GetFocusedObject(IDispatch* windowObject, LONG_PTR* window, IDispatch** object) noexcept override;

private:
    // The object at (x, y) (screen) or the focused object of the tab whose
    // window the window object covers.
    VARIANT_BOOL ObjectOfTabWindow(IDispatch* windowObject, const POINT* point, LONG_PTR* window, IDispatch** object);
};
