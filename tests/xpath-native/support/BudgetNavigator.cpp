#include "BudgetNavigator.h"

namespace vxXPathTest {

void BudgetNavigator::start(std::size_t budget)
{
    budget_ = budget;
    calls_ = 0;
    allocationsAtStart_ = allocatedBytes_ ? *allocatedBytes_ : 0;
}

std::size_t BudgetNavigator::spent() const
{
    const std::size_t allocated = allocatedBytes_ ? *allocatedBytes_ - allocationsAtStart_ : 0;
    return calls_ + allocated / kAllocationBytesPerUnit;
}

void BudgetNavigator::charge(std::size_t units) const
{
    calls_ += units;
    if (budget_ != kUnlimited && spent() > budget_)
        throw EvaluationBudgetExceeded();
}

Node BudgetNavigator::parent(Node node) const
{
    charge(1);
    return LibxmlNavigator::parent(node);
}

Node BudgetNavigator::firstChild(Node node) const
{
    charge(1);
    return LibxmlNavigator::firstChild(node);
}

Node BudgetNavigator::nextSibling(Node node) const
{
    charge(1);
    return LibxmlNavigator::nextSibling(node);
}

Node BudgetNavigator::previousSibling(Node node) const
{
    charge(1);
    return LibxmlNavigator::previousSibling(node);
}

Node BudgetNavigator::nextInSubtree(Node node, Node subtreeRoot) const
{
    charge(1);
    return LibxmlNavigator::nextInSubtree(node, subtreeRoot);
}

Node BudgetNavigator::nextElementInSubtree(Node node, Node subtreeRoot) const
{
    charge(1);
    return LibxmlNavigator::nextElementInSubtree(node, subtreeRoot);
}

Node BudgetNavigator::firstAttribute(Node element) const
{
    charge(1);
    return LibxmlNavigator::firstAttribute(element);
}

Node BudgetNavigator::nextAttribute(Node attribute) const
{
    charge(1);
    return LibxmlNavigator::nextAttribute(attribute);
}

void BudgetNavigator::namespaceNodes(Node element, std::vector<Node>& out) const
{
    std::size_t depth = 1;
    for (const xmlNode* n = static_cast<const xmlNode*>(element.handle); n; n = n->parent)
        ++depth;
    charge(depth);
    LibxmlNavigator::namespaceNodes(element, out);
}

std::wstring BudgetNavigator::localName(Node node) const
{
    charge(1);
    return LibxmlNavigator::localName(node);
}

std::wstring BudgetNavigator::namespaceUri(Node node) const
{
    charge(1);
    return LibxmlNavigator::namespaceUri(node);
}

std::wstring BudgetNavigator::prefix(Node node) const
{
    charge(1);
    return LibxmlNavigator::prefix(node);
}

std::wstring BudgetNavigator::qualifiedName(Node node) const
{
    charge(1);
    return LibxmlNavigator::qualifiedName(node);
}

bool BudgetNavigator::nameEquals(Node node, std::wstring_view localName, std::wstring_view namespaceUri) const
{
    charge(1);
    return LibxmlNavigator::nameEquals(node, localName, namespaceUri);
}

bool BudgetNavigator::namespaceEquals(Node node, std::wstring_view namespaceUri) const
{
    charge(1);
    return LibxmlNavigator::namespaceEquals(node, namespaceUri);
}

// Charged by the length too: one unit per 16 characters appended.
void BudgetNavigator::appendNodeValue(Node node, std::wstring& out) const
{
    const std::size_t before = out.size();
    charge(1);
    LibxmlNavigator::appendNodeValue(node, out);
    charge((out.size() - before) / 16);
}

void BudgetNavigator::appendStringValue(Node node, std::wstring& out) const
{
    charge(1);
    LibxmlNavigator::appendStringValue(node, out);
}

int BudgetNavigator::compareDocumentOrder(Node a, Node b) const
{
    charge(1);
    return LibxmlNavigator::compareDocumentOrder(a, b);
}

Node BudgetNavigator::root(Node node) const
{
    charge(1);
    return LibxmlNavigator::root(node);
}

Node BudgetNavigator::elementById(Node anyNodeOfDocument, std::wstring_view id) const
{
    charge(1 + id.size() / 16);
    return LibxmlNavigator::elementById(anyNodeOfDocument, id);
}

bool BudgetNavigator::language(Node node, std::wstring& out) const
{
    charge(1);
    return LibxmlNavigator::language(node, out);
}

} // namespace vxXPathTest
