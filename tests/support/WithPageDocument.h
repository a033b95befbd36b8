#pragma once
// Runs `body(adapters, document)` with the page's document, reached from its
// window as the quick browser reaches it; the handles go after the body.
#include <windows.h>

#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/chrome/CrFwAdapters.h"

namespace testsupport {

template <class Body>
HRESULT WithPageDocument(CCrRawBrowserHelper* helper, Body&& body)
{
    vxWebFw::NodeHandle window(helper), document(helper);
    HRESULT hr = helper->GetWindowNode(window.Out());
    if (SUCCEEDED(hr))
        hr = helper->GetDocument(window.Get(), document.Out());
    if (FAILED(hr))
        return hr;
    return body(*helper->Adapters(), document.Get());
}

} // namespace testsupport
