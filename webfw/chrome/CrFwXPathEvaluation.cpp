#include "webfw/chrome/CrFwXPathEvaluation.h"

#include <new>

#include "webfw/NativeModel/NodeHandle.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwElementByIdProvider.h"
#include "webfw/chrome/CrFwXPathEvaluatedNodeHandler.h"
#include "webfw/XPath/XPathEvaluator.h"
#include "webfw/chrome/CrFwAdapters.h"

namespace vxWebFw::XPath {

struct CCrFwXPathEvaluation::Parts
{
    Parts(CCrRawBrowserHelper* helper, CCrFwAdapters& adapters, BSTR monikerPrefix)
        : nodeData(helper, adapters.nodeLifetime.get()), nodeAttributes(helper, adapters.nodeLifetime.get()),
          attributeData(helper), frameDocuments(helper, adapters.nodeLifetime.get()),
          iframeDocuments(helper, adapters.nodeLifetime.get()), elementsById(helper), handler(helper, monikerPrefix),
          evaluator(adapters.recognizerSet.get(), &nodeData, &nodeAttributes, &attributeData, &frameDocuments,
                    &iframeDocuments, &handler, &elementsById)
    {
    }

    CCrFwNodeDataProvider nodeData;
    CCrFwNodeAttributesProvider nodeAttributes;
    CCrFwAttributeDataProvider attributeData;
    CCrFwFrameDocumentProvider frameDocuments;
    CCrFwIFrameDocumentProvider iframeDocuments;
    CCrFwElementByIdProvider elementsById;
    CCrFwXPathEvaluatedNodeHandler handler;
    CXPathEvaluator evaluator;
};

CCrFwXPathEvaluation::CCrFwXPathEvaluation(CCrRawBrowserHelper* helper, BSTR monikerPrefix) : helper_(helper)
{
    CCrFwAdapters* adapters = helper ? helper->Adapters() : nullptr;
    if (adapters && adapters->nodeLifetime && adapters->recognizerSet)
        parts_ = std::make_unique<Parts>(helper, *adapters, monikerPrefix);
}

CCrFwXPathEvaluation::~CCrFwXPathEvaluation() = default;

HRESULT CCrFwXPathEvaluation::EvaluateOnPage(BSTR expression, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (!expression)
        return E_INVALIDARG;
    if (!parts_)
        return E_POINTER;
    try {
        vxWebFw::NodeHandle window(helper_);
        HRESULT hr = helper_->GetWindowNode(window.Out());
        if (FAILED(hr))
            return hr;
        vxWebFw::NodeHandle document(helper_);
        hr = helper_->GetDocument(window.Get(), document.Out());
        if (FAILED(hr))
            return hr;
        if (!document.Get())
            return E_FAIL;
        return parts_->evaluator.Evaluate(expression, document.Get(), value);
    } catch (const std::bad_alloc&) {
        VariantClear(value);
        return E_OUTOFMEMORY;
    }
}

HRESULT CrFwEvaluateXPath(CCrRawBrowserHelper* helper, BSTR expression, BSTR monikerPrefix, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    try {
        CCrFwXPathEvaluation evaluation(helper, monikerPrefix);
        return evaluation.EvaluateOnPage(expression, value);
    } catch (const std::bad_alloc&) {
        VariantClear(value);
        return E_OUTOFMEMORY;
    }
}

} // namespace vxWebFw::XPath
