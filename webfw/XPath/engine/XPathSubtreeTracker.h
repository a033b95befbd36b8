// Nesting questions about node-sets in document order, answered in time that
// does not grow with the depth of the tree.
//
// Walking up from every node of a set to find whether an earlier node is its
// ancestor costs the depth of each node: on a chain of 100,000 nested
// elements that is quadratic. The tracker keeps the path from the document
// root down to the current subtree root (indexed), and the nodes already
// found inside that subtree; a question walks up only until it meets either,
// and everything it walks is remembered. Because the questions come in
// document order, a subtree once left is never entered again, so each node
// joins the path or the inside set at most once per tracker.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "XPathNavigator.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

class SubtreeTracker {
public:
    explicit SubtreeTracker(const Navigator& navigator) : nav_(navigator) {}

    bool hasRoot() const { return !path_.empty(); }
    // Makes `node` the subtree root. Roots must come in document order.
    void setRoot(Node node);
    // Whether `node`, which comes after the root in document order, is a
    // proper descendant of the root.
    bool inside(Node node);

private:
    const Navigator& nav_;
    std::vector<Node> path_; // the document root ... the subtree root
    std::unordered_map<Node, std::size_t, NodeHash> onPath_;
    std::unordered_set<Node, NodeHash> inside_; // proper descendants of the root met so far
    std::vector<Node> walked_;
};

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
