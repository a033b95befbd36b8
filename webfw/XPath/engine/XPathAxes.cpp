// Node tests and the thirteen axes of XPath 1.0, walked through a Navigator.
#include <algorithm>

#include "XPathAst.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

bool isReverseAxis(Axis axis) {
    return axis == Axis::Ancestor || axis == Axis::AncestorOrSelf || axis == Axis::Preceding ||
           axis == Axis::PrecedingSibling;
}

namespace {

bool hasChildren(NodeKind kind) { return kind == NodeKind::Element || kind == NodeKind::Root; }

class AxisCollector {
public:
    AxisCollector(const Navigator& navigator, const NodeTest& test, NodeKind principal, std::vector<Node>& out,
                  std::size_t limit)
        : nav_(navigator), test_(test), principal_(principal), out_(out),
          limit_(limit == static_cast<std::size_t>(-1) ? limit : out.size() + limit) {}

    bool full() const { return out_.size() >= limit_; }

    // Returns false once the limit is reached.
    bool offer(Node node) {
        // Name tests, the common case, without the general test's call.
        const bool passes = test_.kind == NodeTest::Kind::Name
                                ? node.kind == principal_ && nav_.nameEquals(node, test_.localName, test_.namespaceUri)
                                : test_.matches(nav_, node, principal_);
        if (passes) out_.push_back(node);
        return !full();
    }

    // Pre-order walk of the descendants of start.
    bool descendants(Node start) {
        if (!hasChildren(start.kind)) return !full();
        // The hottest loops of the engine: the test is inlined here, and
        // name tests of elements visit elements only.
        Node current = nav_.firstChild(start);
        if (principal_ == NodeKind::Element &&
            (test_.kind == NodeTest::Kind::Name || test_.kind == NodeTest::Kind::AnyName ||
             test_.kind == NodeTest::Kind::NamespaceWildcard || test_.kind == NodeTest::Kind::ElementOrRoot)) {
            if (current && current.kind != NodeKind::Element) current = nav_.nextElementInSubtree(current, start);
            if (test_.kind == NodeTest::Kind::Name) {
                // Every node here is an element: only the name is left to test.
                for (; current; current = nav_.nextElementInSubtree(current, start)) {
                    if (nav_.nameEquals(current, test_.localName, test_.namespaceUri)) {
                        out_.push_back(current);
                        if (out_.size() >= limit_) return false;
                    }
                }
                return true;
            }
            for (; current; current = nav_.nextElementInSubtree(current, start)) {
                if (test_.matches(nav_, current, principal_)) {
                    out_.push_back(current);
                    if (out_.size() >= limit_) return false;
                }
            }
            return true;
        }
        for (; current; current = nav_.nextInSubtree(current, start)) {
            if (test_.matches(nav_, current, principal_)) {
                out_.push_back(current);
                if (out_.size() >= limit_) return false;
            }
        }
        return true;
    }

    // The name-test walk of descendants(), which also tells whether a match
    // lies inside an earlier one; inside is start when it was matched itself.
    // After a match the walk goes on within that match's subtree: the
    // navigator's null there means it has left it, and the walk resumes from
    // the same node within start's subtree. Costs one call per match.
    bool namedDescendants(Node start, Node inside, bool& nested) {
        if (!hasChildren(start.kind)) return !full();
        Node current = nav_.firstChild(start);
        if (current && current.kind != NodeKind::Element) current = nav_.nextElementInSubtree(current, start);
        while (current) {
            if (nav_.nameEquals(current, test_.localName, test_.namespaceUri)) {
                out_.push_back(current);
                if (out_.size() >= limit_) return false;
                if (inside) {
                    nested = true; // known now: stop tracking
                    inside = Node();
                } else if (!nested) {
                    inside = current;
                }
            }
            Node next;
            if (inside) {
                next = nav_.nextElementInSubtree(current, inside);
                if (!next) inside = Node();
            }
            if (!next) next = nav_.nextElementInSubtree(current, start);
            current = next;
        }
        return true;
    }

    bool children(Node start) {
        if (!hasChildren(start.kind)) return true;
        for (Node child = nav_.firstChild(start); child; child = nav_.nextSibling(child))
            if (!offer(child)) return false;
        return true;
    }

    bool ancestors(Node start) {
        for (Node p = nav_.parent(start); p; p = nav_.parent(p))
            if (!offer(p)) return false;
        return true;
    }

    bool followingSiblings(Node start) {
        if (isAttached(start.kind)) return true;
        for (Node s = nav_.nextSibling(start); s; s = nav_.nextSibling(s))
            if (!offer(s)) return false;
        return true;
    }

