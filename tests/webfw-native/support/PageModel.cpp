#include "PageModel.h"

#include <cmath>
#include <cwctype>
#include <new>

namespace webfwnative {

using harness::SnapValue;

namespace {

HRESULT AllocString(const std::wstring& text, BSTR* value)
{
    *value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
}

// HTML attribute names compare without letter case.
bool SameName(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && !b[i];
}

// Children of a node, from the model's structure.
class ChildEnumerator : public ModelLifetime<vxWebFw::NativeModel::CChildNodesEnumerator>
{
public:
    ChildEnumerator(PageModel& model, NodeImpl* parent) : ModelLifetime(model), parent_(parent) {}
    HRESULT Reset() override
    {
        next_ = 0;
        return S_OK;
    }
    HRESULT Next(NodeImpl** node) override
    {
        if (!node)
            return E_POINTER;
        HRESULT hr = model_.Child(parent_, next_, node);
        if (hr == S_OK)
            ++next_;
        return hr;
    }

private:
    NodeImpl* parent_; // borrowed
    size_t next_ = 0;
};

// An element's attributes; with `specifiedOnly` an unspecified one answers
// S_OK with no node.
class AttributeEnumerator : public ModelLifetime<vxWebFw::NativeModel::CNodeAttributesEnumerator>
{
public:
    AttributeEnumerator(PageModel& model, NodeImpl* element, bool specifiedOnly)
        : ModelLifetime(model), element_(element), specifiedOnly_(specifiedOnly)
    {
    }
    HRESULT Reset() override
    {
        next_ = 0;
        return S_OK;
    }
    HRESULT Next(NodeImpl** node) override
    {
        if (!node)
            return E_POINTER;
        *node = nullptr;
        size_t count = 0;
        HRESULT hr = model_.AttributeCount(element_, &count);
        if (FAILED(hr))
            return hr;
        if (next_ >= count)
            return S_FALSE;
        return model_.AttributeAt(element_, next_++, specifiedOnly_, node);
    }

private:
    NodeImpl* element_; // borrowed
    bool specifiedOnly_;
    size_t next_ = 0;
};

} // namespace

// ---------------------------------------------------------------- PageModel

PageModel::PageModel(harness::SnapshotPage page) : page_(std::move(page)) {}

PageModel::~PageModel()
{
    for (Record* record : live_)
        delete record;
}

NodeImpl* PageModel::NewHandle(long node, long attribute)
{
    auto* record = new Record{node, attribute};
    live_.insert(record);
    return reinterpret_cast<NodeImpl*>(record);
}

const PageModel::Record* PageModel::Find(NodeImpl* handle)
{
    auto* record = reinterpret_cast<Record*>(handle);
    if (live_.count(record))
        return record;
    ++faults_;
    return nullptr;
}

HRESULT PageModel::CountRead(const std::wstring& member)
{
    ++reads_[member];
    auto refused = refused_.find(member);
    return refused == refused_.end() ? S_OK : refused->second;
}

HRESULT PageModel::Answer(long nodeId, NodeImpl** out)
{
    if (nodeId <= 0 || !page_.HasNode(nodeId))
        return S_FALSE;
    *out = NewHandle(nodeId);
    return S_OK;
}

NodeImpl* PageModel::HandleOf(long nodeId)
{
    return page_.HasNode(nodeId) ? NewHandle(nodeId) : nullptr;
}

long PageModel::NodeIdOf(NodeImpl* handle) const
{
    auto* record = reinterpret_cast<Record*>(handle);
    return live_.count(record) && record->attribute < 0 ? record->node : 0;
}

HRESULT PageModel::AddRef(NodeImpl* node, NodeImpl** copy)
{
    if (!copy)
        return E_POINTER;
    *copy = nullptr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    *copy = NewHandle(record->node, record->attribute);
    return S_OK;
}

HRESULT PageModel::Release(NodeImpl* node)
{
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    live_.erase(const_cast<Record*>(record));
    delete record;
    return S_OK;
}

long PageModel::Reads(const std::wstring& member) const
{
    auto found = reads_.find(member);
    return found == reads_.end() ? 0 : found->second;
}

long PageModel::TotalReads() const
{
    long total = 0;
    for (const auto& entry : reads_)
        total += entry.second;
    return total;
}

HRESULT PageModel::ReadString(NodeImpl* node, const wchar_t* member, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    HRESULT hr = CountRead(member);
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    const std::wstring name = member;
    if (record->attribute >= 0) {
        const auto& attribute = page_.Node(record->node).attrs.at(static_cast<size_t>(record->attribute));
        if (name == L"name" || name == L"nodeName")
            return AllocString(attribute.first, value);
        if (name == L"value" || name == L"nodeValue")
            return AllocString(attribute.second, value);
        return DISP_E_MEMBERNOTFOUND;
    }
    const SnapValue* property = page_.Prop(record->node, name);
    if (!property)
        return DISP_E_MEMBERNOTFOUND;
    if (property->kind != SnapValue::Kind::String)
        return E_UNEXPECTED;
    return AllocString(property->text, value);
}

HRESULT PageModel::ReadLong(NodeImpl* node, const wchar_t* member, long* value)
{
    if (!value)
        return E_POINTER;
    *value = 0;
    HRESULT hr = CountRead(member);
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    const std::wstring name = member;
    if (record->attribute >= 0) {
        if (name != L"nodeType")
            return DISP_E_MEMBERNOTFOUND;
        *value = 2;
        return S_OK;
    }
    const SnapValue* property = page_.Prop(record->node, name);
    if (!property)
        return DISP_E_MEMBERNOTFOUND;
    if (property->kind == SnapValue::Kind::Bool) {
        *value = property->boolean ? -1 : 0;
        return S_OK;
    }
    if (property->kind != SnapValue::Kind::Number || !std::isfinite(property->number))
        return E_UNEXPECTED;
    *value = static_cast<long>(std::nearbyint(property->number));
    return S_OK;
}

HRESULT PageModel::ReadNode(NodeImpl* node, const wchar_t* member, NodeImpl** value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    HRESULT hr = CountRead(member);
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    const SnapValue* property = record->attribute < 0 ? page_.Prop(record->node, member) : nullptr;
    if (!property)
        return DISP_E_MEMBERNOTFOUND;
    if (property->kind == SnapValue::Kind::Null)
        return S_FALSE;
    if (property->kind != SnapValue::Kind::Node)
        return E_UNEXPECTED;
    return Answer(property->ref, value);
}

HRESULT PageModel::ReadList(NodeImpl* node, const wchar_t* member, std::vector<long>& ids)
{
    ids.clear();
    HRESULT hr = CountRead(member);
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    const SnapValue* property = record->attribute < 0 ? page_.Prop(record->node, member) : nullptr;
    if (!property)
        return DISP_E_MEMBERNOTFOUND;
    if (property->kind != SnapValue::Kind::List)
        return E_UNEXPECTED;
    ids = property->list;
    return S_OK;
}

HRESULT PageModel::PropertyOrAttribute(NodeImpl* node, const wchar_t* name, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    BSTR property = nullptr;
    if (SUCCEEDED(ReadString(node, name, &property)) && SysStringLen(property) > 0) {
        *value = property;
        return S_OK;
    }
    SysFreeString(property);
    HRESULT hr = CountRead(L"attributes");
    if (FAILED(hr))
        return S_OK;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    if (record->attribute >= 0)
        return S_OK;
    for (const auto& attribute : page_.Node(record->node).attrs)
        if (SameName(attribute.first, name))
            return AllocString(attribute.second, value);
    return S_OK;
}

bool PageModel::HasLayoutBox(NodeImpl* node)
{
    if (FAILED(CountRead(L"getBoundingClientRect")))
        return false;
    const Record* record = Find(node);
    if (!record || record->attribute >= 0)
        return false;
    const harness::SnapNode& element = page_.Node(record->node);
    if (element.nodeType != 1)
        return false;
    return static_cast<long>(element.rect.width) != 0 && static_cast<long>(element.rect.height) != 0;
}

HRESULT PageModel::Parent(NodeImpl* node, NodeImpl** parent)
{
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    HRESULT hr = CountRead(L"parentNode");
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    return record->attribute >= 0 ? S_FALSE : Answer(page_.Node(record->node).parent, parent);
}

HRESULT PageModel::Child(NodeImpl* node, size_t index, NodeImpl** child)
{
    if (!child)
        return E_POINTER;
    *child = nullptr;
    HRESULT hr = CountRead(L"childNodes");
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    if (record->attribute >= 0)
        return S_FALSE;
    const std::vector<long>& children = page_.Node(record->node).children;
    return index < children.size() ? Answer(children[index], child) : S_FALSE;
}

HRESULT PageModel::LastChild(NodeImpl* node, NodeImpl** child)
{
    if (!child)
        return E_POINTER;
    *child = nullptr;
    HRESULT hr = CountRead(L"lastChild");
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    if (record->attribute >= 0 || page_.Node(record->node).children.empty())
        return S_FALSE;
    return Answer(page_.Node(record->node).children.back(), child);
}

HRESULT PageModel::Sibling(NodeImpl* node, int delta, NodeImpl** sibling)
{
    if (!sibling)
        return E_POINTER;
    *sibling = nullptr;
    HRESULT hr = CountRead(delta < 0 ? L"previousSibling" : L"nextSibling");
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    const long parent = page_.Node(record->node).parent;
    if (record->attribute >= 0 || !parent)
        return S_FALSE;
    const std::vector<long>& siblings = page_.Node(parent).children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] != record->node)
            continue;
        if (delta < 0)
            return i > 0 ? Answer(siblings[i - 1], sibling) : S_FALSE;
        return i + 1 < siblings.size() ? Answer(siblings[i + 1], sibling) : S_FALSE;
    }
    return S_FALSE;
}

