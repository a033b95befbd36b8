#include "XPathExpression.h"

#include <utility>

#include "XPathAst.h"
#include "XPathParser.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

Expression::Expression(std::wstring text, std::shared_ptr<const Expr> root)
    : text_(std::move(text)), root_(std::move(root)) {}

Expression Expression::compile(std::wstring_view text, const NamespaceResolver* namespaces) {
    return Expression(std::wstring(text), parseExpression(text, namespaces));
}

Value Expression::evaluate(const Navigator& navigator, Node context, const VariableResolver* variables) const {
    AbsolutePathCache absolutePaths;
    Environment environment{navigator, variables, absolutePaths};
    Context start{environment, context, 1, 1};
    Value result = root_->evaluate(start);
    if (result.isNodeSet() && !std::as_const(result).nodeSet().inDocumentOrder) result.nodeSet().normalize(navigator);
    return result;
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
