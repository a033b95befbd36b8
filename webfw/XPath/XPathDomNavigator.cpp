#include "webfw/XPath/XPathDomNavigator.h"

#include <cwctype>
#include <utility>

#include "platform/com/BStr.h"

namespace vxWebFw::XPath {

using Engine::Node;
using Engine::NodeKind;

namespace {

// The XPath kind of a native node type; None for kinds the engine does not
// see (document types, fragments, entities, notations).
NodeKind KindOfNativeType(long nodeType)
{
    switch (nodeType) {
    case Recognizing::ntElement:
        return NodeKind::Element;
    case Recognizing::ntText:
    case Recognizing::ntCDataSection:
        return NodeKind::Text;
    case Recognizing::ntComment:
        return NodeKind::Comment;
    case Recognizing::ntProcessingInstruction:
        return NodeKind::ProcessingInstruction;
    default:
        return NodeKind::None;
    }
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towupper(a[i]) != std::towupper(b[i]))
            return false;
    return i == a.size() && !b[i];
}

std::wstring TakeString(HRESULT hr, vx::com::BStr& text)
{
    return SUCCEEDED(hr) && text.Get() ? std::wstring(text.Str()) : std::wstring();
}

} // namespace

CXPathDomNavigator::CXPathDomNavigator(const XPathDomProviders& providers, NodeImpl* context) : providers_(providers)
{
    if (!providers_.IsComplete() || !context)
        return;
    NodeHandle own = Owned();
    if (FAILED(providers_.nodeData->AddRef(context, own.Out())) || !own)
        return;
    Record& root = records_.emplace_back();
    root.handle = std::move(own);
    root.kind = NodeKind::Root;
    root.nativeType = Recognizing::ntDocument;
    root.nextLoaded = true;
}

// The records give their handles back as they go.
CXPathDomNavigator::~CXPathDomNavigator() = default;

Node CXPathDomNavigator::NodeOf(const Record* record)
{
    return record ? Node(record->kind, record, record->attributeIndex) : Node();
}

Node CXPathDomNavigator::Root() const
{
    return records_.empty() ? Node() : NodeOf(&records_.front());
}

NodeImpl* CXPathDomNavigator::NativeNode(Node node) const
{
    return node ? RecordOf(node)->handle.Get() : nullptr;
}

long CXPathDomNavigator::NativeNodeType(Node node) const
{
    return node ? RecordOf(node)->nativeType : Recognizing::ntUnknown;
}

Recognizing::RecognizedNode CXPathDomNavigator::Recognized(Node node) const
{
    const Record* record = node ? RecordOf(node) : nullptr;
    if (record && record->typeRead)
        return Recognizing::RecognizedNode(record->handle.Get(), providers_.recognizers, record->nativeType);
    return Recognizing::RecognizedNode(record ? record->handle.Get() : nullptr, providers_.recognizers);
}

std::vector<NodeImpl*> CXPathDomNavigator::FrameChain(Node node) const
{
    std::vector<NodeImpl*> chain;
    if (!node)
        return chain;
    for (const Record* ancestor = RecordOf(node)->parent; ancestor; ancestor = ancestor->parent)
        if (ancestor->frameHost)
            chain.insert(chain.begin(), ancestor->handle.Get());
    return chain;
}

CXPathDomNavigator::Record* CXPathDomNavigator::Intern(NodeHandle handle, Record* parent) const
{
    while (handle) {
        Recognizing::RecognizedNode recognized(handle.Get(), providers_.recognizers);
        long nativeType = recognized.GetNodeType();
        NodeKind kind = KindOfNativeType(nativeType);
        if (kind != NodeKind::None) {
            Record& record = records_.emplace_back();
            record.handle = std::move(handle);
            record.parent = parent;
            record.kind = kind;
            record.nativeType = nativeType;
            record.typeRead = true;
            record.childLoaded = kind != NodeKind::Element;
            return &record;
        }
        // A kind the engine does not see (such as the document type): step
        // to its next sibling before giving the handle back.
        NodeHandle sibling = Owned();
        if (FAILED(providers_.nodeData->GetNextSibling(handle.Get(), sibling.Out())))
            sibling.Reset();
        handle = std::move(sibling);
    }
    return nullptr;
}

