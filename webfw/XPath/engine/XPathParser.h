// Recursive-descent parser for the XPath 1.0 grammar, producing the
// expression tree with a few rewrites for common shapes.
#pragma once

#include <string_view>

#include "XPathAst.h"
#include "XPathResolvers.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

// Throws XPathException (syntax) for invalid expressions, unknown functions,
// wrong argument counts and undeclared namespace prefixes.
ExprPtr parseExpression(std::wstring_view text, const NamespaceResolver* namespaces);

// Bound on the nesting of the expression tree.
constexpr std::size_t kMaxExpressionHeight = 256;

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
