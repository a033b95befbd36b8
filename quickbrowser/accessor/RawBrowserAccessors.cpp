#include "quickbrowser/accessor/RawBrowserHelper.h"

#include "platform/com/BorrowedVariant.h"
#include "platform/com/Variant.h"

// The typed DOM accessors: one per member the quick browser and the web
// framework use, each a single read or call through the primitives.

namespace {

// A string argument owned for the duration of one call.
class StringArg
{
public:
    explicit StringArg(const wchar_t* text)
    {
        VariantInit(&v_);
        V_VT(&v_) = VT_BSTR;
        V_BSTR(&v_) = SysAllocString(text ? text : L"");
    }
    ~StringArg() { VariantClear(&v_); }
    StringArg(const StringArg&) = delete;
    StringArg& operator=(const StringArg&) = delete;
    bool Ok() const { return V_BSTR(&v_) != nullptr; }
    const VARIANT& Get() const { return v_; }

private:
    VARIANT v_;
};

} // namespace

HRESULT CCrRawBrowserHelper::GetDocument(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"document", value);
}

HRESULT CCrRawBrowserHelper::GetDefaultView(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"defaultView", value);
}

HRESULT CCrRawBrowserHelper::GetBody(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"body", value);
}

HRESULT CCrRawBrowserHelper::GetAll(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"all", value);
}

HRESULT CCrRawBrowserHelper::GetActiveElement(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"activeElement", value);
}

HRESULT CCrRawBrowserHelper::GetParentNode(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"parentNode", value);
}

HRESULT CCrRawBrowserHelper::GetChildNodes(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"childNodes", value);
}

HRESULT CCrRawBrowserHelper::GetOwnerDocument(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"ownerDocument", value);
}

HRESULT CCrRawBrowserHelper::GetPreviousSibling(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"previousSibling", value);
}

HRESULT CCrRawBrowserHelper::GetNextSibling(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"nextSibling", value);
}

HRESULT CCrRawBrowserHelper::GetFirstChild(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"firstChild", value);
}

HRESULT CCrRawBrowserHelper::GetLastChild(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"lastChild", value);
}

HRESULT CCrRawBrowserHelper::GetAttributes(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"attributes", value);
}

HRESULT CCrRawBrowserHelper::GetOffsetParent(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"offsetParent", value);
}

HRESULT CCrRawBrowserHelper::GetFrameContentDocument(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"contentDocument", value);
}

HRESULT CCrRawBrowserHelper::GetIFrameContentDocument(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"contentDocument", value);
}

HRESULT CCrRawBrowserHelper::GetContentWindow(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"contentWindow", value);
}

HRESULT CCrRawBrowserHelper::GetRows(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"rows", value);
}

HRESULT CCrRawBrowserHelper::GetCells(NodeImpl* node, NodeImpl** value)
{
    return ReadNode(node, L"cells", value);
}

HRESULT CCrRawBrowserHelper::GetNodeName(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"nodeName", value);
}

HRESULT CCrRawBrowserHelper::GetNodeValue(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"nodeValue", value);
}

HRESULT CCrRawBrowserHelper::GetAttrName(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"name", value);
}

HRESULT CCrRawBrowserHelper::GetAttrValue(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"value", value);
}

HRESULT CCrRawBrowserHelper::GetData(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"data", value);
}

HRESULT CCrRawBrowserHelper::GetTagName(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"tagName", value);
}

HRESULT CCrRawBrowserHelper::GetId(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"id", value);
}

HRESULT CCrRawBrowserHelper::GetName(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"name", value);
}

HRESULT CCrRawBrowserHelper::GetClassName(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"className", value);
}

HRESULT CCrRawBrowserHelper::GetInnerText(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"innerText", value);
}

HRESULT CCrRawBrowserHelper::GetHref(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"href", value);
}

HRESULT CCrRawBrowserHelper::GetSrc(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"src", value);
}

HRESULT CCrRawBrowserHelper::GetUseMap(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"useMap", value);
}

HRESULT CCrRawBrowserHelper::GetType(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"type", value);
}

HRESULT CCrRawBrowserHelper::GetValue(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"value", value);
}

