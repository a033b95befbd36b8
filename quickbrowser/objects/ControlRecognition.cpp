// The recognition service of the element objects: what custom-control
// support reads of an element.
#include <string>
#include <string_view>

#include "platform/com/BStr.h"
#include "quickbrowser/objects/InDocumentControl.h"

using vxWebFw::NodeHandle;

namespace vxCrQuickBrowser {

namespace {

// What ends a value found after a match.
constexpr std::wstring_view kDelimiters = L" ;,()'\"\t\n\r";

const wchar_t* OrEmpty(BSTR text)
{
    return text ? text : L"";
}

std::wstring Cased(std::wstring_view text, bool upper)
{
    std::wstring cased(text);
    if (!cased.empty()) {
        const DWORD length = static_cast<DWORD>(cased.size());
        if (upper)
            CharUpperBuffW(cased.data(), length);
        else
            CharLowerBuffW(cased.data(), length);
    }
    return cased;
}

} // namespace

HRESULT CCrQuickBrowserObject_InDocumentControl::GetElementTagName(BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    Accessor()->GetTagName(Node(), value);
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetElementClassNameAndID(BSTR* className, BSTR* id)
{
    if (!className || !id)
        return E_POINTER;
    *className = nullptr;
    *id = nullptr;
    Accessor()->GetClassName(Node(), className);
    Accessor()->GetId(Node(), id);
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetElementParentNodeID(BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    NodeHandle parent(Accessor());
    if (SUCCEEDED(Accessor()->GetParentNode(Node(), parent.Out())) && parent)
        Accessor()->GetId(parent.Get(), value);
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::HasChildNodeContainingText(BSTR text, BSTR tagName,
                                                                            VARIANT_BOOL searchSiblings, BSTR* value,
                                                                            VARIANT_BOOL* result)
{
    if (!value || !result)
        return E_POINTER;
    *value = nullptr;
    *result = VARIANT_FALSE;
    CCrRawBrowserHelper* accessor = Accessor();
    const std::wstring_view wanted(OrEmpty(text), SysStringLen(text));
    const std::wstring tag = Cased(std::wstring_view(OrEmpty(tagName), SysStringLen(tagName)), true);
    std::wstring collected;
    NodeHandle current(accessor);
    if (searchSiblings)
        accessor->GetNextSibling(Node(), current.Out());
    else
        accessor->GetFirstChild(Node(), current.Out());
    while (current) {
        vx::com::BStr nodeName;
        accessor->GetNodeName(current.Get(), nodeName.Out());
        const std::wstring name = Cased(nodeName.View(), true);
        const bool skipped = !tag.empty() && nodeName.Get() && name != tag;
        vx::com::BStr nodeText;
        if (!skipped) {
            if (name == L"SCRIPT")
                accessor->GetText(current.Get(), nodeText.Out());
            else
                accessor->GetInnerText(current.Get(), nodeText.Out());
        }
        if (!nodeText.Empty()) {
            const std::wstring lowered = Cased(nodeText.View(), false);
            const size_t match = lowered.find(wanted);
            if (match != std::wstring::npos) {
                *result = VARIANT_TRUE;
                const std::wstring_view rest = std::wstring_view(lowered).substr(match + wanted.size());
                const size_t end = rest.find_first_of(kDelimiters);
                if (end != std::wstring_view::npos && end > 0) {
                    if (!collected.empty())
                        collected += L'|';
                    collected += rest.substr(0, end);
                }
            }
        }
        NodeHandle next(accessor);
        accessor->GetNextSibling(current.Get(), next.Out());
        current = std::move(next);
    }
    if (!collected.empty()) {
        *value = SysAllocStringLen(collected.data(), static_cast<UINT>(collected.size()));
        if (!*value)
            return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetScriptObject(IDispatch** value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    IvxCrQuickBrowserObject_Window* window = ParentWindow();
    if (!window)
        return S_OK;
    NodeHandle windowNode(Accessor());
    if (SUCCEEDED(window->GetWindowNode(windowNode.Out())) && windowNode)
        Accessor()->GetNodeScriptObject(windowNode.Get(), value);
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetAttributeValue(BSTR name, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    Accessor()->GetAttribute(Node(), OrEmpty(name), value);
    return S_OK;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetPrpStr(BSTR name, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    return Accessor()->ReadString(Node(), OrEmpty(name), value);
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetPrpBool(BSTR name, VARIANT_BOOL* value)
{
    if (!value)
        return E_POINTER;
    *value = VARIANT_FALSE;
    bool read = false;
    HRESULT hr = Accessor()->ReadBool(Node(), OrEmpty(name), &read);
    if (SUCCEEDED(hr))
        *value = read ? VARIANT_TRUE : VARIANT_FALSE;
    return hr;
}

HRESULT CCrQuickBrowserObject_InDocumentControl::GetPrpLong(BSTR name, LONG* value)
{
    if (!value)
        return E_POINTER;
    *value = 0;
    long read = 0;
    HRESULT hr = Accessor()->ReadLong(Node(), OrEmpty(name), &read);
    if (SUCCEEDED(hr))
        *value = read;
    return hr;
}

} // namespace vxCrQuickBrowser
