#pragma once
// Test equipment for the native build: a captured page (harness::SnapshotPage)
// behind the web framework's native-model interfaces, and the framework's
// objects of one page context assembled over it the way the browser adapters
// assemble them.
//
// PageModel answers every read from the snapshot, as a DOM-reading native
// object would: members by their script names (a member the node lacks is
// DISP_E_MEMBERNOTFOUND, a value of another kind E_UNEXPECTED), structure
// (parent, children, siblings) from the node table, and "no such node" as
// S_FALSE with a null handle. Every handle it hands out is a new record that
// stays live until it is given back; it counts live handles, misused handles
// (unknown or given back twice) and member reads by name.
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>

#include "harness/nativeobject/SnapshotPage.h"
#include "webfw/DOMModel/DOMModelWalks.h"
#include "webfw/DOMModel/NodeNamePropStrEvaluator.h"
#include "webfw/NativeModel/NativeModelInterfaces.h"
#include "webfw/Options/OptionsProvider.h"
#include "webfw/Recognizing/Recognizers.h"
#include "webfw/TreeModel/TreeItemsBuild.h"
#include "webfw/XPath/XPathElementByIdProvider.h"

namespace webfwnative {

class PageModel
{
public:
    explicit PageModel(harness::SnapshotPage page);
    ~PageModel();
    PageModel(const PageModel&) = delete;
    PageModel& operator=(const PageModel&) = delete;

    harness::SnapshotPage& Page() { return page_; }

    // ---- handles
    // A new owned handle of a snapshot node; null for an id outside the page.
    NodeImpl* HandleOf(long nodeId);
    // The node id behind a live node handle; 0 for an attribute or unknown handle.
    long NodeIdOf(NodeImpl* handle) const;
    HRESULT AddRef(NodeImpl* node, NodeImpl** copy);
    HRESULT Release(NodeImpl* node);
    // The lifetime every provider's handles are given back through.
    vxWebFw::IObjectLifetime<NodeImpl*>* Lifetime() { return &lifetime_; }

    // ---- observation and steering
    long LiveHandles() const { return static_cast<long>(live_.size()); }
    long Faults() const { return faults_; }
    long Reads(const std::wstring& member) const;
    long TotalReads() const;
    void ResetCounters() { reads_.clear(); }
    // Reads of the member fail with `failure` from now on.
    void RefuseMember(const std::wstring& member, HRESULT failure) { refused_[member] = failure; }

    // ---- reads
    HRESULT ReadString(NodeImpl* node, const wchar_t* member, BSTR* value);
    HRESULT ReadLong(NodeImpl* node, const wchar_t* member, long* value);
    // A member whose value is a node (contentDocument).
    HRESULT ReadNode(NodeImpl* node, const wchar_t* member, NodeImpl** value);
    // The snapshot ids of a member holding a collection (all).
    HRESULT ReadList(NodeImpl* node, const wchar_t* member, std::vector<long>& ids);
    // The id or name property, or when it is missing or empty the attribute
    // of that name (null when there is none); S_OK.
    HRESULT PropertyOrAttribute(NodeImpl* node, const wchar_t* name, BSTR* value);
    // Whether getBoundingClientRect gives a box whose width and height,
    // truncated toward zero, are both non-zero.
    bool HasLayoutBox(NodeImpl* node);

    // ---- structure
    HRESULT Parent(NodeImpl* node, NodeImpl** parent);
    // The child at `index` of the node's children (S_FALSE past the last).
    HRESULT Child(NodeImpl* node, size_t index, NodeImpl** child);
    HRESULT LastChild(NodeImpl* node, NodeImpl** child);
    // delta -1: previous sibling, +1: next sibling.
    HRESULT Sibling(NodeImpl* node, int delta, NodeImpl** sibling);
    HRESULT ChildCount(NodeImpl* node, size_t* count);
    // Attributes of an element: count, and handles by index.
    HRESULT AttributeCount(NodeImpl* element, size_t* count);
    HRESULT AttributeAt(NodeImpl* element, size_t index, bool specifiedOnly, NodeImpl** attribute);
    // The first element of the document (in tree order, frame documents not
    // included) whose id attribute is exactly `id`.
    HRESULT ElementById(NodeImpl* document, const std::wstring& id, NodeImpl** element);
    HRESULT Identity(NodeImpl* node, LONG* identity);

private:
    struct Record
    {
        long node = 0;
        long attribute = -1; // index into the element's attributes, -1 for the node itself
    };
    class NodeLifetime : public vxWebFw::IObjectLifetime<NodeImpl*>
    {
    public:
        explicit NodeLifetime(PageModel& model) : model_(model) {}
        HRESULT AddRef(NodeImpl* node, NodeImpl** copy) override { return model_.AddRef(node, copy); }
        HRESULT Release(NodeImpl* node) override { return model_.Release(node); }

