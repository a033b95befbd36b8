#pragma once
// The page and the DOM model's objects: the page (on the top window), the
// document with its "all" and "frames" collections, DOM items and DOM
// frames. Identity paths: "Page", "document", "all", "frames", an element's
// node number, and inside a frame the frame's path + "!" + the own id.
#include <initializer_list>

#include "quickbrowser/objects/FrameObject.h"
#include "quickbrowser/objects/QuickBrowserControlCom.h"
#include "quickbrowser/objects/QuickBrowserObjectCom.h"
#include "quickbrowser/objects/WindowSlots.h"

namespace vxCrQuickBrowser {

class CCrQuickBrowserObject_Page final
    : public QuickBrowserObjectCom<
          CCrQuickBrowserObject_Page, CCrQuickBrowserObject_Base,
          vxOpenAppHook::IDispatchMultiImpl<CCrQuickBrowserObject_Page, IvxCrQuickBrowserObject_Page>,
          PageWindowSlots<CCrQuickBrowserObject_Page>>
{
public:
    HRESULT GetOwnId(BSTR* id) override;
    HRESULT GetScriptDispatch(IDispatch** script) override;
    VX_CR_QUICKBROWSEROBJECT_TYPE GetObjectKind() override { return crqbotPage; }
    HRESULT GetObjectIdentifier(VARIANT* identifier) override;
    // DOM model: the window's document; Tree model: the document's items.
    HRESULT GetChildren(QuickBrowserObjectList& children) override;
    HRESULT IsAlive(bool* alive) override;

    // IvxCrQuickBrowserObject_Page
    STDMETHODIMP EvaluateXPath(BSTR expression, BSTR monikerPrefix, VARIANT* value) noexcept override;

    // ---- window operations (PageWindowSlots)
    HRESULT WindowNode(NodeImpl** window);
    HRESULT WindowPath(BSTR* path);
    HRESULT WindowOnTopViewport(bool horizontal, LONG* value);

    IvxCrQuickBrowserObject_Window* AsWindow() noexcept
    {
        return static_cast<PageWindowSlots<CCrQuickBrowserObject_Page>*>(this);
    }
};

// The document, "all" and "frames" objects: named objects on a document node.
class CCrQuickBrowserObject_DOMNamed : public CCrQuickBrowserObject_Base
{
public:
    HRESULT GetOwnId(BSTR* id) override;
    VX_CR_QUICKBROWSEROBJECT_TYPE GetObjectKind() override { return crqbotDOMNamed; }
    // VT_BSTR: the own id.
    HRESULT GetObjectIdentifier(VARIANT* identifier) override;
    // Alive while the document has a window.
    HRESULT IsAlive(bool* alive) override;

protected:
    virtual const wchar_t* Name() const noexcept = 0;
    // A new, empty mixer (the collections have no script object of their own).
    HRESULT EmptyMixer(IDispatch** script);
};

class CCrQuickBrowserObject_DOMDocument final
    : public QuickBrowserObjectCom<CCrQuickBrowserObject_DOMDocument, CCrQuickBrowserObject_DOMNamed>
{
public:
    HRESULT GetScriptDispatch(IDispatch** script) override;
    // One "all" and one "frames" object on the same document and window.
    HRESULT GetChildren(QuickBrowserObjectList& children) override;

protected:
    const wchar_t* Name() const noexcept override { return L"document"; }
};

class CCrQuickBrowserObject_DOMAll final
    : public QuickBrowserObjectCom<CCrQuickBrowserObject_DOMAll, CCrQuickBrowserObject_DOMNamed>
{
public:
    HRESULT GetScriptDispatch(IDispatch** script) override { return EmptyMixer(script); }
    HRESULT GetChildren(QuickBrowserObjectList& children) override;

protected:
    const wchar_t* Name() const noexcept override { return L"all"; }
};

class CCrQuickBrowserObject_DOMFrames final
    : public QuickBrowserObjectCom<CCrQuickBrowserObject_DOMFrames, CCrQuickBrowserObject_DOMNamed>
{
public:
    HRESULT GetScriptDispatch(IDispatch** script) override { return EmptyMixer(script); }
    HRESULT GetChildren(QuickBrowserObjectList& children) override;

protected:
    const wchar_t* Name() const noexcept override { return L"frames"; }
};

class CCrQuickBrowserObject_DOMItem final
    : public QuickBrowserControlCom<CCrQuickBrowserObject_DOMItem, CCrQuickBrowserObject_InDocumentControl>
{
public:
    HRESULT GetScriptDispatch(IDispatch** script) override;
    VX_CR_QUICKBROWSEROBJECT_TYPE GetObjectKind() override { return crqbotDOMItem; }
    HRESULT GetChildren(QuickBrowserObjectList& children) override;
};

class CCrQuickBrowserObject_DOMFrame final
    : public QuickBrowserControlCom<CCrQuickBrowserObject_DOMFrame, CCrQuickBrowserObject_Frame,
                                    ChildWindowSlots<CCrQuickBrowserObject_DOMFrame>>
{
public:
    HRESULT GetScriptDispatch(IDispatch** script) override;
    VX_CR_QUICKBROWSEROBJECT_TYPE GetObjectKind() override { return crqbotDOMFrame; }
    // The document of the frame's content window, under the frame.
    HRESULT GetChildren(QuickBrowserObjectList& children) override;

protected:
    IvxCrQuickBrowserObject_Window* AsWindow() noexcept override
    {
        return static_cast<ChildWindowSlots<CCrQuickBrowserObject_DOMFrame>*>(this);
    }
};

// A mixer holding `script` (the element's own script object) first, then
// the identification instances in the order given. An element's mixer also
// hands out the other interfaces its parts answer (IvxWebObjectIdentifier).
HRESULT MixScriptObject(IStubManager* owner, IDispatch* script, std::initializer_list<IDispatch*> instances,
                        IDispatch** mixed);

} // namespace vxCrQuickBrowser
