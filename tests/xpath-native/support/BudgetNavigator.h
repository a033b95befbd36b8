// A LibxmlNavigator that meters the work of an evaluation and stops it once
// a budget is spent, by throwing EvaluationBudgetExceeded out of the engine.
//
// Over a large document some inputs are costly by nature (node-sets compared
// with node-sets, paths nested in predicates): they are not faults, but they
// would run past the fuzzer's time-out. The fuzz target gives them a budget
// and drops an input that spends it. The native tests use the same meter to
// bound the work of expressions that must stay cheap.
//
// Units: one per navigator call, plus the size of what a call hands out
// (text appended, namespace scopes walked), plus, when the owner counts
// them, bytes the evaluation allocated (one unit per kAllocationBytesPerUnit):
// copies and merges of large node-sets and strings cost no navigator calls
// but do allocate. The budget is checked on navigator calls only: what the
// engine does between two calls (merging two node-sets, a string function
// over long strings, a predicate of arithmetic alone) is not stopped; it is
// bounded by the size of the document and of the expression.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "LibxmlNavigator.h"

namespace vxXPathTest {

// Not derived from std::exception: nothing in the engine or the target may
// mistake it for an error of the engine.
struct EvaluationBudgetExceeded
{
};

class BudgetNavigator : public LibxmlNavigator
{
public:
    static constexpr std::size_t kAllocationBytesPerUnit = 32;

    // allocatedBytes: a counter of bytes allocated that the caller keeps up
    // to date (may be null: then allocations are not metered).
    explicit BudgetNavigator(const std::size_t* allocatedBytes = nullptr) : allocatedBytes_(allocatedBytes) {}

    // Starts metering with a fresh budget.
    void start(std::size_t budget);
    // Lifts the budget (calls still count).
    void stop() { budget_ = kUnlimited; }
    std::size_t spent() const;

    Node parent(Node node) const override;
    Node firstChild(Node node) const override;
    Node nextSibling(Node node) const override;
    Node previousSibling(Node node) const override;
    Node nextInSubtree(Node node, Node subtreeRoot) const override;
    Node nextElementInSubtree(Node node, Node subtreeRoot) const override;
    Node firstAttribute(Node element) const override;
    Node nextAttribute(Node attribute) const override;
    // Charged by the depth: the in-scope namespaces are found by walking up
    // to the root.
    void namespaceNodes(Node element, std::vector<Node>& out) const override;

    std::wstring localName(Node node) const override;
    std::wstring namespaceUri(Node node) const override;
    std::wstring prefix(Node node) const override;
    std::wstring qualifiedName(Node node) const override;
    bool nameEquals(Node node, std::wstring_view localName, std::wstring_view namespaceUri) const override;
    bool namespaceEquals(Node node, std::wstring_view namespaceUri) const override;

    void appendNodeValue(Node node, std::wstring& out) const override;
    void appendStringValue(Node node, std::wstring& out) const override;

    int compareDocumentOrder(Node a, Node b) const override;
    Node root(Node node) const override;
    Node elementById(Node anyNodeOfDocument, std::wstring_view id) const override;
    bool language(Node node, std::wstring& out) const override;

private:
    static constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();
    void charge(std::size_t units) const;

    const std::size_t* allocatedBytes_;
    std::size_t allocationsAtStart_ = 0;
    mutable std::size_t calls_ = 0;
    std::size_t budget_ = kUnlimited;
};

} // namespace vxXPathTest