HRESULT PageModel::ChildCount(NodeImpl* node, size_t* count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    HRESULT hr = CountRead(L"hasChildNodes");
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    if (record->attribute < 0)
        *count = page_.Node(record->node).children.size();
    return S_OK;
}

HRESULT PageModel::AttributeCount(NodeImpl* element, size_t* count)
{
    *count = 0;
    HRESULT hr = CountRead(L"attributes");
    if (FAILED(hr))
        return hr;
    const Record* record = Find(element);
    if (!record)
        return E_INVALIDARG;
    if (record->attribute >= 0 || page_.Node(record->node).nodeType != 1)
        return DISP_E_MEMBERNOTFOUND;
    *count = page_.Node(record->node).attrs.size();
    return S_OK;
}

HRESULT PageModel::AttributeAt(NodeImpl* element, size_t index, bool specifiedOnly, NodeImpl** attribute)
{
    *attribute = nullptr;
    const Record* record = Find(element);
    if (!record)
        return E_INVALIDARG;
    const harness::SnapNode& node = page_.Node(record->node);
    if (record->attribute >= 0 || index >= node.attrs.size())
        return E_INVALIDARG;
    if (specifiedOnly && !node.attrSpecified.at(index))
        return S_OK;
    *attribute = NewHandle(record->node, static_cast<long>(index));
    return S_OK;
}

