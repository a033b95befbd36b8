#include "quickbrowser/XPathOnRendererThread.h"

#include <new>

#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwXPathEvaluation.h"

namespace {

// What the renderer-thread callback needs, on the caller's stack.
struct EvaluateXPathCall
{
    vxWebFw::XPath::CCrFwXPathEvaluation* evaluation = nullptr;
    BSTR expression = nullptr;
    VARIANT* value = nullptr;
    Microsoft::WRL::ComPtr<IErrorInfo> errorInfo; // the renderer thread's, on failure
};

HRESULT __stdcall EvaluateXPathOnPage(void* context)
{
    auto& call = *static_cast<EvaluateXPathCall*>(context);
    HRESULT hr = E_UNEXPECTED;
    SetErrorInfo(0, nullptr);
    try {
        hr = call.evaluation->EvaluateOnPage(call.expression, call.value);
    } catch (...) {
        VariantClear(call.value);
        hr = E_UNEXPECTED;
    }
    if (FAILED(hr)) {
        IErrorInfo* info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK && info)
            call.errorInfo.Attach(info);
    }
    return hr;
}

} // namespace

HRESULT EvaluateXPathOnRendererThread(CCrRawBrowserHelper* helper, BSTR expression, BSTR monikerPrefix, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (!helper)
        return E_POINTER;
    if (!expression)
        return E_INVALIDARG;
    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> accessor(helper);
    try {
        vxWebFw::XPath::CCrFwXPathEvaluation evaluation(helper, monikerPrefix);
        EvaluateXPathCall call;
        call.evaluation = &evaluation;
        call.expression = expression;
        call.value = value;
        HRESULT hr = helper->RunOnRendererThread(&EvaluateXPathOnPage, &call);
        if (FAILED(hr)) {
            VariantClear(value);
            SetErrorInfo(0, call.errorInfo.Get());
        }
        return hr;
    } catch (const std::bad_alloc&) {
        VariantClear(value);
        return E_OUTOFMEMORY;
    }
}
