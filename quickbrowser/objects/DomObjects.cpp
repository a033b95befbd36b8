#include "quickbrowser/objects/DomObjects.h"

#include "openapphook/DispatchMixer.h"
#include "platform/com/BStr.h"
#include "quickbrowser/XPathOnRendererThread.h"
#include "quickbrowser/objects/Instances.h"
#include "quickbrowser/objects/ObjectBuilders.h"

using Microsoft::WRL::ComPtr;
using vxWebFw::NodeHandle;

namespace vxCrQuickBrowser {

namespace {

constexpr LONG kDomObjectModel = 0;

HRESULT CopyName(const wchar_t* name, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocString(name);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Appends a new document object on `document` (borrowed) under `window`.
HRESULT AddDocumentObject(CCrRawBrowserHelper* accessor, NodeImpl* document, IvxCrQuickBrowserObject_Window* window,
                          QuickBrowserObjectList& children)
{
    ComPtr<CCrQuickBrowserObject_DOMDocument> object;
    HRESULT hr = CreateQuickBrowserObject(accessor, document, window, object);
    if (FAILED(hr))
        return hr;
    children.emplace_back(object.Get());
    return S_OK;
}

} // namespace

HRESULT MixScriptObject(IStubManager* owner, IDispatch* script, std::initializer_list<IDispatch*> instances,
                        IDispatch** mixed)
{
    if (!mixed)
        return E_POINTER;
    *mixed = nullptr;
    ComPtr<vxOpenAppHook::CCustomDispatchMixer> mixer;
    HRESULT hr = vxOpenAppHook::CCustomDispatchMixer::Create(owner, script != nullptr, mixer);
    if (FAILED(hr))
        return hr;
    if (script) {
        hr = mixer->AddDispatch(script);
        if (FAILED(hr))
            return hr;
    }
    for (IDispatch* instance : instances) {
        hr = mixer->AddDispatch(instance);
        if (FAILED(hr))
            return hr;
    }
    return mixer->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(mixed));
}

// ---------------------------------------------------------------- page

HRESULT CCrQuickBrowserObject_Page::GetOwnId(BSTR* id)
{
    return CopyName(L"Page", id);
}

HRESULT CCrQuickBrowserObject_Page::GetScriptDispatch(IDispatch** script)
{
    return Accessor()->GetNodeScriptObject(Node(), script);
}

HRESULT CCrQuickBrowserObject_Page::GetObjectIdentifier(VARIANT* identifier)
{
    if (!identifier)
        return E_POINTER;
    return VariantClear(identifier);
}

HRESULT CCrQuickBrowserObject_Page::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    CCrRawBrowserHelper* accessor = Accessor();
    NodeHandle document(accessor);
    if (FAILED(accessor->GetDocument(Node(), document.Out())) || !document)
        return S_OK; // a window without a document shows nothing
    if (accessor->Options().ObjectModel() == kDomObjectModel) {
        // A document object that cannot be made is left out.
        AddDocumentObject(accessor, document.Get(), AsWindow(), children);
        return S_OK;
    }
    return vxCrQuickBrowserTreeUtils::BuildTreeDocumentChildren(accessor, document.Get(), AsWindow(), children);
}

HRESULT CCrQuickBrowserObject_Page::IsAlive(bool* alive)
{
    if (!alive)
        return E_POINTER;
    *alive = true;
    return S_OK;
}

STDMETHODIMP CCrQuickBrowserObject_Page::EvaluateXPath(BSTR expression, BSTR monikerPrefix, VARIANT* value) noexcept
try {
    return EvaluateXPathOnRendererThread(Accessor(), expression, monikerPrefix, value);
}
VX_COM_CATCH

HRESULT CCrQuickBrowserObject_Page::WindowNode(NodeImpl** window)
{
    return Accessor()->CloneNode(Node(), window);
}

