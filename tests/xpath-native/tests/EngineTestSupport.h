// Helpers shared by the hand-written engine tests.
#pragma once

#include <string>

#include "LibxmlDocument.h"
#include "LibxmlNavigator.h"
#include "Utf8.h"
#include "XPathExpression.h"

namespace vxXPathTest {

namespace Engine = vxWebFw::XPath::Engine;

// A parsed document with a navigator, evaluating from the root.
class EngineFixtureDocument
{
public:
    explicit EngineFixtureDocument(const std::string& xml) : doc_(parseXml(xml)) {}

    Engine::Value evaluate(const std::wstring& expression, Node context = Node()) const
    {
        Engine::Expression compiled = Engine::Expression::compile(expression);
        return compiled.evaluate(navigator_, context ? context : root());
    }
    std::wstring string(const std::wstring& expression) const
    {
        return evaluate(L"string(" + expression + L")").stringValue();
    }
    double number(const std::wstring& expression) const { return evaluate(expression).numberValue(); }
    bool boolean(const std::wstring& expression) const { return evaluate(expression).toBoolean(); }
    // Names of the selected nodes joined by spaces ("#text" for text nodes,
    // "@name" for attributes).
    std::string names(const std::wstring& expression) const;
    Node single(const std::wstring& expression) const;

    Node root() const { return LibxmlNavigator::documentNode(doc_.get()); }
    const LibxmlNavigator& navigator() const { return navigator_; }

private:
    XmlDocPtr doc_;
    LibxmlNavigator navigator_;
};

inline std::string EngineFixtureDocument::names(const std::wstring& expression) const
{
    std::string text;
    const Engine::Value value = evaluate(expression);
    for (const Node& node : value.nodes()) {
        if (!text.empty())
            text += ' ';
        if (node.kind == NodeKind::Text)
            text += "#text";
        else if (node.kind == NodeKind::Attribute)
            text += "@" + utf8FromWide(navigator_.qualifiedName(node));
        else if (node.kind == NodeKind::Namespace)
            text += "ns:" + utf8FromWide(navigator_.localName(node));
        else if (node.kind == NodeKind::Root)
            text += "/";
        else
            text += utf8FromWide(navigator_.qualifiedName(node));
    }
    return text;
}

inline Node EngineFixtureDocument::single(const std::wstring& expression) const
{
    Engine::Value value = evaluate(expression);
    return value.nodes().size() == 1 ? value.nodes().front() : Node();
}

} // namespace vxXPathTest
