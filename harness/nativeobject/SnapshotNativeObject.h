#pragma once
// Stand-in of the Chrome component's renderer-side native object
// (IvxCrNativeChromeObject) answering from a captured page. Besides the
// interface it offers what tests need to watch and steer it:
// - live node handles (every handle it issued and did not get back), and
//   faults such as releasing an unknown handle;
// - calls per interface slot and per member name;
// - a renderer thread of its own for RunOnRendererThread, which a test can
//   keep busy to provoke the time-out;
// - mutations: removing nodes, focus and scrolling (through the members the
//   library calls), firing DOM events at script callbacks;
// - refusing member names in GetIDOfName;
// - losing the COM error information of renderer-thread callbacks;
// - the time spent inside its own methods (for benchmarks).
// Member reads answer as script would: numbers that are whole as VT_I4,
// others VT_R8, strings VT_BSTR, null VT_NULL, DOM objects as VT_PTR handles;
// a member the object does not have fails with DISP_E_MEMBERNOTFOUND.
#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "generated/vxCrHook.h"
#include "harness/nativeobject/RendererThread.h"
#include "harness/nativeobject/SnapshotPage.h"
#include "platform/com/ComObject.h"

namespace harness {

enum class NativeSlot : int {
    GetVersion = 3,
    GetBrowserWindow,
    GetInfoString,
    GetExclusionAttributeName,
    GetWindowNode,
    CloneNode,
    ReleaseNode,
    GetNodeId,
    GetIDOfName,
    GetNameOfID,
    HasMember,
    GetProperty,
    PutProperty,
    Invoke,
    GetNodeScriptObject,
    GetNodeScriptObjectEx,
    RunOnRendererThread,
    CreateScriptCallback,
    ReleaseScriptCallback,
    IsNodeAlive,
    Count
};

class SnapshotNativeObject : public vx::com::ComObject<SnapshotNativeObject, IvxCrNativeChromeObject>
{
public:
    explicit SnapshotNativeObject(SnapshotPage page);
    ~SnapshotNativeObject() override;

