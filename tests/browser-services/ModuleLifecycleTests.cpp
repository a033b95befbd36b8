// The browser module around its tab list: start-loading listeners and
// extenders among its supports, the start-up warnings when a browser window
// is looked up, and what shutdown lets go.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "ModuleFixture.h"
#include "harness/host/TestHost.h"

using Microsoft::WRL::ComPtr;
using namespace browser_services_tests;

namespace {

// A support that listens for tabs starting to load and is an extender.
class ListeningSupport : public vx::com::ComObject<ListeningSupport, IvxCrStartLoadingListener, IvxCrExtender>
{
public:
    HRESULT STDMETHODCALLTYPE OnStartLoading(IUnknown* tab) override
    {
        ComPtr<IUnknown> identity;
        tab->QueryInterface(IID_PPV_ARGS(&identity));
        std::lock_guard<std::mutex> guard(mutex_);
        started_.push_back(identity);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Shutdown() override
    {
        ++shutdowns;
        return S_OK;
    }
    std::vector<ComPtr<IUnknown>> Started()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return started_;
    }
    void Forget()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        started_.clear();
    }
    std::atomic<int> shutdowns{0};

private:
    std::mutex mutex_;
    std::vector<ComPtr<IUnknown>> started_;
};

std::vector<std::wstring> ShownWarnings(harness::TestHookHost& host)
{
    std::vector<std::wstring> shown;
    for (const harness::ShownMessage& message : host.Messages().Shown())
        shown.push_back(message.identifier + L" " + std::to_wstring(message.helpContext));
    return shown;
}

TEST_F(BrowserModuleTest, StartLoadingListenersHearOfEachStartAndExtendersOfShutdown)
{
    ComPtr<ListeningSupport> support;
    ASSERT_EQ(vx::com::CreateComObject(support), S_OK);
    ASSERT_EQ(module_->AddSupport(support->Identity()), S_OK);
    ASSERT_EQ(standin_->OpenTab(3, L"http://three/"), S_OK);
    Settle();
    ComPtr<CCrHookTab> three = module_->FindTabById(3);
    ASSERT_TRUE(three);
    ComPtr<IUnknown> threeIdentity;
    ASSERT_EQ(three.As(&threeIdentity), S_OK);

    ASSERT_EQ(standin_->SetTabLoading(3, true), S_OK);
    Settle();
    ASSERT_EQ(support->Started().size(), 1u);
    EXPECT_EQ(support->Started()[0].Get(), threeIdentity.Get());

    // Still loading, new URL: not a new start. Stopped, then started: one.
    ASSERT_EQ(standin_->UpdateTab(3, L"http://three/next", true), S_OK);
    ASSERT_EQ(standin_->SetTabLoading(3, false), S_OK);
    ASSERT_EQ(standin_->SetTabLoading(3, true), S_OK);
    Settle();
    EXPECT_EQ(support->Started().size(), 2u);
    support->Forget();
    threeIdentity.Reset();
    three.Reset();

    EXPECT_EQ(support->shutdowns, 0);
    StopModule();
    EXPECT_EQ(support->shutdowns, 1);
}

TEST_F(BrowserModuleTest, LookingUpATabWindowFindsItsTabAndWarnsOfMissingSwitches)
{
    // Tab 3 knows its window from its renderer connection; tab 4, the
    // active one, is found by its content rectangle.
    ASSERT_EQ(standin_->OpenTab(3, L"http://three/"), S_OK);
    ASSERT_EQ(standin_->OpenTab(4, L"http://four/", false, true), S_OK);
    Settle();
    ASSERT_EQ(module_->FindTabById(3)->ConnectRenderer(), S_OK);
    HWND window = standin_->Tab(4)->windows.renderWidgetHost;
    ASSERT_TRUE(window);

    ComPtr<CCrHookTab> found = module_->FindTabByWindow(window);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->TabId(), 4);
    found = module_->FindTabByWindow(standin_->Tab(3)->windows.renderWidgetHost);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->TabId(), 3);
    EXPECT_TRUE(ShownWarnings(*host_.Get()).empty()) << "the stand-in's frame is a pop-up";

    // This test program runs without --disable-hang-monitor. The warning is
    // evaluated at every look-up; the host keys repeats on its identifier.
    HWND plain = PlainBrowserWindow();
    EXPECT_FALSE(module_->FindTabByWindow(plain));
    EXPECT_FALSE(module_->FindTabByWindow(plain));
    EXPECT_EQ(ShownWarnings(*host_.Get()), (std::vector<std::wstring>{L"{23FFEED6-422D-4434-958E-79DD726D9D50} 4502",
                                                                      L"{23FFEED6-422D-4434-958E-79DD726D9D50} 4502"}));
    EXPECT_FALSE(module_->FindTabByWindow(nullptr));
    EXPECT_EQ(ShownWarnings(*host_.Get()).size(), 2u) << "no warning for a null window";
}

TEST_F(BrowserModuleTest, ShutdownUnregistersTheNotifiersAndLetsTheTabsGo)
{
    ASSERT_EQ(standin_->OpenTab(3, L"http://three/"), S_OK);
    Settle();
    ComPtr<CCrHookTab> three = module_->FindTabById(3);
    ASSERT_EQ(three->ConnectRenderer(), S_OK);
    EXPECT_EQ(standin_->TabsNotifierCount(), 1u);
    EXPECT_EQ(standin_->BrowserEventsNotifierCount(), 1u);
    ComPtr<vxOpenAppHook::CStubManager> stubManager = module_->StubManager();
    // The two notifiers and the two page test objects of every tab.
    EXPECT_EQ(stubManager->Count(), 2u + 2u * module_->CopyTabs().size());

    StopModule();
    EXPECT_EQ(standin_->TabsNotifierCount(), 0u);
    // The stand-in keeps the switched-off events notifier until it ends, but
    // a detached notifier is no longer the stub manager's to wait for.
    EXPECT_EQ(standin_->BrowserEventsNotifierCount(), 1u);
    EXPECT_EQ(stubManager->Count(), 0u);
    stubManager.Reset();
    EXPECT_FALSE(three->IsAlive());
    EXPECT_EQ(standin_->CallCount(chrome_standin::StandinService::EventsRegistration, 2), 1)
        << "browser events switched off once";
    three.Reset();
}

// Without the Chrome extension's services.
class UnpublishedServicesTest : public BrowserModuleTest
{
protected:
    bool PublishServices() override { return false; }
};

TEST_F(UnpublishedServicesTest, AnUnreachableTabsServiceWarnsAndTheListIsFilledOnceItIsThere)
{
    ASSERT_EQ(standin_->OpenTab(3, L"http://three/"), S_OK);
    HWND window = standin_->Tab(3)->windows.renderWidgetHost;
    EXPECT_FALSE(module_->FindTabByWindow(window));
    EXPECT_FALSE(module_->TabsLoaded());
    HWND plain = PlainBrowserWindow();
    EXPECT_FALSE(module_->FindTabByWindow(plain));
    EXPECT_EQ(ShownWarnings(*host_.Get()), (std::vector<std::wstring>{L"{2E3D2518-A623-4853-9780-00C83879C48A} 4500"}));

    ASSERT_EQ(standin_->Publish(), S_OK);
    ComPtr<CCrHookTab> found = module_->FindTabByWindow(window);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->TabId(), 3);
    EXPECT_TRUE(module_->TabsLoaded());
    EXPECT_FALSE(module_->FindTabByWindow(plain));
    EXPECT_EQ(ShownWarnings(*host_.Get()).back(), L"{23FFEED6-422D-4434-958E-79DD726D9D50} 4502");
}

} // namespace
