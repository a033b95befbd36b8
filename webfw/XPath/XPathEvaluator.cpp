#include "webfw/XPath/XPathEvaluator.h"

#include <new>

#include "platform/ErrorInfo.h"
#include "webfw/XPath/engine/XPathExpression.h"

namespace vxWebFw::XPath {

using Engine::Node;
using Engine::NodeKind;
using Engine::ValueType;

std::wstring XPathErrorDescription(const wchar_t* expression)
{
    std::wstring text = L"Invalid syntax of the XPath expression:\n ";
    text += expression ? expression : L"";
    text += L" \n\nCheck the expression syntax and correct it, if needed.\n"
            L"Pay attention to missing parentheses, brackets and quotes.";
    return text;
}

namespace {

HRESULT ReportXPathError(const wchar_t* expression)
{
    try {
        BaseOV::SetThreadErrorInfo(XPathErrorDescription(expression).c_str(), nullptr, 0);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return DISP_E_EXCEPTION;
}

HRESULT StringToVariant(const std::wstring& text, bool nullWhenEmpty, VARIANT* value)
{
    value->vt = VT_BSTR;
    value->bstrVal = nullptr;
    if (text.empty() && nullWhenEmpty)
        return S_OK;
    value->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value->bstrVal) {
        value->vt = VT_EMPTY;
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace

CXPathResult::CXPathResult(std::unique_ptr<CXPathDomNavigator> navigator, Engine::Value value,
                           const Recognizing::RecognizerSet* recognizers, IXPathEvaluatedNodeHandler* handler)
    : navigator_(std::move(navigator)), value_(std::move(value)), recognizers_(recognizers), handler_(handler)
{
}

HRESULT CXPathResult::ToVariant(VARIANT* value) const
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    try {
        switch (value_.type()) {
        case ValueType::Boolean:
            value->vt = VT_BOOL;
            value->boolVal = value_.booleanValue() ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case ValueType::Number:
            value->vt = VT_R8;
            value->dblVal = value_.numberValue();
            return S_OK;
        case ValueType::String:
            return StringToVariant(value_.stringValue(), true, value);
        case ValueType::NodeSet:
            return NodeSetToVariant(value);
        }
    } catch (const std::bad_alloc&) {
        VariantClear(value);
        return E_OUTOFMEMORY;
    }
    return E_UNEXPECTED;
}

HRESULT CXPathResult::NodeSetToVariant(VARIANT* value) const
{
    const std::vector<Node>& nodes = value_.nodes();
    if (nodes.empty())
        return S_OK;
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(nodes.size()));
    if (!array)
        return E_OUTOFMEMORY;
    for (size_t i = 0; i < nodes.size(); ++i) {
        VARIANT element;
        VariantInit(&element);
        HRESULT hr = NodeToVariant(nodes[i], &element);
        if (SUCCEEDED(hr)) {
            LONG index = static_cast<LONG>(i);
            hr = SafeArrayPutElement(array, &index, &element);
        }
        VariantClear(&element);
        if (FAILED(hr)) {
            SafeArrayDestroy(array);
            return hr;
        }
    }
    value->vt = VT_ARRAY | VT_VARIANT;
    value->parray = array;
    return S_OK;
}

HRESULT CXPathResult::NodeToVariant(Node node, VARIANT* value) const
{
    if (node.kind == NodeKind::Root)
        return StringToVariant(Engine::stringValueOf(*navigator_, node), false, value);
    if (!handler_)
        return S_OK;
    Recognizing::RecognizedNode recognized = navigator_->Recognized(node);
    std::vector<Recognizing::RecognizedNode> frameChain;
    for (NodeImpl* frame : navigator_->FrameChain(node))
        frameChain.emplace_back(frame, recognizers_);
    HRESULT hr = handler_->HandleNode(recognized, frameChain, value);
    return FAILED(hr) ? hr : S_OK;
}

CXPathEvaluator::CXPathEvaluator(const Recognizing::RecognizerSet* recognizers,
                                 NativeModel::INodeDataProvider* nodeData,
                                 NativeModel::INodeAttributesProvider* nodeAttributes,
                                 NativeModel::IAttributeDataProvider* attributeData,
                                 NativeModel::IFrameDocumentProvider* frameDocuments,
                                 NativeModel::IIFrameDocumentProvider* iframeDocuments,
                                 IXPathEvaluatedNodeHandler* handler, IElementByIdProvider* elementsById)
    : providers_{recognizers, nodeData, nodeAttributes, attributeData, frameDocuments, iframeDocuments, elementsById},
      handler_(handler)
{
}

HRESULT CXPathEvaluator::Run(const wchar_t* expression, NodeImpl* context, std::unique_ptr<CXPathResult>& result)
{
    result.reset();
    if (!expression || !context)
        return E_INVALIDARG;
    if (!providers_.IsComplete())
        return E_POINTER;

    std::unique_ptr<Engine::Expression> compiled;
    try {
        compiled = std::make_unique<Engine::Expression>(Engine::Expression::compile(expression));
    } catch (...) {
        return ReportXPathError(expression);
    }

    std::unique_ptr<CXPathDomNavigator> navigator;
    try {
        navigator = std::make_unique<CXPathDomNavigator>(providers_, context);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    Node root = navigator->Root();
    if (!root)
        return E_FAIL;

    try {
        Engine::Value value = compiled->evaluate(*navigator, root);
        result =
            std::make_unique<CXPathResult>(std::move(navigator), std::move(value), providers_.recognizers, handler_);
    } catch (...) {
        return ReportXPathError(expression);
    }
    return S_OK;
}

HRESULT CXPathEvaluator::Evaluate(const wchar_t* expression, NodeImpl* context, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    std::unique_ptr<CXPathResult> result;
    HRESULT hr = Run(expression, context, result);
    if (FAILED(hr))
        return hr;
    return result->ToVariant(value);
}

} // namespace vxWebFw::XPath
