#include "XPathValue.h"

#include <algorithm>

#include "XPathText.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

namespace {

bool precedes(const Navigator& navigator, const Node& a, const Node& b) {
    return navigator.compareDocumentOrder(a, b) < 0;
}

// The first index from `from` on whose node does not come before key, in a
// list in document order: probes 1, 2, 4... nodes ahead, then halves the
// last gap, so that the comparisons follow the log of the distance.
std::size_t skipNodesBefore(const Navigator& navigator, const Node* list, std::size_t from, std::size_t size,
                            const Node& key) {
    std::size_t low = from;
    std::size_t high = size;
    for (std::size_t step = 1;; step *= 2) {
        const std::size_t probe = low + step - 1;
        if (probe >= size) break;
        if (!precedes(navigator, list[probe], key)) {
            high = probe;
            break;
        }
        low = probe + 1;
    }
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (precedes(navigator, list[middle], key))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

} // namespace

void mergeInDocumentOrder(const Navigator& navigator, const Node* a, std::size_t sizeA, const Node* b,
                          std::size_t sizeB, std::vector<Node>& out) {
    // Once one side has come first several times in a row, its nodes before
    // the other side's next one are skipped over in a few comparisons, not
    // one each: sets made of long stretches (//div | //span, or the runs
    // normalize() merges) then cost few comparisons, and comparing nodes far
    // apart in a deep tree costs about its depth.
    constexpr std::size_t kSkipAfter = 4;
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t streakA = 0;
    std::size_t streakB = 0;
    while (i < sizeA && j < sizeB) {
        if (a[i] == b[j]) {
            out.push_back(a[i]);
            ++i;
            ++j;
            streakA = streakB = 0;
        } else if (streakA >= kSkipAfter) {
            const std::size_t end = skipNodesBefore(navigator, a, i, sizeA, b[j]);
            out.insert(out.end(), a + i, a + end);
            i = end;
            streakA = 0;
        } else if (streakB >= kSkipAfter) {
            const std::size_t end = skipNodesBefore(navigator, b, j, sizeB, a[i]);
            out.insert(out.end(), b + j, b + end);
            j = end;
            streakB = 0;
        } else if (precedes(navigator, a[i], b[j])) {
            out.push_back(a[i++]);
            ++streakA;
            streakB = 0;
        } else {
            out.push_back(b[j++]);
            ++streakB;
            streakA = 0;
        }
    }
    out.insert(out.end(), a + i, a + sizeA);
    out.insert(out.end(), b + j, b + sizeB);
}

void NodeSet::normalize(const Navigator& navigator) {
    if (inDocumentOrder) return;
    // Sets built from several context nodes are often in order already
    // (children of non-nested elements, for example), or made of a few
    // stretches in order (parents of nodes in order): finding those runs
    // costs n - 1 comparisons of mostly close nodes, and merging them costs
    // far fewer than sorting. Repeats next to each other (the same node
    // reached from neighbouring context nodes) are dropped on the way.
    std::vector<std::size_t> runEnds;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (kept > 0 && nodes[kept - 1] == nodes[i]) continue;
        if (kept > 0 && !precedes(navigator, nodes[kept - 1], nodes[i])) runEnds.push_back(kept);
        nodes[kept++] = nodes[i];
    }
    nodes.resize(kept);
    runEnds.push_back(kept);
    // Neighbouring runs are merged pairwise, round by round, so that each
    // node moves about log(runs) times; merging drops the nodes found in
    // both runs.
    std::vector<Node> merged;
    std::vector<std::size_t> mergedEnds;
    while (runEnds.size() > 1) {
        merged.clear();
        merged.reserve(nodes.size());
        mergedEnds.clear();
        std::size_t start = 0;
        for (std::size_t run = 0; run < runEnds.size(); run += 2) {
            if (run + 1 == runEnds.size()) {
                merged.insert(merged.end(), nodes.begin() + static_cast<std::ptrdiff_t>(start), nodes.end());
            } else {
                const std::size_t middle = runEnds[run];
                const std::size_t end = runEnds[run + 1];
                mergeInDocumentOrder(navigator, nodes.data() + start, middle - start, nodes.data() + middle,
                                     end - middle, merged);
                start = end;
            }
            mergedEnds.push_back(merged.size());
        }
        nodes.swap(merged);
        runEnds.swap(mergedEnds);
    }
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
    if (!nodes.nodes.empty()) result.nodes_ = std::make_shared<NodeSet>(std::move(nodes));
    return result;
}

const NodeSet& Value::nodeSet() const& {
    static const NodeSet empty;
    return nodes_ ? *nodes_ : empty;
}

NodeSet& Value::nodeSet() & {
    if (!nodes_)
        nodes_ = std::make_shared<NodeSet>();
    else if (nodes_.use_count() > 1)
        nodes_ = std::make_shared<NodeSet>(*nodes_);
    return *nodes_;
}

NodeSet Value::nodeSet() && {
    if (!nodes_) return NodeSet();
    std::shared_ptr<NodeSet> shared = std::move(nodes_);
    if (shared.use_count() > 1) return *shared;
    return std::move(*shared);
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
            return nodes_ && !nodes_->nodes.empty();
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
            Node first = nodeSet().firstInDocumentOrder(navigator);
            return first ? stringValueOf(navigator, first) : std::wstring();
        }
    }
    return std::wstring();
}

std::unordered_set<std::wstring> distinctStringValues(const Navigator& navigator, const std::vector<Node>& nodes) {
    std::unordered_set<std::wstring> values;
    for (const Node& node : nodes)
        values.insert(stringValueOf(navigator, node));
    return values;
}

std::wstring stringValueOf(const Navigator& navigator, Node node) {
    std::wstring value;
    navigator.appendStringValue(node, value);
    return value;
}

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
