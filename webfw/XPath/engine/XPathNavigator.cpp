#include "XPathNavigator.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

bool isAttached(NodeKind kind) { return kind == NodeKind::Attribute || kind == NodeKind::Namespace; }

// The nodes passed on the way up from two nodes, each with the side it was
// reached from and its distance from that side's start: a small hash table
// with open addressing.
class PassedNodes {
public:
    struct Entry {
        Node node;
        std::uint32_t distance = 0;
        bool fromA = false;
    };

    // Notes a node reached from one side; returns the entry of the other
    // side when that side passed it before, else null.
    const Entry* pass(Node node, bool fromA, std::size_t distance) {
        if ((count_ + 1) * 2 > table_.size()) grow();
        std::size_t i = slot(node);
        for (; table_[i].node; i = (i + 1) & (table_.size() - 1))
            if (table_[i].node == node) return table_[i].fromA != fromA ? &table_[i] : nullptr;
        table_[i] = Entry{node, static_cast<std::uint32_t>(distance), fromA};
        ++count_;
        return nullptr;
    }

    // The entry of the node when the other side passed it, else null.
    const Entry* find(Node node, bool fromA) const {
        if (table_.empty()) return nullptr;
        for (std::size_t i = slot(node); table_[i].node; i = (i + 1) & (table_.size() - 1))
            if (table_[i].node == node) return table_[i].fromA != fromA ? &table_[i] : nullptr;
        return nullptr;
    }

private:
    std::size_t slot(Node node) const {
        const std::uint64_t mixed = static_cast<std::uint64_t>(NodeHash()(node)) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(mixed >> (64 - bits_));
    }

    void grow() {
        std::vector<Entry> old = std::move(table_);
        bits_ = old.empty() ? 6 : bits_ + 1;
        table_.assign(std::size_t(1) << bits_, Entry());
        for (const Entry& entry : old) {
            if (!entry.node) continue;
            std::size_t i = slot(entry.node);
            while (table_[i].node)
                i = (i + 1) & (table_.size() - 1);
            table_[i] = entry;
        }
    }

    std::vector<Entry> table_;
    std::size_t count_ = 0;
    unsigned bits_ = 0;
};

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
//
// The order follows from the lowest common ancestor of the nodes, found by
// climbing from both in turn until one reaches a node the other has passed:
// the climb costs the distance from the nodes to that ancestor, not their
// depth. Neighbours in a node-set mostly lie close together (a node and its
// descendant, siblings, cousins) however deep they are, so putting a set of
// a deep tree in order does not cost its size times the depth; nodes far
// apart cost no more than the walks to the root finding their depths would.
int Navigator::compareTreePositions(Node a, Node b) const {
    // The first steps up are compared directly, the rest through a table.
    constexpr std::size_t kNearSteps = 8;
    Node nearA[kNearSteps + 1];
    Node nearB[kNearSteps + 1];
    std::size_t lengthA = 0;
    std::size_t lengthB = 0;
    // The common ancestor is pathA[i] == pathB[j]: a comes first when it is
    // that ancestor itself, b when it is, else the order of the ancestors'
    // children on the two paths decides.
    auto orderBelow = [this](const Node* pathA, std::size_t i, const Node* pathB, std::size_t j) {
        if (i == 0) return -1;
        if (j == 0) return 1;
        return compareSiblings(pathA[i - 1], pathB[j - 1]);
    };
    Node topA = a;
    Node topB = b;
    for (std::size_t step = 0;; ++step) {
        if (topA) {
            for (std::size_t j = 0; j < lengthB; ++j)
                if (nearB[j] == topA) return orderBelow(nearA, lengthA, nearB, j);
            nearA[lengthA++] = topA;
        }
        if (topB) {
            for (std::size_t i = 0; i < lengthA; ++i)
                if (nearA[i] == topB) return orderBelow(nearA, i, nearB, lengthB);
            nearB[lengthB++] = topB;
        }
        if ((!topA && !topB) || step == kNearSteps) break;
        if (topA) topA = parent(topA);
        if (topB) topB = parent(topB);
    }

    // While both climb, each notes the nodes it passes. Once one has reached
    // the root, its whole path is noted, and the other only looks up the
    // ancestors it passes: when one node lies far deeper than the other,
    // the table holds no more than the shallower one's share.
    std::vector<Node> pathA(nearA, nearA + lengthA);
    std::vector<Node> pathB(nearB, nearB + lengthB);
    PassedNodes passed;
    for (std::size_t i = 0; i < pathA.size(); ++i)
        passed.pass(pathA[i], true, i);
    for (std::size_t j = 0; j < pathB.size(); ++j)
        passed.pass(pathB[j], false, j);
    while (topA && topB) {
        if ((topA = parent(topA))) {
            pathA.push_back(topA);
            if (const PassedNodes::Entry* met = passed.pass(topA, true, pathA.size() - 1))
                return orderBelow(pathA.data(), pathA.size() - 1, pathB.data(), met->distance);
        }
        if ((topB = parent(topB))) {
            pathB.push_back(topB);
            if (const PassedNodes::Entry* met = passed.pass(topB, false, pathB.size() - 1))
                return orderBelow(pathA.data(), met->distance, pathB.data(), pathB.size() - 1);
        }
    }
    // The side still climbing compares the child of the common ancestor on
    // its way (below) with the one on the other side's noted path.
    const bool climbingA = static_cast<bool>(topA);
    Node below = climbingA ? topA : topB;
    for (Node up = below ? parent(below) : Node(); up; below = up, up = parent(up)) {
        const PassedNodes::Entry* met = passed.find(up, climbingA);
        if (!met) continue;
        const std::vector<Node>& noted = climbingA ? pathB : pathA;
        if (met->distance == 0) return climbingA ? 1 : -1; // the other node is the ancestor
        const Node otherBelow = noted[met->distance - 1];
        return climbingA ? compareSiblings(below, otherBelow) : compareSiblings(otherBelow, below);
    }
    // Different trees: ordered by their roots, so that the answer does not
    // depend on which side finished climbing first (a sort needs a and b to
    // compare the other way round when swapped).
    auto rootOf = [this](Node node) {
        for (Node up = parent(node); up; up = parent(up))
            node = up;
        return node;
    };
    return std::less<const void*>()(rootOf(pathA.back()).handle, rootOf(pathB.back()).handle) ? -1 : 1;
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