HRESULT PageModel::ElementById(NodeImpl* document, const std::wstring& id, NodeImpl** element)
{
    if (!element)
        return E_POINTER;
    *element = nullptr;
    HRESULT hr = CountRead(L"getElementById");
    if (FAILED(hr))
        return hr;
    const Record* record = Find(document);
    if (!record)
        return E_INVALIDARG;
    if (record->attribute >= 0 || page_.Node(record->node).nodeType != 9)
        return DISP_E_MEMBERNOTFOUND;
    if (id.empty())
        return S_FALSE;
    // Depth first in tree order; a frame's document is not a child of its
    // frame element, so the search stays in this document.
    std::vector<long> pending(page_.Node(record->node).children.rbegin(), page_.Node(record->node).children.rend());
    while (!pending.empty()) {
        const harness::SnapNode& node = page_.Node(pending.back());
        pending.pop_back();
        if (node.nodeType == 1)
            for (const auto& attribute : node.attrs)
                if (attribute.first == L"id" && attribute.second == id)
                    return Answer(node.id, element);
        pending.insert(pending.end(), node.children.rbegin(), node.children.rend());
    }
    return S_FALSE;
}

HRESULT PageModel::Identity(NodeImpl* node, LONG* identity)
{
    if (!identity)
        return E_POINTER;
    *identity = 0;
    HRESULT hr = CountRead(L"#identity");
    if (FAILED(hr))
        return hr;
    const Record* record = Find(node);
    if (!record)
        return E_INVALIDARG;
    if (record->attribute >= 0)
        return E_NOINTERFACE;
    *identity = record->node;
    return S_OK;
}

