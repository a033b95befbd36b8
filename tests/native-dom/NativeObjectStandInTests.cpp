// The snapshot stand-in of the native object: what the library's tests rely
// on (handle accounting, renderer thread, mutations, events) must itself hold.
#include <atomic>
#include <map>

#include "PageFixture.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"

namespace {

class StandInTest : public PageFixture
{
protected:
    void SetUp() override { Load("snapshots/naming.json"); }
};

struct SlowContext
{
    std::atomic<int> runs{0};
};

HRESULT STDMETHODCALLTYPE CountRun(void* context)
{
    ++static_cast<SlowContext*>(context)->runs;
    return S_FALSE;
}

struct ThreadContext
{
    DWORD threadId = 0;
};

HRESULT STDMETHODCALLTYPE RecordThreadAndFail(void* context)
{
    static_cast<ThreadContext*>(context)->threadId = GetCurrentThreadId();
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    CreateErrorInfo(&create);
    create->SetDescription(const_cast<LPOLESTR>(L"raised on the renderer"));
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    create.As(&info);
    SetErrorInfo(0, info.Get());
    return E_ACCESSDENIED;
}

class CountingCallback : public vx::com::ComObject<CountingCallback, IvxCrScriptCallback0>
{
public:
    HRESULT STDMETHODCALLTYPE Invoke(ULONGLONG cookie) override
    {
        lastCookie = cookie;
        onRendererThread = GetCurrentThreadId() == rendererThread;
        ++calls;
        return S_OK;
    }
    ULONGLONG lastCookie = 0;
    DWORD rendererThread = 0;
    bool onRendererThread = false;
    int calls = 0;
};

} // namespace

TEST_F(StandInTest, HandlesAreCountedAndMisuseIsRecorded)
{
    long before = native_->LiveHandles();
    NodeImpl* window = nullptr;
    ASSERT_EQ(S_OK, native_->GetWindowNode(&window));
    NodeImpl* clone = nullptr;
    ASSERT_EQ(S_OK, native_->CloneNode(window, &clone));
    EXPECT_EQ(before + 2, native_->LiveHandles());
    EXPECT_EQ(S_OK, native_->ReleaseNode(clone));
    EXPECT_EQ(S_OK, native_->ReleaseNode(window));
    EXPECT_EQ(before, native_->LiveHandles());

    EXPECT_EQ(E_INVALIDARG, native_->ReleaseNode(window)); // second release
    EXPECT_EQ(1, native_->Faults());
    native_->ResetCounters();
    // the fault stays recorded until the test says otherwise
    EXPECT_EQ(1, native_->Faults());
    native_.Reset(); // the fixture's fault check does not apply to this deliberate misuse
}

TEST_F(StandInTest, RendererThreadRunsCallbacksCarriesErrorsAndTimesOut)
{
    ThreadContext context;
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(E_ACCESSDENIED, native_->RunOnRendererThread(&RecordThreadAndFail, &context, 3000));
    EXPECT_EQ(native_->Renderer().ThreadId(), context.threadId);
    EXPECT_NE(GetCurrentThreadId(), context.threadId);
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &info));
    vx::com::BStr description;
    info->GetDescription(description.Out());
    EXPECT_EQ(L"raised on the renderer", description.Str());

    SlowContext slow;
    {
        harness::RendererThread::Block busy(native_->Renderer());
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_TIMEOUT), native_->RunOnRendererThread(&CountRun, &slow, 50));
    }
    // The timed-out callback never runs later (its context may be gone).
    EXPECT_EQ(S_FALSE, native_->RunOnRendererThread(&CountRun, &slow, 3000));
    EXPECT_EQ(1, slow.runs.load());
}

