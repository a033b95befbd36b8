// A recorded session through the engine's side: what typing, choosing and
// clicking on a captured page put into the engine's event records. Records
// are checked through the engine's own reading of them (its names of the
// GUIDs it shares with the hook), so a wrong GUID in the library shows.
#include <gmock/gmock.h>

#include <string>

#include "RecordingFixture.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using vxtest::CTestTreeNode;
using vxtest::RecordedEvent;

namespace recording_tests {
namespace {

MATCHER_P(Says, text, "")
{
    const std::wstring line = arg.record ? arg.record->Describe() : L"<none>";
    *result_listener << std::string(line.begin(), line.end());
    return line.find(text) != std::wstring::npos;
}

MATCHER_P(DoesNotSay, text, "")
{
    const std::wstring line = arg.record ? arg.record->Describe() : L"<none>";
    *result_listener << std::string(line.begin(), line.end());
    return line.find(text) == std::wstring::npos;
}

std::wstring KeyText(const GUID& key)
{
    wchar_t text[40] = {};
    StringFromGUID2(key, text, 40);
    return text;
}

GUID KeyOf(IUnknown* object)
{
    ComPtr<IovKeyItem> item;
    GUID key = GUID_NULL;
    if (object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&item))))
        item->GetKey(&key);
    return key;
}

std::wstring Hex(const GUID& key)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(&key);
    std::wstring text;
    for (size_t i = 0; i < sizeof(key); ++i) {
        wchar_t hex[3] = {};
        swprintf(hex, 3, L"%02x", bytes[i]);
        text += hex;
    }
    return text;
}

using RecordingSessionTest = RecordingTest;

TEST_F(RecordingSessionTest, TypingAndChoosingReachTheRecorderThroughProviders)
{
    ComPtr<IDispatch> name, secret, colour;
    ASSERT_EQ(S_OK, recorder_->AttachProvider(Element(L"name"), name)) << "an INPUT without type";
    ASSERT_EQ(S_OK, recorder_->AttachProvider(Element(L"secret"), secret));
    ASSERT_EQ(S_OK, recorder_->AttachProvider(Element(L"colour"), colour)) << "a drop-down";
    EXPECT_EQ(MonikerOf(Element(L"name")), Moniker(name.Get())) << "a provider is known by its element's moniker";

    EXPECT_EQ("ok", Renderer("type name Alice"));
    EXPECT_EQ("ok", Renderer("type secret hunter2"));
    EXPECT_EQ("ok", Renderer("choose colour 2"));
    ASSERT_TRUE(recorder_->WaitForFired(3, 10000));
    const std::vector<RecordedEvent> fired = recorder_->Fired();
    ASSERT_EQ(3u, fired.size());

    EXPECT_THAT(fired[0], Says(L"keyup "));
    EXPECT_THAT(fired[0], Says(L"provider=\"" + MonikerOf(Element(L"name")) + L"\""));
    EXPECT_THAT(fired[0], Says(L"kind=503"));
    EXPECT_THAT(fired[0], Says(L"value=\"Alice\""));
    EXPECT_THAT(fired[1], Says(L"value=\"hunter2\""));
    EXPECT_THAT(fired[2], Says(L"change "));
    EXPECT_THAT(fired[2], Says(L"kind=505"));
    EXPECT_THAT(fired[2], Says(L"option=\"Blue\""));
    // Each record was fired by the custom-controls support and resolved back
    // to its provider, and carries the tab it happened in.
    EXPECT_EQ(name.Get(), fired[0].record->EventObject().Get());
    EXPECT_EQ(secret.Get(), fired[1].record->EventObject().Get());
    EXPECT_EQ(colour.Get(), fired[2].record->EventObject().Get());
    ComPtr<IvxCrCustomControlsListener> support;
    ASSERT_TRUE(fired[0].record->Source());
    EXPECT_EQ(S_OK, fired[0].record->Source().As(&support));
    for (const RecordedEvent& event : fired) {
        EXPECT_TRUE(event.handled);
        EXPECT_THAT(event, Says(L"tab=4"));
        EXPECT_THAT(event, Says(L"url=\"http://four.test/recording.html\""));
        EXPECT_THAT(event, Says(L"described=true"));
    }
    // The tab's object in the engine: asked by the DOM-model prefix with the
    // tab window, and its key written into the record.
    const std::vector<vxtest::HostLookup> lookups = recorder_->HostLookups();
    ASSERT_FALSE(lookups.empty());
    EXPECT_EQ(L"Cr4Wnd!", lookups[0].prefix);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(TabWindow()), lookups[0].window);
    EXPECT_THAT(fired[0], Says(L"tab-object=\"" + KeyText(lookups[0].key) + L"\""));
}

