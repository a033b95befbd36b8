#pragma once
// The renderer's single gateway to the page's DOM: wraps the Chrome
// component's native object and turns it into typed DOM accessors. Every
// accessor returns an HRESULT and sets its outputs to null, 0 or false
// first; a node it returns is owned by the caller (give it back with
// ReleaseNode), a node passed in is borrowed. Member names are resolved once
// and served from a cache afterwards; a name the native object refuses is
// asked again on the next call. All DOM access belongs on the renderer thread
// (RunOnRendererThread); the accessor itself takes no lock.
#include <windows.h>
#include <oleauto.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"
#include "quickbrowser/accessor/OffRendererWorker.h"
#include "quickbrowser/accessor/QuickBrowserOptions.h"
#include "webfw/NativeModel/ObjectLifetime.h"

struct CCrFwAdapters;
class CCrRawBrowserHelper;
class CCrElementAttributes;

// Owner of a page context's web-framework adapters. They belong to the Chrome
// adapter layer above the accessor, which makes them and says how they go;
// the accessor holds them without knowing their layout.
using CCrFwAdaptersOwner = std::unique_ptr<CCrFwAdapters, void (*)(CCrFwAdapters*)>;
// Makes the adapters of the page context `helper` reads (null when they
// could not be made).
using CCrFwAdaptersFactory = CCrFwAdaptersOwner (*)(CCrRawBrowserHelper* helper);

class CCrRawBrowserHelper : public vx::com::ComObject<CCrRawBrowserHelper, IUnknown>
{
public:
    CCrRawBrowserHelper();
    ~CCrRawBrowserHelper() override;

    // Takes the stub manager and the native object, reads the info string and
    // the exclusion attribute, starts with default options and makes the
    // web-framework adapters with `makeAdapters` (none when it is null).
    HRESULT AttachNative(IUnknown* stubManager, IvxCrNativeChromeObject* native, CCrFwAdaptersFactory makeAdapters);

    // The stub manager that the objects made over this accessor join (null
    // when it was given none).
    vxOpenAppHook::IStubManager* GetStubManager() const { return stubManager_.Get(); }
    IvxCrNativeChromeObject* GetNative() const { return native_.Get(); }
    BSTR GetInfo() const { return infoString_.Get(); }
    BSTR GetExclusionAttributeName() const { return exclusionAttribute_.Get(); }
    CCrQuickBrowserOptions& Options() { return *options_; }
    // The web-framework objects of this page context (null before attach).
    CCrFwAdapters* Adapters() const { return adapters_.get(); }

    // Runs `work` on the accessor's own thread, after what was posted before
    // (renderer thread only): for calls the renderer must not wait on.
    HRESULT PostOffRenderer(std::function<void()> work) noexcept { return offRenderer_.Post(std::move(work)); }

    // ---- native object operations
    HRESULT RunOnRendererThread(VxCrRendererThreadCallback callback, void* context);
    LONG GetBrowserWindow();
    HRESULT GetWindowNode(NodeImpl** window);
    HRESULT CloneNode(NodeImpl* node, NodeImpl** clone);
    HRESULT ReleaseNode(NodeImpl*& node);
    // The lifetime of the handles this accessor issues, for the owners that
    // give them back (vxWebFw::NodeHandle).
    vxWebFw::IObjectLifetime<NodeImpl*>* NodeLifetime() noexcept { return &nodeLifetime_; }
    HRESULT GetNodeScriptObject(NodeImpl* node, IDispatch** object);
    HRESULT GetNodeScriptObjectEx(NodeImpl* node, BSTR members, IDispatch** object);
    HRESULT CreateScriptCallback(IvxCrScriptCallback0* callback, ULONGLONG* cookie, NodeImpl** function);
    HRESULT ReleaseScriptCallback(ULONGLONG cookie);
    HRESULT IsSameNode(NodeImpl* a, NodeImpl* b, bool* same);
    HRESULT GetNodeIdString(NodeImpl* node, BSTR* id);
    HRESULT IsNodeAlive(NodeImpl* node, bool* alive);
    HRESULT IsInside(NodeImpl* node, NodeImpl* container, bool* inside);

    // ---- composite reads
    HRESULT GetAttribute(NodeImpl* node, const wchar_t* name, BSTR* value);
    HRESULT HasExclusionAttribute(NodeImpl* node, bool* has);
    HRESULT IsDisabled(NodeImpl* node, bool* disabled);
    HRESULT HasDefaultView(NodeImpl* document, bool* has);
    // The id (name) property, or when it is empty or unreadable the id (name)
    // attribute.
    HRESULT GetIdWithFallback(NodeImpl* node, BSTR* id);
    HRESULT GetNameWithFallback(NodeImpl* node, BSTR* name);
    // The same for the element of `attributes`, whose attribute map serves
    // the fallback.
    HRESULT GetElementIdWithFallback(CCrElementAttributes& attributes, BSTR* id);
    HRESULT GetElementNameWithFallback(CCrElementAttributes& attributes, BSTR* name);