    private:
        PageModel& model_;
    };

    NodeImpl* NewHandle(long node, long attribute = -1);
    // The live record of a handle; null (counted as a fault) for anything else.
    const Record* Find(NodeImpl* handle);
    // Counts the read; the failure of a refused member, else S_OK.
    HRESULT CountRead(const std::wstring& member);
    HRESULT Answer(long nodeId, NodeImpl** out); // S_FALSE and null for 0

    harness::SnapshotPage page_;
    NodeLifetime lifetime_{*this};
    std::unordered_set<Record*> live_;
    std::map<std::wstring, long> reads_;
    std::map<std::wstring, HRESULT> refused_;
    long faults_ = 0;
};

// ---------------------------------------------------------------- providers

// The lifetime slots of a provider or enumerator, given to the page's lifetime.
template <class Base>
class ModelLifetime : public Base
{
public:
    explicit ModelLifetime(PageModel& model) : model_(model) {}
    HRESULT AddRef(NodeImpl* node, NodeImpl** copy) override { return model_.AddRef(node, copy); }
    HRESULT Release(NodeImpl* node) override { return model_.Release(node); }

protected:
    PageModel& model_;
};

class NodeData : public ModelLifetime<vxWebFw::NativeModel::CWebFwNodeDataProviderImpl>
{
public:
    using ModelLifetime::ModelLifetime;
    HRESULT GetNodeName(NodeImpl* node, BSTR* name) override;
    HRESULT GetNodeValue(NodeImpl* node, BSTR* value) override;
    HRESULT GetPreviousSibling(NodeImpl* node, NodeImpl** sibling) override;
    HRESULT GetNextSibling(NodeImpl* node, NodeImpl** sibling) override;
    HRESULT GetFirstChild(NodeImpl* node, NodeImpl** child) override;
    HRESULT GetLastChild(NodeImpl* node, NodeImpl** child) override;
    HRESULT HasChildNodes(NodeImpl* node, bool* has) override;
};

class ChildNodes : public vxWebFw::NativeModel::CWebFwChildNodesProviderImpl
{
public:
    explicit ChildNodes(PageModel& model) : model_(model) {}
    HRESULT GetChildNodes(NodeImpl* node, vxWebFw::NativeModel::NodeEnumeratorPtr& children) override;

private:
    PageModel& model_;
};

class ParentNodes : public ModelLifetime<vxWebFw::NativeModel::CWebFwParentNodeProviderImpl>
{
public:
    using ModelLifetime::ModelLifetime;
    HRESULT GetParentNode(NodeImpl* node, NodeImpl** parent) override { return model_.Parent(node, parent); }
};

class NodeAttributes : public vxWebFw::NativeModel::CWebFwNodeAttributesProviderImpl
{
public:
    explicit NodeAttributes(PageModel& model) : model_(model) {}
    HRESULT GetAttributes(NodeImpl* node, bool specifiedOnly,
                          vxWebFw::NativeModel::NodeEnumeratorPtr& attributes) override;

private:
    PageModel& model_;
};

class AttributeData : public vxWebFw::NativeModel::CWebFwAttributeDataProviderImpl
{
public:
    explicit AttributeData(PageModel& model) : model_(model) {}
    HRESULT GetAttributeName(NodeImpl* attribute, BSTR* name) override;
    HRESULT GetAttributeValue(NodeImpl* attribute, BSTR* value) override;

private:
    PageModel& model_;
};

class FrameDocuments : public ModelLifetime<vxWebFw::NativeModel::CWebFwFrameDocumentProviderImpl>
{
public:
    using ModelLifetime::ModelLifetime;
    HRESULT GetFrameDocument(NodeImpl* frame, NodeImpl** document) override;
};

class IFrameDocuments : public ModelLifetime<vxWebFw::NativeModel::CWebFwIFrameDocumentProviderImpl>
{
public:
    using ModelLifetime::ModelLifetime;
    HRESULT GetIFrameDocument(NodeImpl* iframe, NodeImpl** document) override;
};

class ElementsById : public vxWebFw::XPath::CWebFwElementByIdProviderImpl
{
public:
    explicit ElementsById(PageModel& model) : model_(model) {}
    HRESULT GetElementById(NodeImpl* document, const std::wstring& id, NodeImpl** element) override;
    HRESULT GetParentNode(NodeImpl* node, NodeImpl** parent) override { return model_.Parent(node, parent); }
    HRESULT GetNodeIdentity(NodeImpl* node, LONG* identity) override { return model_.Identity(node, identity); }

private:
    PageModel& model_;
};

// A document's "all" collection, read when the walk starts.
class DocumentAll : public ModelLifetime<vxWebFw::NativeModel::NodeEnumerator>
{
public:
    // `document` is borrowed.
    DocumentAll(PageModel& model, NodeImpl* document) : ModelLifetime(model), document_(document) {}
    HRESULT Reset() override;
    HRESULT Next(NodeImpl** node) override;

private:
    NodeImpl* document_;
    std::vector<long> members_;
    bool read_ = false;
    size_t next_ = 0;
};

// Options the test sets directly.
class TestOptions : public vxWebFw::Options::CWebFwOptionsProviderImpl
{
public:
    long GetObjectModel() override { return objectModel; }
    bool GetPreferName() override { return preferName; }
    long objectModel = 3;
    bool preferName = false;
};

// Accepts every node but the elements with the given node ids.
class RejectNodes : public vxWebFw::Recognizing::CWebFwNodeAcceptorImpl
{
public:
    explicit RejectNodes(PageModel& model) : model_(model) {}
    bool Accept(vxWebFw::Recognizing::RecognizedNode& node) override
    {
        return !rejected.count(model_.NodeIdOf(node.GetNode()));
    }
    std::set<long> rejected;

private:
    PageModel& model_;
};

// ---------------------------------------------------------------- the page context

// The framework objects of one page, each reading its one member through the
// model, wired as the browser adapters wire them.
class PageAdapters
{
public:
    explicit PageAdapters(PageModel& model);
    PageAdapters(const PageAdapters&) = delete;
    PageAdapters& operator=(const PageAdapters&) = delete;