TEST_F(StandInTest, RemovedNodesAreNoLongerAlive)
{
    vxWebFw::NodeHandle div = Element(L"x");
    BOOL alive = FALSE;
    ASSERT_EQ(S_OK, native_->IsNodeAlive(div.Get(), &alive));
    EXPECT_TRUE(alive);
    long divId = native_->NodeIdOf(div.Get());
    long textId = native_->Page().Node(divId).children.at(0);
    vxWebFw::NodeHandle text = NodeById(textId);
    native_->RemoveNode(divId);
    ASSERT_EQ(S_OK, native_->IsNodeAlive(div.Get(), &alive));
    EXPECT_FALSE(alive);
    ASSERT_EQ(S_OK, native_->IsNodeAlive(text.Get(), &alive));
    EXPECT_FALSE(alive);

    vxWebFw::NodeHandle parent(helper_.Get());
    EXPECT_EQ(E_UNEXPECTED, helper_->GetParentNode(div.Get(), parent.Out()));
    // document.all no longer lists it
    vxWebFw::NodeHandle document = Document();
    vxWebFw::NodeHandle all(helper_.Get());
    ASSERT_EQ(S_OK, helper_->GetAll(document.Get(), all.Out()));
    long length = 0;
    ASSERT_EQ(S_OK, helper_->GetAllLength(all.Get(), &length));
    EXPECT_EQ(static_cast<long>(native_->Page().Prop(1, L"all")->list.size()) - 1, length);
}

TEST_F(StandInTest, EventsReachScriptCallbacksOnTheRendererThread)
{
    Microsoft::WRL::ComPtr<CountingCallback> callback;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(callback));
    callback->rendererThread = native_->Renderer().ThreadId();
    ULONGLONG cookie = 0;
    vxWebFw::NodeHandle function(helper_.Get());
    ASSERT_EQ(S_OK, helper_->CreateScriptCallback(callback.Get(), &cookie, function.Out()));
    vxWebFw::NodeHandle body = Element(L"body-element");
    ASSERT_EQ(S_OK, helper_->AddEventListener(body.Get(), L"click", function.Get(), false));
    EXPECT_EQ(1, native_->ListenerCount());

    // An event at a child bubbles to the listener on the body.
    long divId = native_->Page().FindById(L"x");
    EXPECT_EQ(1, native_->FireEvent(divId, L"click"));
    EXPECT_EQ(1, callback->calls);
    EXPECT_EQ(cookie, callback->lastCookie);
    EXPECT_TRUE(callback->onRendererThread);
    EXPECT_EQ(0, native_->FireEvent(divId, L"keydown"));

    ASSERT_EQ(S_OK, helper_->RemoveEventListener(body.Get(), L"click", function.Get(), false));
    EXPECT_EQ(0, native_->FireEvent(divId, L"click"));
    EXPECT_EQ(S_OK, helper_->ReleaseScriptCallback(cookie));
    EXPECT_EQ(E_INVALIDARG, helper_->ReleaseScriptCallback(cookie));
}

TEST(SnapshotPageLoading, RefusesOtherFormatsAndKeepsNodeOrder)
{
    EXPECT_THROW(harness::SnapshotPage::Parse(R"({"format":"other"})"), std::runtime_error);
    EXPECT_THROW(
        harness::SnapshotPage::Parse(
            R"({"format":"page-snapshot/1","documents":[],"nodes":[{"id":2,"parent":null,"doc":0,"props":{}}]})"),
        std::runtime_error);
    harness::SnapshotPage page = harness::SnapshotPage::Load(testpages::SnapshotPath("snapshots/naming.json"));
    EXPECT_EQ(L"data-vxcr-exclude", page.exclusionAttributeName);
    ASSERT_GT(page.NodeCount(), 100);
    for (long id = 1; id <= page.NodeCount(); ++id)
        for (long child : page.Node(id).children)
            EXPECT_EQ(id, page.Node(child).parent);
}

// Script can put lone surrogates into ids and text; the snapshot keeps them
// as escapes, and the page answers them as the UTF-16 the browser holds.
TEST(SnapshotPageLoading, KeepsLoneSurrogatesAndProperPairs)
{
    harness::SnapshotPage page = harness::SnapshotPage::Parse(R"({"format":"page-snapshot/1","documents":[],
      "nodes":[{"id":1,"parent":null,"doc":0,"props":{"nodeType":9,"a":"\ud800","b":"x\udc00y\udbff",
        "c":"\ud83d\ude00","d":"\\ud800","e":"\udc00\ud800"}}]})");
    EXPECT_EQ(std::wstring(1, wchar_t(0xD800)), page.StringProp(1, L"a"));
    EXPECT_EQ((std::wstring{L'x', wchar_t(0xDC00), L'y', wchar_t(0xDBFF)}), page.StringProp(1, L"b"));
    EXPECT_EQ((std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}), page.StringProp(1, L"c"));
    EXPECT_EQ(L"\\ud800", page.StringProp(1, L"d"));
    EXPECT_EQ((std::wstring{wchar_t(0xDC00), wchar_t(0xD800)}), page.StringProp(1, L"e"));
}

