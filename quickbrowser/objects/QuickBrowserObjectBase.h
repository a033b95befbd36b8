#pragma once
// What every quick-browser object is and knows, apart from COM: the node it
// stands on (its own handle), the window it lies in, and the operations that
// make up its information records. The operations run on the renderer
// thread; the COM layer (QuickBrowserObjectCom.h) marshals every call there.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <vector>

#include "generated/vxCrHook.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace vxCrQuickBrowser {

class CCrQuickBrowserObject_Base;
using vxOpenAppHook::IStubManager;
using QuickBrowserObjectList = std::vector<Microsoft::WRL::ComPtr<CCrQuickBrowserObject_Base>>;

// A query for this identity answers the object itself; it is used only
// inside the library (for objects of this process, never through a proxy).
// {2DC96324-F7AC-4DB2-A77E-5E866895091B}
class CCrQuickBrowserObject_Base : public IUnknown
{
public:
    CCrQuickBrowserObject_Base(const CCrQuickBrowserObject_Base&) = delete;
    CCrQuickBrowserObject_Base& operator=(const CCrQuickBrowserObject_Base&) = delete;

    // Second construction step, on the renderer thread: keeps the accessor,
    // clones `node` (borrowed; may be null) into the object, keeps the parent
    // window (null for the page) and registers with the accessor's stub
    // manager.
    HRESULT Init(CCrRawBrowserHelper* accessor, NodeImpl* node, IvxCrQuickBrowserObject_Window* parentWindow);

    // ---- what each class answers
    virtual HRESULT GetOwnId(BSTR* id) = 0;
    virtual HRESULT GetScriptDispatch(IDispatch** script) = 0;
    virtual VX_CR_QUICKBROWSEROBJECT_TYPE GetObjectKind() = 0;
    virtual HRESULT GetObjectIdentifier(VARIANT* identifier) = 0;
    // The objects below this one, made afresh (no cache).
    virtual HRESULT GetChildren(QuickBrowserObjectList& children) = 0;
    virtual HRESULT IsAlive(bool* alive) = 0;

    // ---- shared operations
    // Parent window's path + "!" + own id, or the own id alone when the
    // parent's path is empty (the page, and the page's document).
    HRESULT GetPath(BSTR* path);
    HRESULT GetThisInformation(VARIANT* record);
    HRESULT GetThisLightInformation(VARIANT* record);
    // One this-information per child (VT_EMPTY where a child's record
    // failed); VT_EMPTY when there are no children.
    HRESULT GetChildrenInformation(VARIANT* record);
    HRESULT GetExists(VARIANT_BOOL* exists);

    void SetExpandable(bool expandable) noexcept { expandable_ = expandable; }
    bool IsExpandable() const noexcept { return expandable_; }
    CCrRawBrowserHelper* Accessor() const noexcept { return accessor_.Get(); }
    NodeImpl* Node() const noexcept { return node_.Get(); }
    IvxCrQuickBrowserObject_Window* ParentWindow() const noexcept { return parentWindow_.Get(); }
    // The accessor's stub manager, which the objects this one makes join.
    IStubManager* StubManager() const noexcept { return accessor_ ? accessor_->GetStubManager() : nullptr; }

    // The object's IDispatch (element 3 of its this-information).
    virtual IDispatch* ObjectDispatch() noexcept = 0;

protected:
    CCrQuickBrowserObject_Base() noexcept = default;
    virtual ~CCrQuickBrowserObject_Base() = default;

    // Gives back the node (on the renderer thread), leaves the stub manager
    // and drops the accessor and the parent window. The COM layer calls it
    // while the whole object still exists.
    void ReleaseHeld() noexcept;
    // As the object goes: first whatever may still call into it is cut off
    // (on the releasing thread), then what it holds of the page besides the
    // node is given back (on the renderer thread).
    virtual void CutOffCallers() noexcept {}
    virtual void ReleaseOnRenderer() noexcept {}
    virtual vx::com::WeaklyHeldObject* WeakSelf() noexcept = 0;

    // Makes a script object of the node with the members named (joined with
    // "!"); a helper for the classes' GetScriptDispatch.
    HRESULT NodeScriptObjectEx(const wchar_t* members, IDispatch** script);

private:
    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> accessor_;
    vxWebFw::NodeHandle node_;
    Microsoft::WRL::ComPtr<IvxCrQuickBrowserObject_Window> parentWindow_;
    bool expandable_ = true;
    vxOpenAppHook::StubRegistration registration_;
};

// The object behind a quick-browser object's interface, when it is one of
// this process; null otherwise.
Microsoft::WRL::ComPtr<CCrQuickBrowserObject_Base> ImplementationOf(IUnknown* object);

} // namespace vxCrQuickBrowser

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(vxCrQuickBrowser::CCrQuickBrowserObject_Base, 0x2DC96324, 0xF7AC, 0x4DB2, 0xA7, 0x7E, 0x5E, 0x86, 0x68,
                0x95, 0x09, 0x1B)
#endif
