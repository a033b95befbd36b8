#pragma once
// The XPath engine's view of a live page: a read-only Navigator over the
// native model. The native object hands out a fresh handle on every read, so
// the navigator interns what it reads: one record per DOM node reached,
// linked to its parent, first child and siblings the first time they are
// read. A node's engine handle is its record, which stays put until the
// navigator goes, so the same node always has the same handle. Every native
// handle the records hold is given back in the destructor.
//
// The tree shown to the engine:
//   - the context node given to the constructor is the root;
//   - elements, text (and CDATA), comments and processing instructions keep
//     their XPath kinds; document types and other node kinds are skipped;
//   - the only child of an IFRAME or FRAME element is the frame's document,
//     shown as an element named "#document" whose children are the frame
//     page's nodes;
//   - element and attribute names are the native nodeName and attribute
//     name unchanged: name tests compare exactly, so where the native model
//     reports upper-case element names, INPUT matches and input does not;
//   - attributes are the element's specified attributes;
//   - id() asks the document of the context node (the page's or a frame's)
//     for the element through the optional element-by-id provider, and finds
//     that element's record by walking down its ancestry; without the
//     provider id() selects nothing.
// Native read failures make the node look absent (or its text empty).
#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "webfw/NativeModel/NativeModelInterfaces.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/Recognizing/RecognizedNode.h"
#include "webfw/XPath/XPathElementByIdProvider.h"
#include "webfw/XPath/engine/XPathNavigator.h"

namespace vxWebFw::XPath {

// The page context's objects the navigator reads through (not owned). Node
// handles are given back through nodeData's lifetime slots.
struct XPathDomProviders
{
    const Recognizing::RecognizerSet* recognizers = nullptr;
    NativeModel::INodeDataProvider* nodeData = nullptr;
    NativeModel::INodeAttributesProvider* nodeAttributes = nullptr;
    NativeModel::IAttributeDataProvider* attributeData = nullptr;
    NativeModel::IFrameDocumentProvider* frameDocuments = nullptr;
    NativeModel::IIFrameDocumentProvider* iframeDocuments = nullptr;
    // Optional: without it id() selects nothing.
    IElementByIdProvider* elementsById = nullptr;

    bool IsComplete() const
    {
        return recognizers && nodeData && nodeAttributes && attributeData && frameDocuments && iframeDocuments;
    }
};

class CXPathDomNavigator : public Engine::Navigator
{
public:
    // Takes its own handle of `context` (borrowed) through AddRef. Check
    // Root() for null: a context that cannot be duplicated gives no root.
    CXPathDomNavigator(const XPathDomProviders& providers, NodeImpl* context);
    ~CXPathDomNavigator() override;
    CXPathDomNavigator(const CXPathDomNavigator&) = delete;
    CXPathDomNavigator& operator=(const CXPathDomNavigator&) = delete;

    Engine::Node Root() const;

    // The native node behind an engine node (borrowed; valid while the
    // navigator lives), or null for a node this navigator did not issue.
    NodeImpl* NativeNode(Engine::Node node) const;
    // Native type (NodeType values) as read when the node was first reached.
    long NativeNodeType(Engine::Node node) const;
    // The native node for the recognisers (null node for a node this
    // navigator did not issue), carrying the node type when it was read from
    // the page on reaching the node, so that it is not read again.
    Recognizing::RecognizedNode Recognized(Engine::Node node) const;
    // The FRAME and IFRAME elements crossed from the root to reach the node,
    // outermost first (native handles borrowed from the navigator).
    std::vector<NodeImpl*> FrameChain(Engine::Node node) const;
    // Number of DOM nodes and attributes interned so far.
    size_t InternedCount() const { return records_.size(); }

    // ---- Engine::Navigator
    Engine::Node parent(Engine::Node node) const override;
    Engine::Node firstChild(Engine::Node node) const override;
    Engine::Node nextSibling(Engine::Node node) const override;
    Engine::Node previousSibling(Engine::Node node) const override;
    Engine::Node firstAttribute(Engine::Node element) const override;
    Engine::Node nextAttribute(Engine::Node attribute) const override;
    std::wstring localName(Engine::Node node) const override;
    bool nameEquals(Engine::Node node, std::wstring_view localName, std::wstring_view namespaceUri) const override;
    void appendNodeValue(Engine::Node node, std::wstring& out) const override;
    Engine::Node root(Engine::Node node) const override;
    Engine::Node elementById(Engine::Node anyNodeOfDocument, std::wstring_view id) const override;

private:
    struct Record
    {
        NodeHandle handle;        // given back through nodeData's lifetime
        Record* parent = nullptr; // owner element for attributes
        Engine::NodeKind kind = Engine::NodeKind::None;
        long nativeType = 0;
        bool typeRead = false;  // nativeType came from the page
        bool frameHost = false; // IFRAME or FRAME element
        bool iframe = false;
        bool childLoaded = false;
        bool nextLoaded = false;
        bool nameLoaded = false;
        bool valueLoaded = false;
        bool attributesLoaded = false;
        bool identityLoaded = false;
        LONG identity = 0; // native node identity, read for id()
        Record* firstChild = nullptr;
        Record* next = nullptr;
        Record* previous = nullptr;
        std::uint32_t attributeIndex = 0;
        std::wstring name;
        std::wstring value;
        std::vector<Record*> attributes;
    };

    static Record* RecordOf(Engine::Node node) { return static_cast<Record*>(const_cast<void*>(node.handle)); }
    static Engine::Node NodeOf(const Record* record);

    // Interns a freshly read handle. A node of a kind the engine does not see
    // is given back and its next siblings are tried instead; null when none
    // is left.
    Record* Intern(NodeHandle handle, Record* parent) const;
    Record* ReadFirstChild(Record& record) const;
    void LoadAttributes(Record& element) const;
    const std::wstring& Name(Record& record) const;
    const std::wstring& Value(Record& record) const;
    // An owner for a handle read through the providers.
    NodeHandle Owned(NodeImpl* handle = nullptr) const { return NodeHandle(providers_.nodeData, handle); }
    // The page's or frame's document record that holds the record.
    Record* DocumentOf(Record* record) const;
    bool Identity(Record& record, LONG& identity) const;
    // The record of `element` below `document`, or
    // null when its ancestry does not lead to that document.
    Record* Locate(Record& document, NodeHandle element) const;

    XPathDomProviders providers_;
    mutable std::deque<Record> records_;
};

} // namespace vxWebFw::XPath
