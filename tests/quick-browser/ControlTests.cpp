// What custom-control support reads of an element through its object, and
// DOM event subscriptions relayed to the engine's listeners.
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "QuickBrowserFixture.h"
#include "tests/support/RecordingListener.h"

namespace qbtests {
namespace {

using testsupport::RecordingListener;

// Events reach listeners from the renderer's own delivery thread: waits
// until `done` holds (at most five seconds).
template <class Condition>
bool WaitUntil(Condition done)
{
    for (int i = 0; i < 500 && !done(); ++i)
        Sleep(10);
    return done();
}

class ControlTest : public QuickBrowserTest
{
protected:
    void SetUp() override
    {
        Load("snapshots/recognition.json");
        UseObjectModel(0);
    }
    ComPtr<IvxCrQuickBrowserObject_RecognizingService> Recognition(const wchar_t* id)
    {
        ComPtr<IvxCrQuickBrowserObject_RecognizingService> service;
        EXPECT_EQ(S_OK, DomElement(id).object.As(&service));
        return service;
    }
    ComPtr<IvxCrQuickBrowserObject_NodeEventSource> Events(const wchar_t* id)
    {
        ComPtr<IvxCrQuickBrowserObject_NodeEventSource> source;
        EXPECT_EQ(S_OK, DomElement(id).object.As(&source));
        return source;
    }
    // HasChildNodeContainingText of the element with `id`.
    std::pair<bool, std::wstring> Search(const wchar_t* id, const wchar_t* text, const wchar_t* tag = nullptr,
                                         bool siblings = false)
    {
        vx::com::BStr wanted(text), tagName(tag);
        vx::com::BStr value;
        VARIANT_BOOL found = VARIANT_FALSE;
        EXPECT_EQ(S_OK, Recognition(id)->HasChildNodeContainingText(
                            wanted.Get(), tagName.Get(), siblings ? VARIANT_TRUE : VARIANT_FALSE, value.Out(), &found));
        return {found == VARIANT_TRUE, value.Str()};
    }
    ComPtr<RecordingListener> Listener()
    {
        ComPtr<RecordingListener> listener;
        EXPECT_EQ(S_OK, vx::com::CreateComObject(listener));
        return listener;
    }
    ULONGLONG Subscribe(IvxCrQuickBrowserObject_NodeEventSource* source, const wchar_t* type, IDispatch* listener)
    {
        vx::com::BStr eventType(type);
        ULONGLONG cookie = 0;
        EXPECT_EQ(S_OK, source->AddEventListener(eventType.Get(), listener, VARIANT_FALSE, &cookie));
        return cookie;
    }
    int Fire(const wchar_t* id, const wchar_t* type) { return native_->FireEvent(NodeIdOf(id), type); }
};

TEST_F(ControlTest, TagClassIdParentAttributesAndProperties)
{
    vx::com::BStr tag, className, id, parent, attribute, role, text;
    ComPtr<IvxCrQuickBrowserObject_RecognizingService> single = Recognition(L"single");
    EXPECT_EQ(S_OK, single->GetElementTagName(tag.Out()));
    EXPECT_EQ(L"DIV", tag.Str());
    EXPECT_EQ(S_OK, single->GetElementClassNameAndID(className.Out(), id.Out()));
    EXPECT_EQ(L"holder main", className.Str());
    EXPECT_EQ(L"single", id.Str());
    ComPtr<IvxCrQuickBrowserObject_RecognizingService> inner = Recognition(L"innerTarget");
    EXPECT_EQ(S_OK, inner->GetElementParentNodeID(parent.Out()));
    EXPECT_EQ(L"outerTarget", parent.Str());

    ComPtr<IvxCrQuickBrowserObject_RecognizingService> field = Recognition(L"field");
    vx::com::BStr dataRole(L"data-role"), missing(L"data-missing");
    EXPECT_EQ(S_OK, field->GetAttributeValue(dataRole.Get(), role.Out()));
    EXPECT_EQ(L"login", role.Str());
    EXPECT_EQ(S_OK, field->GetAttributeValue(missing.Get(), attribute.Out()));
    EXPECT_FALSE(attribute.Get());

    vx::com::BStr valueName(L"value"), offsetWidth(L"offsetWidth"), disabled(L"disabled"), nothing(L"noSuchMember");
    EXPECT_EQ(S_OK, field->GetPrpStr(valueName.Get(), text.Out()));
    EXPECT_EQ(L"ann", text.Str());
    LONG width = 0;
    EXPECT_EQ(S_OK, field->GetPrpLong(offsetWidth.Get(), &width));
    EXPECT_EQ(static_cast<LONG>(native_->Page().Prop(NodeIdOf(L"field"), L"offsetWidth")->number), width);
    EXPECT_GT(width, 0);
    VARIANT_BOOL flag = VARIANT_FALSE;
    EXPECT_EQ(S_OK, field->GetPrpBool(disabled.Get(), &flag));
    EXPECT_EQ(VARIANT_TRUE, flag);
    // The property reads report the read's failure; a number is no string.
    EXPECT_TRUE(FAILED(field->GetPrpStr(nothing.Get(), text.Out())));
    EXPECT_EQ(E_UNEXPECTED, field->GetPrpStr(offsetWidth.Get(), text.Out()));

    ComPtr<IDispatch> windowScript;
    EXPECT_EQ(S_OK, single->GetScriptObject(windowScript.GetAddressOf()));
    EXPECT_TRUE(windowScript);
}

TEST_F(ControlTest, TextSearchBelowAnElement)
{
    // The children's text is lower-cased before the search.
    EXPECT_EQ(std::make_pair(true, std::wstring(L"abc")), Search(L"single", L"id="));
    EXPECT_EQ(std::make_pair(false, std::wstring()), Search(L"single", L"ID="));
    EXPECT_EQ(std::make_pair(true, std::wstring(L"one|two")), Search(L"twice", L"id="));
    EXPECT_EQ(std::make_pair(true, std::wstring(L"div1")), Search(L"tagged", L"id=", L"div"));
    EXPECT_EQ(std::make_pair(true, std::wstring(L"span1")), Search(L"tagged", L"id=", L"SPAN"));
    EXPECT_EQ(std::make_pair(true, std::wstring(L"fromscript")), Search(L"scripted", L"id="));
    // A match with nothing before the next delimiter, or no delimiter at all,
    // is found but adds nothing.
    EXPECT_EQ(std::make_pair(true, std::wstring()), Search(L"bare", L"id="));
    EXPECT_EQ(std::make_pair(true, std::wstring(L"sibling")), Search(L"siblingStart", L"id=", nullptr, true));
}

TEST_F(ControlTest, ListenersHearTheirEventsUntilRemoved)
{
    ComPtr<IvxCrQuickBrowserObject_NodeEventSource> source = Events(L"target");
    ComPtr<RecordingListener> first = Listener(), second = Listener();
    const ULONGLONG one = Subscribe(source.Get(), L"click", first.Get());
    const ULONGLONG two = Subscribe(source.Get(), L"click", second.Get());
    EXPECT_NE(one, two);
    EXPECT_EQ(2, Fire(L"target", L"click"));
    EXPECT_TRUE(WaitUntil([&] { return first->Heard().size() == 1 && second->Heard().size() == 1; }));
    EXPECT_EQ(std::vector<ULONGLONG>{one}, first->Heard());
    EXPECT_EQ(std::vector<ULONGLONG>{two}, second->Heard());
    EXPECT_EQ(0, Fire(L"target", L"keydown")); // no subscription for that type

    EXPECT_EQ(S_OK, source->RemoveEventListener(one));
    EXPECT_EQ(E_FAIL, source->RemoveEventListener(one));
    EXPECT_EQ(E_FAIL, source->RemoveEventListener(0x1234));
    EXPECT_EQ(1, Fire(L"target", L"click"));
    EXPECT_TRUE(WaitUntil([&] { return second->Heard().size() == 2; }));
    EXPECT_EQ(1u, first->Heard().size()) << "an event after removal reached the listener";
    EXPECT_EQ(S_OK, source->RemoveEventListener(two));
    EXPECT_EQ(0, native_->ListenerCount());
    EXPECT_EQ(0, native_->ScriptCallbackCount());
}

// Focusing an element through its object raises the page's own "focus"
// event, which its subscribers hear (and "focusin", which bubbles).
TEST_F(ControlTest, FocusingAnElementRaisesItsFocusEvents)
{
    ComPtr<IvxCrQuickBrowserObject_NodeEventSource> source = Events(L"innerTarget");
    ComPtr<IvxCrQuickBrowserObject_NodeEventSource> outer = Events(L"outerTarget");
    ComPtr<RecordingListener> focus = Listener(), bubbled = Listener(), notBubbled = Listener();
    const ULONGLONG cookie = Subscribe(source.Get(), L"focus", focus.Get());
    const ULONGLONG focusIn = Subscribe(outer.Get(), L"focusin", bubbled.Get());
    Subscribe(outer.Get(), L"focus", notBubbled.Get());
    ComPtr<IvxCrQuickBrowserObject_Control> control;
    ASSERT_EQ(S_OK, source.As(&control));
    ASSERT_EQ(S_OK, control->SetFocused(VARIANT_TRUE));
    EXPECT_TRUE(WaitUntil([&] { return !focus->Heard().empty() && !bubbled->Heard().empty(); }));
    EXPECT_EQ(std::vector<ULONGLONG>{cookie}, focus->Heard());
    EXPECT_EQ(std::vector<ULONGLONG>{focusIn}, bubbled->Heard());
    EXPECT_TRUE(notBubbled->Heard().empty()) << "focus does not bubble";
}

TEST_F(ControlTest, AListenerMayRemoveItselfWhileItHearsTheEvent)
{
    ComPtr<IvxCrQuickBrowserObject_NodeEventSource> source = Events(L"target");
    ComPtr<RecordingListener> listener = Listener();
    ULONGLONG cookie = 0;
    std::atomic<HRESULT> removed{E_PENDING};
    listener->onEvent = [&](ULONGLONG heard) { removed = source->RemoveEventListener(heard); };
    cookie = Subscribe(source.Get(), L"click", listener.Get());
    EXPECT_EQ(1, Fire(L"target", L"click"));
    EXPECT_TRUE(WaitUntil([&] { return removed != E_PENDING; }));
    EXPECT_EQ(S_OK, removed.load());
    EXPECT_EQ(0, Fire(L"target", L"click"));
    EXPECT_EQ(std::vector<ULONGLONG>{cookie}, listener->Heard());
    listener->onEvent = nullptr;
}

TEST_F(ControlTest, ManySubscriptionsAndAnObjectGoneWithLiveOnesLeaveNothingBehind)
{
    ComPtr<IvxCrQuickBrowserObject_NodeEventSource> source = Events(L"target");
    ComPtr<RecordingListener> listener = Listener();
    // The listener's reference count tells whether anything (a table entry
    // of the global interface table among them) still holds it.
    auto references = [&] {
        listener->AddRef();
        return listener->Release();
    };
    const ULONG before = references();
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(S_OK, source->RemoveEventListener(Subscribe(source.Get(), L"click", listener.Get())));
    EXPECT_EQ(0, native_->ListenerCount());
    EXPECT_EQ(0, native_->ScriptCallbackCount());
    EXPECT_EQ(before, references());

    // Subscriptions still live when the object goes are undone with it; an
    // event afterwards reaches nobody.
    Subscribe(source.Get(), L"click", listener.Get());
    Subscribe(source.Get(), L"focus", listener.Get());
    EXPECT_EQ(2, native_->ListenerCount());
    EXPECT_GT(references(), before);
    source.Reset();
    EXPECT_EQ(0, native_->ListenerCount());
    EXPECT_EQ(0, native_->ScriptCallbackCount());
    EXPECT_EQ(before, references());
    EXPECT_EQ(0, Fire(L"target", L"click"));
    EXPECT_TRUE(listener->Heard().empty());
}

} // namespace
} // namespace qbtests
