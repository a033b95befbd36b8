// Location paths: step-by-step evaluation with predicates, keeping track of
// whether the intermediate node-set is already in document order so that it
// is sorted only when an axis can break the order.
#include <algorithm>
#include <cmath>
#include <utility>

#include "XPathAst.h"
#include "XPathError.h"
#include "XPathSubtreeTracker.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

// A predicate [k] with a constant k selects at most the k-th node: returns
// the number of nodes worth collecting, or -1 when there is no such bound.
std::size_t constantPositionLimit(const Step& step) {
    if (step.predicates.empty()) return static_cast<std::size_t>(-1);
    const double* number = step.predicates.front()->constantNumber();
    if (!number) return static_cast<std::size_t>(-1);
    double k = *number;
    if (!(k >= 1) || k != std::floor(k) || k > 1e9) return 0; // selects nothing
    return static_cast<std::size_t>(k);
}

// Attributes and namespace nodes have their element as parent but are not
// among its descendants.
bool isAttributeOrNamespace(const Node& node) {
    return node.kind == NodeKind::Attribute || node.kind == NodeKind::Namespace;
}

// For a set in document order: true when no node is an ancestor of another
// one. A node's subtree is contiguous in document order, so checking
// neighbours is enough.
bool noNodeContainsAnother(const Navigator& navigator, const std::vector<Node>& nodes) {
    SubtreeTracker subtrees(navigator);
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        subtrees.setRoot(nodes[i - 1]);
        if (subtrees.inside(nodes[i])) return false;
    }
    return true;
}

// Steps whose evaluation depends on whether nodes of their context set
// contain one another.
bool dependsOnNesting(Axis axis) {
    return axis == Axis::Child || axis == Axis::Descendant || axis == Axis::DescendantOrSelf;
}

// descendant-or-self::node() without predicates, as '//' writes it.
bool onlyProvidesParents(const Step& step) {
    return step.axis == Axis::DescendantOrSelf && step.predicates.empty() &&
           (step.test.kind == NodeTest::Kind::AnyNode || step.test.kind == NodeTest::Kind::ElementOrRoot);
}

} // namespace

bool Step::predicatesIgnorePosition() const {
    for (const ExprPtr& predicate : predicates) {
        StaticType type = predicate->staticType();
        if (type == StaticType::Number || type == StaticType::Any || predicate->usesPositionOrSize()) return false;
    }
    return true;
}

void filterByPredicate(const Expr& predicate, const Environment& environment, std::vector<Node>& nodes) {
    const std::size_t size = nodes.size();
    if (const double* number = predicate.constantNumber()) {
        double k = *number;
        if (k >= 1 && k <= static_cast<double>(size) && k == std::floor(k)) {
            Node chosen = nodes[static_cast<std::size_t>(k) - 1];
            nodes.assign(1, chosen);
        } else {
            nodes.clear();
        }
        return;
    }
    const StaticType type = predicate.staticType();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size; ++i) {
        Context context{environment, nodes[i], i + 1, size};
        bool keep;
        if (type == StaticType::Number || type == StaticType::Any) {
            Value value = predicate.evaluate(context);
            keep = value.type() == ValueType::Number ? value.numberValue() == static_cast<double>(i + 1)
                                                     : value.toBoolean();
        } else {
            keep = predicate.evaluateBoolean(context);
        }
        if (keep) nodes[kept++] = nodes[i];
    }
    nodes.resize(kept);
}

