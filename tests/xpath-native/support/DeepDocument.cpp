#include "DeepDocument.h"

#include <libxml/tree.h>
#include <libxml/valid.h>

#include <stdexcept>
#include <string>

namespace vxXPathTest {

namespace {

const xmlChar* x(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

const xmlChar* x(const std::string& text)
{
    return x(text.c_str());
}

class Builder
{
public:
    explicit Builder(xmlDoc* doc) : doc_(doc) {}

    xmlNode* element(xmlNode* parent, const char* name, xmlNs* ns = nullptr)
    {
        xmlNode* node = xmlNewDocNode(doc_, ns, x(name), nullptr);
        check(node);
        check(xmlAddChild(parent, node));
        return node;
    }

    void text(xmlNode* parent, const std::string& content)
    {
        check(xmlAddChild(parent, xmlNewDocText(doc_, x(content))));
    }

    void comment(xmlNode* parent, const std::string& content)
    {
        check(xmlAddChild(parent, xmlNewDocComment(doc_, x(content))));
    }

    void pi(xmlNode* parent, const char* target, const std::string& content)
    {
        check(xmlAddChild(parent, xmlNewDocPI(doc_, x(target), x(content))));
    }

    void attribute(xmlNode* element, const char* name, const std::string& value)
    {
        xmlAttr* attr = xmlNewProp(element, x(name), x(value));
        check(attr);
        if (std::string(name) == "id")
            check(xmlAddID(nullptr, doc_, x(value), attr));
    }

    void language(xmlNode* element, const char* value)
    {
        xmlNs* ns = xmlSearchNs(doc_, element, x("xml"));
        check(ns);
        check(xmlSetNsProp(element, ns, x("lang"), x(value)));
    }

    template <typename T>
    static T* check(T* pointer)
    {
        if (!pointer)
            throw std::runtime_error("libxml2 could not build the deep document");
        return pointer;
    }

private:
    xmlDoc* doc_;
};

} // namespace

XmlDocPtr buildDeepDocument(const DeepDocumentShape& shape)
{
    XmlDocPtr doc(Builder::check(xmlNewDoc(x("1.0"))));
    Builder b(doc.get());
    xmlNode* docNode = reinterpret_cast<xmlNode*>(doc.get());
    b.pi(docNode, "top", "first");
    b.comment(docNode, "top");
    xmlNode* html = Builder::check(xmlNewDocNode(doc.get(), nullptr, x("html"), nullptr));
    xmlDocSetRootElement(doc.get(), html);
    b.attribute(html, "lang", "en");
    b.language(html, "en");

    xmlNode* head = b.element(html, "head");
    b.text(b.element(head, "title"), "deep");
    xmlNode* body = b.element(html, "body");

    // Built top-down: each level is appended as the only element child of
    // the one before, so the work is linear in the depth.
    xmlNode* into = b.element(body, "div");
    b.attribute(into, "id", "chain");
    for (int i = 0; i < shape.chainDepth; ++i) {
        xmlNode* div = b.element(into, "div");
        if (i % 100 == 0)
            b.attribute(div, "id", "d" + std::to_string(i));
        if (i % 10 == 0)
            b.attribute(div, "class", "c" + std::to_string(i / 10 % 5));
        if (i % 1000 == 7)
            b.attribute(div, "name", "n" + std::to_string(i));
        if (i % 500 == 0)
            b.text(div, "t" + std::to_string(i));
        if (i % 1000 == 0)
            b.comment(div, "level " + std::to_string(i));
        into = div;
    }
    xmlNode* bottom = b.element(into, "span");
    b.attribute(bottom, "id", "bottom");
    b.attribute(bottom, "class", "leaf");
    b.text(bottom, "bottom");
    b.text(into, "deep end");

    xmlNode* wide = b.element(body, "div");
    b.attribute(wide, "id", "wide");
    for (int i = 0; i < shape.wideCount; ++i) {
        xmlNode* span = b.element(wide, "span");
        if (i % 10 == 0) {
            b.attribute(span, "id", "s" + std::to_string(i));
            b.attribute(span, "class", "w");
        }
        b.text(span, "w" + std::to_string(i));
        if (i % 100 == 99)
            b.comment(wide, "after " + std::to_string(i));
        if (i % 250 == 249)
            b.pi(wide, "mark", std::to_string(i));
    }

    into = b.element(body, "div");
    b.attribute(into, "id", "tables");
    for (int i = 0; i < shape.tableDepth; ++i) {
        xmlNode* table = b.element(into, "table");
        if (i % 25 == 0)
            b.attribute(table, "id", "t" + std::to_string(i));
        xmlNode* cell = b.element(b.element(b.element(table, "tbody"), "tr"), "td");
        b.text(cell, "c" + std::to_string(i));
        into = cell;
    }

    into = b.element(body, "ul");
    b.attribute(into, "id", "lists");
    for (int i = 0; i < shape.listDepth; ++i) {
        xmlNode* item = b.element(into, "li");
        b.text(item, "i" + std::to_string(i));
        into = b.element(item, "ul");
    }

    xmlNode* svg = b.element(body, "svg");
    xmlNs* g = Builder::check(xmlNewNs(svg, x("urn:g"), x("g")));
    xmlSetNs(svg, g);
    into = svg;
    for (int i = 0; i < shape.groupDepth; ++i) {
        into = b.element(into, "g", g);
        b.attribute(into, "n", std::to_string(i));
    }

    xmlNode* tail = b.element(body, "p");
    b.attribute(tail, "id", "tail");
    b.language(tail, "fr");
    b.text(tail, "tail");
    return doc;
}

} // namespace vxXPathTest