    // ---- primitives (member by name)
    HRESULT ResolveMember(const wchar_t* name, LONG* member);
    HRESULT ReadNode(NodeImpl* node, const wchar_t* name, NodeImpl** value);
    HRESULT ReadString(NodeImpl* node, const wchar_t* name, BSTR* value);
    HRESULT ReadLong(NodeImpl* node, const wchar_t* name, long* value);
    HRESULT ReadBool(NodeImpl* node, const wchar_t* name, bool* value);
    HRESULT ReadDouble(NodeImpl* node, const wchar_t* name, double* value);
    // Calls with `count` arguments given in call order (borrowed).
    HRESULT Call(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count);
    HRESULT CallForNode(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count, NodeImpl** result);
    // As CallForNode, but a null answer (script's null, or no value) is
    // S_FALSE with no node; any other non-node answer is E_UNEXPECTED.
    HRESULT CallForOptionalNode(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count,
                                NodeImpl** result);
    HRESULT CallForString(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count, BSTR* result);

    // ---- window
    HRESULT GetDocument(NodeImpl* window, NodeImpl** document);
    HRESULT ScrollTo(NodeImpl* window, long x, long y);
    HRESULT GetInnerWidth(NodeImpl* window, long* value);
    HRESULT GetInnerHeight(NodeImpl* window, long* value);
    HRESULT GetScrollX(NodeImpl* window, long* value);
    HRESULT GetScrollY(NodeImpl* window, long* value);
    HRESULT GetComputedStyle(NodeImpl* window, NodeImpl* element, const wchar_t* pseudoElement, NodeImpl** style);
    HRESULT GetPropertyValue(NodeImpl* style, const wchar_t* name, BSTR* value);

    // ---- document
    HRESULT ElementFromPoint(NodeImpl* document, long x, long y, NodeImpl** element);
    HRESULT GetElementsByTagName(NodeImpl* documentOrElement, const wchar_t* tag, NodeImpl** list);
    HRESULT GetDefaultView(NodeImpl* document, NodeImpl** window);
    HRESULT GetBody(NodeImpl* document, NodeImpl** body);
    HRESULT GetAll(NodeImpl* document, NodeImpl** all);
    HRESULT GetActiveElement(NodeImpl* document, NodeImpl** element);

    // ---- collections: the document's all, table rows and cells, element
    // lists, attribute maps
    HRESULT GetAllLength(NodeImpl* all, long* length);
    HRESULT GetAllItem(NodeImpl* all, long index, NodeImpl** item);
    HRESULT GetTableCollectionLength(NodeImpl* collection, long* length);
    HRESULT GetTableCollectionItem(NodeImpl* collection, long index, NodeImpl** item);
    HRESULT GetElementListLength(NodeImpl* list, long* length);
    HRESULT GetElementListItem(NodeImpl* list, long index, NodeImpl** item);
    HRESULT GetAttributesLength(NodeImpl* attributes, long* length);
    HRESULT GetAttributesItem(NodeImpl* attributes, long index, NodeImpl** item);

    // ---- rectangle
    HRESULT GetRectLeft(NodeImpl* rect, double* value);
    HRESULT GetRectTop(NodeImpl* rect, double* value);
    HRESULT GetRectWidth(NodeImpl* rect, double* value);
    HRESULT GetRectHeight(NodeImpl* rect, double* value);

    // ---- node
    HRESULT GetNodeName(NodeImpl* node, BSTR* value);
    HRESULT GetNodeType(NodeImpl* node, long* value);
    HRESULT GetNodeValue(NodeImpl* node, BSTR* value);
    HRESULT GetParentNode(NodeImpl* node, NodeImpl** parent);
    HRESULT GetChildNodes(NodeImpl* node, NodeImpl** children);
    HRESULT GetOwnerDocument(NodeImpl* node, NodeImpl** document);
    HRESULT GetPreviousSibling(NodeImpl* node, NodeImpl** sibling);
    HRESULT GetNextSibling(NodeImpl* node, NodeImpl** sibling);
    HRESULT GetFirstChild(NodeImpl* node, NodeImpl** child);
    HRESULT GetLastChild(NodeImpl* node, NodeImpl** child);
    HRESULT HasChildNodes(NodeImpl* node, bool* has);
    HRESULT AddEventListener(NodeImpl* node, const wchar_t* type, NodeImpl* listener, bool useCapture);
    HRESULT RemoveEventListener(NodeImpl* node, const wchar_t* type, NodeImpl* listener, bool useCapture);
    HRESULT GetData(NodeImpl* textNode, BSTR* value);

