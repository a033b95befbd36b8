#pragma once
// One XPath evaluation against the page behind a CCrRawBrowserHelper, as the
// quick browser's page object runs it on the renderer thread: the five
// providers and the node handler are created for the call, the expression is
// evaluated against the document of the page's window, and everything is
// destroyed before returning. Must run on the renderer thread; error
// information is published on that thread.
#include <windows.h>
#include <oleauto.h>

class CCrRawBrowserHelper;

namespace vxWebFw::XPath {

HRESULT CrFwEvaluateXPath(CCrRawBrowserHelper* helper, BSTR expression, BSTR monikerPrefix, VARIANT* value);

} // namespace vxWebFw::XPath
