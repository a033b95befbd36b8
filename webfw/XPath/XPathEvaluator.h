#pragma once
// Compiles and runs one XPath 1.0 expression against a page's DOM through
// CXPathDomNavigator and converts the result into a VARIANT:
//   boolean -> VT_BOOL, number -> VT_R8, string -> VT_BSTR (null when empty),
//   empty node-set -> VT_EMPTY, other node-sets -> VT_ARRAY | VT_VARIANT with
//   lower bound 0, in document order: the root as VT_BSTR of its string
//   value, every other node as the node handler makes it.
// Syntax and evaluation errors answer DISP_E_EXCEPTION and publish
// XPathErrorDescription(expression) as the thread's COM error description.
#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>

#include "webfw/XPath/XPathDomNavigator.h"
#include "webfw/XPath/XPathEvaluatedNodeHandler.h"
#include "webfw/XPath/engine/XPathValue.h"

namespace vxWebFw::XPath {

// The description shown for an expression that does not compile or run.
std::wstring XPathErrorDescription(const wchar_t* expression);

// The engine's value together with the navigator whose nodes it names.
class CXPathResult
{
public:
    CXPathResult(std::unique_ptr<CXPathDomNavigator> navigator, Engine::Value value,
                 const Recognizing::RecognizerSet* recognizers, IXPathEvaluatedNodeHandler* handler);

    const Engine::Value& Value() const { return value_; }
    const CXPathDomNavigator& Navigator() const { return *navigator_; }
    // Fills value (cleared first) as described above; a failure of the node
    // handler aborts with its HRESULT and leaves value empty.
    HRESULT ToVariant(VARIANT* value) const;

private:
    HRESULT NodeSetToVariant(VARIANT* value) const;
    HRESULT NodeToVariant(Engine::Node node, VARIANT* value) const;

    std::unique_ptr<CXPathDomNavigator> navigator_;
    Engine::Value value_;
    const Recognizing::RecognizerSet* recognizers_;
    IXPathEvaluatedNodeHandler* handler_;
};

class CXPathEvaluator
{
public:
    // Every argument is borrowed and must outlive the evaluator. A null
    // handler leaves every non-root node of a node-set empty; without an
    // element-by-id provider id() selects nothing.
    CXPathEvaluator(const Recognizing::RecognizerSet* recognizers, NativeModel::INodeDataProvider* nodeData,
                    NativeModel::INodeAttributesProvider* nodeAttributes,
                    NativeModel::IAttributeDataProvider* attributeData,
                    NativeModel::IFrameDocumentProvider* frameDocuments,
                    NativeModel::IIFrameDocumentProvider* iframeDocuments, IXPathEvaluatedNodeHandler* handler,
                    IElementByIdProvider* elementsById = nullptr);

    // expression: null gives E_INVALIDARG; context: the document node
    // (borrowed) the expression is evaluated against.
    HRESULT Evaluate(const wchar_t* expression, NodeImpl* context, VARIANT* value);
    // Compiles and evaluates without converting.
    HRESULT Run(const wchar_t* expression, NodeImpl* context, std::unique_ptr<CXPathResult>& result);

private:
    XPathDomProviders providers_;
    IXPathEvaluatedNodeHandler* handler_;
};

} // namespace vxWebFw::XPath