    // ---- attributes
    HRESULT GetAttributes(NodeImpl* element, NodeImpl** attributes);
    HRESULT GetNamedItem(NodeImpl* attributes, const wchar_t* name, NodeImpl** attribute);
    HRESULT GetAttrName(NodeImpl* attribute, BSTR* value);
    HRESULT GetAttrValue(NodeImpl* attribute, BSTR* value);
    HRESULT GetAttrSpecified(NodeImpl* attribute, bool* value);

    // ---- element
    HRESULT GetTagName(NodeImpl* element, BSTR* value);
    HRESULT GetId(NodeImpl* element, BSTR* value);
    HRESULT GetName(NodeImpl* element, BSTR* value);
    HRESULT GetClassName(NodeImpl* element, BSTR* value);
    HRESULT GetBoundingClientRect(NodeImpl* element, NodeImpl** rect);
    HRESULT Focus(NodeImpl* element);
    HRESULT GetOffsetParent(NodeImpl* element, NodeImpl** parent);
    HRESULT GetOffsetLeft(NodeImpl* element, long* value);
    HRESULT GetOffsetTop(NodeImpl* element, long* value);
    HRESULT GetClientLeft(NodeImpl* element, long* value);
    HRESULT GetClientTop(NodeImpl* element, long* value);
    HRESULT GetInnerText(NodeImpl* element, BSTR* value);
    HRESULT GetFrameContentDocument(NodeImpl* frame, NodeImpl** document);
    HRESULT GetIFrameContentDocument(NodeImpl* iframe, NodeImpl** document);
    HRESULT GetContentWindow(NodeImpl* frame, NodeImpl** window);
    HRESULT GetHidden(NodeImpl* element, bool* value);
    HRESULT GetDisabled(NodeImpl* element, bool* value);
    HRESULT GetHref(NodeImpl* element, BSTR* value);
    HRESULT GetSrc(NodeImpl* element, BSTR* value);
    HRESULT GetUseMap(NodeImpl* element, BSTR* value);
    HRESULT GetType(NodeImpl* element, BSTR* value);
    HRESULT GetValue(NodeImpl* element, BSTR* value);
    HRESULT GetRows(NodeImpl* table, NodeImpl** rows);
    HRESULT GetCells(NodeImpl* row, NodeImpl** cells);
    HRESULT GetCellIndex(NodeImpl* cell, long* value);
    HRESULT GetRowIndex(NodeImpl* row, long* value);
    HRESULT GetText(NodeImpl* element, BSTR* value);

private:
    HRESULT GetNodeId(NodeImpl* node, LONG* id);
    HRESULT ReadVariant(NodeImpl* node, const wchar_t* name, VARIANT* value);
    HRESULT InvokeMember(NodeImpl* node, const wchar_t* name, const VARIANT* args, UINT count, VARIANT* result);
    HRESULT ReadConverted(NodeImpl* node, const wchar_t* name, VARTYPE type, VARIANT* value);

    // Clones and gives back handles through the accessor's native object.
    class HandleLifetime final : public vxWebFw::IObjectLifetime<NodeImpl*>
    {
    public:
        explicit HandleLifetime(CCrRawBrowserHelper& owner) noexcept : owner_(owner) {}
        HRESULT AddRef(NodeImpl* node, NodeImpl** copy) override { return owner_.CloneNode(node, copy); }
        HRESULT Release(NodeImpl* node) override { return owner_.ReleaseNode(node); }

    private:
        CCrRawBrowserHelper& owner_;
    };

    HandleLifetime nodeLifetime_{*this};
    Microsoft::WRL::ComPtr<vxOpenAppHook::IStubManager> stubManager_;
    Microsoft::WRL::ComPtr<IvxCrNativeChromeObject> native_;
    vx::com::BStr infoString_;
    // Looked up with the caller's const wchar_t* (no temporary string per read).
    std::map<std::wstring, LONG, std::less<>> memberIds_;
    // Names resolved lately, found by the caller's pointer and confirmed by
    // their text: a name passed as the same literal costs one comparison
    // instead of a search of memberIds_. Emptied with memberIds_.
    struct RecentMember
    {
        const wchar_t* name = nullptr;
        std::wstring text;
        LONG id = 0;
    };
    std::array<RecentMember, 32> recentMembers_;
    RecentMember& RecentSlot(const wchar_t* name)
    {
        return recentMembers_[(reinterpret_cast<std::uintptr_t>(name) >> 1) % recentMembers_.size()];
    }
    vx::com::BStr spareString_;
    vx::com::BStr exclusionAttribute_;
    std::unique_ptr<CCrQuickBrowserOptions> options_;
    CCrFwAdaptersOwner adapters_{nullptr, nullptr};
    vxCrQuickBrowser::OffRendererWorker offRenderer_;
};
