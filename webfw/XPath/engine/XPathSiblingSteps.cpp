// following-sibling and preceding-sibling steps from context sets that hold
// several children of one parent. Step by step, each such context node would
// scan its siblings on its own, which costs the square of the sibling count
// (//h2/following-sibling::div[1] on a flat page). Two forms are answered
// with one scan per parent instead:
// - with position-free predicates, the siblings of the first context node of
//   a parent (the last one for preceding-sibling) hold those of all others;
// - with [1] first, each context node's nearest match is found by scanning
//   only up to the next context node of the same parent, whose nearest
//   match it shares when none comes before.
#include <unordered_map>
#include <unordered_set>

#include "XPathAst.h"
#include "XPathSubtreeTracker.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

bool hasSiblings(const Node& node) {
    return node.kind != NodeKind::Attribute && node.kind != NodeKind::Namespace && node.kind != NodeKind::Root;
}

Node siblingAfter(const Navigator& navigator, Node node, bool following) {
    return following ? navigator.nextSibling(node) : navigator.previousSibling(node);
}

bool startsWithFirstPosition(const Step& step) {
    if (step.predicates.empty()) return false;
    const double* number = step.predicates.front()->constantNumber();
    return number && *number == 1;
}

// The parents of the context nodes (null for nodes without siblings), or
// an empty list when no two neighbours among the first few share a parent:
// then the per-parent scans are unlikely to save anything and the plain
// step is cheaper.
std::vector<Node> parentsIfShared(const Navigator& navigator, const std::vector<Node>& context) {
    constexpr std::size_t neighboursTried = 16;
    std::vector<Node> parents(context.size());
    bool shared = false;
    for (std::size_t i = 0; i < context.size(); ++i) {
        if (!shared && i == neighboursTried) break;
        if (hasSiblings(context[i])) parents[i] = navigator.parent(context[i]);
        shared = shared || (i > 0 && parents[i] && parents[i] == parents[i - 1]);
    }
    if (!shared) parents.clear();
    return parents;
}

std::vector<Node> parentsOf(const Navigator& navigator, const std::vector<Node>& context) {
    std::vector<Node> parents(context.size());
    for (std::size_t i = 0; i < context.size(); ++i)
        if (hasSiblings(context[i])) parents[i] = navigator.parent(context[i]);
    return parents;
}

// Whether the nearest following siblings of the context nodes come out in
// document order. They do when every context node is a sibling of the one
// before it or lies outside that one's parent: a later context node that
// lies deeper in the previous one's parent sits in a sibling of it, and its
// match may come before the previous match (the same check catches a
// context node inside the previous one).
bool nearestFollowingInOrder(const Navigator& navigator, const std::vector<Node>& context,
                             const std::vector<Node>& parents) {
    SubtreeTracker subtrees(navigator);
    for (std::size_t k = 0; k + 1 < context.size(); ++k) {
        const Node parent = parents[k];
        if (!parent || !parents[k + 1]) return false;
        if (parents[k + 1] == parent) continue;
        subtrees.setRoot(parent);
        if (subtrees.inside(parents[k + 1])) return false;
    }
    return true;
}

// The nearest sibling passing the test of every context node, in the order of
// context; null where there is none.
std::vector<Node> nearestMatches(const Navigator& navigator, const Step& step, const std::vector<Node>& context,
                                 const std::vector<Node>& parents, bool shareMatches) {
    const bool following = step.axis == Axis::FollowingSibling;
    std::vector<Node> nearest(context.size());
    // Per parent: the context node handled last (the next one along the
    // axis) and its nearest match.
    struct Handled {
        Node contextNode;
        Node match;
    };
    std::unordered_map<Node, Handled, NodeHash> byParent;
    const std::size_t count = context.size();
    for (std::size_t k = 0; k < count; ++k) {
        // Against the axis direction, so that the next context node along
        // the axis is already handled.
        const std::size_t i = following ? count - 1 - k : k;
        const Node node = context[i];
        const Node parent = parents[i];
        if (!parent) continue;
        auto known = shareMatches ? byParent.find(parent) : byParent.end();
        const Node stop = known != byParent.end() ? known->second.contextNode : Node();
        Node match;
        for (Node sibling = siblingAfter(navigator, node, following); sibling;
             sibling = siblingAfter(navigator, sibling, following)) {
            if (step.test.matches(navigator, sibling, NodeKind::Element)) {
                match = sibling;
                break;
            }
            if (sibling == stop) {
                match = known->second.match;
                break;
            }
        }
        if (shareMatches) byParent[parent] = Handled{node, match};
        nearest[i] = match;
    }
    return nearest;
}

} // namespace

bool collectSiblingStep(const Environment& environment, const Step& step, const std::vector<Node>& context,
                        std::vector<Node>& out, bool& inDocumentOrder) {
    if (step.axis != Axis::FollowingSibling && step.axis != Axis::PrecedingSibling) return false;
    const Navigator& navigator = environment.navigator;
    inDocumentOrder = false;
    if (startsWithFirstPosition(step)) {
        const std::vector<Node> parents = parentsOf(navigator, context);
        bool shared = false;
        for (std::size_t i = 1; i < parents.size() && !shared; ++i)
            shared = parents[i] && parents[i] == parents[i - 1];
        inDocumentOrder = step.axis == Axis::FollowingSibling && nearestFollowingInOrder(navigator, context, parents);
        std::vector<Node> candidate;
        Node previous;
        for (const Node& match : nearestMatches(navigator, step, context, parents, shared)) {
            // Neighbouring context nodes often share their nearest match.
            if (!match || match == previous) continue;
            previous = match;
            candidate.assign(1, match);
            for (std::size_t p = 1; p < step.predicates.size() && !candidate.empty(); ++p)
                filterByPredicate(*step.predicates[p], environment, candidate);
            out.insert(out.end(), candidate.begin(), candidate.end());
        }
        return true;
    }
    if (!step.predicatesIgnorePosition()) return false;
    const std::vector<Node> parents = parentsIfShared(navigator, context);
    if (parents.empty()) return false;
    // One context node per parent: the first for following-sibling, the last
    // for preceding-sibling.
    std::unordered_set<Node, NodeHash> parentsDone;
    std::vector<Node> candidates;
    const bool following = step.axis == Axis::FollowingSibling;
    const std::size_t count = context.size();
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t i = following ? k : count - 1 - k;
        if (!parents[i] || !parentsDone.insert(parents[i]).second) continue;
        const Node node = context[i];
        candidates.clear();
        collectAxis(navigator, step.axis, step.test, node, candidates);
        for (const ExprPtr& predicate : step.predicates) {
            if (candidates.empty()) break;
            filterByPredicate(*predicate, environment, candidates);
        }
        if (following)
            out.insert(out.end(), candidates.begin(), candidates.end());
        else
            out.insert(out.end(), candidates.rbegin(), candidates.rend());
    }
    return true;
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
