#include "module/PageSupports.h"

#include <vector>

#include "module/CrHookModule.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/Variant.h"
#include "services/ChromeWindowObjects.h"
#include "testobjects/TestObjectList.h"

using Microsoft::WRL::ComPtr;
using vx::com::CriticalSectionLock;

namespace {

// A VT_ARRAY | VT_DISPATCH of `objects`; false when there are none or the
// array cannot be made.
template <class Itf>
bool MakeObjectArray(const std::vector<ComPtr<Itf>>& objects, VARIANT* result)
{
    if (objects.empty())
        return false;
    SAFEARRAY* array = SafeArrayCreateVector(VT_DISPATCH, 0, static_cast<ULONG>(objects.size()));
    if (!array)
        return false;
    for (LONG i = 0; i < static_cast<LONG>(objects.size()); ++i) {
        ComPtr<IDispatch> dispatch;
        if (FAILED(objects[i].As(&dispatch)) || FAILED(SafeArrayPutElement(array, &i, dispatch.Get()))) {
            SafeArrayDestroy(array);
            return false;
        }
    }
    V_VT(result) = VT_ARRAY | VT_DISPATCH;
    V_ARRAY(result) = array;
    return true;
}

// The object a VARIANT carries (VT_DISPATCH or VT_UNKNOWN), asked for Itf.
template <class Itf>
ComPtr<Itf> ObjectOf(const VARIANT& value)
{
    ComPtr<Itf> object;
    IUnknown* unknown = nullptr;
    if (V_VT(&value) == VT_DISPATCH)
        unknown = V_DISPATCH(&value);
    else if (V_VT(&value) == VT_UNKNOWN)
        unknown = V_UNKNOWN(&value);
    if (unknown)
        unknown->QueryInterface(IID_PPV_ARGS(&object));
    return object;
}

VARIANT_BOOL Answer(bool handled)
{
    return handled ? VARIANT_TRUE : VARIANT_FALSE;
}

// The test object's IDispatch for an out parameter.
bool HandOut(IUnknown* object, IDispatch** out)
{
    return object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(out)));
}

} // namespace

// ------------------------------------------------------------ root

VARIANT_BOOL CCrRootSupport::GetObjects(VARIANT parent, VARIANT* objects) noexcept
try {
    if (!objects)
        return VARIANT_FALSE;
    VariantInit(objects);
    // Only the engine's root (no object, the flag clear) gets the pages.
    if (V_VT(&parent) == VT_DISPATCH || V_VT(&parent) == VT_UNKNOWN)
        return VARIANT_FALSE;
    if (V_VT(&parent) != VT_EMPTY && V_VT(&parent) != VT_NULL) {
        vx::com::Variant flag;
        if (FAILED(VariantChangeType(flag.Get(), &parent, 0, VT_BOOL)) || V_BOOL(flag.Get()) != VARIANT_FALSE)
            return VARIANT_FALSE;
    }
    ComPtr<CCrHookModule> module = link_.Module();
    if (!module)
        return VARIANT_FALSE;
    std::vector<ComPtr<IvxObject>> pages;
    for (const ComPtr<CCrHookTab>& tab : module->CopyTabs()) {
        ComPtr<IvxObject> page;
        if (SUCCEEDED(tab->GetPageTestObject(true, page)))
            pages.push_back(std::move(page));
    }
    return Answer(MakeObjectArray(pages, objects));
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

// ------------------------------------------------------------ windows

VARIANT_BOOL CCrWindowSupport::GetObjectFromWindow(LONG_PTR window, IDispatch** object) noexcept
try {
    if (!object)
        return VARIANT_FALSE;
    *object = nullptr;
    ComPtr<CCrHookModule> module = link_.Module();
    if (!module)
        return VARIANT_FALSE;
    ComPtr<IDispatch> created;
    if (!CCrHookObject_WindowBase::CreateForWindow(reinterpret_cast<HWND>(window), module->StubManager().Get(),
                                                   created))
        return VARIANT_FALSE;
    *object = created.Detach();
    return VARIANT_TRUE;
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

VARIANT_BOOL CCrWindowSupport::GetWindowFromObject(IDispatch* object, LONG_PTR* window) noexcept
try {
    if (!object || !window)
        return VARIANT_FALSE;
    ComPtr<IvxCrRendererWindowProvider> provider;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&provider))))
        return VARIANT_FALSE;
    *window = reinterpret_cast<LONG_PTR>(provider->GetWindowHandle());
    return VARIANT_TRUE;
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

