#include "ModuleFixture.h"

#include <ostream>

#include "tests/support/PagePath.h"

using Microsoft::WRL::ComPtr;

namespace browser_services_tests {

std::ostream& operator<<(std::ostream& out, const TabView& tab)
{
    return out << "{" << tab.id << " " << std::string(tab.url.begin(), tab.url.end()) << (tab.loading ? " loading" : "")
               << " group " << tab.groupIndex << (tab.grouped ? "*" : "") << "}";
}

void BrowserModuleTest::SetUp()
{
    // Every tab shows the naming page in a renderer process of its own, with
    // the library in it, as Chrome's tabs do.
    chrome_standin::StandinOptions options;
    options.rendererPage = testsupport::PagePath("snapshots/naming.json");
    standin_ = std::make_unique<chrome_standin::ChromeStandin>(options);
    ASSERT_EQ(standin_->Start(), S_OK);
    if (PublishServices()) {
        ASSERT_EQ(standin_->Publish(), S_OK);
    }
    ASSERT_EQ(vx::com::CreateComObject(host_), S_OK);
    StartModule();
    // The engine's first look at a browser window connects the tabs service
    // (and so registers the notifier); the tests start from there.
    if (PublishServices()) {
        module_->EnsureTabsLoaded();
        ASSERT_TRUE(module_->TabsLoaded());
    }
}

void BrowserModuleTest::StartModule()
{
    ASSERT_EQ(vx::com::CreateComObject(module_), S_OK);
    ComPtr<IUnknown> registryObject;
    ComPtr<IvxModuleRegistry> registry;
    ASSERT_EQ(host_->GetModuleRegistry(&registryObject), S_OK);
    ASSERT_EQ(registryObject.As(&registry), S_OK);
    ASSERT_EQ(module_->Initialize(registry.Get(), host_->Identity()), S_OK);
}

void BrowserModuleTest::StopModule()
{
    if (module_)
        module_->Shutdown();
    module_.Reset();
}

HWND BrowserModuleTest::PlainBrowserWindow()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"BrowserServicesTestFrame";
    RegisterClassW(&windowClass);
    if (!plainFrame_)
        plainFrame_ = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                                      200, nullptr, nullptr, windowClass.hInstance, nullptr);
    return CreateWindowExW(0, windowClass.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, plainFrame_, nullptr,
                           windowClass.hInstance, nullptr);
}

void BrowserModuleTest::TearDown()
{
    if (plainFrame_)
        DestroyWindow(plainFrame_);
    StopModule();
    standin_.reset();
    host_.Reset();
}

void BrowserModuleTest::Settle()
{
    std::wstring marker = L"about:settled-" + std::to_wstring(++settleCount_);
    if (!standin_->Tab(kSentinelTab))
        ASSERT_EQ(standin_->OpenTab(kSentinelTab, marker), S_OK);
    else
        ASSERT_EQ(standin_->UpdateTab(kSentinelTab, marker, false), S_OK);
    ASSERT_TRUE(standin_->FlushNotifications());
    ASSERT_TRUE(WaitUntil([&] {
        ComPtr<CCrHookTab> sentinel = module_->FindTabById(kSentinelTab);
        return sentinel && sentinel->Url().Str() == marker;
    })) << "the worker did not reach the marker";
}

std::vector<TabView> BrowserModuleTest::Tabs()
{
    std::vector<TabView> views;
    for (const ComPtr<CCrHookTab>& tab : module_->CopyTabs()) {
        if (tab->TabId() == kSentinelTab)
            continue;
        views.push_back({tab->TabId(), tab->Url().Str(), tab->IsLoading(), tab->GroupIndex(), tab->HasGroup()});
    }
    return views;
}

} // namespace browser_services_tests
