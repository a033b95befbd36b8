// descendant-or-self::node()/child::T[p] in one walk: the form '//T[p]'
// takes when a predicate depends on the position, so that it cannot become
// one descendant step. Step by step, the second step would visit the
// children of every node of the first one and sort the result, since the
// children of nested parents interleave. Here the context nodes' subtrees
// are walked once in document order instead; on entering a parent its
// children are grouped and filtered by the predicates (positions count
// among that parent's children), and the walk hands out the chosen ones as
// it passes them, which is document order.
#include "XPathAst.h"
#include "XPathSubtreeTracker.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

bool hasChildren(NodeKind kind) { return kind == NodeKind::Element || kind == NodeKind::Root; }

// One parent on the walk's path: the children still to pass (elements, to
// descend into, and nodes that pass the test) and the chosen ones among
// them, both in document order.
struct ParentFrame {
    std::vector<Node> children;
    std::size_t nextChild = 0;
    std::vector<Node> chosen;
    std::size_t nextChosen = 0;
};

class ChildrenOfDescendantsWalk {
public:
    ChildrenOfDescendantsWalk(const Environment& environment, const Step& childStep, std::vector<Node>& out)
        : environment_(environment), nav_(environment.navigator), step_(childStep), out_(out) {}

    void walk(Node subtreeRoot) {
        std::size_t depth = 0;
        enter(frameAt(depth), subtreeRoot);
        for (;;) {
            ParentFrame& frame = frames_[depth];
            if (frame.nextChild == frame.children.size()) {
                if (depth == 0) return;
                --depth;
                continue;
            }
            Node child = frame.children[frame.nextChild++];
            if (frame.nextChosen < frame.chosen.size() && frame.chosen[frame.nextChosen] == child) {
                out_.push_back(child);
                ++frame.nextChosen;
            }
            if (child.kind == NodeKind::Element) enter(frameAt(++depth), child);
        }
    }

private:
    // Frames are kept from one parent to the next so that their vectors
    // are allocated once per depth, not once per parent.
    ParentFrame& frameAt(std::size_t depth) {
        if (depth == frames_.size()) frames_.emplace_back();
        return frames_[depth];
    }

    void enter(ParentFrame& frame, Node parent) {
        frame.children.clear();
        frame.chosen.clear();
        frame.nextChild = 0;
        frame.nextChosen = 0;
        for (Node child = nav_.firstChild(parent); child; child = nav_.nextSibling(child)) {
            const bool passes = step_.test.matches(nav_, child, NodeKind::Element);
            if (passes) frame.chosen.push_back(child);
            if (passes || child.kind == NodeKind::Element) frame.children.push_back(child);
        }
        for (const ExprPtr& predicate : step_.predicates) {
            if (frame.chosen.empty()) break;
            filterByPredicate(*predicate, environment_, frame.chosen);
        }
    }

    const Environment& environment_;
    const Navigator& nav_;
    const Step& step_;
    std::vector<Node>& out_;
    std::vector<ParentFrame> frames_;
};

} // namespace

void collectChildrenOfDescendants(const Environment& environment, const Step& childStep,
                                  const std::vector<Node>& context, std::vector<Node>& out) {
    ChildrenOfDescendantsWalk walk(environment, childStep, out);
    SubtreeTracker lastWalked(environment.navigator);
    for (const Node& node : context) {
        // Attribute, namespace, text, comment and PI nodes are their own
        // only descendant-or-self and have no children.
        if (!hasChildren(node.kind)) continue;
        // A context node inside the last walked subtree was walked with it.
        if (lastWalked.hasRoot() && lastWalked.inside(node)) continue;
        walk.walk(node);
        lastWalked.setRoot(node);
    }
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
