// The browser module runs in this test process, which is the browser
// process; the tabs and browser services come from the Chrome stand-in
// program published for this process. The program is killed while the engine
// holds tab objects: every later call through them fails (and comes back in
// time), the module lives on, and a stand-in started again is found on the
// next use, with a tab list that shows its tabs only.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "BoundedCall.h"
#include "InteractiveChild.h"
#include "TestEnvironment.h"
#include "generated/vxCrHook.h"
#include "harness/host/TestHost.h"
#include "module/CrHookModule.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using rendezvous_tests::InteractiveChild;
using rendezvous_tests::ProgramPath;

namespace browser_process_tests {
namespace {

using browser_services_tests::ComEnvironment;
using browser_services_tests::WaitUntil;

// Generous limits: a call into a dead process must fail, not wait for it.
constexpr DWORD kCallLimitMs = 10000;

class StandinKillTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        standin_ = StartStandin();
        ASSERT_TRUE(standin_);
        ASSERT_EQ(Command(*standin_, "open 4 http://four.test/"), "ok");
        ASSERT_EQ(Command(*standin_, "open 6 http://six.test/"), "ok");

        ASSERT_EQ(vx::com::CreateComObject(host_), S_OK);
        ASSERT_EQ(vx::com::CreateComObject(module_), S_OK);
        ComPtr<IUnknown> registryObject;
        ComPtr<IvxModuleRegistry> registry;
        ASSERT_EQ(host_->GetModuleRegistry(&registryObject), S_OK);
        ASSERT_EQ(registryObject.As(&registry), S_OK);
        ASSERT_EQ(module_->Initialize(registry.Get(), host_->Identity()), S_OK);

        module_->EnsureTabsLoaded();
        ASSERT_TRUE(module_->TabsLoaded());
        ASSERT_EQ(Command(*standin_, "notifiers"), "ok tabs=1 browser=0");

        // What the engine holds: a tab, its page identification object, and
        // the renderer connection made by asking for the document.
        tab_ = module_->FindTabById(4);
        ASSERT_TRUE(tab_);
        ComPtr<IDispatch> instance;
        ASSERT_EQ(tab_->GetTabInstance(instance), S_OK);
        ASSERT_EQ(instance.As(&page_), S_OK);
        vx::com::Variant document;
        ASSERT_EQ(page_->get_contentDocument(document.Get()), S_OK);
        ASSERT_EQ(document.Type(), VT_DISPATCH);
        ASSERT_TRUE(V_DISPATCH(document.Get()));
        ASSERT_TRUE(tab_->IsRendererConnected());
        LONG left = 0, top = 0, width = 0, height = 0;
        ASSERT_EQ(tab_->Geometry(left, top, width, height), S_OK);
        EXPECT_GT(width, 0);
    }

    void TearDown() override
    {
        page_.Reset();
        tab_.Reset();
        if (module_)
            module_->Shutdown();
        module_.Reset();
        host_.Reset();
        if (standin_ && standin_->Started())
            standin_->Kill();
        standin_.reset();
    }

    static std::unique_ptr<InteractiveChild> StartStandin()
    {
        auto child = std::make_unique<InteractiveChild>(L"\"" + ProgramPath(L"vxchromestandin.exe") +
                                                        L"\" --publish-pid=" + std::to_wstring(GetCurrentProcessId()));
        if (!child->Started() || child->WaitFor("ready ") != std::to_string(child->ProcessId()))
            return nullptr;
        return child;
    }

    static std::string Command(InteractiveChild& child, const std::string& line)
    {
        child.Send(line);
        return child.WaitFor("");
    }

    // The calls of the engine's objects and the tab, each bounded.
    BoundedResult ContentDocument(IvxWebPage* page)
    {
        ComPtr<IvxWebPage> held(page);
        return CallWithin(kCallLimitMs, "contentDocument", [held] {
            vx::com::Variant document;
            HRESULT hr = held->get_contentDocument(document.Get());
            if (SUCCEEDED(hr) && (document.Type() != VT_DISPATCH || !V_DISPATCH(document.Get())))
                return S_FALSE; // success without a document counts as no document
            return hr;
        });
    }

    BoundedResult Navigate(IvxWebPage* page, const wchar_t* url)
    {
        ComPtr<IvxWebPage> held(page);
        std::wstring target(url);
        return CallWithin(kCallLimitMs, "NavigateTo", [held, target] {
            vx::com::BStr text(target.c_str());
            return held->NavigateTo(text.Get());
        });
    }

    BoundedResult Geometry(CCrHookTab* tab)
    {
        ComPtr<CCrHookTab> held(tab);
        return CallWithin(kCallLimitMs, "Geometry", [held] {
            LONG left = 0, top = 0, width = 0, height = 0;
            return held->Geometry(left, top, width, height);
        });
    }

    ComEnvironment env_;
    std::unique_ptr<InteractiveChild> standin_;
    ComPtr<harness::TestHookHost> host_;
    ComPtr<CCrHookModule> module_;
    ComPtr<CCrHookTab> tab_;
    ComPtr<IvxWebPage> page_;
};

