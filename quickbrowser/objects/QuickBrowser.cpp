#include "quickbrowser/objects/QuickBrowser.h"

#include "quickbrowser/objects/DomObjects.h"
#include "quickbrowser/objects/ObjectSearch.h"
#include "quickbrowser/objects/RendererCall.h"

using Microsoft::WRL::ComPtr;
using vxWebFw::NodeHandle;

namespace vxCrQuickBrowser {

namespace {

constexpr LONG kDomObjectModel = 0;

// The page object on the renderer's top window: E_FAIL without one.
HRESULT MakePageObject(CCrRawBrowserHelper* accessor, ComPtr<CCrQuickBrowserObject_Page>& page)
{
    NodeHandle window(accessor);
    HRESULT hr = accessor->GetWindowNode(window.Out());
    if (FAILED(hr))
        return hr;
    if (!window)
        return E_FAIL;
    return CreateQuickBrowserObject(accessor, window.Get(), nullptr, page);
}

} // namespace

HRESULT CCrQuickBrowser::Init(CCrRawBrowserHelper* accessor)
{
    if (!accessor)
        return E_POINTER;
    accessor_ = accessor;
    return registration_.Register(accessor->GetStubManager(), this);
}

STDMETHODIMP CCrQuickBrowser::UpdateOption(BSTR optionKey, VARIANT optionValue) noexcept
try {
    if (!accessor_)
        return E_UNEXPECTED;
    // A key that is no GUID string is the caller's error. An unknown GUID is
    // ignored, and a value the record refuses (of the wrong kind, an object
    // model out of range) leaves the old one: both are answered with success,
    // as the browser process pushes every option it has without knowing
    // which ones this renderer reads.
    GUID key;
    HRESULT hr = CLSIDFromString(optionKey ? optionKey : const_cast<LPOLESTR>(L""), &key);
    if (FAILED(hr))
        return hr;
    accessor_->Options().UpdateOption(optionKey, optionValue);
    return S_OK;
}
VX_COM_CATCH

STDMETHODIMP CCrQuickBrowser::GetInBrowserWindow(ULONG* value) noexcept
try {
    if (!value)
        return E_POINTER;
    *value = 0;
    if (!accessor_)
        return E_UNEXPECTED;
    CCrRawBrowserHelper* accessor = accessor_.Get();
    return RunOnRenderer(accessor, [&] {
        *value = static_cast<ULONG>(accessor->GetBrowserWindow());
        return S_OK;
    });
}
VX_COM_CATCH

template <class Work>
HRESULT CCrQuickBrowser::WithPageObject(VARIANT* value, Work&& work)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (!accessor_)
        return E_UNEXPECTED;
    CCrRawBrowserHelper* accessor = accessor_.Get();
    return RunOnRenderer(accessor, [&] {
        ComPtr<CCrQuickBrowserObject_Page> page;
        HRESULT hr = MakePageObject(accessor, page);
        if (FAILED(hr))
            return hr;
        return work(accessor, *page.Get());
    });
}

STDMETHODIMP CCrQuickBrowser::GetPageObjectInformation(VARIANT* value) noexcept
try {
    return WithPageObject(
        value, [&](CCrRawBrowserHelper*, CCrQuickBrowserObject_Page& page) { return page.GetThisInformation(value); });
}
VX_COM_CATCH

HRESULT CCrQuickBrowser::SearchedObjectInformation(bool atPoint, LONG x, LONG y, VARIANT* value)
{
    return WithPageObject(value, [&](CCrRawBrowserHelper* accessor, CCrQuickBrowserObject_Page& page) {
        const bool domModel = accessor->Options().ObjectModel() == kDomObjectModel;
        ComPtr<CCrQuickBrowserObject_Base> found;
        IvxCrQuickBrowserObject_Window* window = page.AsWindow();
        HRESULT hr = S_OK;
        if (atPoint)
            hr = domModel ? DomObjectFromPoint(accessor, window, x, y, found)
                          : TreeObjectFromPoint(accessor, window, x, y, found);
        else
            hr = domModel ? DomFocusedObject(accessor, window, found) : TreeFocusedObject(accessor, window, found);
        // Nothing found (the search's own failure included) answers the page.
        if (FAILED(hr) || !found)
            return page.GetThisLightInformation(value);
        return found->GetThisLightInformation(value);
    });
}

STDMETHODIMP CCrQuickBrowser::GetObjectInformationFromPointOnTopViewport(LONG x, LONG y, VARIANT* value) noexcept
try {
    return SearchedObjectInformation(true, x, y, value);
}
VX_COM_CATCH

STDMETHODIMP CCrQuickBrowser::GetFocusedObjectInformation(VARIANT* value) noexcept
try {
    return SearchedObjectInformation(false, 0, 0, value);
}
VX_COM_CATCH

} // namespace vxCrQuickBrowser
