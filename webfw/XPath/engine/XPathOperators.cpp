// Variables, logical and arithmetic operators, and the comparisons of
// section 3.4 of XPath 1.0 for every combination of operand types.
#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "XPathAst.h"
#include "XPathError.h"
#include "XPathText.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

bool isEquality(BinaryOperator op) { return op == BinaryOperator::Equal || op == BinaryOperator::NotEqual; }

// The operator to use after swapping the operands.
BinaryOperator mirrored(BinaryOperator op) {
    switch (op) {
        case BinaryOperator::Less:
            return BinaryOperator::Greater;
        case BinaryOperator::LessEqual:
            return BinaryOperator::GreaterEqual;
        case BinaryOperator::Greater:
            return BinaryOperator::Less;
        case BinaryOperator::GreaterEqual:
            return BinaryOperator::LessEqual;
        default:
            return op;
    }
}

bool compareNumbers(BinaryOperator op, double a, double b) {
    switch (op) {
        case BinaryOperator::Equal:
            return a == b;
        case BinaryOperator::NotEqual:
            return a != b;
        case BinaryOperator::Less:
            return a < b;
        case BinaryOperator::LessEqual:
            return a <= b;
        case BinaryOperator::Greater:
            return a > b;
        case BinaryOperator::GreaterEqual:
            return a >= b;
        default:
            return false;
    }
}

bool compareBooleans(BinaryOperator op, bool a, bool b) {
    if (isEquality(op)) return (a == b) == (op == BinaryOperator::Equal);
    return compareNumbers(op, a ? 1 : 0, b ? 1 : 0);
}

// Neither operand is a node-set.
bool compareAtomic(BinaryOperator op, const Value& a, const Value& b, const Navigator& navigator) {
    if (isEquality(op)) {
        bool equal;
        if (a.type() == ValueType::Boolean || b.type() == ValueType::Boolean)
            equal = a.toBoolean() == b.toBoolean();
        else if (a.type() == ValueType::Number || b.type() == ValueType::Number)
            return compareNumbers(op, a.toNumber(navigator), b.toNumber(navigator));
        else
            equal = a.stringValue() == b.stringValue();
        return equal == (op == BinaryOperator::Equal);
    }
    return compareNumbers(op, a.toNumber(navigator), b.toNumber(navigator));
}

// The left operand is a node-set, the right one is not.
bool compareNodeSetWithAtomic(BinaryOperator op, const NodeSet& set, const Value& other, const Navigator& navigator) {
    if (other.type() == ValueType::Boolean) return compareBooleans(op, !set.nodes.empty(), other.booleanValue());
    std::wstring text;
    if (other.type() == ValueType::String && isEquality(op)) {
        for (const Node& node : set.nodes) {
            text.clear();
            navigator.appendStringValue(node, text);
            if ((text == other.stringValue()) == (op == BinaryOperator::Equal)) return true;
        }
        return false;
    }
    const double number = other.toNumber(navigator);
    for (const Node& node : set.nodes) {
        text.clear();
        navigator.appendStringValue(node, text);
        if (compareNumbers(op, Text::parseNumber(text), number)) return true;
    }
    return false;
}

// = or != between the nodes of a and a node-set given by the distinct
// string-values of its nodes; both relations are symmetric.
bool compareWithStringValues(BinaryOperator op, const NodeSet& a, const std::unordered_set<std::wstring>& other,
                             const Navigator& navigator) {
    if (other.empty()) return false;
    std::wstring text;
    for (const Node& node : a.nodes) {
        text.clear();
        navigator.appendStringValue(node, text);
        bool found = other.count(text) != 0;
        if (op == BinaryOperator::Equal ? found : (!found || other.size() > 1)) return true;
    }
    return false;
}

bool compareNodeSets(BinaryOperator op, const NodeSet& a, const NodeSet& b, const Navigator& navigator) {
    if (a.nodes.empty() || b.nodes.empty()) return false;
    if (isEquality(op)) {
        return compareWithStringValues(op, a, distinctStringValues(navigator, b.nodes), navigator);
    }
    // Some pair satisfies a relational operator exactly when the extreme
    // values do; NaN values never satisfy one.
    auto extremes = [&](const NodeSet& set, double& low, double& high) {
        bool any = false;
        for (const Node& node : set.nodes) {
            double value = Text::parseNumber(stringValueOf(navigator, node));
            if (std::isnan(value)) continue;
            if (!any || value < low) low = value;
            if (!any || value > high) high = value;
            any = true;
        }
        return any;
    };
    double lowA = 0, highA = 0, lowB = 0, highB = 0;
    if (!extremes(a, lowA, highA) || !extremes(b, lowB, highB)) return false;
    switch (op) {
        case BinaryOperator::Less:
            return lowA < highB;
        case BinaryOperator::LessEqual:
            return lowA <= highB;
        case BinaryOperator::Greater:
            return highA > lowB;
        case BinaryOperator::GreaterEqual:
            return highA >= lowB;
        default:
            return false;
    }
}

} // namespace

