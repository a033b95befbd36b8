// What only a live page shows: scrolling and focus that the page itself
// reports afterwards, a fixed header that covers what scrolls under it,
// elements the page's script adds and removes, real input heard by the
// engine's listeners, dialogs, and a page or browser that goes away while
// the library reads it.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <atomic>
#include <thread>

#include "PageUnderTest.h"
#include "harness/livepage/LiveValues.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "tests/support/RecordingListener.h"

namespace livetests {
namespace {

using testsupport::RecordingListener;

const wchar_t kLiveOnlyPage[] = L"http://fixtures.test/live-only.html";

template <class Condition>
bool WaitUntil(Condition done, int milliseconds = 5000)
{
    for (int waited = 0; waited < milliseconds && !done(); waited += 10)
        Sleep(10);
    return done();
}

class LivePageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        page_ = PageUnderTest::Live(kLiveOnlyPage);
        ASSERT_TRUE(page_);
        page_->UseObjectModel(0);
    }
    void TearDown() override
    {
        if (!page_)
            return;
        harness::LiveNativeObject* native = page_->LiveNative();
        page_->Close();
        EXPECT_EQ(0, native->LiveHandles()) << "node handles left behind";
        EXPECT_EQ(0, native->Faults());
        if (!native->PageGone()) {
            EXPECT_EQ(0, native->PageHandles()) << "handles left in the page's registry";
        }
    }

    // The value of a script expression in the page, as a number or text.
    double Number(const wchar_t* expression)
    {
        vx::com::Variant value;
        EXPECT_EQ(S_OK, page_->LiveNative()->Evaluate(expression, value.Get()));
        vx::com::Variant number;
        EXPECT_EQ(S_OK, VariantChangeType(number.Get(), value.Get(), 0, VT_R8));
        return V_R8(number.Get());
    }
    std::wstring Text(const wchar_t* expression)
    {
        vx::com::Variant value;
        EXPECT_EQ(S_OK, page_->LiveNative()->Evaluate(expression, value.Get()));
        return ValueText(*value);
    }
    ComPtr<IvxCrQuickBrowserObject_Control> Control(const wchar_t* elementId)
    {
        ComPtr<IvxCrQuickBrowserObject_Control> control;
        ObjectThisInformation element = page_->DomElement(elementId);
        EXPECT_TRUE(element.object) << "no object for " << harness::live::Utf8(elementId);
        if (element.object) {
            EXPECT_EQ(S_OK, element.object.As(&control));
        }
        return control;
    }
    size_t AllCount()
    {
        ObjectThisInformation document = page_->Child(page_->PageInformation().object.Get(), L"document");
        ObjectThisInformation all = page_->Child(document.object.Get(), L"all");
        return all.object ? page_->Children(all.object.Get()).size() : 0;
    }

    std::unique_ptr<PageUnderTest> page_;
};

TEST_F(LivePageTest, MakeVisibleScrollsThePageUntilTheElementIsInTheViewport)
{
    ComPtr<IvxCrQuickBrowserObject_Control> farBox = Control(L"far"); // 1800 px down a 768 px viewport
    ASSERT_TRUE(farBox);
    EXPECT_EQ(0, Number(L"window.scrollY"));
    EXPECT_EQ(S_OK, farBox->MakeVisible(-1, -1));
    EXPECT_GT(Number(L"window.scrollY"), 1000);
    const double top = Number(L"document.getElementById('far').getBoundingClientRect().top");
    const double bottom = Number(L"document.getElementById('far').getBoundingClientRect().bottom");
    EXPECT_GE(top, 0);
    EXPECT_LE(bottom, Number(L"window.innerHeight"));
    LONG onTop = -1;
    EXPECT_EQ(S_OK, farBox->GetOnTopViewportTop(&onTop));
    EXPECT_EQ(static_cast<LONG>(top), onTop) << "the library reads the page's new place of the element";
}

TEST_F(LivePageTest, SetFocusedMovesThePagesActiveElement)
{
    ComPtr<IvxCrQuickBrowserObject_Control> typing = Control(L"typing");
    ASSERT_TRUE(typing);
    VARIANT_BOOL focused = VARIANT_TRUE;
    EXPECT_EQ(S_OK, typing->GetFocused(&focused));
    EXPECT_EQ(VARIANT_FALSE, focused);
    EXPECT_EQ(S_OK, typing->SetFocused(VARIANT_TRUE));
    EXPECT_EQ(L"typing", Text(L"document.activeElement.id"));
    EXPECT_EQ(S_OK, typing->GetFocused(&focused));
    EXPECT_EQ(VARIANT_TRUE, focused);
}

