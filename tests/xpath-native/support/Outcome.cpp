#include "Outcome.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <memory>

#include "Utf8.h"
#include "XPathText.h"

namespace vxXPathTest {

namespace Engine = vxWebFw::XPath::Engine;

namespace {

std::string labelOf(const LibxmlNavigator& navigator, Node node)
{
    switch (node.kind) {
    case NodeKind::Root:
        return "/";
    case NodeKind::Element:
        return utf8FromWide(navigator.qualifiedName(node));
    case NodeKind::Attribute:
        return "@" + utf8FromWide(navigator.qualifiedName(node));
    case NodeKind::Namespace:
        return "ns:" + utf8FromWide(navigator.localName(node));
    case NodeKind::Text:
        return "#text";
    case NodeKind::Comment:
        return "#comment";
    case NodeKind::ProcessingInstruction:
        return "?" + utf8FromWide(navigator.localName(node));
    default:
        return "?";
    }
}

NodeKey keyOfEngineNode(const LibxmlNavigator& navigator, Node node)
{
    NodeKey key;
    key.kind = node.kind;
    key.label = labelOf(navigator, node);
    if (node.kind == NodeKind::Namespace) {
        const LibxmlNavigator::NamespaceNode& record = LibxmlNavigator::namespaceNode(node);
        key.handle = record.owner;
        const xmlChar* prefix = record.declaration->prefix;
        key.prefix = prefix ? reinterpret_cast<const char*>(prefix) : "";
    } else {
        key.handle = node.handle;
    }
    return key;
}

NodeKey keyOfLibxmlNode(const LibxmlNavigator& navigator, xmlNode* node)
{
    if (node->type == XML_NAMESPACE_DECL) {
        auto* ns = reinterpret_cast<xmlNs*>(node);
        NodeKey key;
        key.kind = NodeKind::Namespace;
        key.handle = ns->next; // libxml2 keeps the owner element here
        key.prefix = ns->prefix ? reinterpret_cast<const char*>(ns->prefix) : "";
        key.label = "ns:" + key.prefix;
        return key;
    }
    return keyOfEngineNode(navigator, LibxmlNavigator::wrap(node));
}

void swallowErrors(void*, xmlError*) {}

struct XPathContextFree
{
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectFree
{
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};

class FixedVariables : public Engine::VariableResolver
{
public:
    bool lookupVariable(std::wstring_view uri, std::wstring_view name, Engine::Value& value) const override
    {
        if (!uri.empty())
            return false;
        if (name == L"n")
            value = Engine::Value::fromNumber(3);
        else if (name == L"s")
            value = Engine::Value::fromString(L"abc");
        else
            return false;
        return true;
    }
};

} // namespace

bool NodeKey::operator<(const NodeKey& other) const
{
    if (kind != other.kind)
        return kind < other.kind;
    if (handle != other.handle)
        return std::less<const void*>()(handle, other.handle);
    return prefix < other.prefix;
}

std::string Outcome::canonical() const
{
    switch (type) {
    case Type::Error:
        return "error";
    case Type::Boolean:
        return boolean ? "true" : "false";
    case Type::Number:
        return "number:" + utf8FromWide(Engine::Text::formatNumber(number));
    case Type::String:
        return "string:" + utf8FromWide(string);
    case Type::NodeSet: {
        std::string text = "nodes:";
        for (std::size_t i = 0; i < nodes.size(); ++i)
            text += (i ? "," : "") + nodes[i].label;
        return text;
    }
    }
    return "?";
}

bool sameOutcome(const Outcome& a, const Outcome& b)
{
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case Outcome::Type::Error:
        return true;
    case Outcome::Type::Boolean:
        return a.boolean == b.boolean;
    case Outcome::Type::Number:
        return Engine::Text::formatNumber(a.number) == Engine::Text::formatNumber(b.number);
    case Outcome::Type::String:
        return a.string == b.string;
    case Outcome::Type::NodeSet: {
        if (a.nodes.size() != b.nodes.size())
            return false;
        auto isNamespace = [](const NodeKey& key) { return key.kind == NodeKind::Namespace; };
        if (std::any_of(a.nodes.begin(), a.nodes.end(), isNamespace)) {
            std::vector<NodeKey> sortedA = a.nodes;
            std::vector<NodeKey> sortedB = b.nodes;
            std::sort(sortedA.begin(), sortedA.end());
            std::sort(sortedB.begin(), sortedB.end());
            return sortedA == sortedB;
        }
        return a.nodes == b.nodes;
    }
    }
    return false;
}

Outcome evaluateWithLibxml(xmlDoc* doc, xmlNode* context, const std::string& expression, const Namespaces& namespaces)
{
    LibxmlNavigator navigator;
    std::unique_ptr<xmlXPathContext, XPathContextFree> xpath(xmlXPathNewContext(doc));
    xpath->node = context;
    xpath->error = swallowErrors;
    for (const auto& entry : namespaces.prefixes)
        xmlXPathRegisterNs(xpath.get(), reinterpret_cast<const xmlChar*>(entry.first.c_str()),
                           reinterpret_cast<const xmlChar*>(entry.second.c_str()));
    xmlXPathRegisterVariable(xpath.get(), reinterpret_cast<const xmlChar*>("n"), xmlXPathNewFloat(3));
    xmlXPathRegisterVariable(xpath.get(), reinterpret_cast<const xmlChar*>("s"),
                             xmlXPathNewString(reinterpret_cast<const xmlChar*>("abc")));
    Outcome outcome;
    std::unique_ptr<xmlXPathObject, XPathObjectFree> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression.c_str()), xpath.get()));
    if (!result) {
        outcome.error = "libxml2 reported an error";
        return outcome;
    }
    switch (result->type) {
    case XPATH_NODESET:
        outcome.type = Outcome::Type::NodeSet;
        if (result->nodesetval)
            for (int i = 0; i < result->nodesetval->nodeNr; ++i)
                outcome.nodes.push_back(keyOfLibxmlNode(navigator, result->nodesetval->nodeTab[i]));
        break;
    case XPATH_BOOLEAN:
        outcome.type = Outcome::Type::Boolean;
        outcome.boolean = result->boolval != 0;
        break;
    case XPATH_NUMBER:
        outcome.type = Outcome::Type::Number;
        outcome.number = result->floatval;
        break;
    case XPATH_STRING:
        outcome.type = Outcome::Type::String;
        outcome.string = wideFromUtf8(reinterpret_cast<const char*>(result->stringval));
        break;
    default:
        outcome.error = "unexpected libxml2 result type";
        break;
    }
    return outcome;
}