TEST_F(RecordingSessionTest, OnlyEditBoxesAndDropDownsGetProviders)
{
    ComPtr<IDispatch> provider;
    EXPECT_EQ(S_OK, recorder_->AttachProvider(Element(L"upper"), provider)) << "type TEXT in upper case";
    EXPECT_EQ(S_OK, recorder_->AttachProvider(Element(L"query"), provider)) << "search";
    EXPECT_EQ(S_OK, recorder_->AttachProvider(Element(L"sizes"), provider)) << "size 1";
    EXPECT_EQ(S_FALSE, recorder_->AttachProvider(Element(L"list"), provider)) << "size 4";
    EXPECT_EQ(S_FALSE, recorder_->AttachProvider(Element(L"many"), provider)) << "multiple";
    EXPECT_EQ(S_FALSE, recorder_->AttachProvider(Element(L"agree"), provider)) << "check box";
    EXPECT_EQ(S_FALSE, recorder_->AttachProvider(Element(L"home"), provider)) << "link";

    // Not recording: no provider at all.
    recorder_->DisposeProviders();
    ASSERT_EQ(S_OK, recorder_->Stop());
    EXPECT_EQ(S_FALSE, recorder_->AttachProvider(Element(L"name"), provider));
}

TEST_F(RecordingSessionTest, ClicksGetTheirControlKinds)
{
    const HWND window = TabWindow();
    RecordedEvent link = recorder_->ReportWindowMessage(window, WM_LBUTTONUP, 3, 3, Element(L"home"));
    EXPECT_THAT(link, Says(L"kind=501"));
    EXPECT_FALSE(link.handled);
    EXPECT_THAT(link, Says(L"in-tab=true"));
    EXPECT_THAT(link, Says(L"tab=4"));
    EXPECT_THAT(recorder_->ReportWindowMessage(window, WM_LBUTTONUP, 3, 3, Element(L"send")), Says(L"kind=501"));
    EXPECT_THAT(recorder_->ReportWindowMessage(window, WM_LBUTTONUP, 3, 3, Element(L"pick")), Says(L"kind=501"));

    EXPECT_EQ("ok", Renderer("toggle agree"));
    RecordedEvent check = recorder_->ReportWindowMessage(window, WM_LBUTTONUP, 3, 3, Element(L"agree"));
    EXPECT_THAT(check, Says(L"kind=502"));
    EXPECT_THAT(check, Says(L"checked=true"));
    EXPECT_TRUE(check.handled);
    RecordedEvent press = recorder_->ReportWindowMessage(window, WM_LBUTTONDOWN, 3, 3, Element(L"agree"));
    EXPECT_THAT(press, Says(L"kind=502"));
    EXPECT_THAT(press, DoesNotSay(L"checked="));
    EXPECT_FALSE(press.handled);

    RecordedEvent file = recorder_->ReportWindowMessage(window, WM_LBUTTONUP, 3, 3, Element(L"upload"));
    EXPECT_THAT(file, DoesNotSay(L"kind="));
    EXPECT_THAT(file, Says(L"tab=4")) << "the tab is still told";
}

TEST_F(RecordingSessionTest, AnOptionIsRecordedByTextOnlyWhenItsTextNamesItAlone)
{
    const HWND window = TabWindow();
    CTestTreeNode* list = Element(L"list");
    RecordedEvent apple = recorder_->ReportWindowMessage(window, WM_LBUTTONDOWN, 2, 2, Element(L"first"));
    EXPECT_THAT(apple, Says(L"kind=504"));
    EXPECT_THAT(apple, Says(L"option=\"Apple\""));
    EXPECT_TRUE(apple.handled);
    // The target becomes the SELECT's test object, with its identity key.
    ASSERT_TRUE(apple.record->Target());
    EXPECT_EQ(MonikerOf(list), Moniker(apple.record->Target().Get()));
    EXPECT_THAT(apple, Says(L"select-key=" + Hex(KeyOf(list->FirstTestObject().Get()))));

    EXPECT_THAT(recorder_->ReportWindowMessage(window, WM_RBUTTONDOWN, 2, 2, Element(L"twin1")), Says(L"option=1"))
        << "\"pear\" and \"Pear\" are one text ignoring case";
    EXPECT_THAT(recorder_->ReportWindowMessage(window, WM_LBUTTONDOWN, 2, 2, Element(L"piped")), Says(L"option=3"));
    EXPECT_THAT(recorder_->ReportWindowMessage(window, WM_LBUTTONDOWN, 2, 2, Element(L"blank")), Says(L"option=4"));
    RecordedEvent released = recorder_->ReportWindowMessage(window, WM_LBUTTONUP, 2, 2, Element(L"first"));
    EXPECT_THAT(released, Says(L"kind=504"));
    EXPECT_THAT(released, DoesNotSay(L"option="));

    // A click on the list box itself records the option under the point
    // (Chromium's own hit test of the captured page: "Pear", a twin).
    RecordedEvent select = recorder_->ReportWindowMessage(window, WM_LBUTTONDOWN, 12, 41, list);
    EXPECT_THAT(select, Says(L"kind=505"));
    EXPECT_THAT(select, Says(L"option=2"));
    EXPECT_TRUE(select.handled);
}