HRESULT CCrRawBrowserHelper::GetText(NodeImpl* node, BSTR* value)
{
    return ReadString(node, L"text", value);
}

HRESULT CCrRawBrowserHelper::GetInnerWidth(NodeImpl* node, long* value)
{
    return ReadLong(node, L"innerWidth", value);
}

HRESULT CCrRawBrowserHelper::GetInnerHeight(NodeImpl* node, long* value)
{
    return ReadLong(node, L"innerHeight", value);
}

HRESULT CCrRawBrowserHelper::GetScrollX(NodeImpl* node, long* value)
{
    return ReadLong(node, L"scrollX", value);
}

HRESULT CCrRawBrowserHelper::GetScrollY(NodeImpl* node, long* value)
{
    return ReadLong(node, L"scrollY", value);
}

HRESULT CCrRawBrowserHelper::GetAllLength(NodeImpl* node, long* value)
{
    return ReadLong(node, L"length", value);
}

HRESULT CCrRawBrowserHelper::GetTableCollectionLength(NodeImpl* node, long* value)
{
    return ReadLong(node, L"length", value);
}

HRESULT CCrRawBrowserHelper::GetElementListLength(NodeImpl* node, long* value)
{
    return ReadLong(node, L"length", value);
}

HRESULT CCrRawBrowserHelper::GetAttributesLength(NodeImpl* node, long* value)
{
    return ReadLong(node, L"length", value);
}

HRESULT CCrRawBrowserHelper::GetNodeType(NodeImpl* node, long* value)
{
    return ReadLong(node, L"nodeType", value);
}

HRESULT CCrRawBrowserHelper::GetOffsetLeft(NodeImpl* node, long* value)
{
    return ReadLong(node, L"offsetLeft", value);
}

HRESULT CCrRawBrowserHelper::GetOffsetTop(NodeImpl* node, long* value)
{
    return ReadLong(node, L"offsetTop", value);
}

HRESULT CCrRawBrowserHelper::GetClientLeft(NodeImpl* node, long* value)
{
    return ReadLong(node, L"clientLeft", value);
}

HRESULT CCrRawBrowserHelper::GetClientTop(NodeImpl* node, long* value)
{
    return ReadLong(node, L"clientTop", value);
}

HRESULT CCrRawBrowserHelper::GetCellIndex(NodeImpl* node, long* value)
{
    return ReadLong(node, L"cellIndex", value);
}

HRESULT CCrRawBrowserHelper::GetRowIndex(NodeImpl* node, long* value)
{
    return ReadLong(node, L"rowIndex", value);
}

HRESULT CCrRawBrowserHelper::HasChildNodes(NodeImpl* node, bool* value)
{
    return ReadBool(node, L"hasChildNodes", value);
}

HRESULT CCrRawBrowserHelper::GetAttrSpecified(NodeImpl* node, bool* value)
{
    return ReadBool(node, L"specified", value);
}

HRESULT CCrRawBrowserHelper::GetHidden(NodeImpl* node, bool* value)
{
    return ReadBool(node, L"hidden", value);
}

HRESULT CCrRawBrowserHelper::GetDisabled(NodeImpl* node, bool* value)
{
    return ReadBool(node, L"disabled", value);
}

HRESULT CCrRawBrowserHelper::GetRectLeft(NodeImpl* node, double* value)
{
    return ReadDouble(node, L"left", value);
}

HRESULT CCrRawBrowserHelper::GetRectTop(NodeImpl* node, double* value)
{
    return ReadDouble(node, L"top", value);
}

HRESULT CCrRawBrowserHelper::GetRectWidth(NodeImpl* node, double* value)
{
    return ReadDouble(node, L"width", value);
}

HRESULT CCrRawBrowserHelper::GetRectHeight(NodeImpl* node, double* value)
{
    return ReadDouble(node, L"height", value);
}

HRESULT CCrRawBrowserHelper::ScrollTo(NodeImpl* window, long x, long y)
{
    const VARIANT args[] = {vx::com::BorrowedLong(x), vx::com::BorrowedLong(y)};
    return Call(window, L"scrollTo", args, 2);
}

