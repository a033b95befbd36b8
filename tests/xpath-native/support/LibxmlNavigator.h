// Navigator over a libxml2 tree (xmlDoc / xmlNode), used to test the engine
// against libxml2's own XPath on the very same nodes.
//
// Handles: Root -> xmlDoc*, Element/Text/Comment/PI -> xmlNode*,
// Attribute -> xmlAttr*, Namespace -> a NamespaceNode record (declaration
// and owner element) that the navigator keeps for its lifetime. CDATA sections count as text; DTD and other non-XPath
// nodes are skipped.
#pragma once

#include <libxml/tree.h>

#include <map>
#include <memory>
#include <utility>

#include "XPathNavigator.h"

namespace vxXPathTest {

using vxWebFw::XPath::Engine::Node;
using vxWebFw::XPath::Engine::NodeKind;

class LibxmlNavigator : public vxWebFw::XPath::Engine::Navigator
{
public:
    LibxmlNavigator();

    // Handle of a libxml2 node (not for namespace nodes).
    static Node wrap(xmlNode* node);
    static Node documentNode(xmlDoc* doc) { return Node(NodeKind::Root, doc); }

    struct NamespaceNode
    {
        const xmlNs* declaration;
        const xmlNode* owner;
    };
    static const NamespaceNode& namespaceNode(Node node) { return *static_cast<const NamespaceNode*>(node.handle); }

    Node parent(Node node) const override;
    Node firstChild(Node node) const override;
    Node nextSibling(Node node) const override;
    Node previousSibling(Node node) const override;
    Node nextInSubtree(Node node, Node subtreeRoot) const override;
    Node nextElementInSubtree(Node node, Node subtreeRoot) const override;
    Node firstAttribute(Node element) const override;
    Node nextAttribute(Node attribute) const override;
    void namespaceNodes(Node element, std::vector<Node>& out) const override;

    std::wstring localName(Node node) const override;
    std::wstring namespaceUri(Node node) const override;
    std::wstring prefix(Node node) const override;
    bool nameEquals(Node node, std::wstring_view localName, std::wstring_view namespaceUri) const override;
    bool namespaceEquals(Node node, std::wstring_view namespaceUri) const override;

    void appendNodeValue(Node node, std::wstring& out) const override;
    // The node's document at once, as the library's DOM navigator answers
    // it, instead of the default climb to the top: evaluations that look up
    // the root per context node are then measured as in the library.
    Node root(Node node) const override;
    Node elementById(Node anyNodeOfDocument, std::wstring_view id) const override;

private:
    static const xmlNs* nsOf(Node node);
    Node internNamespace(const xmlNs* declaration, const xmlNode* owner) const;

    xmlNs xmlNamespace_; // the implicit xml prefix every element has in scope
    // One record per (declaration, owner) pair, so that the same namespace
    // node always gets the same handle.
    mutable std::map<std::pair<const xmlNs*, const xmlNode*>, std::unique_ptr<NamespaceNode>> namespaceNodes_;
};

} // namespace vxXPathTest