    class NodeTypes : public vxWebFw::Recognizing::CNodeTypeRecognizerImpl
    {
    public:
        explicit NodeTypes(PageModel& model) : model_(model) {}
        HRESULT GetNodeTypeValue(NodeImpl* node, long* value) override
        {
            return model_.ReadLong(node, L"nodeType", value);
        }

    private:
        PageModel& model_;
    };
    class ElementTypes : public vxWebFw::Recognizing::CElementTypeRecognizerImpl
    {
    public:
        explicit ElementTypes(PageModel& model) : model_(model) {}
        HRESULT GetTagName(NodeImpl* node, BSTR* tag) override { return model_.ReadString(node, L"tagName", tag); }

    private:
        PageModel& model_;
    };
    class InputTypes : public vxWebFw::Recognizing::CHTMLInputElementTypeRecognizerImpl
    {
    public:
        explicit InputTypes(PageModel& model) : model_(model) {}
        HRESULT GetInputType(NodeImpl* node, BSTR* type) override { return model_.ReadString(node, L"type", type); }

    private:
        PageModel& model_;
    };
    class UrlNames : public vxWebFw::CNodeNamePropStrEvaluator
    {
    public:
        explicit UrlNames(PageModel& model) : model_(model) {}
        HRESULT GetHref(NodeImpl* node, BSTR* href) override { return model_.ReadString(node, L"href", href); }
        HRESULT GetSrc(NodeImpl* node, BSTR* src) override { return model_.ReadString(node, L"src", src); }

