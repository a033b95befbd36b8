#include "webfw/XPath/CrFwXPathEvaluation.h"

#include <new>

#include "quickbrowser/NodeHandle.h"
#include "quickbrowser/RawBrowserHelper.h"
#include "webfw/XPath/CrFwXPathEvaluatedNodeHandler.h"
#include "webfw/XPath/XPathEvaluator.h"
#include "webfw/chrome/CrFwAdapters.h"

namespace vxWebFw::XPath {

HRESULT CrFwEvaluateXPath(CCrRawBrowserHelper* helper, BSTR expression, BSTR monikerPrefix, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (!expression)
        return E_INVALIDARG;
    CCrFwAdapters* adapters = helper ? helper->Adapters() : nullptr;
    if (!adapters || !adapters->nodeLifetime || !adapters->recognizerSet)
        return E_POINTER;

    try {
        IObjectLifetime<NodeImpl*>* lifetime = adapters->nodeLifetime.get();
        CCrFwNodeDataProvider nodeData(helper, lifetime);
        CCrFwNodeAttributesProvider nodeAttributes(helper, lifetime);
        CCrFwAttributeDataProvider attributeData(helper);
        CCrFwFrameDocumentProvider frameDocuments(helper, lifetime);
        CCrFwIFrameDocumentProvider iframeDocuments(helper, lifetime);
        CCrFwXPathEvaluatedNodeHandler handler(helper, monikerPrefix);
        CXPathEvaluator evaluator(adapters->recognizerSet.get(), &nodeData, &nodeAttributes, &attributeData,
                                  &frameDocuments, &iframeDocuments, &handler);

        CCrNodeHandle window(helper);
        HRESULT hr = helper->GetWindowNode(window.Out());
        if (FAILED(hr))
            return hr;
        CCrNodeHandle document(helper);
        hr = helper->GetDocument(window.Get(), document.Out());
        if (FAILED(hr))
            return hr;
        if (!document.Get())
            return E_FAIL;
        return evaluator.Evaluate(expression, document.Get(), value);
    } catch (const std::bad_alloc&) {
        VariantClear(value);
        return E_OUTOFMEMORY;
    }
}

} // namespace vxWebFw::XPath
