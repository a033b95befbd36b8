#pragma once
// Quick-browser objects on element nodes: alive while the node belongs to a
// live document, and the element's state, geometry and scrolling.
// Coordinates are CSS pixels: client coordinates are relative to the
// viewport of the element's own window (page or frame), document
// coordinates to its document's origin, top-viewport coordinates to the
// viewport of the page's top window. Rectangle values are truncated toward
// zero. Every operation runs on the renderer thread and answers its default
// when a read fails (only ContainsPoint reports the failure).
#include <initializer_list>
#include <map>
#include <memory>

#include "platform/com/CriticalSection.h"
#include "platform/com/Variant.h"
#include "quickbrowser/objects/QuickBrowserObjectBase.h"

namespace vxCrQuickBrowser {

class CCrQuickBrowserObject_InDocumentNode : public CCrQuickBrowserObject_Base
{
public:
    HRESULT IsAlive(bool* alive) override;
    HRESULT GetOwnId(BSTR* id) override;

    // The identifier the builder gave the object.
    HRESULT SetIdentifier(const VARIANT& identifier) { return identifier_.CopyFrom(identifier); }
    // That identifier itself (a Tree item's record packs its type with it).
    const VARIANT& OwnIdentifier() const noexcept { return *identifier_; }
    HRESULT GetObjectIdentifier(VARIANT* identifier) override;

protected:
    vx::com::Variant identifier_;
};

// A point in document coordinates and the target point derived from it.
struct DocumentPoint
{
    LONG documentLeft = 0, documentTop = 0;
    LONG targetX = 0, targetY = 0;
};

class CCrQuickBrowserObject_InDocumentControl : public CCrQuickBrowserObject_InDocumentNode
{
public:
    // Invisible when "hidden", or when the computed display is none or the
    // computed visibility hidden (compared lower-cased); ancestors are not
    // looked at.
    HRESULT GetVisible(VARIANT_BOOL* visible);
    HRESULT GetEnabled(VARIANT_BOOL* enabled);
    // True when the element is its document's active element.
    HRESULT GetFocused(VARIANT_BOOL* focused);
    // True focuses the element; false leaves the focus where it is.
    HRESULT SetFocused(VARIANT_BOOL focused);
    HRESULT GetWidth(ULONG* width);
    HRESULT GetHeight(ULONG* height);
    HRESULT GetOnTopViewportLeft(LONG* left);
    HRESULT GetOnTopViewportTop(LONG* top);
    // Scrolls the element's window, and the windows around it, so that the
    // client point (x, y) of the element, or its centre for (-1, -1), comes
    // into view.
    HRESULT MakeVisible(LONG clientX, LONG clientY);
    // Whether the top-viewport point reaches this element (or something
    // inside it) rather than something covering it.
    virtual HRESULT IsPointAccessible(LONG left, LONG top, VARIANT_BOOL* accessible);
    // Whether the client point lies on the element's rectangle, edges
    // included; the first failing read is returned.
    HRESULT ContainsPoint(LONG x, LONG y, BOOL* contains);

    // Left and top of the element's bounding client rectangle (0 and the
    // failure when it cannot be read).
    HRESULT GetClientRectLeft(LONG* left);
    HRESULT GetClientRectTop(LONG* top);
    // Document position of the element along its offset parents, and the
    // target point: (clientX, clientY) in document coordinates, or the
    // element's centre for (-1, -1).
    HRESULT GetDocumentPoint(LONG clientX, LONG clientY, DocumentPoint& point);

    // ---- recognition service: reads that fail leave null strings and
    // success, except the three property reads, which return the read's
    // failure.
    HRESULT GetElementTagName(BSTR* value);
    HRESULT GetElementClassNameAndID(BSTR* className, BSTR* id);
    HRESULT GetElementParentNodeID(BSTR* value);
    // Searches the element's children (or its following siblings) for
    // `text` in their lower-cased text; `value` collects, joined by "|", what
    // follows each match up to the next delimiter.
    HRESULT HasChildNodeContainingText(BSTR text, BSTR tagName, VARIANT_BOOL searchSiblings, BSTR* value,
                                       VARIANT_BOOL* result);
    // The script object of the element's window.
    HRESULT GetScriptObject(IDispatch** value);
    HRESULT GetAttributeValue(BSTR name, BSTR* value);
    HRESULT GetPrpStr(BSTR name, BSTR* value);
    HRESULT GetPrpBool(BSTR name, VARIANT_BOOL* value);
    HRESULT GetPrpLong(BSTR name, LONG* value);

    // ---- event source
    // Subscribes `listener` (its OnEvent, DISPID 1) to the element's DOM
    // event; the cookie names the subscription (all ones on failure).
    HRESULT AddEventListener(BSTR type, IDispatch* listener, VARIANT_BOOL useCapture, ULONGLONG* cookie);
    // E_FAIL for a cookie that names no subscription (any more).
    HRESULT RemoveEventListener(ULONGLONG cookie);
    // A subscribed event reached the element (renderer thread): its listener
    // hears of it from the accessor's own thread, in the order the events
    // came, without any lock held (it may unsubscribe itself).
    HRESULT DeliverEvent(ULONGLONG cookie);

protected:
    // Both defined where a subscription is a complete type.
    CCrQuickBrowserObject_InDocumentControl();
    ~CCrQuickBrowserObject_InDocumentControl() override;

    // The element's left (or top) on the top viewport, with the failure of
    // the first read that failed.
    HRESULT OnTopViewport(bool horizontal, LONG* value);
    // Subscriptions still registered go with the object: their relays are
    // cut off at once, their DOM listeners removed and their script
    // callbacks released on the renderer thread.
    void CutOffCallers() noexcept override;
    void ReleaseOnRenderer() noexcept override;
    // The object's own IvxCrScriptCallback0, which relays call.
    virtual IvxCrScriptCallback0* AsScriptCallback() noexcept = 0;

private:
    struct Subscription;
    void Unsubscribe(ULONGLONG cookie, Subscription& subscription) noexcept;

    enum class RectPart { Left, Top, Width, Height };
    struct RectRead
    {
        RectPart part;
        LONG* value;
    };
    // Reads the parts of one bounding client rectangle (0 for those not
    // read); the first failure is returned.
    HRESULT ReadRect(std::initializer_list<RectRead> reads);
    HRESULT ReadRectPart(NodeImpl* rect, RectPart part, LONG* value);
    HRESULT ReadSize(RectPart part, ULONG* size);

    vx::com::CriticalSection subscriptionsLock_;
    std::map<ULONGLONG, std::unique_ptr<Subscription>> subscriptions_;
};

} // namespace vxCrQuickBrowser