Outcome evaluateWithEngine(const LibxmlNavigator& navigator, Node context, const std::string& expression,
                           const Namespaces& namespaces)
{
    Engine::NamespaceMap resolver;
    for (const auto& entry : namespaces.prefixes)
        resolver.declare(wideFromUtf8(entry.first.c_str()), wideFromUtf8(entry.second.c_str()));
    FixedVariables variables;
    Outcome outcome;
    try {
        Engine::Expression compiled = Engine::Expression::compile(wideFromUtf8(expression.c_str()), &resolver);
        Engine::Value value = compiled.evaluate(navigator, context, &variables);
        switch (value.type()) {
        case Engine::ValueType::NodeSet:
            outcome.type = Outcome::Type::NodeSet;
            for (const Node& node : value.nodes())
                outcome.nodes.push_back(keyOfEngineNode(navigator, node));
            break;
        case Engine::ValueType::Boolean:
            outcome.type = Outcome::Type::Boolean;
            outcome.boolean = value.booleanValue();
            break;
        case Engine::ValueType::Number:
            outcome.type = Outcome::Type::Number;
            outcome.number = value.numberValue();
            break;
        case Engine::ValueType::String:
            outcome.type = Outcome::Type::String;
            outcome.string = value.stringValue();
            break;
        }
    } catch (const Engine::XPathException& error) {
        outcome.type = Outcome::Type::Error;
        outcome.error = error.what();
    }
    return outcome;
}

} // namespace vxXPathTest
