#include "XPathValue.h"

#include <algorithm>

#include "XPathText.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

void NodeSet::normalize(const Navigator& navigator) {
    if (inDocumentOrder) return;
    // Sets built from several context nodes are often in order already
    // (children of non-nested elements, for example); checking that costs
    // n - 1 comparisons of mostly close nodes, far less than sorting.
    // Repeats next to each other (the same node reached from neighbouring
    // context nodes) are dropped on the way without spoiling that check.
    auto before = [&](const Node& a, const Node& b) { return navigator.compareDocumentOrder(a, b) < 0; };
    bool increasing = true;
    bool repeats = false;
    for (std::size_t i = 1; i < nodes.size() && increasing; ++i) {
        if (nodes[i - 1] == nodes[i])
            repeats = true;
        else
            increasing = before(nodes[i - 1], nodes[i]);
    }
    if (increasing) {
        if (repeats) nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
        inDocumentOrder = true;
        return;
    }
    std::sort(nodes.begin(), nodes.end(),
              [&](const Node& a, const Node& b) { return navigator.compareDocumentOrder(a, b) < 0; });
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    inDocumentOrder = true;
}

Node NodeSet::firstInDocumentOrder(const Navigator& navigator) const {
    if (nodes.empty()) return Node();
    if (inDocumentOrder) return nodes.front();
    Node first = nodes.front();
    for (const Node& node : nodes)
        if (navigator.compareDocumentOrder(node, first) < 0) first = node;
    return first;
}

Value Value::fromBoolean(bool value) {
    Value result;
    result.type_ = ValueType::Boolean;
    result.boolean_ = value;
    return result;
}

Value Value::fromNumber(double value) {
    Value result;
    result.type_ = ValueType::Number;
    result.number_ = value;
    return result;
}

Value Value::fromString(std::wstring value) {
    Value result;
    result.type_ = ValueType::String;
    result.string_ = std::move(value);
    return result;
}

Value Value::fromNodeSet(NodeSet nodes) {
    Value result;
    result.nodes_ = std::move(nodes);
    return result;
}

bool Value::toBoolean() const {
    switch (type_) {
        case ValueType::Boolean:
            return boolean_;
        case ValueType::Number:
            return number_ != 0 && number_ == number_;
        case ValueType::String:
            return !string_.empty();
        case ValueType::NodeSet:
            return !nodes_.nodes.empty();
    }
    return false;
}

double Value::toNumber(const Navigator& navigator) const {
    switch (type_) {
        case ValueType::Boolean:
            return boolean_ ? 1 : 0;
        case ValueType::Number:
            return number_;
        case ValueType::String:
            return Text::parseNumber(string_);
        case ValueType::NodeSet:
            return Text::parseNumber(toString(navigator));
    }
    return 0;
}

std::wstring Value::toString(const Navigator& navigator) const {
    switch (type_) {
        case ValueType::Boolean:
            return boolean_ ? L"true" : L"false";
        case ValueType::Number:
            return Text::formatNumber(number_);
        case ValueType::String:
            return string_;
        case ValueType::NodeSet: {
            Node first = nodes_.firstInDocumentOrder(navigator);
            return first ? stringValueOf(navigator, first) : std::wstring();
        }
    }
    return std::wstring();
}

std::wstring stringValueOf(const Navigator& navigator, Node node) {
    std::wstring value;
    navigator.appendStringValue(node, value);
    return value;
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