CXPathDomNavigator::Record* CXPathDomNavigator::ReadFirstChild(Record& record) const
{
    NodeHandle child = Owned();
    if (record.kind == NodeKind::Element && record.nativeType == Recognizing::ntElement) {
        const std::wstring& name = Name(record);
        record.iframe = EqualsNoCase(name, L"IFRAME");
        record.frameHost = record.iframe || EqualsNoCase(name, L"FRAME");
    }
    if (record.frameHost) {
        // The frame's document stands in for the frame element's children.
        HRESULT hr = record.iframe ? providers_.iframeDocuments->GetIFrameDocument(record.handle.Get(), child.Out())
                                   : providers_.frameDocuments->GetFrameDocument(record.handle.Get(), child.Out());
        if (FAILED(hr) || !child)
            return nullptr;
        Record& document = records_.emplace_back();
        document.handle = std::move(child);
        document.parent = &record;
        document.kind = NodeKind::Element;
        document.nativeType = Recognizing::ntDocument;
        document.nextLoaded = true;
        return &document;
    }
    if (FAILED(providers_.nodeData->GetFirstChild(record.handle.Get(), child.Out())))
        return nullptr;
    return Intern(std::move(child), &record);
}

Node CXPathDomNavigator::parent(Node node) const
{
    return node ? NodeOf(RecordOf(node)->parent) : Node();
}

Node CXPathDomNavigator::firstChild(Node node) const
{
    if (!node)
        return Node();
    Record& record = *RecordOf(node);
    if (!record.childLoaded) {
        record.childLoaded = true;
        record.firstChild = ReadFirstChild(record);
        if (record.firstChild)
            record.firstChild->previous = nullptr;
    }
    return NodeOf(record.firstChild);
}

Node CXPathDomNavigator::nextSibling(Node node) const
{
    if (!node || node.kind == NodeKind::Attribute)
        return Node();
    Record& record = *RecordOf(node);
    if (!record.nextLoaded) {
        record.nextLoaded = true;
        NodeHandle sibling = Owned();
        if (FAILED(providers_.nodeData->GetNextSibling(record.handle.Get(), sibling.Out())))
            sibling.Reset();
        record.next = Intern(std::move(sibling), record.parent);
        if (record.next)
            record.next->previous = &record;
    }
    return NodeOf(record.next);
}

Node CXPathDomNavigator::previousSibling(Node node) const
{
    // Every node is reached from its parent's first child forwards, so the
    // link is already known.
    if (!node || node.kind == NodeKind::Attribute)
        return Node();
    return NodeOf(RecordOf(node)->previous);
}

void CXPathDomNavigator::LoadAttributes(Record& element) const
{
    element.attributesLoaded = true;
    if (element.kind != NodeKind::Element || element.nativeType != Recognizing::ntElement)
        return;
    NativeModel::NodeEnumeratorPtr attributes;
    if (FAILED(providers_.nodeAttributes->GetAttributes(element.handle.Get(), true, attributes)) || !attributes)
        return;
    for (;;) {
        NodeHandle attribute(attributes.get());
        if (attributes->Next(attribute.Out()) != S_OK)
            break;
        if (!attribute)
            continue;
        Record& record = records_.emplace_back();
        record.handle = Owned(attribute.Detach());
        record.parent = &element;
        record.kind = NodeKind::Attribute;
        record.nativeType = Recognizing::ntAttribute;
        record.childLoaded = record.nextLoaded = true;
        record.attributeIndex = static_cast<std::uint32_t>(element.attributes.size());
        element.attributes.push_back(&record);
    }
}

Node CXPathDomNavigator::firstAttribute(Node element) const
{
    if (!element || element.kind != NodeKind::Element)
        return Node();
    Record& record = *RecordOf(element);
    if (!record.attributesLoaded)
        LoadAttributes(record);
    return record.attributes.empty() ? Node() : NodeOf(record.attributes.front());
}

Node CXPathDomNavigator::nextAttribute(Node attribute) const
{
    if (!attribute || attribute.kind != NodeKind::Attribute)
        return Node();
    const Record& record = *RecordOf(attribute);
    const std::vector<Record*>& siblings = record.parent->attributes;
    size_t next = record.attributeIndex + 1;
    return next < siblings.size() ? NodeOf(siblings[next]) : Node();
}

const std::wstring& CXPathDomNavigator::Name(Record& record) const
{
    if (!record.nameLoaded) {
        vx::com::BStr name;
        HRESULT hr = record.kind == NodeKind::Attribute
                         ? providers_.attributeData->GetAttributeName(record.handle.Get(), name.Out())
                         : providers_.nodeData->GetNodeName(record.handle.Get(), name.Out());
        // A failed read is tried again next time.
        record.nameLoaded = SUCCEEDED(hr);
        record.name = TakeString(hr, name);
    }
    return record.name;
}

