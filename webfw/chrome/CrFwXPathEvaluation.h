#pragma once
// One XPath evaluation against the page behind a CCrRawBrowserHelper, as the
// quick browser's page object runs it: the providers, the element-by-id
// lookup, the node handler and the evaluator exist for one call (they may be
// made on any thread); EvaluateOnPage must run on the renderer thread, where
// it evaluates the expression against the document of the page's window and
// publishes error information on that thread.
#include <windows.h>
#include <oleauto.h>

#include <memory>

class CCrRawBrowserHelper;

namespace vxWebFw::XPath {

class CCrFwXPathEvaluation
{
public:
    // helper is borrowed and must outlive the object; monikerPrefix is copied.
    // Throws std::bad_alloc.
    CCrFwXPathEvaluation(CCrRawBrowserHelper* helper, BSTR monikerPrefix);
    ~CCrFwXPathEvaluation();
    CCrFwXPathEvaluation(const CCrFwXPathEvaluation&) = delete;
    CCrFwXPathEvaluation& operator=(const CCrFwXPathEvaluation&) = delete;

    // E_POINTER when the helper has no page context.
    HRESULT EvaluateOnPage(BSTR expression, VARIANT* value);

private:
    struct Parts;
    CCrRawBrowserHelper* helper_;
    std::unique_ptr<Parts> parts_;
};

// Creates a CCrFwXPathEvaluation and evaluates on the calling thread, which
// must be the renderer thread.
HRESULT CrFwEvaluateXPath(CCrRawBrowserHelper* helper, BSTR expression, BSTR monikerPrefix, VARIANT* value);

} // namespace vxWebFw::XPath