TEST_F(StandInTest, ScriptObjectsReadMembersAndHoldTheirNode)
{
    long before = native_->LiveHandles();
    Microsoft::WRL::ComPtr<IDispatch> script;
    {
        vxWebFw::NodeHandle input = Element(L"a");
        ASSERT_EQ(S_OK, helper_->GetNodeScriptObject(input.Get(), &script));
    }
    EXPECT_EQ(before + 1, native_->LiveHandles()); // the script object's own handle
    auto get = [&](IDispatch* object, const wchar_t* name, VARIANT* value) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 0;
        HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &id);
        if (FAILED(hr))
            return hr;
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        return object->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr,
                              nullptr);
    };
    vx::com::Variant value;
    ASSERT_EQ(S_OK, get(script.Get(), L"value", value.Get()));
    ASSERT_EQ(VT_BSTR, value.Type());
    EXPECT_EQ(std::wstring(L"a-b"), V_BSTR(value.Get()));
    ASSERT_EQ(S_OK, get(script.Get(), L"parentNode", value.Out()));
    ASSERT_EQ(VT_DISPATCH, value.Type());
    vx::com::Variant tag;
    ASSERT_EQ(S_OK, get(V_DISPATCH(value.Get()), L"tagName", tag.Get()));
    EXPECT_EQ(std::wstring(L"BODY"), V_BSTR(tag.Get()));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, get(script.Get(), L"noSuchMember", value.Out()));
    script.Reset();
    EXPECT_EQ(before, native_->LiveHandles());
}

TEST_F(StandInTest, CallsPerMemberAddUpToEveryCallAndNameTheMember)
{
    vxWebFw::NodeHandle document = Document();
    native_->ResetCounters();
    LONG nodeType = 0, missing = 0, item = 0;
    vx::com::BStr nodeTypeName(L"nodeType"), itemName(L"item");
    ASSERT_EQ(S_OK, native_->GetIDOfName(nodeTypeName.Get(), &nodeType));
    ASSERT_EQ(S_OK, native_->GetIDOfName(itemName.Get(), &item));
    vx::com::Variant value;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(S_OK, native_->GetProperty(document.Get(), nodeType, value.Out()));
    BOOL present = FALSE;
    ASSERT_EQ(S_OK, native_->HasMember(document.Get(), nodeType, &present));
    EXPECT_TRUE(present);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, native_->GetProperty(document.Get(), missing, value.Out()));
    NodeImpl* clone = nullptr;
    ASSERT_EQ(S_OK, native_->CloneNode(document.Get(), &clone));
    ASSERT_EQ(S_OK, native_->ReleaseNode(clone));

    std::map<std::wstring, long> calls;
    long total = 0;
    for (const auto& [member, count] : native_->CallsPerMember()) {
        calls[member] = count;
        total += count;
    }
    EXPECT_EQ(3, calls[L"GetProperty nodeType"]);
    EXPECT_EQ(1, calls[L"HasMember nodeType"]) << "a presence test is not a read";
    EXPECT_EQ(1, calls[L"GetProperty"]) << "a call naming no member stays with its slot";
    EXPECT_EQ(2, calls[L"GetIDOfName"]);
    EXPECT_EQ(1, calls[L"CloneNode"]);
    EXPECT_EQ(1, calls[L"ReleaseNode"]);
    EXPECT_EQ(0, calls.count(L"Invoke item"));
    long slots = 0;
    for (int slot = static_cast<int>(harness::NativeSlot::GetWindowNode);
         slot < static_cast<int>(harness::NativeSlot::Count); ++slot)
        if (slot != static_cast<int>(harness::NativeSlot::RunOnRendererThread))
            slots += native_->SlotCalls(static_cast<harness::NativeSlot>(slot));
    EXPECT_EQ(slots, total);
    EXPECT_EQ(L"GetProperty nodeType", native_->CallsPerMember().front().first) << "most calls first";
}