NodeSet PathExpr::evaluateSteps(const Environment& environment, NodeSet current) const {
    const Navigator& navigator = environment.navigator;
    // disjoint: no node of the current set is an ancestor of another one.
    bool disjoint = current.nodes.size() <= 1;
    std::vector<Node> candidates;
    for (std::size_t stepIndex = 0; stepIndex < steps_.size(); ++stepIndex) {
        const Step& step = steps_[stepIndex];
        if (current.nodes.empty()) break;
        current.normalize(navigator);
        if (stepIndex + 1 < steps_.size() && onlyProvidesParents(step) && steps_[stepIndex + 1].axis == Axis::Child) {
            NodeSet next;
            collectChildrenOfDescendants(environment, steps_[++stepIndex], current.nodes, next.nodes);
            current = std::move(next);
            disjoint = current.nodes.size() <= 1;
            continue;
        }
        if (current.nodes.size() > 1) {
            NodeSet next;
            bool ordered = false;
            if (collectSiblingStep(environment, step, current.nodes, next.nodes, ordered)) {
                next.inDocumentOrder = ordered || next.nodes.size() <= 1;
                current = std::move(next);
                disjoint = current.nodes.size() <= 1;
                continue;
            }
        }
        const bool single = current.nodes.size() == 1;
        // Children (and descendants) of non-nested nodes come out in document
        // order: one cheap check here saves sorting the larger result.
        if (!disjoint && !single &&
            (step.axis == Axis::Child || step.axis == Axis::Descendant || step.axis == Axis::DescendantOrSelf))
            disjoint = noNodeContainsAnother(navigator, current.nodes);
        const bool reverse = isReverseAxis(step.axis);
        const bool descendantAxis = step.axis == Axis::Descendant || step.axis == Axis::DescendantOrSelf;
        // With position-free predicates the descendants of a nested context
        // node are already among those of its ancestor in the set: skipping
        // it keeps the result in document order without duplicates.
        const bool skipNested = descendantAxis && !disjoint && step.predicatesIgnorePosition();
        const std::size_t limit = constantPositionLimit(step);
        // Whether the matches of a name test nest is noted during the walk
        // when the next step needs to know: it spares that step a check that
        // walks up to the root from every node.
        const bool trackNesting = descendantAxis && step.test.kind == NodeTest::Kind::Name &&
                                  stepIndex + 1 < steps_.size() && dependsOnNesting(steps_[stepIndex + 1].axis);
        bool matchesNest = false;
        NodeSet next;
        SubtreeTracker lastRoot(navigator);
        // An attribute or namespace node in the set is expanded on its own:
        // its element's descendants do not hold it, and its result then
        // follows theirs, out of document order.
        bool expandedAttributeLike = false;
        for (const Node& node : current.nodes) {
            const bool attributeLike = isAttributeOrNamespace(node);
            if (skipNested && !attributeLike && lastRoot.hasRoot() && lastRoot.inside(node)) continue;
            if (attributeLike)
                expandedAttributeLike = true;
            else if (skipNested)
                lastRoot.setRoot(node);
            // Without predicates a forward axis appends to the result itself.
            const bool direct = step.predicates.empty() && !reverse;
            std::vector<Node>& collected = direct ? next.nodes : candidates;
            if (!direct) candidates.clear();
            if (trackNesting)
                matchesNest =
                    !collectNamedDescendants(navigator, step.axis, step.test, node, collected, limit) || matchesNest;
            else
                collectAxis(navigator, step.axis, step.test, node, collected, limit);
            if (direct) continue;
            for (const ExprPtr& predicate : step.predicates) {
                if (candidates.empty()) break;
                filterByPredicate(*predicate, environment, candidates);
            }
            if (reverse)
                next.nodes.insert(next.nodes.end(), candidates.rbegin(), candidates.rend());
            else
                next.nodes.insert(next.nodes.end(), candidates.begin(), candidates.end());
        }
        bool ordered;
        bool nextDisjoint;
        switch (step.axis) {
            case Axis::Self:
                ordered = true;
                nextDisjoint = disjoint;
                break;
            case Axis::Attribute:
            case Axis::Namespace:
                ordered = true;
                nextDisjoint = true;
                break;
            case Axis::Child:
                ordered = disjoint;
                nextDisjoint = disjoint;
                break;
            case Axis::Descendant:
            case Axis::DescendantOrSelf:
                ordered = single || disjoint || (skipNested && !expandedAttributeLike);
                // Walks from context nodes that do not nest cover separate
                // subtrees, so only matches within one walk can nest.
                nextDisjoint = trackNesting && !matchesNest && (single || disjoint || skipNested);
                break;
            case Axis::Parent:
                ordered = single;
                nextDisjoint = single;
                break;
            default:
                ordered = single;
                nextDisjoint = false;
                break;
        }
        next.inDocumentOrder = ordered || next.nodes.size() <= 1;
        current = std::move(next);
        disjoint = nextDisjoint || current.nodes.size() <= 1;
    }
    current.normalize(navigator);
    return current;
}

AbsolutePathValue& PathExpr::keptValue(const Context& context) const {
    Node root = context.navigator().root(context.node);
    AbsolutePathCache& cache = context.environment.absolutePaths;
    auto found = cache.find(this);
    if (found != cache.end() && found->second.root == root) return found->second;
    NodeSet rootSet;
    rootSet.nodes.push_back(root);
    Value value = Value::fromNodeSet(evaluateSteps(context.environment, std::move(rootSet)));
    AbsolutePathValue& kept = cache[this];
    kept = AbsolutePathValue{root, std::move(value), nullptr};
    return kept;
}

