// Public entry of the XPath 1.0 engine: compile once, evaluate many times.
//
//   Expression expr = Expression::compile(L"//input[@type='text']");
//   Value result = expr.evaluate(navigator, documentRoot);
//   for (Node node : result.nodes()) ...
//
// Errors are reported as XPathException with a message and a position.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "XPathError.h"
#include "XPathNavigator.h"
#include "XPathNode.h"
#include "XPathResolvers.h"
#include "XPathValue.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

class Expr;

class Expression {
public:
    // Parses the expression. Prefixes in name tests and variable names are
    // resolved through namespaces (may be null: then only "xml" is known).
    // Throws XPathException (syntax).
    static Expression compile(std::wstring_view text, const NamespaceResolver* namespaces = nullptr);

    // Evaluates with context node `context`, position 1 and size 1. A
    // node-set result is in document order without duplicates. Variables
    // are looked up through `variables` (may be null: then every variable
    // reference is an error). Throws XPathException (evaluation). Safe to
    // call from several threads on one Expression.
    Value evaluate(const Navigator& navigator, Node context, const VariableResolver* variables = nullptr) const;

    const std::wstring& text() const { return text_; }

private:
    Expression(std::wstring text, std::shared_ptr<const Expr> root);
    std::wstring text_;
    std::shared_ptr<const Expr> root_;
};

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
