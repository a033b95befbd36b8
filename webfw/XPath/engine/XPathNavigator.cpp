#include "XPathNavigator.h"

#include <algorithm>

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

bool isAttached(NodeKind kind) { return kind == NodeKind::Attribute || kind == NodeKind::Namespace; }

std::size_t depthOf(const Navigator& nav, Node node) {
    std::size_t depth = 0;
    for (Node p = nav.parent(node); p; p = nav.parent(p))
        ++depth;
    return depth;
}

} // namespace

Node Navigator::nextInSubtree(Node node, Node subtreeRoot) const {
    if (node.kind == NodeKind::Element || node.kind == NodeKind::Root) {
        if (Node child = firstChild(node)) return child;
    }
    while (node != subtreeRoot) {
        if (Node sibling = nextSibling(node)) return sibling;
        node = parent(node);
        if (!node) break;
    }
    return Node();
}

Node Navigator::nextElementInSubtree(Node node, Node subtreeRoot) const {
    do
        node = nextInSubtree(node, subtreeRoot);
    while (node && node.kind != NodeKind::Element);
    return node;
}

void Navigator::namespaceNodes(Node, std::vector<Node>&) const {}

std::wstring Navigator::namespaceUri(Node) const { return std::wstring(); }

std::wstring Navigator::prefix(Node) const { return std::wstring(); }

std::wstring Navigator::qualifiedName(Node node) const {
    std::wstring name = localName(node);
    if (node.kind == NodeKind::Element || node.kind == NodeKind::Attribute) {
        std::wstring pfx = prefix(node);
        if (!pfx.empty()) return pfx + L":" + name;
    }
    return name;
}

bool Navigator::nameEquals(Node node, std::wstring_view local, std::wstring_view uri) const {
    return localName(node) == local && namespaceUri(node) == uri;
}

bool Navigator::namespaceEquals(Node node, std::wstring_view uri) const { return namespaceUri(node) == uri; }

void Navigator::appendStringValue(Node node, std::wstring& out) const {
    if (node.kind != NodeKind::Root && node.kind != NodeKind::Element) {
        appendNodeValue(node, out);
        return;
    }
    for (Node current = firstChild(node); current; current = nextInSubtree(current, node))
        if (current.kind == NodeKind::Text) appendNodeValue(current, out);
}

Node Navigator::root(Node node) const {
    for (Node p = parent(node); p; p = parent(p))
        node = p;
    return node;
}

Node Navigator::elementById(Node, std::wstring_view) const { return Node(); }

bool Navigator::language(Node node, std::wstring& out) const {
    for (Node n = node; n; n = parent(n)) {
        if (n.kind != NodeKind::Element) continue;
        for (Node a = firstAttribute(n); a; a = nextAttribute(a)) {
            if (nameEquals(a, L"lang", xmlNamespaceUri)) {
                out.clear();
                appendNodeValue(a, out);
                return true;
            }
        }
    }
    return false;
}

int Navigator::compareDocumentOrder(Node a, Node b) const {
    if (a == b) return 0;
    Node ownerA = isAttached(a.kind) ? parent(a) : a;
    Node ownerB = isAttached(b.kind) ? parent(b) : b;
    if (ownerA == ownerB) return compareAttachedNodes(ownerA, a, b);
    int order = compareTreePositions(ownerA, ownerB);
    return order;
}

// a and b are the owner element itself or nodes attached to it.
int Navigator::compareAttachedNodes(Node owner, Node a, Node b) const {
    auto rank = [](NodeKind kind) { return kind == NodeKind::Namespace ? 1 : kind == NodeKind::Attribute ? 2 : 0; };
    if (rank(a.kind) != rank(b.kind)) return rank(a.kind) < rank(b.kind) ? -1 : 1;
    if (a.kind == NodeKind::Attribute) {
        for (Node attr = firstAttribute(owner); attr; attr = nextAttribute(attr)) {
            if (attr == a) return -1;
            if (attr == b) return 1;
        }
        return 0;
    }
    std::vector<Node> namespaces;
    namespaceNodes(owner, namespaces);
    auto posA = std::find(namespaces.begin(), namespaces.end(), a);
    auto posB = std::find(namespaces.begin(), namespaces.end(), b);
    return posA < posB ? -1 : posA > posB ? 1 : 0;
}

// Order of two distinct tree nodes (root, element, text, comment, PI).
int Navigator::compareTreePositions(Node a, Node b) const {
    // Neighbours in a node-set are mostly close in the tree (a node and its
    // descendant or sibling, cousins), however deep they lie: their lowest
    // common ancestor is looked for within a few steps up from both first,
    // so that ordering them does not cost the walk to the root the depths
    // take. Across a deep tree that walk would make a set's order check or
    // sort cost its size times the depth.
    constexpr std::size_t kNearSteps = 8;
    Node pathA[kNearSteps + 1];
    Node pathB[kNearSteps + 1];
    std::size_t lengthA = 0;
    std::size_t lengthB = 0;
    Node topA = a;
    Node topB = b;
    // The ancestor common to both is pathA[i] == pathB[j]: a comes first
    // when it is that ancestor itself, b when it is.
    auto orderBelow = [&](std::size_t i, std::size_t j) {
        if (i == 0) return -1;
        if (j == 0) return 1;
        return compareSiblings(pathA[i - 1], pathB[j - 1]);
    };
    for (std::size_t step = 0; step <= kNearSteps; ++step) {
        if (topA) {
            for (std::size_t j = 0; j < lengthB; ++j)
                if (pathB[j] == topA) return orderBelow(lengthA, j);
            pathA[lengthA++] = topA;
        }
        if (topB) {
            for (std::size_t i = 0; i < lengthA; ++i)
                if (pathA[i] == topB) return orderBelow(i, lengthB);
            pathB[lengthB++] = topB;
        }
        if ((!topA && !topB) || step == kNearSteps) break;
        if (topA) topA = parent(topA);
        if (topB) topB = parent(topB);
    }

    std::size_t depthA = depthOf(*this, a);
    std::size_t depthB = depthOf(*this, b);
    Node upA = a;
    Node upB = b;
    for (; depthA > depthB; --depthA)
        upA = parent(upA);
    for (; depthB > depthA; --depthB)
        upB = parent(upB);
    if (upA == upB) return a == upA ? -1 : 1; // one is an ancestor of the other
    for (;;) {
        Node parentA = parent(upA);
        Node parentB = parent(upB);
        if (parentA == parentB) break;
        if (!parentA || !parentB) return parentA ? 1 : -1; // different trees: arbitrary but stable
        upA = parentA;
        upB = parentB;
    }
    return compareSiblings(upA, upB);
}

// a and b are distinct siblings: scan both ways from a so that the cost
// follows their distance, not the length of the sibling list.
int Navigator::compareSiblings(Node a, Node b) const {
    Node forward = nextSibling(a);
    Node backward = previousSibling(a);
    while (forward || backward) {
        if (forward) {
            if (forward == b) return -1;
            forward = nextSibling(forward);
        }
        if (backward) {
            if (backward == b) return 1;
            backward = previousSibling(backward);
        }
    }
    return 1;
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
