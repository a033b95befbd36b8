#include "LibxmlNavigator.h"

#include <libxml/valid.h>

#include <cstring>
#include <string>

#include "Utf8.h"

namespace vxXPathTest {

namespace {

const xmlNode* asNode(Node node)
{
    return static_cast<const xmlNode*>(node.handle);
}

// The node kinds of the XPath data model; None for DTD, entity and other
// libxml2 nodes that XPath does not see.
inline NodeKind kindOf(xmlElementType type)
{
    switch (type) {
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return NodeKind::Root;
    case XML_ELEMENT_NODE:
        return NodeKind::Element;
    case XML_ATTRIBUTE_NODE:
        return NodeKind::Attribute;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
        return NodeKind::Text;
    case XML_COMMENT_NODE:
        return NodeKind::Comment;
    case XML_PI_NODE:
        return NodeKind::ProcessingInstruction;
    default:
        return NodeKind::None;
    }
}

inline Node wrapNode(const xmlNode* node)
{
    if (!node)
        return Node();
    NodeKind kind = kindOf(node->type);
    return kind == NodeKind::None ? Node() : Node(kind, node);
}

// The first node of the data model at or after node in its sibling list.
inline Node forwardFrom(const xmlNode* node)
{
    for (; node; node = node->next) {
        NodeKind kind = kindOf(node->type);
        if (kind != NodeKind::None)
            return Node(kind, node);
    }
    return Node();
}

inline Node backwardFrom(const xmlNode* node)
{
    for (; node; node = node->prev) {
        NodeKind kind = kindOf(node->type);
        if (kind != NodeKind::None)
            return Node(kind, node);
    }
    return Node();
}

} // namespace

LibxmlNavigator::LibxmlNavigator()
{
    std::memset(&xmlNamespace_, 0, sizeof xmlNamespace_);
    xmlNamespace_.type = XML_NAMESPACE_DECL;
    xmlNamespace_.href = reinterpret_cast<const xmlChar*>("http://www.w3.org/XML/1998/namespace");
    xmlNamespace_.prefix = reinterpret_cast<const xmlChar*>("xml");
}

Node LibxmlNavigator::wrap(xmlNode* node)
{
    return wrapNode(node);
}

const xmlNs* LibxmlNavigator::nsOf(Node node)
{
    if (node.kind == NodeKind::Element)
        return asNode(node)->ns;
    if (node.kind == NodeKind::Attribute)
        return static_cast<const xmlAttr*>(node.handle)->ns;
    return nullptr;
}

Node LibxmlNavigator::parent(Node node) const
{
    switch (node.kind) {
    case NodeKind::Root:
    case NodeKind::None:
        return Node();
    case NodeKind::Namespace:
        return Node(NodeKind::Element, namespaceNode(node).owner);
    case NodeKind::Attribute:
        return wrap(static_cast<const xmlAttr*>(node.handle)->parent);
    default:
        return wrapNode(asNode(node)->parent);
    }
}

Node LibxmlNavigator::root(Node node) const
{
    xmlDoc* doc = nullptr;
    switch (node.kind) {
    case NodeKind::None:
    case NodeKind::Root:
        return node;
    case NodeKind::Namespace:
        doc = namespaceNode(node).owner->doc;
        break;
    case NodeKind::Attribute:
        doc = static_cast<const xmlAttr*>(node.handle)->doc;
        break;
    default:
        doc = asNode(node)->doc;
        break;
    }
    // Every node these tests build is linked into its document; one made
    // without a document has its own top.
    return doc ? documentNode(doc) : Navigator::root(node);
}

Node LibxmlNavigator::firstChild(Node node) const
{
    return forwardFrom(asNode(node)->children); // xmlDoc starts like xmlNode
}

Node LibxmlNavigator::nextSibling(Node node) const
{
    if (node.kind == NodeKind::Root || node.kind == NodeKind::Attribute || node.kind == NodeKind::Namespace)
        return Node();
    return forwardFrom(asNode(node)->next);
}

Node LibxmlNavigator::previousSibling(Node node) const
{
    if (node.kind == NodeKind::Root || node.kind == NodeKind::Attribute || node.kind == NodeKind::Namespace)
        return Node();
    return backwardFrom(asNode(node)->prev);
}

Node LibxmlNavigator::nextInSubtree(Node node, Node subtreeRoot) const
{
    const xmlNode* current = asNode(node);
    const xmlNode* stop = asNode(subtreeRoot);
    if (node.kind == NodeKind::Element || node.kind == NodeKind::Root) {
        if (Node child = forwardFrom(current->children))
            return child;
    }
    while (current && current != stop) {
        if (Node sibling = forwardFrom(current->next))
            return sibling;
        current = current->parent;
    }
    return Node();
}

Node LibxmlNavigator::nextElementInSubtree(Node node, Node subtreeRoot) const
{
    const xmlNode* current = asNode(node);
    const xmlNode* stop = asNode(subtreeRoot);
    for (;;) {
        if (current->children && (current->type == XML_ELEMENT_NODE || current == stop)) {
            current = current->children;
        } else {
            while (current != stop && !current->next)
                current = current->parent;
            if (current == stop)
                return Node();
            current = current->next;
        }
        if (current->type == XML_ELEMENT_NODE)
            return Node(NodeKind::Element, current);
    }
}

Node LibxmlNavigator::firstAttribute(Node element) const
{
    if (element.kind != NodeKind::Element)
        return Node();
    return wrap(reinterpret_cast<xmlNode*>(asNode(element)->properties));
}

Node LibxmlNavigator::nextAttribute(Node attribute) const
{
    return wrap(reinterpret_cast<xmlNode*>(static_cast<const xmlAttr*>(attribute.handle)->next));
}

Node LibxmlNavigator::internNamespace(const xmlNs* declaration, const xmlNode* owner) const
{
    std::unique_ptr<NamespaceNode>& record = namespaceNodes_[{declaration, owner}];
    if (!record)
        record.reset(new NamespaceNode{declaration, owner});
    return Node(NodeKind::Namespace, record.get());
}

void LibxmlNavigator::namespaceNodes(Node element, std::vector<Node>& out) const
{
    const xmlNode* owner = asNode(element);
    out.push_back(internNamespace(&xmlNamespace_, owner));
    std::vector<const xmlChar*> seen; // prefixes already bound (or undeclared) closer to the element
    for (const xmlNode* n = asNode(element); n && n->type == XML_ELEMENT_NODE; n = n->parent) {
        for (const xmlNs* ns = n->nsDef; ns; ns = ns->next) {
            bool shadowed = false;
            for (const xmlChar* p : seen)
                if (xmlStrEqual(p, ns->prefix))
                    shadowed = true;
            if (shadowed)
                continue;
            seen.push_back(ns->prefix);
            if (ns->href && ns->href[0])
                out.push_back(internNamespace(ns, owner));
        }
    }
}

std::wstring LibxmlNavigator::localName(Node node) const
{
    switch (node.kind) {
    case NodeKind::Element:
    case NodeKind::ProcessingInstruction:
        return wideFromUtf8(reinterpret_cast<const char*>(asNode(node)->name));
    case NodeKind::Attribute:
        return wideFromUtf8(reinterpret_cast<const char*>(static_cast<const xmlAttr*>(node.handle)->name));
    case NodeKind::Namespace:
        return wideFromUtf8(reinterpret_cast<const char*>(namespaceNode(node).declaration->prefix));
    default:
        return std::wstring();
    }
}

std::wstring LibxmlNavigator::namespaceUri(Node node) const
{
    const xmlNs* ns = nsOf(node);
    return ns ? wideFromUtf8(reinterpret_cast<const char*>(ns->href)) : std::wstring();
}

std::wstring LibxmlNavigator::prefix(Node node) const
{
    const xmlNs* ns = nsOf(node);
    return ns ? wideFromUtf8(reinterpret_cast<const char*>(ns->prefix)) : std::wstring();
}

bool LibxmlNavigator::nameEquals(Node node, std::wstring_view local, std::wstring_view uri) const
{
    const xmlChar* name = nullptr;
    if (node.kind == NodeKind::Element)
        name = asNode(node)->name;
    else if (node.kind == NodeKind::Attribute)
        name = static_cast<const xmlAttr*>(node.handle)->name;
    else if (node.kind == NodeKind::Namespace) {
        const xmlChar* p = namespaceNode(node).declaration->prefix;
        return uri.empty() && p && utf8EqualsWide(reinterpret_cast<const char*>(p), local);
    } else
        return false;
    if (!utf8EqualsWide(reinterpret_cast<const char*>(name), local))
        return false;
    const xmlNs* ns = nsOf(node);
    return utf8EqualsWide(ns ? reinterpret_cast<const char*>(ns->href) : "", uri);
}

bool LibxmlNavigator::namespaceEquals(Node node, std::wstring_view uri) const
{
    if (node.kind == NodeKind::Namespace)
        return uri.empty();
    const xmlNs* ns = nsOf(node);
    return utf8EqualsWide(ns ? reinterpret_cast<const char*>(ns->href) : "", uri);
}

void LibxmlNavigator::appendNodeValue(Node node, std::wstring& out) const
{
    switch (node.kind) {
    case NodeKind::Text:
    case NodeKind::Comment:
    case NodeKind::ProcessingInstruction:
        appendUtf8AsWide(reinterpret_cast<const char*>(asNode(node)->content), out);
        break;
    case NodeKind::Attribute:
        for (const xmlNode* child = static_cast<const xmlAttr*>(node.handle)->children; child; child = child->next)
            appendUtf8AsWide(reinterpret_cast<const char*>(child->content), out);
        break;
    case NodeKind::Namespace:
        appendUtf8AsWide(reinterpret_cast<const char*>(namespaceNode(node).declaration->href), out);
        break;
    default:
        break;
    }
}

Node LibxmlNavigator::elementById(Node anyNode, std::wstring_view id) const
{
    Node rootNode = root(anyNode);
    if (rootNode.kind != NodeKind::Root)
        return Node();
    auto* doc = reinterpret_cast<xmlDoc*>(const_cast<void*>(rootNode.handle));
    std::string key = utf8FromWide(id);
    xmlAttr* attr = xmlGetID(doc, reinterpret_cast<const xmlChar*>(key.c_str()));
    if (!attr)
        return Node();
    return wrap(attr->parent);
}

} // namespace vxXPathTest