VARIANT_BOOL CCrWindowSupport::GetObjects(VARIANT parent, VARIANT* objects) noexcept
try {
    if (!objects)
        return VARIANT_FALSE;
    VariantInit(objects);
    ComPtr<IvxCrRendererWindowProvider> provider = ObjectOf<IvxCrRendererWindowProvider>(parent);
    if (!provider || !provider->IsRendererWindow())
        return VARIANT_FALSE;
    HWND window = provider->GetWindowHandle();
    ComPtr<CCrHookModule> module = link_.Module();
    if (!window || !module)
        return VARIANT_FALSE;
    ComPtr<CCrHookTab> tab = module->FindTabByWindow(window);
    ComPtr<IvxObject> page;
    if (!tab || FAILED(tab->GetPageTestObject(false, page)))
        return VARIANT_FALSE;
    return Answer(MakeObjectArray(std::vector<ComPtr<IvxObject>>{page}, objects));
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

// ------------------------------------------------------------ pages

VARIANT_BOOL CCrPageSupport::GetObjects(VARIANT parent, VARIANT* objects) noexcept
try {
    if (!objects)
        return VARIANT_FALSE;
    VariantInit(objects);
    ComPtr<IvxCrBrowserObject> browserObject = ObjectOf<IvxCrBrowserObject>(parent);
    if (!browserObject)
        return VARIANT_FALSE;
    VxCrTestObjectList list;
    if (FAILED(browserObject->GetChildObjects(&list)))
        return VARIANT_FALSE;
    return Answer(MakeObjectArray(list.objects, objects));
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

VARIANT_BOOL CCrPageSupport::IsControl(IDispatch* object) noexcept
try {
    ComPtr<IvxObjectControl> control;
    return Answer(object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&control))));
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

VARIANT_BOOL CCrPageSupport::GetObjectFromPoint(IDispatch* windowObject, LONG x, LONG y, LONG_PTR* window,
                                                IDispatch** object) noexcept
try {
    const POINT point = {x, y};
    return ObjectOfTabWindow(windowObject, &point, window, object);
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

VARIANT_BOOL CCrPageSupport::GetFocusedObject(IDispatch* windowObject, LONG_PTR* window, IDispatch** object) noexcept
try {
    return ObjectOfTabWindow(windowObject, nullptr, window, object);
}
VX_COM_CATCH_RETURN(VARIANT_FALSE)

VARIANT_BOOL CCrPageSupport::ObjectOfTabWindow(IDispatch* windowObject, const POINT* point, LONG_PTR* window,
                                               IDispatch** object)
{
    if (!windowObject || !window || !object)
        return VARIANT_FALSE;
    *object = nullptr;
    ComPtr<IvxCrRendererWindowProvider> provider;
    if (FAILED(windowObject->QueryInterface(IID_PPV_ARGS(&provider))))
        return VARIANT_FALSE;
    HWND renderWidget = provider->GetRenderWidgetWindow();
    RECT rectangle = {};
    if (!renderWidget || !GetWindowRect(renderWidget, &rectangle))
        return VARIANT_FALSE;
    ComPtr<CCrHookModule> module = link_.Module();
    ComPtr<CCrHookTab> tab = module ? module->FindTabByWindow(renderWidget) : nullptr;
    if (!tab)
        return VARIANT_FALSE;
    ComPtr<IvxObject> found;
    HRESULT hr = point ? tab->GetObjectAtPoint(point->x - rectangle.left, point->y - rectangle.top, found)
                       : tab->GetFocusedObject(found);
    // Without a renderer the page itself answers.
    if (FAILED(hr) && !tab->IsRendererConnected())
        hr = tab->GetPageTestObject(true, found);
    if (FAILED(hr) || !HandOut(found.Get(), object))
        return VARIANT_FALSE;
    *window = -1;
    return VARIANT_TRUE;
}