TEST_F(RecordingSessionTest, TheTabIsToldOnlyForItsOwnWindowsAndCommands)
{
    // A window that belongs to no tab: no tab flag, but the Chrome object
    // among the event's objects still describes its tab.
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    RecordedEvent outside = recorder_->ReportWindowMessage(other, WM_LBUTTONUP, 1, 1, Element(L"home"));
    EXPECT_THAT(outside, DoesNotSay(L"in-tab="));
    EXPECT_THAT(outside, Says(L"described=true"));
    DestroyWindow(other);

    // A key in the tab window counts; without any object nothing describes it.
    RecordedEvent key = recorder_->ReportKey(TabWindow(), nullptr);
    EXPECT_THAT(key, Says(L"in-tab=true"));
    EXPECT_THAT(key, DoesNotSay(L"described="));

    // A command counts only as WM_COMMAND; the object still describes its tab.
    RecordedEvent command = recorder_->ReportCommand(TabWindow(), WM_COMMAND, Element(L"send"));
    EXPECT_THAT(command, Says(L"in-tab=true"));
    RecordedEvent system = recorder_->ReportCommand(TabWindow(), WM_SYSCOMMAND, Element(L"send"));
    EXPECT_THAT(system, DoesNotSay(L"in-tab="));
    EXPECT_THAT(system, Says(L"described=true"));

    // A click ending on one of Chrome's pop-up render widgets.
    HWND popup = CreateWindowExW(0, L"Chrome_RenderWidgetHostHWND", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    if (popup) {
        EXPECT_THAT(recorder_->ReportWindowMessage(popup, WM_LBUTTONUP, 1, 1, Element(L"order")), Says(L"kind=506"));
        DestroyWindow(popup);
    }
}

TEST_F(RecordingSessionTest, APageThatStartsLoadingIsRecordedWithItsPage)
{
    ASSERT_EQ(S_OK, standin_->SetTabLoading(kTab, true));
    ASSERT_TRUE(recorder_->WaitForFired(1, 10000));
    const RecordedEvent loading = recorder_->Fired()[0];
    EXPECT_THAT(loading, Says(L"page-loading "));
    EXPECT_THAT(loading, Says(L"loading-tab=4"));
    EXPECT_TRUE(loading.handled);
    ASSERT_TRUE(loading.record->EventObject()) << "the event source gave the tab's page";
    EXPECT_EQ(0u, Moniker(loading.record->EventObject().Get()).rfind(L"Cr4!", 0));
}

TEST_F(RecordingSessionTest, DisposedProvidersLeaveNothingBehindAndHearNoMore)
{
    ComPtr<IDispatch> name, colour;
    ASSERT_EQ(S_OK, recorder_->AttachProvider(Element(L"name"), name));
    ASSERT_EQ(S_OK, recorder_->AttachProvider(Element(L"colour"), colour));
    EXPECT_EQ("ok 2 2", Renderer("listeners"));
    // Registered with the module (so a shutdown cuts them off) until disposed.
    ComPtr<vxOpenAppHook::CStubManager> stubs = module_->StubManager();
    ComPtr<IUnknown> nameIdentity, colourIdentity;
    ASSERT_EQ(S_OK, name.As(&nameIdentity));
    ASSERT_EQ(S_OK, colour.As(&colourIdentity));
    EXPECT_TRUE(stubs->IsRegistered(nameIdentity.Get()));
    recorder_->DisposeProviders();
    EXPECT_FALSE(stubs->IsRegistered(nameIdentity.Get()));
    EXPECT_FALSE(stubs->IsRegistered(colourIdentity.Get()));
    // Events still arriving meanwhile are dropped; the page's listeners go.
    EXPECT_EQ("ok", Renderer("type name late"));
    std::string listeners;
    for (int attempt = 0; attempt < 50 && (listeners = Renderer("listeners")) != "ok 0 0"; ++attempt)
        Sleep(100);
    EXPECT_EQ("ok 0 0", listeners);
    EXPECT_FALSE(recorder_->WaitForFired(1, 500));

    // A provider let go of without Dispose ends its subscription too.
    ComPtr<IDispatch> query;
    ASSERT_EQ(S_OK, recorder_->AttachProvider(Element(L"query"), query));
    EXPECT_EQ("ok 1 1", Renderer("listeners"));
    vx::com::BStr moniker(MonikerOf(Element(L"query")));
    ASSERT_EQ(S_OK, recorder_->UnregisterObject(moniker.Get()));
    query.Reset();
    for (int attempt = 0; attempt < 50 && (listeners = Renderer("listeners")) != "ok 0 0"; ++attempt)
        Sleep(100);
    EXPECT_EQ("ok 0 0", listeners);
}

} // namespace
} // namespace recording_tests