    // IvxCrNativeChromeObject
    HRESULT STDMETHODCALLTYPE GetVersion(LONG* version) override;
    LONG STDMETHODCALLTYPE GetBrowserWindow() override;
    HRESULT STDMETHODCALLTYPE GetInfoString(BSTR* info) override;
    HRESULT STDMETHODCALLTYPE GetExclusionAttributeName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetWindowNode(NodeImpl** window) override;
    HRESULT STDMETHODCALLTYPE CloneNode(NodeImpl* node, NodeImpl** clone) override;
    HRESULT STDMETHODCALLTYPE ReleaseNode(NodeImpl* node) override;
    HRESULT STDMETHODCALLTYPE GetNodeId(NodeImpl* node, LONG* id) override;
    HRESULT STDMETHODCALLTYPE GetIDOfName(BSTR name, LONG* member) override;
    HRESULT STDMETHODCALLTYPE GetNameOfID(LONG member, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE HasMember(NodeImpl* node, LONG member, BOOL* present) override;
    HRESULT STDMETHODCALLTYPE GetProperty(NodeImpl* node, LONG member, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE PutProperty(NodeImpl* node, LONG member, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE Invoke(NodeImpl* node, LONG member, DISPPARAMS* params, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE GetNodeScriptObject(NodeImpl* node, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE GetNodeScriptObjectEx(NodeImpl* node, BSTR members, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE RunOnRendererThread(VxCrRendererThreadCallback callback, void* context,
                                                  ULONG timeout) override;
    HRESULT STDMETHODCALLTYPE CreateScriptCallback(IvxCrScriptCallback0* callback, ULONGLONG* cookie,
                                                   NodeImpl** function) override;
    HRESULT STDMETHODCALLTYPE ReleaseScriptCallback(ULONGLONG cookie) override;
    HRESULT STDMETHODCALLTYPE IsNodeAlive(NodeImpl* node, BOOL* alive) override;

    // ---- observation
    long LiveHandles();
    // Live handles that the node script objects hold (the native object's
    // own; a script object handed out keeps its node as long as it lives).
    long ScriptObjectHandles();
    long HandlesIssued();
    long Faults(); // unknown handles passed in, double releases
    long SlotCalls(NativeSlot slot);
    long MemberCalls(const std::wstring& name); // GetProperty + Invoke of that member
    long TotalMemberCalls();
    long LookupCalls(const std::wstring& name); // GetIDOfName of that name
    // Every DOM call since the counters were reset, one entry per slot and,
    // for GetProperty, Invoke and HasMember, per member name ("GetProperty
    // nodeType", "Invoke item", "ReleaseNode"); most calls first. The counts
    // add up to all calls of the slots from GetWindowNode on but
    // RunOnRendererThread.
    std::vector<std::pair<std::wstring, long>> CallsPerMember();
    long OffRendererThreadCalls(); // DOM calls not made on the renderer thread
    void ResetCounters();
    double OwnSeconds();             // time spent inside the interface methods
    long NodeIdOf(NodeImpl* handle); // node id of a node handle, 0 otherwise
    // A new owned handle of a snapshot node (as the library would receive it).
    NodeImpl* HandleOf(long nodeId);

    // Gives back the handle a script object held: the script object is the
    // native object's own, so this is no DOM call of the library's.
    void ReleaseScriptObjectHandle(NodeImpl* handle);
    // A script object took a handle as its own.
    void AdoptScriptObjectHandle();

    // ---- steering
    // The renderer's window in the browser process, as GetBrowserWindow
    // reports it (a made-up value until set).
    void SetBrowserWindow(LONG window) { browserWindow_ = window; }
    SnapshotPage& Page() { return page_; }
    void RefuseMember(const std::wstring& name, int times); // GetIDOfName fails `times` more times
    void RemoveNode(long nodeId);                           // detaches the subtree; its nodes are no longer alive
    long ActiveElement(int doc);
    // Fires an event at a node on the renderer thread: listeners of the node
    // and its ancestors for that type are called; returns how many were.
    // An event that does not bubble ("focus") reaches the target's listeners
    // and the capturing ones of its ancestors only. `focus` fires "focus"
    // and "focusin" at the element it focuses.
    int FireEvent(long nodeId, const std::wstring& type, bool bubbles = true);
    // A user's actions, as the page would see them: typing sets the value and
    // fires "keyup"; choosing an option of a SELECT selects it and fires
    // "change"; a click on a check box toggles `checked` (no event).
    bool TypeText(long nodeId, const std::wstring& text);
    bool ChooseOption(long selectId, long index);
    bool ToggleChecked(long nodeId);
    void SetNodeProperty(long nodeId, const std::wstring& name, SnapValue value);
    long ListenerCount();
    long ScriptCallbackCount(); // made by CreateScriptCallback and not released
    RendererThread& Renderer() { return renderer_; }
    // RunOnRendererThread then drops the COM error information the callback
    // set, as a native object that does not carry it to the caller would.
    void DropRendererErrorInfo(bool drop) { dropRendererErrorInfo_ = drop; }

private:
    enum class Kind { Node, Window, Collection, AttributeMap, Attribute, Rect, Style, Function, Object };
    struct Handle
    {
        Kind kind = Kind::Node;
        long node = 0;          // Node; owner element of AttributeMap/Attribute/Rect/Style
        int doc = 0;            // Window
        size_t index = 0;       // Attribute
        std::vector<long> list; // Collection
        ULONGLONG cookie = 0;   // Function
        SnapValue object;       // Object

        // A handle bound to one node: the node itself, or the element that an
        // attribute map, rectangle or style belongs to.
        static Handle Bound(Kind kind, long node)
        {
            Handle h;
            h.kind = kind;
            h.node = node;
            return h;
        }
        static Handle OfWindow(int doc)
        {
            Handle h;
            h.kind = Kind::Window;
            h.doc = doc;
            return h;
        }
    };
    struct Listener
    {
        long node;
        std::wstring type;
        ULONGLONG cookie;
        bool capture;
    };

    NodeImpl* Issue(Handle h);
    Handle* Find(NodeImpl* node);
    void Retire(Handle* h);
    void CountDomCall(NativeSlot slot);
    // Runs `body(handle)` for one call of a DOM slot: under the lock, counted
    // and timed; a handle the object did not issue answers E_INVALIDARG.
    template <class Body>
    HRESULT OnHandle(NativeSlot slot, NodeImpl* node, Body&& body);
    // The same for a member read or call, `body(handle, memberName)`: the
    // member is resolved (DISP_E_MEMBERNOTFOUND) and counted before the
    // handle is checked.
    template <class Body>
    HRESULT OnMember(NativeSlot slot, NodeImpl* node, LONG member, Body&& body);
    HRESULT ReadMember(Handle& h, const std::wstring& name, VARIANT* value);
    bool EqualNodes(long a, long b) const;
    HRESULT ReadNodeMember(long id, const std::wstring& name, VARIANT* value);
    HRESULT CallMember(Handle& h, const std::wstring& name, const std::vector<VARIANT*>& args, VARIANT* result);
    HRESULT ToVariant(const SnapValue& v, VARIANT* out);
    void PutHandle(Handle h, VARIANT* out);
    void PutNode(long id, VARIANT* out);
    void PutCollection(std::vector<long> ids, VARIANT* out);
    void PutAttribute(long element, size_t index, VARIANT* out);
    std::vector<long> LiveList(const std::vector<long>& ids) const;
    void CollectElementsByTag(long id, const std::wstring& tag, std::vector<long>& out) const;
    long FirstElementWithId(long id, const std::wstring& elementId) const;
    SnapRect CurrentRect(long id) const;
    long HitTest(int doc, double x, double y) const;
    std::wstring NameOf(LONG member);

    std::mutex mutex_;
    SnapshotPage page_;
    std::unordered_map<std::wstring, LONG> memberIds_;
    std::vector<std::wstring> memberNames_;
    std::unordered_map<std::wstring, int> refused_;
    std::unordered_set<Handle*> live_;
    std::vector<long> activeElement_; // per document
    std::map<ULONGLONG, Microsoft::WRL::ComPtr<IvxCrScriptCallback0>> callbacks_;
    ULONGLONG nextCookie_ = 0x100000001ULL;
    std::vector<Listener> listeners_;
    long issued_ = 0;
    std::vector<std::pair<long, std::wstring>> pendingEvents_; // raised by a call, fired after it
    void FirePendingEvents();
    long scriptObjectHandles_ = 0;
    LONG browserWindow_ = 0x00C0FFEE;
    long faults_ = 0;
    long offThread_ = 0;
    std::atomic<long> slotCalls_[static_cast<int>(NativeSlot::Count)] = {};
    std::unordered_map<std::wstring, long> memberCalls_;
    std::unordered_map<std::wstring, long> lookupCalls_;
    // Calls of GetProperty, Invoke and HasMember by member id (index id - 1).
    std::map<NativeSlot, std::vector<long>> slotMemberCalls_;
    void CountSlotMember(NativeSlot slot, LONG member, long delta);
    std::atomic<LONGLONG> ownTicks_{0}; // time-stamp ticks inside the interface methods
    std::atomic<bool> dropRendererErrorInfo_{false};
    RendererThread renderer_;
};

// The interface name of a slot ("GetProperty").
const wchar_t* NativeSlotName(NativeSlot slot);

// Loads a snapshot and creates a stand-in over it (throws when the file is bad).
Microsoft::WRL::ComPtr<SnapshotNativeObject> CreateSnapshotNativeObject(const std::wstring& path);

} // namespace harness