Value VariableExpr::evaluate(const Context& context) const {
    Value value;
    const VariableResolver* variables = context.environment.variables;
    if (!variables || !variables->lookupVariable(namespaceUri_, localName_, value))
        throwEvaluationError(L"undefined variable $" + localName_, position());
    if (value.isNodeSet()) {
        // A caller-built node-set may be in any order.
        value.nodeSet().inDocumentOrder = false;
        value.nodeSet().normalize(context.navigator());
    }
    return value;
}

StaticType BinaryExpr::staticType() const {
    switch (op_) {
        case BinaryOperator::Add:
        case BinaryOperator::Subtract:
        case BinaryOperator::Multiply:
        case BinaryOperator::Divide:
        case BinaryOperator::Modulo:
            return StaticType::Number;
        default:
            return StaticType::Boolean;
    }
}

bool BinaryExpr::compare(const Context& context) const {
    const Navigator& navigator = context.navigator();
    // An absolute path kept for the evaluation has its string-values kept
    // too: comparing each context node with it costs a look-up, not a pass
    // over the whole set. (= and != are symmetric: the kept path may stand
    // on either side.)
    const PathExpr* keptRight = isEquality(op_) ? right_->keptPath() : nullptr;
    const PathExpr* keptLeft = isEquality(op_) && !keptRight ? left_->keptPath() : nullptr;
    if (keptRight || keptLeft) {
        const PathExpr& kept = keptRight ? *keptRight : *keptLeft;
        const Value other = (keptRight ? left_ : right_)->evaluate(context);
        if (other.isNodeSet())
            return compareWithStringValues(op_, other.nodeSet(), kept.keptStringValues(context), navigator);
        const Value keptValue = kept.evaluate(context);
        return compareNodeSetWithAtomic(op_, keptValue.nodeSet(), other, navigator);
    }
    const Value left = left_->evaluate(context);
    const Value right = right_->evaluate(context);
    if (left.isNodeSet() && right.isNodeSet()) return compareNodeSets(op_, left.nodeSet(), right.nodeSet(), navigator);
    if (left.isNodeSet()) return compareNodeSetWithAtomic(op_, left.nodeSet(), right, navigator);
    if (right.isNodeSet()) return compareNodeSetWithAtomic(mirrored(op_), right.nodeSet(), left, navigator);
    return compareAtomic(op_, left, right, navigator);
}

bool BinaryExpr::evaluateBoolean(const Context& context) const {
    switch (op_) {
        case BinaryOperator::Or:
            return left_->evaluateBoolean(context) || right_->evaluateBoolean(context);
        case BinaryOperator::And:
            return left_->evaluateBoolean(context) && right_->evaluateBoolean(context);
        case BinaryOperator::Equal:
        case BinaryOperator::NotEqual:
        case BinaryOperator::Less:
        case BinaryOperator::LessEqual:
        case BinaryOperator::Greater:
        case BinaryOperator::GreaterEqual:
            return compare(context);
        default:
            return evaluate(context).toBoolean();
    }
}

Value BinaryExpr::evaluate(const Context& context) const {
    if (staticType() == StaticType::Boolean) return Value::fromBoolean(evaluateBoolean(context));
    const Navigator& navigator = context.navigator();
    double a = left_->evaluate(context).toNumber(navigator);
    double b = right_->evaluate(context).toNumber(navigator);
    switch (op_) {
        case BinaryOperator::Add:
            return Value::fromNumber(a + b);
        case BinaryOperator::Subtract:
            return Value::fromNumber(a - b);
        case BinaryOperator::Multiply:
            return Value::fromNumber(a * b);
        case BinaryOperator::Divide:
            return Value::fromNumber(a / b);
        // The remainder of a truncating division, with the sign of the dividend.
        case BinaryOperator::Modulo:
            return Value::fromNumber(std::fmod(a, b));
        default:
            return Value::fromNumber(std::nan(""));
    }
}

Value NegateExpr::evaluate(const Context& context) const {
    return Value::fromNumber(-operand_->evaluate(context).toNumber(context.navigator()));
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