    bool precedingSiblings(Node start) {
        if (isAttached(start.kind)) return true;
        for (Node s = nav_.previousSibling(start); s; s = nav_.previousSibling(s))
            if (!offer(s)) return false;
        return true;
    }

    // Every node after the context node in document order, descendants
    // excluded. For an attribute or namespace node that includes the
    // children of its owner element.
    bool following(Node start) {
        Node current = start;
        if (isAttached(start.kind)) {
            current = nav_.parent(start);
            if (!current) return true;
            if (!descendants(current)) return false;
        }
        for (; current && current.kind != NodeKind::Root; current = nav_.parent(current)) {
            for (Node s = nav_.nextSibling(current); s; s = nav_.nextSibling(s)) {
                if (!offer(s) || !descendants(s)) return false;
            }
        }
        return true;
    }

    // Every node before the context node in document order, ancestors
    // excluded, nearest first.
    bool preceding(Node start) {
        Node current = isAttached(start.kind) ? nav_.parent(start) : start;
        std::vector<Node> subtree;
        for (; current && current.kind != NodeKind::Root; current = nav_.parent(current)) {
            for (Node s = nav_.previousSibling(current); s; s = nav_.previousSibling(s)) {
                // The subtree of s in reverse document order: collect it in
                // document order, then hand it out backwards.
                std::size_t mark = out_.size();
                std::size_t savedLimit = limit_;
                limit_ = static_cast<std::size_t>(-1);
                offer(s);
                descendants(s);
                limit_ = savedLimit;
                std::reverse(out_.begin() + static_cast<std::ptrdiff_t>(mark), out_.end());
                if (full()) {
                    out_.resize(limit_);
                    return false;
                }
            }
        }
        return true;
    }

    bool attributes(Node start) {
        if (start.kind != NodeKind::Element) return true;
        for (Node a = nav_.firstAttribute(start); a; a = nav_.nextAttribute(a))
            if (!offer(a)) return false;
        return true;
    }

    bool namespaces(Node start) {
        if (start.kind != NodeKind::Element) return true;
        std::vector<Node> nodes;
        nav_.namespaceNodes(start, nodes);
        for (Node n : nodes)
            if (!offer(n)) return false;
        return true;
    }

private:
    static bool isAttached(NodeKind kind) { return kind == NodeKind::Attribute || kind == NodeKind::Namespace; }

    const Navigator& nav_;
    const NodeTest& test_;
    NodeKind principal_;
    std::vector<Node>& out_;
    std::size_t limit_;
};

} // namespace

bool collectNamedDescendants(const Navigator& navigator, Axis axis, const NodeTest& test, Node context,
                             std::vector<Node>& out, std::size_t limit) {
    bool nested = false;
    if (limit == 0) return true;
    AxisCollector collect(navigator, test, NodeKind::Element, out, limit);
    Node inside;
    if (axis == Axis::DescendantOrSelf) {
        const std::size_t before = out.size();
        if (!collect.offer(context)) return true;
        if (out.size() > before) inside = context;
    }
    collect.namedDescendants(context, inside, nested);
    return !nested;
}

void collectAxis(const Navigator& navigator, Axis axis, const NodeTest& test, Node context, std::vector<Node>& out,
                 std::size_t limit) {
    if (limit == 0) return;
    NodeKind principal = axis == Axis::Attribute   ? NodeKind::Attribute
                         : axis == Axis::Namespace ? NodeKind::Namespace
                                                   : NodeKind::Element;
    AxisCollector collect(navigator, test, principal, out, limit);
    switch (axis) {
        case Axis::Self:
            collect.offer(context);
            break;
        case Axis::Child:
            collect.children(context);
            break;
        case Axis::Descendant:
            collect.descendants(context);
            break;
        case Axis::DescendantOrSelf:
            if (collect.offer(context)) collect.descendants(context);
            break;
        case Axis::Parent:
            if (Node p = navigator.parent(context)) collect.offer(p);
            break;
        case Axis::Ancestor:
            collect.ancestors(context);
            break;
        case Axis::AncestorOrSelf:
            if (collect.offer(context)) collect.ancestors(context);
            break;
        case Axis::FollowingSibling:
            collect.followingSiblings(context);
            break;
        case Axis::PrecedingSibling:
            collect.precedingSiblings(context);
            break;
        case Axis::Following:
            collect.following(context);
            break;
        case Axis::Preceding:
            collect.preceding(context);
            break;
        case Axis::Attribute:
            collect.attributes(context);
            break;
        case Axis::Namespace:
            collect.namespaces(context);
            break;
    }
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