const std::unordered_set<std::wstring>& PathExpr::keptStringValues(const Context& context) const {
    AbsolutePathValue& kept = keptValue(context);
    if (!kept.stringValues)
        kept.stringValues = std::make_unique<const std::unordered_set<std::wstring>>(
            distinctStringValues(context.navigator(), kept.value.nodes()));
    return *kept.stringValues;
}

Value PathExpr::evaluate(const Context& context) const {
    NodeSet start;
    switch (start_) {
        case Start::ContextNode:
            start.nodes.push_back(context.node);
            break;
        case Start::Root: {
            if (cacheable_) return keptValue(context).value;
            start.nodes.push_back(context.navigator().root(context.node));
            break;
        }
        case Start::Filter: {
            Value value = filter_->evaluate(context);
            if (!value.isNodeSet())
                throwEvaluationError(L"a path step applies to a value that is not a node-set", position());
            start = std::move(value).nodeSet();
            break;
        }
    }
    return Value::fromNodeSet(evaluateSteps(context.environment, std::move(start)));
}

// Whether the axis of the context node has a node passing the test; the
// common axes are checked without building a node list.
static bool axisHasMatch(const Navigator& navigator, const Step& step, Node node) {
    switch (step.axis) {
        case Axis::Self:
            return step.test.matches(navigator, node, NodeKind::Element);
        case Axis::Attribute:
            if (node.kind != NodeKind::Element) return false;
            for (Node a = navigator.firstAttribute(node); a; a = navigator.nextAttribute(a))
                if (step.test.matches(navigator, a, NodeKind::Attribute)) return true;
            return false;
        case Axis::Child:
            if (node.kind != NodeKind::Element && node.kind != NodeKind::Root) return false;
            for (Node c = navigator.firstChild(node); c; c = navigator.nextSibling(c))
                if (step.test.matches(navigator, c, NodeKind::Element)) return true;
            return false;
        default: {
            std::vector<Node> found;
            collectAxis(navigator, step.axis, step.test, node, found, 1);
            return !found.empty();
        }
    }
}

bool PathExpr::evaluateBoolean(const Context& context) const {
    if (start_ == Start::ContextNode && steps_.size() == 1 && steps_[0].predicates.empty())
        return axisHasMatch(context.navigator(), steps_[0], context.node);
    const Value value = evaluate(context);
    return !value.nodes().empty();
}

Value FilterExpr::evaluate(const Context& context) const {
    Value value = primary_->evaluate(context);
    if (!value.isNodeSet()) throwEvaluationError(L"a predicate applies to a value that is not a node-set", position());
    NodeSet& set = value.nodeSet();
    set.normalize(context.navigator());
    for (const ExprPtr& predicate : predicates_) {
        if (set.nodes.empty()) break;
        filterByPredicate(*predicate, context.environment, set.nodes);
    }
    return value;
}

// The node-set of value, normalized; a set already in document order is
// read where it is, so that a set shared with the path cache is not copied.
static const NodeSet& inDocumentOrder(Value& value, const Navigator& navigator) {
    if (!std::as_const(value).nodeSet().inDocumentOrder) value.nodeSet().normalize(navigator);
    return std::as_const(value).nodeSet();
}

Value UnionExpr::evaluate(const Context& context) const {
    Value left = left_->evaluate(context);
    Value right = right_->evaluate(context);
    if (!left.isNodeSet() || !right.isNodeSet())
        throwEvaluationError(L"an operand of '|' is not a node-set", position());
    const Navigator& navigator = context.navigator();
    const NodeSet& a = inDocumentOrder(left, navigator);
    const NodeSet& b = inDocumentOrder(right, navigator);
    if (b.nodes.empty()) return left;
    if (a.nodes.empty()) return right;
    NodeSet merged;
    merged.nodes.reserve(a.nodes.size() + b.nodes.size());
    mergeInDocumentOrder(navigator, a.nodes.data(), a.nodes.size(), b.nodes.data(), b.nodes.size(), merged.nodes);
    return Value::fromNodeSet(std::move(merged));
}

bool AttributeEqualsExpr::evaluateBoolean(const Context& context) const {
    if (context.node.kind != NodeKind::Element) return false;
    const Navigator& navigator = context.navigator();
    std::wstring value;
    for (Node attribute = navigator.firstAttribute(context.node); attribute;
         attribute = navigator.nextAttribute(attribute)) {
        if (!test_.matches(navigator, attribute, NodeKind::Attribute)) continue;
        value.clear();
        navigator.appendNodeValue(attribute, value);
        if (value == literal_) return true;
    }
    return false;
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
