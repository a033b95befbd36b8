#pragma once
// Stand-in of the Chrome component's renderer-side native object
// (IvxCrNativeChromeObject) answering from a live page in headless
// Chromium, through the live-page sidecar (harness/livepage/README.md).
//
// Reads inside one RunOnRendererThread task see a page that only our own
// calls change (in a real renderer the page's main thread is busy with the
// task). So within a task the object fetches ahead: the sidecar sends the
// members the library reads next along with every handle, collection items
// and sibling runs come in batches (a long collection walk has its next batch
// read in the page while the library works through the one before), a walk
// going down gets the whole subtree in one request, and every read it can
// answer from that costs no round trip. Everything fetched is dropped before
// any call that can change the page and when the task ends; handles fetched
// and not used are given back to the page. Outside tasks every read is a
// round trip.
// With fetching ahead turned off every read is one round trip, which gives
// the answers fetching ahead must match.
//
// Node handles given to the library are counted (LiveHandles) as the
// snapshot stand-in counts them; releases are sent with the next request.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "generated/vxCrHook.h"
#include "harness/livepage/FlatJson.h"
#include "harness/livepage/LiveConnection.h"
#include "harness/livepage/ReadsAhead.h"
#include "harness/nativeobject/RendererThread.h"
#include "platform/com/ComObject.h"

namespace harness {

struct LivePageOptions
{
    unsigned short port = 0; // the sidecar's
    std::wstring url;
    int width = 1024; // viewport, CSS pixels
    int height = 768;
    bool fetchAhead = true;
    int subtreeNodes = 20000;    // nodes of a subtree read at once when a walk goes down
    DWORD callTimeoutMs = 15000; // one round trip
    DWORD loadTimeoutMs = 5000;
    std::wstring exclusionAttributeName = L"data-vxcr-exclude";
};

// The sidecar's port from the environment (VXCR_LIVE_PORT); 0 when unset.
unsigned short LiveSidecarPortFromEnvironment();

class LiveNativeObject : public vx::com::ComObject<LiveNativeObject, IvxCrNativeChromeObject>
{
public:
    // Opens the page in a new tab; throws std::runtime_error when it cannot.
    explicit LiveNativeObject(const LivePageOptions& options);
    ~LiveNativeObject() override;