const std::wstring& CXPathDomNavigator::Value(Record& record) const
{
    if (!record.valueLoaded) {
        vx::com::BStr value;
        HRESULT hr = record.kind == NodeKind::Attribute
                         ? providers_.attributeData->GetAttributeValue(record.handle.Get(), value.Out())
                         : providers_.nodeData->GetNodeValue(record.handle.Get(), value.Out());
        record.valueLoaded = SUCCEEDED(hr);
        record.value = TakeString(hr, value);
    }
    return record.value;
}

std::wstring CXPathDomNavigator::localName(Node node) const
{
    switch (node.kind) {
    case NodeKind::Element:
    case NodeKind::Attribute:
    case NodeKind::ProcessingInstruction:
        return Name(*RecordOf(node));
    default:
        return std::wstring();
    }
}

bool CXPathDomNavigator::nameEquals(Node node, std::wstring_view name, std::wstring_view namespaceUri) const
{
    if (!namespaceUri.empty())
        return false;
    switch (node.kind) {
    case NodeKind::Element:
    case NodeKind::Attribute:
    case NodeKind::ProcessingInstruction:
        return Name(*RecordOf(node)) == name;
    default:
        return false;
    }
}

void CXPathDomNavigator::appendNodeValue(Node node, std::wstring& out) const
{
    switch (node.kind) {
    case NodeKind::Attribute:
    case NodeKind::Text:
    case NodeKind::Comment:
    case NodeKind::ProcessingInstruction:
        out += Value(*RecordOf(node));
        break;
    default:
        break;
    }
}

Node CXPathDomNavigator::root(Node) const
{
    return Root();
}

CXPathDomNavigator::Record* CXPathDomNavigator::DocumentOf(Record* record) const
{
    while (record && record->nativeType != Recognizing::ntDocument)
        record = record->parent;
    return record;
}

bool CXPathDomNavigator::Identity(Record& record, LONG& identity) const
{
    if (!record.identityLoaded) {
        LONG read = 0;
        if (FAILED(providers_.elementsById->GetNodeIdentity(record.handle.Get(), &read)))
            return false;
        record.identity = read;
        record.identityLoaded = true;
    }
    identity = record.identity;
    return true;
}

namespace {

// Far deeper than any page; stops a walk up a parent chain that never ends.
constexpr size_t kMaxAncestry = 100000;

} // namespace

CXPathDomNavigator::Record* CXPathDomNavigator::Locate(Record& document, NodeHandle element) const
{
    // The ancestors are held while the ancestry is read; all are given back.
    std::vector<NodeHandle> held;
    LONG documentIdentity = 0;
    if (!Identity(document, documentIdentity))
        return nullptr;

    // Identities from the element up to the document's child.
    std::vector<LONG> ancestry;
    NodeImpl* current = element.Get();
    for (;;) {
        LONG identity = 0;
        if (!current || FAILED(providers_.elementsById->GetNodeIdentity(current, &identity)))
            return nullptr;
        if (identity == documentIdentity)
            break;
        if (ancestry.size() >= kMaxAncestry)
            return nullptr;
        ancestry.push_back(identity);
        NodeHandle parent = Owned();
        HRESULT hr = providers_.elementsById->GetParentNode(current, parent.Out());
        current = parent.Get();
        if (parent)
            held.push_back(std::move(parent));
        if (FAILED(hr))
            return nullptr;
    }

    // Down again through the records, reading the children in order so that
    // every sibling link stays as plain navigation would make it.
    Record* at = &document;
    for (auto step = ancestry.rbegin(); step != ancestry.rend(); ++step) {
        Node child = firstChild(NodeOf(at));
        LONG identity = 0;
        while (child && !(Identity(*RecordOf(child), identity) && identity == *step))
            child = nextSibling(child);
        if (!child)
            return nullptr;
        at = RecordOf(child);
    }
    return at != &document && at->kind == NodeKind::Element ? at : nullptr;
}

Node CXPathDomNavigator::elementById(Node anyNode, std::wstring_view id) const
{
    if (!providers_.elementsById || !anyNode)
        return Node();
    Record* document = DocumentOf(RecordOf(anyNode));
    if (!document)
        return Node();
    NodeHandle element = Owned();
    HRESULT hr = providers_.elementsById->GetElementById(document->handle.Get(), std::wstring(id), element.Out());
    if (hr != S_OK || !element)
        return Node();
    return NodeOf(Locate(*document, std::move(element)));
}

} // namespace vxWebFw::XPath
