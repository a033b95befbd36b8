// Values of XPath 1.0 expressions: node-set, boolean, number, string.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "XPathNavigator.h"
#include "XPathNode.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

enum class ValueType { NodeSet, Boolean, Number, String };

// A node-set as a vector. inDocumentOrder means sorted in document order
// without duplicates; otherwise the order is arbitrary and duplicates may
// occur until normalize() runs. Results handed out by Expression::evaluate
// are always normalized.
struct NodeSet {
    std::vector<Node> nodes;
    bool inDocumentOrder = true;

    void normalize(const Navigator& navigator);
    // The first node in document order, or null.
    Node firstInDocumentOrder(const Navigator& navigator) const;
};

class Value {
public:
    Value() : type_(ValueType::NodeSet) {}
    static Value fromBoolean(bool value);
    static Value fromNumber(double value);
    static Value fromString(std::wstring value);
    static Value fromNodeSet(NodeSet nodes);

    ValueType type() const { return type_; }
    bool isNodeSet() const { return type_ == ValueType::NodeSet; }

    // Raw payloads; valid only for the matching type. On a temporary Value
    // they return copies, so that `for (Node n : expr.evaluate(...).nodes())`
    // does not read a destroyed vector.
    //
    // Copies of a Value share its node-set: a path value kept for a whole
    // evaluation is handed to every context node without copying its nodes.
    // The non-const accessors copy a shared set before handing it out, so
    // reading code should reach the set through a const Value.
    bool booleanValue() const { return boolean_; }
    double numberValue() const { return number_; }
    const std::wstring& stringValue() const& { return string_; }
    std::wstring stringValue() && { return std::move(string_); }
    const NodeSet& nodeSet() const&;
    NodeSet& nodeSet() &;
    NodeSet nodeSet() &&;
    const std::vector<Node>& nodes() const& { return nodeSet().nodes; }
    std::vector<Node> nodes() && { return std::move(*this).nodeSet().nodes; }

    // The boolean(), number() and string() conversions of XPath 1.0.
    bool toBoolean() const;
    double toNumber(const Navigator& navigator) const;
    std::wstring toString(const Navigator& navigator) const;

private:
    ValueType type_;
    bool boolean_ = false;
    double number_ = 0;
    std::wstring string_;
    // Null for an empty node-set and for the other types.
    std::shared_ptr<NodeSet> nodes_;
};

// Appends to out the nodes of a and b, each in document order without
// duplicates, in document order, a node of both once.
void mergeInDocumentOrder(const Navigator& navigator, const Node* a, std::size_t sizeA, const Node* b,
                          std::size_t sizeB, std::vector<Node>& out);

// The string-value of a node as a fresh string.
std::wstring stringValueOf(const Navigator& navigator, Node node);

// The distinct string-values of the nodes, for = and != between node-sets.
std::unordered_set<std::wstring> distinctStringValues(const Navigator& navigator, const std::vector<Node>& nodes);

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