TEST_F(LivePageTest, PointsUnderAFixedHeaderThatAppearsOnScrollingAreNotAccessible)
{
    ComPtr<IvxCrQuickBrowserObject_Control> under = Control(L"underHeader"); // 40,2400 300x200
    ASSERT_TRUE(under);
    // Scrolled so that the element starts 20 px below the viewport's top:
    // the page's scroll handler shows the 80 px header over its top part.
    Number(L"window.scrollTo(0, 2380), 0");
    ASSERT_TRUE(WaitUntil([&] { return Text(L"getComputedStyle(stickyHeader).display") == L"block"; }));
    LONG left = 0, top = 0;
    EXPECT_EQ(S_OK, under->GetOnTopViewportLeft(&left));
    EXPECT_EQ(S_OK, under->GetOnTopViewportTop(&top));
    EXPECT_EQ(20, top);
    EXPECT_EQ(L"stickyHeader", Text(L"document.elementFromPoint(50, 30).id"));
    EXPECT_EQ(L"underHeader", Text(L"document.elementFromPoint(50, 120).id"));
    VARIANT_BOOL accessible = VARIANT_TRUE;
    EXPECT_EQ(S_OK, under->CheckPointAccessible(left + 10, top + 10, &accessible));
    EXPECT_EQ(VARIANT_FALSE, accessible) << "the header covers this point";
    EXPECT_EQ(S_OK, under->CheckPointAccessible(left + 10, 120, &accessible));
    EXPECT_EQ(VARIANT_TRUE, accessible) << "below the header the element is reachable";
}

TEST_F(LivePageTest, ElementsTheScriptAddsAppearAndRemovedOnesStopExisting)
{
    const size_t before = AllCount();
    ASSERT_GT(before, 5u);
    Text(L"addItem('fresh')");
    EXPECT_EQ(before + 1, AllCount()) << "the added element is in the next children call";
    ObjectThisInformation fresh = page_->DomElement(L"fresh");
    ASSERT_TRUE(fresh.object);

    ObjectThisInformation second = page_->DomElement(L"second");
    ASSERT_TRUE(second.object);
    ComPtr<IvxCrQuickBrowserObject> object;
    ASSERT_EQ(S_OK, second.object.As(&object));
    VARIANT_BOOL exists = VARIANT_FALSE;
    EXPECT_EQ(S_OK, object->GetExists(&exists));
    EXPECT_EQ(VARIANT_TRUE, exists);
    Text(L"removeItem('second')");
    EXPECT_EQ(S_OK, object->GetExists(&exists));
    EXPECT_EQ(VARIANT_FALSE, exists);
    EXPECT_EQ(before, AllCount());
}

TEST_F(LivePageTest, ListenersHearARealClickAndRealTyping)
{
    ObjectThisInformation button = page_->DomElement(L"clickMe");
    ObjectThisInformation field = page_->DomElement(L"typing");
    ComPtr<IvxCrQuickBrowserObject_NodeEventSource> clicks, inputs;
    ASSERT_EQ(S_OK, button.object.As(&clicks));
    ASSERT_EQ(S_OK, field.object.As(&inputs));
    ComPtr<RecordingListener> clickListener, inputListener;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(clickListener));
    ASSERT_EQ(S_OK, vx::com::CreateComObject(inputListener));
    vx::com::BStr click(L"click"), input(L"input");
    ULONGLONG clickCookie = 0, inputCookie = 0;
    ASSERT_EQ(S_OK, clicks->AddEventListener(click.Get(), clickListener.Get(), VARIANT_FALSE, &clickCookie));
    ASSERT_EQ(S_OK, inputs->AddEventListener(input.Get(), inputListener.Get(), VARIANT_FALSE, &inputCookie));

    // The mouse, as a user's: pressed and released at the button's centre.
    EXPECT_EQ(S_OK, page_->LiveNative()->Control("click", {{"x", 100}, {"y", 55}}));
    EXPECT_TRUE(WaitUntil([&] { return clickListener->Heard().size() == 1; }));
    EXPECT_EQ(std::vector<ULONGLONG>{clickCookie}, clickListener->Heard());
    EXPECT_EQ(L"1", Text(L"clickMe.dataset.clicks")) << "the page's own handler saw the click too";

    ComPtr<IvxCrQuickBrowserObject_Control> typing;
    ASSERT_EQ(S_OK, field.object.As(&typing));
    EXPECT_EQ(S_OK, typing->SetFocused(VARIANT_TRUE));
    EXPECT_EQ(S_OK, page_->LiveNative()->Control("type", {{"text", "abc"}}));
    EXPECT_TRUE(WaitUntil([&] { return !inputListener->Heard().empty(); }));
    EXPECT_EQ(inputCookie, inputListener->Heard().front());
    EXPECT_EQ(L"abc", Text(L"typing.value"));
    EXPECT_TRUE(clickListener->Heard().size() == 1) << "typing reached the click listener";

    EXPECT_EQ(S_OK, clicks->RemoveEventListener(clickCookie));
    EXPECT_EQ(S_OK, inputs->RemoveEventListener(inputCookie));
    EXPECT_EQ(S_OK, page_->LiveNative()->Control("click", {{"x", 100}, {"y", 55}}));
    EXPECT_TRUE(WaitUntil([&] { return Text(L"clickMe.dataset.clicks") == L"2"; }));
    Sleep(200);
    EXPECT_EQ(1u, clickListener->Heard().size()) << "a removed listener heard a click";
}

