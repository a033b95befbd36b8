// The abstract document model the XPath engine walks.
//
// An adapter implements Navigator over its own node storage. The engine
// only copies Node handles around; they must stay valid for the duration of
// one evaluation, and the same node must always be reported with the same
// handle (the engine compares handles to detect duplicates). All member
// functions are const and are called from the evaluating thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "XPathNode.h"

namespace vxWebFw {
namespace XPath {
namespace Engine {

class Navigator {
public:
    virtual ~Navigator() = default;

    // --- Tree structure; a null Node means "none". -------------------------
    // Parent of a child node; owner element of an attribute or namespace node;
    // null for the root.
    virtual Node parent(Node node) const = 0;
    // Children exist only for Root and Element nodes; the engine never asks
    // other kinds.
    virtual Node firstChild(Node node) const = 0;
    // Siblings among children; never asked for attribute or namespace nodes.
    virtual Node nextSibling(Node node) const = 0;
    virtual Node previousSibling(Node node) const = 0;
    // The node after `node` in document order among the descendants of
    // subtreeRoot, or null after the last one (attribute and namespace nodes
    // are not part of this walk). The default uses firstChild, nextSibling
    // and parent; a navigator with a cheaper pre-order step overrides it.
    virtual Node nextInSubtree(Node node, Node subtreeRoot) const;
    // Like nextInSubtree, but only elements: used by name tests, which never
    // match other kinds on the descendant axes.
    virtual Node nextElementInSubtree(Node node, Node subtreeRoot) const;
    // Attributes of an element, namespace declarations excluded.
    virtual Node firstAttribute(Node element) const = 0;
    virtual Node nextAttribute(Node attribute) const = 0;
    // Namespace nodes of an element (in-scope namespaces). The default
    // reports none, which suits a model without namespaces.
    virtual void namespaceNodes(Node element, std::vector<Node>& out) const;

    // --- Names -------------------------------------------------------------
    // Local name of an element or attribute, target of a processing
    // instruction, prefix of a namespace node; empty for other kinds.
    virtual std::wstring localName(Node node) const = 0;
    virtual std::wstring namespaceUri(Node node) const; // default: empty
    virtual std::wstring prefix(Node node) const;       // default: empty
    // The name() function: prefix:local, or local when there is no prefix.
    virtual std::wstring qualifiedName(Node node) const;
    // Name test of an element, attribute or namespace node (a namespace
    // node is named by its prefix and has no namespace URI). Override to
    // decide case rules (for example HTML element names) or to compare
    // without copying.
    virtual bool nameEquals(Node node, std::wstring_view localName, std::wstring_view namespaceUri) const;
    // The prefix:* name test.
    virtual bool namespaceEquals(Node node, std::wstring_view namespaceUri) const;

    // --- Values ------------------------------------------------------------
    // Appends the value of a text, comment, attribute, namespace (its URI)
    // or processing-instruction (its data) node. Root and element nodes are
    // never asked.
    virtual void appendNodeValue(Node node, std::wstring& out) const = 0;
    // Appends the XPath string-value. The default uses appendNodeValue and,
    // for root and element nodes, concatenates the descendant text nodes.
    virtual void appendStringValue(Node node, std::wstring& out) const;

    // --- Order and lookups -------------------------------------------------
    // Negative, zero or positive as a precedes, equals or follows b in
    // document order. Both nodes belong to the same document. The default
    // works from parent and sibling links; namespace nodes of an element come
    // right after it, then its attributes, then its children.
    virtual int compareDocumentOrder(Node a, Node b) const;
    // The root node of the node's document; the default walks parents.
    virtual Node root(Node node) const;
    // The element whose ID is id, or null; the default finds nothing.
    virtual Node elementById(Node anyNodeOfDocument, std::wstring_view id) const;
    // The language of a node for lang(): the nearest xml:lang on the node or
    // an ancestor. Returns false when there is none.
    virtual bool language(Node node, std::wstring& out) const;

    static constexpr const wchar_t* xmlNamespaceUri = L"http://www.w3.org/XML/1998/namespace";

protected:
    Navigator() = default;
    Navigator(const Navigator&) = default;
    Navigator& operator=(const Navigator&) = default;

private:
    int compareTreePositions(Node a, Node b) const;
    int compareSiblings(Node a, Node b) const;
    int compareAttachedNodes(Node owner, Node a, Node b) const;
};

} // namespace Engine
} // namespace XPath
} // namespace vxWebFw
