// A tab of the Chrome stand-in whose renderer process reads its page live in
// headless Chromium: the browser side walks the page through the renderer's
// quick browser; when the page crashes during a call, the call fails in
// bounded time, the renderer process ends as Chrome's does, the browser side
// lives on, and the tab, reset, finds the new renderer on the same page.
#include <atomic>
#include <thread>

#include "platform/com/SafeArray.h"
#include "quickbrowser/InformationRecords.h"
#include "tests/hook-tab/HookTabFixture.h"

using Microsoft::WRL::ComPtr;

namespace livetests {
namespace {

constexpr DISPID kGetChildrenInformation = 3;
const wchar_t kLivePage[] = L"live:http://fixtures.test/live-only.html";

size_t ChildCount(IDispatch* object)
{
    DISPPARAMS none = {};
    vx::com::Variant record;
    if (FAILED(object->Invoke(kGetChildrenInformation, IID_NULL, 0, DISPATCH_METHOD, &none, record.Out(), nullptr,
                              nullptr)) ||
        record.Type() != (VT_ARRAY | VT_VARIANT))
        return 0;
    LONG upper = -1;
    SafeArrayGetUBound(V_ARRAY(record.Get()), 1, &upper);
    return static_cast<size_t>(upper + 1);
}

class LiveRendererProcess : public hook_tab_tests::StandinTabTest
{
protected:
    chrome_standin::StandinOptions Options() override
    {
        chrome_standin::StandinOptions options;
        options.rendererPage = kLivePage;
        return options;
    }
    void SetUp() override
    {
        StandinTabTest::SetUp();
        VARIANT treeModel;
        V_VT(&treeModel) = VT_I4;
        V_I4(&treeModel) = 3;
        SetOption(ProcessOptionKeys::ObjectModel, treeModel);
        Tab().PushChangedOptions();
    }
    ComPtr<IDispatch> PageObject()
    {
        ComPtr<IDispatch> page;
        EXPECT_EQ(S_OK, Tab().GetPageQuickBrowserObject(page));
        return page;
    }
};

TEST_F(LiveRendererProcess, ACrashedPageFailsTheCallInBoundedTimeAndTheResetTabFindsTheNewRenderer)
{
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    const size_t items = ChildCount(page.Get());
    EXPECT_GT(items, 3u) << "the tab reads the live page through the renderer process";

    // The renderer thread is busy: the next call waits in the renderer
    // until the page has crashed under it.
    std::string answer;
    ASSERT_EQ(S_OK, Standin().RendererCommand(kTabId, "block 20000", answer));
    std::atomic<HRESULT> result{E_PENDING};
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID_IDispatch, page.Get(), &stream));
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            ComPtr<IDispatch> object;
            CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf()));
            DISPPARAMS none = {};
            vx::com::Variant record;
            result = object ? object->Invoke(kGetChildrenInformation, IID_NULL, 0, DISPATCH_METHOD, &none,
                                             record.Out(), nullptr, nullptr)
                            : E_NOINTERFACE;
        }
        CoUninitialize();
    });
    Sleep(300);
    const DWORD crashedAt = GetTickCount();
    // The process may end before it answers: a renderer goes with its page.
    Standin().RendererCommand(kTabId, "crash", answer);
    caller.join();
    EXPECT_TRUE(FAILED(result.load())) << std::hex << result.load();
    EXPECT_LT(GetTickCount() - crashedAt, 8000u) << "the call outlived the crash by more than the time-out";
    EXPECT_NE(S_OK, Standin().RendererCommand(kTabId, "handles", answer)) << "the renderer process lives on";
    page.Reset();

    // Chrome reports the connection gone and gives the tab a new renderer
    // on the same page; the tab, reset, finds it.
    ASSERT_EQ(S_OK, Standin().RemoveBrowser(kTabId));
    Standin().FlushNotifications();
    ComPtr<IDispatch> again = PageObject();
    ASSERT_TRUE(again);
    EXPECT_EQ(items, ChildCount(again.Get()));
}

} // namespace
} // namespace livetests
