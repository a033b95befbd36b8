// normalize-space(x) = '' and != '' without building strings.
#include "XPathAst.h"
#include "XPathText.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

bool hasNonWhitespace(std::wstring_view text) {
    for (wchar_t c : text)
        if (!Text::isWhitespace(c)) return true;
    return false;
}

// Whether the string-value of the node has a character other than
// whitespace; reads the text descendants of a root or element one by one
// and stops at the first such character.
bool stringValueHasNonWhitespace(const Navigator& navigator, Node node) {
    std::wstring text;
    if (node.kind != NodeKind::Root && node.kind != NodeKind::Element) {
        navigator.appendNodeValue(node, text);
        return hasNonWhitespace(text);
    }
    for (Node current = navigator.firstChild(node); current; current = navigator.nextInSubtree(current, node)) {
        if (current.kind != NodeKind::Text) continue;
        text.clear();
        navigator.appendNodeValue(current, text);
        if (hasNonWhitespace(text)) return true;
    }
    return false;
}

} // namespace

bool BlankStringExpr::evaluateBoolean(const Context& context) const {
    const Navigator& navigator = context.navigator();
    bool nonBlank;
    if (!operand_) {
        nonBlank = stringValueHasNonWhitespace(navigator, context.node);
    } else {
        const Value value = operand_->evaluate(context);
        if (value.isNodeSet()) {
            Node first = value.nodeSet().firstInDocumentOrder(navigator);
            nonBlank = first && stringValueHasNonWhitespace(navigator, first);
        } else {
            nonBlank = hasNonWhitespace(value.toString(navigator));
        }
    }
    return negated_ ? nonBlank : !nonBlank;
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