HRESULT CCrRawBrowserHelper::GetComputedStyle(NodeImpl* window, NodeImpl* element, const wchar_t* pseudoElement,
                                              NodeImpl** style)
{
    if (!style)
        return E_POINTER;
    *style = nullptr;
    StringArg pseudo(pseudoElement);
    if (!pseudo.Ok())
        return E_OUTOFMEMORY;
    const VARIANT args[] = {vx::com::BorrowedPointer(element), pseudo.Get()};
    return CallForNode(window, L"getComputedStyle", args, 2, style);
}

HRESULT CCrRawBrowserHelper::GetPropertyValue(NodeImpl* style, const wchar_t* name, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    StringArg property(name);
    if (!property.Ok())
        return E_OUTOFMEMORY;
    return CallForString(style, L"getPropertyValue", &property.Get(), 1, value);
}

HRESULT CCrRawBrowserHelper::ElementFromPoint(NodeImpl* document, long x, long y, NodeImpl** element)
{
    const VARIANT args[] = {vx::com::BorrowedLong(x), vx::com::BorrowedLong(y)};
    return CallForNode(document, L"elementFromPoint", args, 2, element);
}

HRESULT CCrRawBrowserHelper::GetElementsByTagName(NodeImpl* documentOrElement, const wchar_t* tag, NodeImpl** list)
{
    if (!list)
        return E_POINTER;
    *list = nullptr;
    StringArg name(tag);
    if (!name.Ok())
        return E_OUTOFMEMORY;
    return CallForNode(documentOrElement, L"getElementsByTagName", &name.Get(), 1, list);
}

HRESULT CCrRawBrowserHelper::GetAllItem(NodeImpl* all, long index, NodeImpl** item)
{
    const VARIANT arg = vx::com::BorrowedLong(index);
    return CallForNode(all, L"item", &arg, 1, item);
}

HRESULT CCrRawBrowserHelper::GetTableCollectionItem(NodeImpl* collection, long index, NodeImpl** item)
{
    const VARIANT arg = vx::com::BorrowedLong(index);
    return CallForNode(collection, L"item", &arg, 1, item);
}

HRESULT CCrRawBrowserHelper::GetElementListItem(NodeImpl* list, long index, NodeImpl** item)
{
    const VARIANT arg = vx::com::BorrowedLong(index);
    return CallForNode(list, L"item", &arg, 1, item);
}

HRESULT CCrRawBrowserHelper::GetAttributesItem(NodeImpl* attributes, long index, NodeImpl** item)
{
    const VARIANT arg = vx::com::BorrowedLong(index);
    return CallForNode(attributes, L"item", &arg, 1, item);
}

HRESULT CCrRawBrowserHelper::GetNamedItem(NodeImpl* attributes, const wchar_t* name, NodeImpl** attribute)
{
    if (!attribute)
        return E_POINTER;
    *attribute = nullptr;
    StringArg text(name);
    if (!text.Ok())
        return E_OUTOFMEMORY;
    return CallForNode(attributes, L"getNamedItem", &text.Get(), 1, attribute);
}

HRESULT CCrRawBrowserHelper::AddEventListener(NodeImpl* node, const wchar_t* type, NodeImpl* listener, bool useCapture)
{
    StringArg eventType(type);
    if (!eventType.Ok())
        return E_OUTOFMEMORY;
    const VARIANT args[] = {eventType.Get(), vx::com::BorrowedPointer(listener), vx::com::BorrowedBool(useCapture)};
    return Call(node, L"addEventListener", args, 3);
}

HRESULT CCrRawBrowserHelper::RemoveEventListener(NodeImpl* node, const wchar_t* type, NodeImpl* listener,
                                                 bool useCapture)
{
    StringArg eventType(type);
    if (!eventType.Ok())
        return E_OUTOFMEMORY;
    const VARIANT args[] = {eventType.Get(), vx::com::BorrowedPointer(listener), vx::com::BorrowedBool(useCapture)};
    return Call(node, L"removeEventListener", args, 3);
}

HRESULT CCrRawBrowserHelper::GetBoundingClientRect(NodeImpl* element, NodeImpl** rect)
{
    return CallForNode(element, L"getBoundingClientRect", nullptr, 0, rect);
}

HRESULT CCrRawBrowserHelper::Focus(NodeImpl* element)
{
    return Call(element, L"focus", nullptr, 0);
}
