// A LibxmlNavigator that meters the work of an evaluation and stops it once
// a budget is spent, by throwing EvaluationBudgetExceeded out of the engine.
//
// Over a large document some inputs are costly by nature (node-sets compared
// with node-sets, paths nested in predicates): they are not faults, but they
// would run past the fuzzer's time-out. The fuzz target gives them a budget
// and drops an input that spends it.
//
// Units: one per navigator call, plus the size of what a call hands out
// (text appended, namespace scopes walked), plus, when the target counts
// them, bytes the evaluation allocated (one unit per kAllocationBytesPerUnit):
// copies and merges of large node-sets and strings cost no navigator calls
// but do allocate. The budget is checked on navigator calls only, so work
// after the last call is not stopped; it is bounded by what one step of the
// engine does, not by the input.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
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
    static constexpr std::size_t kAllocationBytesPerUnit = 16;

    // allocatedBytes: a counter of bytes allocated that the caller keeps up
    // to date (may be null: then allocations are not metered).
    explicit BudgetNavigator(const std::size_t* allocatedBytes = nullptr) : allocatedBytes_(allocatedBytes) {}

    // Starts metering with a fresh budget.
    void start(std::size_t budget)
    {
        budget_ = budget;
        calls_ = 0;
        allocationsAtStart_ = allocatedBytes_ ? *allocatedBytes_ : 0;
    }
    // Lifts the budget (calls still count).
    void stop() { budget_ = std::numeric_limits<std::size_t>::max(); }
    std::size_t spent() const
    {
        std::size_t allocated = allocatedBytes_ ? *allocatedBytes_ - allocationsAtStart_ : 0;
        return calls_ + allocated / kAllocationBytesPerUnit;
    }

    Node parent(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::parent(node);
    }
    Node firstChild(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::firstChild(node);
    }
    Node nextSibling(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::nextSibling(node);
    }
    Node previousSibling(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::previousSibling(node);
    }
    Node nextInSubtree(Node node, Node subtreeRoot) const override
    {
        charge(1);
        return LibxmlNavigator::nextInSubtree(node, subtreeRoot);
    }
    Node nextElementInSubtree(Node node, Node subtreeRoot) const override
    {
        charge(1);
        return LibxmlNavigator::nextElementInSubtree(node, subtreeRoot);
    }
    Node firstAttribute(Node element) const override
    {
        charge(1);
        return LibxmlNavigator::firstAttribute(element);
    }
    Node nextAttribute(Node attribute) const override
    {
        charge(1);
        return LibxmlNavigator::nextAttribute(attribute);
    }
    // The in-scope namespaces are found by walking up to the root.
    void namespaceNodes(Node element, std::vector<Node>& out) const override
    {
        std::size_t depth = 1;
        for (const xmlNode* n = static_cast<const xmlNode*>(element.handle); n; n = n->parent)
            ++depth;
        charge(depth);
        LibxmlNavigator::namespaceNodes(element, out);
    }

    std::wstring localName(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::localName(node);
    }
    std::wstring namespaceUri(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::namespaceUri(node);
    }
    std::wstring prefix(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::prefix(node);
    }
    std::wstring qualifiedName(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::qualifiedName(node);
    }
    bool nameEquals(Node node, std::wstring_view localName, std::wstring_view namespaceUri) const override
    {
        charge(1);
        return LibxmlNavigator::nameEquals(node, localName, namespaceUri);
    }
    bool namespaceEquals(Node node, std::wstring_view namespaceUri) const override
    {
        charge(1);
        return LibxmlNavigator::namespaceEquals(node, namespaceUri);
    }

    void appendNodeValue(Node node, std::wstring& out) const override
    {
        const std::size_t before = out.size();
        charge(1);
        LibxmlNavigator::appendNodeValue(node, out);
        charge((out.size() - before) / 16);
    }
    void appendStringValue(Node node, std::wstring& out) const override
    {
        charge(1);
        LibxmlNavigator::appendStringValue(node, out);
    }

    int compareDocumentOrder(Node a, Node b) const override
    {
        charge(1);
        return LibxmlNavigator::compareDocumentOrder(a, b);
    }
    Node root(Node node) const override
    {
        charge(1);
        return LibxmlNavigator::root(node);
    }
    Node elementById(Node anyNodeOfDocument, std::wstring_view id) const override
    {
        charge(1 + id.size() / 16);
        return LibxmlNavigator::elementById(anyNodeOfDocument, id);
    }
    bool language(Node node, std::wstring& out) const override
    {
        charge(1);
        return LibxmlNavigator::language(node, out);
    }

private:
    void charge(std::size_t units) const
    {
        calls_ += units;
        if (budget_ != std::numeric_limits<std::size_t>::max() && spent() > budget_)
            throw EvaluationBudgetExceeded();
    }

    const std::size_t* allocatedBytes_;
    std::size_t allocationsAtStart_ = 0;
    mutable std::size_t calls_ = 0;
    std::size_t budget_ = std::numeric_limits<std::size_t>::max();
};

} // namespace vxXPathTest
