// The result of one XPath evaluation in a form that can be compared between
// the engine and libxml2: node-sets by node identity and order, numbers by
// their XPath string form, strings and booleans exactly, errors as errors.
#pragma once

#include <libxml/tree.h>

#include <map>
#include <string>
#include <vector>

#include "LibxmlNavigator.h"
#include "XPathExpression.h"

namespace vxXPathTest {

// Identity of a node independent of who produced it. libxml2 hands out fresh
// copies of namespace nodes, so those are identified by owner and prefix.
struct NodeKey
{
    NodeKind kind = NodeKind::None;
    const void* handle = nullptr; // owner element for namespace nodes
    std::string prefix;           // namespace nodes only
    std::string label;            // readable description, not part of identity

    bool operator==(const NodeKey& other) const
    {
        return kind == other.kind && handle == other.handle && prefix == other.prefix;
    }
    bool operator<(const NodeKey& other) const;
};

struct Outcome
{
    enum class Type { Error, NodeSet, Boolean, Number, String } type = Type::Error;
    std::vector<NodeKey> nodes;
    bool boolean = false;
    double number = 0;
    std::wstring string;
    std::string error;

    // Canonical text used in messages and in the expected results of the
    // conformance data: "error", "true"/"false", "number:N", "string:S",
    // "nodes:label,label,...".
    std::string canonical() const;
};

// Equal by the rules above; namespace nodes inside a node-set are compared
// as a set, because their relative order is implementation-defined.
bool sameOutcome(const Outcome& a, const Outcome& b);

// Variables bound in both engines: $n = 3, $s = "abc".
struct Namespaces
{
    std::map<std::string, std::string> prefixes; // prefix -> URI
};

Outcome evaluateWithLibxml(xmlDoc* doc, xmlNode* context, const std::string& expression, const Namespaces& namespaces);
Outcome evaluateWithEngine(const LibxmlNavigator& navigator, Node context, const std::string& expression,
                           const Namespaces& namespaces);

} // namespace vxXPathTest