    // IvxCrNativeChromeObject
    HRESULT STDMETHODCALLTYPE GetVersion(LONG* version) noexcept override;
    LONG STDMETHODCALLTYPE GetBrowserWindow() noexcept override;
    HRESULT STDMETHODCALLTYPE GetInfoString(BSTR* info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetExclusionAttributeName(BSTR* name) noexcept override;
    HRESULT STDMETHODCALLTYPE GetWindowNode(NodeImpl** window) noexcept override;
    HRESULT STDMETHODCALLTYPE CloneNode(NodeImpl* node, NodeImpl** clone) noexcept override;
    HRESULT STDMETHODCALLTYPE ReleaseNode(NodeImpl* node) noexcept override;
    HRESULT STDMETHODCALLTYPE GetNodeId(NodeImpl* node, LONG* id) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDOfName(BSTR name, LONG* member) noexcept override;
    HRESULT STDMETHODCALLTYPE GetNameOfID(LONG member, BSTR* name) noexcept override;
    HRESULT STDMETHODCALLTYPE HasMember(NodeImpl* node, LONG member, BOOL* present) noexcept override;
    HRESULT STDMETHODCALLTYPE GetProperty(NodeImpl* node, LONG member, VARIANT* value) noexcept override;
    HRESULT STDMETHODCALLTYPE PutProperty(NodeImpl* node, LONG member, VARIANT* value) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(NodeImpl* node, LONG member, DISPPARAMS* params,
                                     VARIANT* result) noexcept override;
    HRESULT STDMETHODCALLTYPE GetNodeScriptObject(NodeImpl* node, IDispatch** object) noexcept override;
    HRESULT STDMETHODCALLTYPE GetNodeScriptObjectEx(NodeImpl* node, BSTR members, IDispatch** object) noexcept override;
    HRESULT STDMETHODCALLTYPE RunOnRendererThread(VxCrRendererThreadCallback callback, void* context,
                                                  ULONG timeout) noexcept override;
    HRESULT STDMETHODCALLTYPE CreateScriptCallback(IvxCrScriptCallback0* callback, ULONGLONG* cookie,
                                                   NodeImpl** function) noexcept override;
    HRESULT STDMETHODCALLTYPE ReleaseScriptCallback(ULONGLONG cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE IsNodeAlive(NodeImpl* node, BOOL* alive) noexcept override;

    // ---- observation
    long LiveHandles();         // handles the library holds (script objects' included)
    long ScriptObjectHandles(); // of those, the ones script objects hold
    long Faults();              // unknown handles passed in
    long DomCalls();            // calls of the DOM slots (GetWindowNode on)
    long RoundTrips();          // requests sent to the sidecar
    double PageMilliseconds();  // time the page spent running their ops
    // Time spent waiting for their answers (the page's time, the transport
    // and reading the answers' text); the rest of a walk is the Wine side's.
    double WaitMilliseconds();
    // Requests per read that needed one ("get parentNode", "call item",
    // "release" for releases sent alone), most first.
    std::vector<std::pair<std::string, long>> RoundTripsPerRead();
    void ResetCounters(); // DOM calls, round trips, their reads and page time
    // Handles the page's registry holds, after the releases still queued
    // have been sent; -1 when the page does not answer.
    long PageHandles();
    std::wstring Url() const { return url_; }
    // Whether the page's load event came within the load time-out (the page
    // is read all the same when it did not).
    bool Loaded() const { return loaded_; }
    // Dialogs the page opened (accepted by the sidecar), as "type: message".
    std::vector<std::wstring> Dialogs();
    bool PageGone() const { return pageGone_; } // crashed, browser gone or connection lost

    // ---- steering (test equipment)
    // The value of a script expression in the top window; an object comes
    // back as a node handle the caller owns (VT_PTR).
    HRESULT Evaluate(const std::wstring& expression, VARIANT* result);
    // A control message of the sidecar (click, type, key, crash, kill,
    // navigate); drops what was fetched ahead.
    HRESULT Control(const std::string& control, const nlohmann::json& arguments = nlohmann::json::object());
    void SetBrowserWindow(LONG window) { browserWindow_ = window; }
    RendererThread& Renderer() { return renderer_; }

    // Script-object accounting (the script object takes a handle as its own).
    void AdoptScriptObjectHandle();
    void ReleaseScriptObjectHandle(NodeImpl* handle);

private:
    using Json = nlohmann::json;

    // A handle of the library's: several may share one page handle.
    struct Handle
    {
        long long remote = 0; // the page registry's handle
    };
    // A read answered ahead: a primitive value (in an answer kept until
    // what was fetched ahead is dropped), or an object (its page handle, held
    // as long).
    struct AheadValue
    {
        live::JsonRef value;
        long long remote = 0;
    };
    // The results of a request's ops, in the answer Request keeps.
    struct Results
    {
        live::JsonRef list;
        size_t first = 0; // the results of releases sent along come before
        live::JsonRef operator[](size_t i) const { return list[first + i]; }
    };
    // A request sent and not answered yet: its id, the room its answer goes
    // into, and whether queued releases went in front of its ops.
    struct SentRequest
    {
        long long id = 0;
        std::unique_ptr<live::FlatJson> answer;
        size_t released = 0;
        size_t ops = 0;
    };
    // A collection's next batch, asked for as soon as the one before came:
    // the page reads it while the library works through that one.
    struct ItemsInFlight
    {
        SentRequest request;
        long long collection = 0;
        long from = 0;
        long count = 0;
    };

    Handle* Find(NodeImpl* node);
    template <class Body>
    HRESULT OnHandle(NodeImpl* node, Body&& body);
    template <class Body>
    HRESULT OnMember(NodeImpl* node, LONG member, Body&& body);
    Handle* NewHandle(long long remote);
    Handle* Adopt(live::JsonRef value);
    long long Remember(live::JsonRef value);
    void NoteAhead(long long owner, int key, live::JsonRef value);
    void NoteAheadObject(long long owner, int key, long long remote);
    void QueueNestedReleases(live::JsonRef value);
    // Calls `each(key, value)` for every read that came along with a handle
    // value (what the plan names, by position).
    template <class Each>
    void ForEachPlanRead(live::JsonRef value, Each&& each);
    // Read keys ("g:" and a member name, or a call's key) as numbers: the
    // key's, made when new, or -1 for a key never noted.
    int ReadKey(const std::string& key);
    int KnownReadKey(const std::string& key) const;
    int GetKeyOf(LONG member) const; // of a member identifier's "g:" key
    void Retire(Handle* h);
    void ReleaseRef(long long remote);
    HRESULT AnswerAhead(const AheadValue& ahead, VARIANT* out);
    HRESULT ReadSubtree(Handle* h, VARIANT* out);
    void QueueRelease(long long remote);
    bool FetchingAhead() const;
    void DropAhead();
    void LetAnswersGo(); // the kept answers; nothing may point into them
    // The read answered ahead, or null; valid until the next change of what
    // was fetched ahead.
    const AheadValue* FindAhead(Handle* owner, int key);
    // A call of a member that does not change the page, answered ahead, found
    // from its arguments as they come; null when it was not.
    const AheadValue* FindAheadCall(Handle* owner, LONG member, const DISPPARAMS* params);
    const AheadValue* AheadOf(long long remote, int key) const;
    HRESULT Request(Json ops, Results& results);
    SentRequest SendRequest(Json ops);
    // Waits for the answer and keeps it (reads noted from it point into it).
    HRESULT ReceiveAnswer(SentRequest& sent, Results& results);
    void DropItemsInFlight(); // waits for its answer and gives its handles back
    Json TakeReleases();      // the queued releases as one op
    void PostReleases();      // sends them alone, not waiting for the answer
    HRESULT Answer(live::JsonRef value, VARIANT* out);
    HRESULT ReadOne(Json op, VARIANT* out);
    HRESULT ReadRun(Handle* h, const std::string& member, VARIANT* out);
    HRESULT ReadItems(Handle* h, long index, VARIANT* out);
    HRESULT Argument(const VARIANT& argument, Json& out);
    const std::string& NameOf(LONG member) const; // empty for an unknown identifier
    void OnEvent(const Json& message) noexcept;
    void DispatchEvents();
    void EndTask();
    struct TaskCall;
    static HRESULT STDMETHODCALLTYPE RunTask(void* context) noexcept;
    struct FiredCallback
    {
        IvxCrScriptCallback0* callback;
        ULONGLONG cookie;
    };
    static HRESULT STDMETHODCALLTYPE FireCallback(void* context) noexcept;

    LivePageOptions options_;
    std::wstring url_;
    bool loaded_ = false;
    std::unique_ptr<LiveConnection> connection_;
    std::mutex mutex_; // handles, fetched-ahead reads, queued releases; held over a request
    std::unordered_map<Handle*, std::unique_ptr<Handle>> handles_;
    // A page handle the object holds: its references (the library's handles
    // and holds) and its node id once known.
    struct Remote
    {
        int refs = 0;
        LONG nodeId = 0; // 0: not known yet
    };
    std::unordered_map<long long, Remote> remotes_;
    // Reads answered ahead by page handle: every handle of the same page
    // handle (clones) is answered from them. Page handles are never used
    // twice, so the reads of one let go cannot answer for another.
    live::ReadsAhead<AheadValue> ahead_;
    std::unordered_map<std::string, int> readKeys_;
    int firstChildKey_ = -1, nextSiblingKey_ = -1, previousSiblingKey_ = -1, parentNodeKey_ = -1;
    bool aheadNoted_ = false;           // since what was fetched ahead was last dropped
    std::vector<long long> aheadHolds_; // page handles held for reads ahead
    // Answers that reads fetched ahead point into; when there are none, the
    // last answer only. Answers let go are kept as room for the next ones.
    std::vector<std::unique_ptr<live::FlatJson>> keptAnswers_;
    std::vector<std::unique_ptr<live::FlatJson>> spareAnswers_;
    std::vector<long long> releases_;
    long libraryHandles_ = 0;
    long scriptObjectHandles_ = 0;
    long faults_ = 0;
    std::atomic<long> domCalls_{0};
    std::map<std::string, long> tripsByRead_;
    long tripsAtReset_ = 0;
    double pageMilliseconds_ = 0;
    double waitMilliseconds_ = 0;
    // The collection walk in progress: a walk that goes on where the last
    // batch ended gets larger batches each time, so a long walk needs few
    // round trips and a short read few items.
    long long itemsCollection_ = 0;
    long itemsNext_ = -1;
    long itemsBatch_ = 0;
    std::optional<ItemsInFlight> itemsInFlight_;
    // The keys of the reads each plan key answers ahead, by position, and
    // the position of its first call (its get and objects members come
    // before it).
    std::vector<std::vector<int>> planReads_;
    std::vector<size_t> planFirstCalls_;
    std::unordered_map<std::string, LONG> memberIds_;
    std::vector<std::string> memberNames_;
    std::vector<int> memberGetKeys_;          // per member identifier
    std::vector<std::string> memberCallKeys_; // per member identifier: "c:" and its name
    std::vector<char> memberPure_;            // per member identifier: one of kPureCalls
    std::string callKey_;                     // FindAheadCall's, kept for its room
    std::map<ULONGLONG, Microsoft::WRL::ComPtr<IvxCrScriptCallback0>> callbacks_;
    ULONGLONG nextCookie_ = 0x100000001ULL;
    std::vector<std::wstring> dialogs_;
    std::atomic<bool> pageGone_{false};
    LONG browserWindow_ = 0x00C0FFEE;
    int taskDepth_ = 0; // on the renderer thread only

    // Script callbacks run on the renderer thread, posted by a thread of
    // their own: the connection's reader must never wait for them.
    std::mutex eventMutex_;
    std::condition_variable eventQueued_;
    std::deque<ULONGLONG> events_;
    bool stopping_ = false;
    RendererThread renderer_;
    std::thread eventThread_;
};

} // namespace harness