TEST_F(LivePageTest, ADialogIsAnsweredAndReportedAndNeverBlocksTheReads)
{
    EXPECT_EQ(L"after", Text(L"alert('hello'), 'after'"));
    EXPECT_TRUE(WaitUntil([&] { return !page_->LiveNative()->Dialogs().empty(); }));
    EXPECT_EQ(L"alert: hello", page_->LiveNative()->Dialogs().front());
    EXPECT_GT(AllCount(), 5u) << "the page reads on after the dialog";
}

// The page's renderer crashes while the library walks it: the walk fails
// within the call time-out, later calls fail at once, and the library
// shuts down cleanly. A new tab on the same page works.
TEST_F(LivePageTest, APageThatCrashesDuringAWalkFailsItInTimeAndANewTabWorks)
{
    page_->UseObjectModel(3);
    std::atomic<bool> walking{true};
    std::atomic<DWORD> walkEnded{0};
    std::wstring listing;
    std::thread walker([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (int i = 0; i < 50 && walking; ++i)
            listing = page_->Listing();
        walkEnded = GetTickCount();
        CoUninitialize();
    });
    Sleep(300);
    const DWORD crashed = GetTickCount();
    EXPECT_EQ(S_OK, page_->LiveNative()->Control("crash"));
    walking = false;
    walker.join();
    EXPECT_LT(walkEnded - crashed, 15000u + 5000u) << "the walk did not fail within the call time-out";
    EXPECT_TRUE(page_->LiveNative()->PageGone());
    const DWORD start = GetTickCount();
    vx::com::Variant record;
    EXPECT_TRUE(FAILED(page_->QuickBrowser()->GetPageObjectInformation(record.Out())));
    EXPECT_LT(GetTickCount() - start, 2000u) << "calls after the crash should fail at once";

    std::unique_ptr<PageUnderTest> again = PageUnderTest::Live(kLiveOnlyPage);
    ASSERT_TRUE(again);
    again->UseObjectModel(0);
    EXPECT_TRUE(again->DomElement(L"far").object);
    again->Close();
    EXPECT_EQ(0, again->LiveNative()->LiveHandles());
}

TEST_F(LivePageTest, AKilledBrowserFailsTheCallsAtOnce)
{
    ObjectThisInformation farBox = page_->DomElement(L"far");
    ASSERT_TRUE(farBox.object);
    EXPECT_EQ(S_OK, page_->LiveNative()->Control("kill"));
    ASSERT_TRUE(WaitUntil([&] { return page_->LiveNative()->PageGone(); }));
    ComPtr<IvxCrQuickBrowserObject> object;
    ASSERT_EQ(S_OK, farBox.object.As(&object));
    const DWORD start = GetTickCount();
    VARIANT_BOOL exists = VARIANT_TRUE;
    object->GetExists(&exists);
    EXPECT_EQ(VARIANT_FALSE, exists);
    EXPECT_LT(GetTickCount() - start, 2000u);
}

// A page whose load never ends (an image whose server never answers) opens
// after the load time-out, and the library reads it.
TEST(LivePageLoading, APageThatNeverStopsLoadingIsReadAfterTheLoadTimeOut)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 2), &data));
    // A server that takes the connection and never answers.
    SOCKET silent = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, listen(silent, 4));
    int length = sizeof address;
    ASSERT_EQ(0, getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length));
    const std::wstring page =
        L"http://fixtures.test/never-loads.html?port=" + std::to_wstring(ntohs(address.sin_port));
    {
        const DWORD start = GetTickCount();
        std::unique_ptr<PageUnderTest> live = PageUnderTest::Live(page); // load time-out: 5 s
        ASSERT_TRUE(live);
        EXPECT_LT(GetTickCount() - start, 10000u);
        EXPECT_FALSE(live->LiveNative()->Loaded());
        vx::com::Variant state;
        EXPECT_EQ(S_OK, live->LiveNative()->Evaluate(L"document.readyState", state.Get()));
        EXPECT_EQ(L"interactive", ValueText(*state)) << "the page should still wait for its image";
        live->UseObjectModel(0);
        EXPECT_TRUE(live->DomElement(L"early").object) << "the library reads the page";
        live->Close();
        EXPECT_EQ(0, live->LiveNative()->LiveHandles());
    }
    closesocket(silent);
    WSACleanup();
}

} // namespace
} // namespace livetests