TEST_F(StandinKillTest, HeldObjectsFailInTimeAndTheModuleLivesOn)
{
    ASSERT_TRUE(standin_->Kill());

    // The renderer connection held is dead: the document call fails; the
    // tab itself is still listed (only the browser service was asked).
    BoundedResult document = ContentDocument(page_.Get());
    EXPECT_TRUE(FAILED(document.hr)) << std::hex << document.hr;
    EXPECT_TRUE(tab_->IsAlive());

    // Wait calls nothing out: it waits for a load that never starts and
    // answers within its start limit.
    ComPtr<IvxWebPage> page = page_;
    auto wait = [page] {
        BSTR url = nullptr;
        HRESULT hr = page->Wait(&url);
        SysFreeString(url);
        return hr;
    };
    BoundedResult waitAlive = CallWithin(kCallLimitMs, "Wait", wait);
    EXPECT_LE(waitAlive.elapsedMs, CCrHookTab::kWaitStartMs + 1000);

    // Navigation asks the tabs service, whose process has gone: the call
    // fails, and the tabs of that browser are closed with it.
    BoundedResult navigate = Navigate(page_.Get(), L"http://four.test/next");
    EXPECT_TRUE(FAILED(navigate.hr)) << std::hex << navigate.hr;
    EXPECT_FALSE(tab_->IsAlive());
    EXPECT_TRUE(module_->CopyTabs().empty()) << "tabs of a browser that is gone stay listed";

    // Everything held fails from then on, at once.
    BoundedResult geometry = Geometry(tab_.Get());
    EXPECT_TRUE(FAILED(geometry.hr)) << std::hex << geometry.hr;
    BoundedResult reconnect =
        CallWithin(kCallLimitMs, "ConnectRenderer", [tab = tab_] { return tab->ConnectRenderer(); });
    EXPECT_TRUE(FAILED(reconnect.hr)) << std::hex << reconnect.hr;
    EXPECT_FALSE(tab_->IsRendererConnected());
    BoundedResult waitClosed = CallWithin(kCallLimitMs, "Wait", wait);
    EXPECT_TRUE(FAILED(waitClosed.hr)) << std::hex << waitClosed.hr;
    EXPECT_TRUE(FAILED(ContentDocument(page_.Get()).hr));

    std::printf("after the kill: contentDocument 0x%08lx in %lu ms, Wait 0x%08lx in %lu ms, NavigateTo 0x%08lx in %lu "
                "ms, then Geometry 0x%08lx in %lu ms, ConnectRenderer 0x%08lx in %lu ms, Wait 0x%08lx in %lu ms\n",
                static_cast<unsigned long>(document.hr), static_cast<unsigned long>(document.elapsedMs),
                static_cast<unsigned long>(waitAlive.hr), static_cast<unsigned long>(waitAlive.elapsedMs),
                static_cast<unsigned long>(navigate.hr), static_cast<unsigned long>(navigate.elapsedMs),
                static_cast<unsigned long>(geometry.hr), static_cast<unsigned long>(geometry.elapsedMs),
                static_cast<unsigned long>(reconnect.hr), static_cast<unsigned long>(reconnect.elapsedMs),
                static_cast<unsigned long>(waitClosed.hr), static_cast<unsigned long>(waitClosed.elapsedMs));

    // Without a browser the module still answers, and keeps looking.
    EXPECT_TRUE(module_->HasWorker());
    EXPECT_FALSE(module_->IsTabsServiceConnected());
    module_->EnsureTabsLoaded();
    EXPECT_FALSE(module_->TabsLoaded());
    EXPECT_TRUE(module_->CopyTabs().empty());
}

TEST_F(StandinKillTest, ANewStandinIsFoundOnTheNextUse)
{
    ASSERT_TRUE(standin_->Kill());
    // The engine uses its held page once while no browser runs.
    EXPECT_TRUE(FAILED(Navigate(page_.Get(), L"http://four.test/next").hr));

    standin_ = StartStandin();
    ASSERT_TRUE(standin_);
    ASSERT_EQ(Command(*standin_, "open 4 http://four-again.test/"), "ok");
    ASSERT_EQ(Command(*standin_, "open 9 http://nine.test/"), "ok");

    // The next use connects the tabs service anew and registers for its
    // notifications; the list is read from the new browser.
    EXPECT_TRUE(module_->IsTabsServiceConnected());
    EXPECT_EQ(Command(*standin_, "notifiers"), "ok tabs=1 browser=0");
    module_->EnsureTabsLoaded();
    EXPECT_TRUE(module_->TabsLoaded());
    ComPtr<CCrHookTab> nine = module_->FindTabById(9);
    ASSERT_TRUE(nine);
    EXPECT_EQ(nine->Url().Str(), L"http://nine.test/");
    EXPECT_FALSE(module_->FindTabById(6)) << "a tab of the dead browser is still listed";
    ComPtr<CCrHookTab> four = module_->FindTabById(4);
    ASSERT_TRUE(four);
    EXPECT_EQ(four->Url().Str(), L"http://four-again.test/");

    // The new browser's notifications reach the list.
    ASSERT_EQ(Command(*standin_, "open 11 http://eleven.test/"), "ok");
    EXPECT_TRUE(WaitUntil([&] { return module_->FindTabById(11) != nullptr; }));

    // Renderers connect through the new browser service: for a new tab and
    // for the tab whose id the new browser uses again.
    for (const ComPtr<CCrHookTab>& tab : {nine, four}) {
        ComPtr<IDispatch> instance;
        ASSERT_EQ(tab->GetTabInstance(instance), S_OK);
        ComPtr<IvxWebPage> page;
        ASSERT_EQ(instance.As(&page), S_OK);
        BoundedResult document = ContentDocument(page.Get());
        EXPECT_EQ(document.hr, S_OK) << "tab " << tab->TabId() << std::hex << " 0x" << document.hr;
        EXPECT_TRUE(tab->IsRendererConnected()) << "tab " << tab->TabId();
        EXPECT_EQ(Geometry(tab.Get()).hr, S_OK) << "tab " << tab->TabId();
    }
    EXPECT_EQ(Command(*standin_, "notifiers"), "ok tabs=1 browser=1");

    // The page object held from the dead browser belongs to a page that is
    // gone: it keeps failing rather than showing the new browser's tab 4.
    EXPECT_TRUE(FAILED(ContentDocument(page_.Get()).hr));
}

} // namespace
} // namespace browser_process_tests