// ---------------------------------------------------------------- providers

HRESULT NodeData::GetNodeName(NodeImpl* node, BSTR* name)
{
    return model_.ReadString(node, L"nodeName", name);
}

HRESULT NodeData::GetNodeValue(NodeImpl* node, BSTR* value)
{
    return model_.ReadString(node, L"nodeValue", value);
}

HRESULT NodeData::GetPreviousSibling(NodeImpl* node, NodeImpl** sibling)
{
    return model_.Sibling(node, -1, sibling);
}

HRESULT NodeData::GetNextSibling(NodeImpl* node, NodeImpl** sibling)
{
    return model_.Sibling(node, +1, sibling);
}

HRESULT NodeData::GetFirstChild(NodeImpl* node, NodeImpl** child)
{
    return model_.Child(node, 0, child);
}

HRESULT NodeData::GetLastChild(NodeImpl* node, NodeImpl** child)
{
    return model_.LastChild(node, child);
}

HRESULT NodeData::HasChildNodes(NodeImpl* node, bool* has)
{
    if (!has)
        return E_POINTER;
    size_t count = 0;
    HRESULT hr = model_.ChildCount(node, &count);
    *has = count > 0;
    return hr;
}

HRESULT ChildNodes::GetChildNodes(NodeImpl* node, vxWebFw::NativeModel::NodeEnumeratorPtr& children)
{
    children.reset(new (std::nothrow) ChildEnumerator(model_, node));
    return children ? S_OK : E_OUTOFMEMORY;
}

HRESULT NodeAttributes::GetAttributes(NodeImpl* node, bool specifiedOnly,
                                      vxWebFw::NativeModel::NodeEnumeratorPtr& attributes)
{
    attributes.reset(new (std::nothrow) AttributeEnumerator(model_, node, specifiedOnly));
    return attributes ? S_OK : E_OUTOFMEMORY;
}

HRESULT AttributeData::GetAttributeName(NodeImpl* attribute, BSTR* name)
{
    return model_.ReadString(attribute, L"name", name);
}

HRESULT AttributeData::GetAttributeValue(NodeImpl* attribute, BSTR* value)
{
    return model_.ReadString(attribute, L"value", value);
}

HRESULT FrameDocuments::GetFrameDocument(NodeImpl* frame, NodeImpl** document)
{
    return model_.ReadNode(frame, L"contentDocument", document);
}

HRESULT IFrameDocuments::GetIFrameDocument(NodeImpl* iframe, NodeImpl** document)
{
    return model_.ReadNode(iframe, L"contentDocument", document);
}

HRESULT ElementsById::GetElementById(NodeImpl* document, const std::wstring& id, NodeImpl** element)
{
    return model_.ElementById(document, id, element);
}

HRESULT DocumentAll::Reset()
{
    read_ = false;
    next_ = 0;
    HRESULT hr = model_.ReadList(document_, L"all", members_);
    if (FAILED(hr))
        return hr;
    read_ = true;
    return S_OK;
}

HRESULT DocumentAll::Next(NodeImpl** node)
{
    if (!node)
        return E_POINTER;
    *node = nullptr;
    if (!read_) {
        HRESULT hr = Reset();
        if (FAILED(hr))
            return hr;
    }
    if (next_ >= members_.size())
        return S_FALSE;
    // A member outside the snapshot is answered with no node.
    *node = model_.HandleOf(members_[next_++]);
    return S_OK;
}

// ---------------------------------------------------------------- PageAdapters

PageAdapters::PageAdapters(PageModel& model)
    : nodeTypes(model), elementTypes(model), inputTypes(model), recognizers{&nodeTypes, &elementTypes, &inputTypes},
      nodeData(model), childNodes(model), parentNodes(model), attributes(model), attributeData(model),
      frameDocuments(model), iframeDocuments(model), elementsById(model), acceptor(model), urlNames(model),
      domStringIds(model, &options), allWalk(&recognizers, &domStringIds), framesWalk(&recognizers, &domStringIds),
      textBlocks(model, &childNodes, &recognizers), treeItems(&textBlocks), cellIds(model, &recognizers, &parentNodes),
      treeStringIds(model, &options, &urlNames),
      treeItemsBuild(&recognizers, &treeItems, &childNodes, &treeStringIds, &cellIds)
{
}

} // namespace webfwnative