HRESULT CCrQuickBrowserObject_Page::WindowPath(BSTR* path)
{
    *path = nullptr;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_Page::WindowOnTopViewport(bool, LONG* value)
{
    *value = 0;
    return S_OK;
}

// ---------------------------------------------------------------- named objects

HRESULT CCrQuickBrowserObject_DOMNamed::GetOwnId(BSTR* id)
{
    return CopyName(Name(), id);
}

HRESULT CCrQuickBrowserObject_DOMNamed::GetObjectIdentifier(VARIANT* identifier)
{
    if (!identifier)
        return E_POINTER;
    VariantClear(identifier);
    BSTR name = nullptr;
    HRESULT hr = CopyName(Name(), &name);
    if (FAILED(hr))
        return hr;
    V_VT(identifier) = VT_BSTR;
    V_BSTR(identifier) = name;
    return S_OK;
}

HRESULT CCrQuickBrowserObject_DOMNamed::IsAlive(bool* alive)
{
    if (!alive)
        return E_POINTER;
    *alive = false;
    return Accessor()->HasDefaultView(Node(), alive);
}

HRESULT CCrQuickBrowserObject_DOMNamed::EmptyMixer(IDispatch** script)
{
    return MixScriptObject(StubManager(), nullptr, {}, script);
}

HRESULT CCrQuickBrowserObject_DOMDocument::GetScriptDispatch(IDispatch** script)
{
    return NodeScriptObjectEx(L"all!frames", script);
}

HRESULT CCrQuickBrowserObject_DOMDocument::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    ComPtr<CCrQuickBrowserObject_DOMAll> all;
    if (SUCCEEDED(CreateQuickBrowserObject(Accessor(), Node(), ParentWindow(), all)))
        children.emplace_back(all.Get());
    ComPtr<CCrQuickBrowserObject_DOMFrames> frames;
    if (SUCCEEDED(CreateQuickBrowserObject(Accessor(), Node(), ParentWindow(), frames)))
        children.emplace_back(frames.Get());
    return S_OK;
}

HRESULT CCrQuickBrowserObject_DOMAll::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    return vxCrQuickBrowserDOMUtils::BuildAllChildren(Accessor(), Node(), ParentWindow(), children);
}

HRESULT CCrQuickBrowserObject_DOMFrames::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    return vxCrQuickBrowserDOMUtils::BuildFramesChildren(Accessor(), Node(), ParentWindow(), children);
}

// ---------------------------------------------------------------- elements

HRESULT CCrQuickBrowserObject_DOMItem::GetScriptDispatch(IDispatch** script)
{
    if (!script)
        return E_POINTER;
    *script = nullptr;
    ComPtr<IDispatch> own;
    HRESULT hr = Accessor()->GetNodeScriptObject(Node(), own.GetAddressOf());
    if (FAILED(hr))
        return hr;
    ComPtr<IDispatch> quickIds;
    hr = CreateWebQuickIds(Accessor(), Node(), quickIds);
    if (FAILED(hr))
        return hr;
    return MixScriptObject(StubManager(), own.Get(), {quickIds.Get()}, script);
}

HRESULT CCrQuickBrowserObject_DOMItem::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    return S_OK;
}

HRESULT CCrQuickBrowserObject_DOMFrame::GetScriptDispatch(IDispatch** script)
{
    if (!script)
        return E_POINTER;
    *script = nullptr;
    ComPtr<IDispatch> own;
    HRESULT hr = NodeScriptObjectEx(L"document", own.GetAddressOf());
    if (FAILED(hr))
        return hr;
    ComPtr<IDispatch> quickIds;
    hr = CreateWebQuickIds(Accessor(), Node(), quickIds);
    if (FAILED(hr))
        return hr;
    return MixScriptObject(StubManager(), own.Get(), {quickIds.Get()}, script);
}

HRESULT CCrQuickBrowserObject_DOMFrame::GetChildren(QuickBrowserObjectList& children)
{
    children.clear();
    NodeHandle document;
    HRESULT hr = FrameDocument(document);
    if (FAILED(hr))
        return hr;
    return AddDocumentObject(Accessor(), document.Get(), AsWindow(), children);
}

} // namespace vxCrQuickBrowser