    private:
        PageModel& model_;
    };
    class DomStringIds : public vxWebFw::DOMModel::CDOMNodeStringIdEvaluatorImpl
    {
    public:
        DomStringIds(PageModel& model, vxWebFw::Options::IOptionsProvider* options)
            : CDOMNodeStringIdEvaluatorImpl(options), model_(model)
        {
        }
        HRESULT GetIdString(NodeImpl* node, BSTR* id) override { return model_.PropertyOrAttribute(node, L"id", id); }
        HRESULT GetNameString(NodeImpl* node, BSTR* name) override
        {
            return model_.PropertyOrAttribute(node, L"name", name);
        }

    private:
        PageModel& model_;
    };
    class TextBlocks : public vxWebFw::TreeModel::CTextBlockRecognizerImpl
    {
    public:
        TextBlocks(PageModel& model, vxWebFw::NativeModel::IChildNodesProvider* children,
                   const vxWebFw::Recognizing::RecognizerSet* set)
            : CTextBlockRecognizerImpl(children, set), model_(model)
        {
        }
        bool HasLayoutBoxForNoFrames(NodeImpl* node) override { return model_.HasLayoutBox(node); }
        bool HasLayoutBoxForNoScript(NodeImpl* node) override { return model_.HasLayoutBox(node); }
        HRESULT GetTextData(NodeImpl* node, BSTR* data) override { return model_.ReadString(node, L"data", data); }

    private:
        PageModel& model_;
    };
    class CellIds : public vxWebFw::TreeModel::CTableCellIdsEvaluatorImpl
    {
    public:
        CellIds(PageModel& model, const vxWebFw::Recognizing::RecognizerSet* set,
                vxWebFw::NativeModel::IParentNodeProvider* parents)
            : CTableCellIdsEvaluatorImpl(set, parents), model_(model)
        {
        }
        HRESULT ReadCellIndex(NodeImpl* cell, long* index) override
        {
            return model_.ReadLong(cell, L"cellIndex", index);
        }
        HRESULT ReadRowIndex(NodeImpl* row, long* index) override { return model_.ReadLong(row, L"rowIndex", index); }

    private:
        PageModel& model_;
    };
    class TreeStringIds : public vxWebFw::TreeModel::CTreeItemStringIdEvaluatorImpl
    {
    public:
        TreeStringIds(PageModel& model, vxWebFw::Options::IOptionsProvider* options,
                      vxWebFw::CNodeNamePropStrEvaluator* urlNames)
            : CTreeItemStringIdEvaluatorImpl(options, urlNames), model_(model)
        {
        }
        HRESULT GetIdString(NodeImpl* node, BSTR* id) override { return model_.PropertyOrAttribute(node, L"id", id); }
        HRESULT GetNameString(NodeImpl* node, BSTR* name) override
        {
            return model_.PropertyOrAttribute(node, L"name", name);
        }
        HRESULT GetValueString(NodeImpl* node, BSTR* value) override
        {
            return model_.ReadString(node, L"value", value);
        }

    private:
        PageModel& model_;
    };

    TestOptions options;
    NodeTypes nodeTypes;
    ElementTypes elementTypes;
    InputTypes inputTypes;
    vxWebFw::Recognizing::RecognizerSet recognizers;
    NodeData nodeData;
    ChildNodes childNodes;
    ParentNodes parentNodes;
    NodeAttributes attributes;
    AttributeData attributeData;
    FrameDocuments frameDocuments;
    IFrameDocuments iframeDocuments;
    ElementsById elementsById;
    RejectNodes acceptor;
    UrlNames urlNames;
    DomStringIds domStringIds;
    vxWebFw::DOMModel::CDOMModelAllWalk allWalk;
    vxWebFw::DOMModel::CDOMModelFramesWalk framesWalk;
    TextBlocks textBlocks;
    vxWebFw::TreeModel::CTreeItemRecognizerImpl treeItems;
    CellIds cellIds;
    TreeStringIds treeStringIds;
    vxWebFw::TreeModel::TreeItemsBuild treeItemsBuild;
};

} // namespace webfwnative
