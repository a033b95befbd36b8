#pragma once
// A published in-process Chrome stand-in (this test process is its browser
// process), the hook's tabs and browser service objects connected to it, and
// one hook tab for a tab opened in the stand-in. Tab notifications reach the
// hook tab through a small callback that does what the browser module does:
// URL and loading flag from updates, a renderer reset on a removed browser.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ChromeStandin.h"
#include "platform/process/ProcessOptions.h"
#include "platform/com/ComObject.h"
#include "services/BrowserServiceRemote.h"
#include "services/HookTab.h"
#include "services/TabsServiceRemote.h"
#include "tests/support/LibraryTypeInfo.h"

#define EXPECT_FAILED(expr) EXPECT_TRUE(FAILED(expr))

namespace hook_tab_tests {

class ComScope
{
public:
    ComScope() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~ComScope() { CoUninitialize(); }
};

using testsupport::LoadLibraryTypeInfo;

// Milliseconds since `start` (GetTickCount).
DWORD ElapsedSince(DWORD start);

// What the browser module does with the notifications, for the tabs the test
// made.
class TabForwarder
    : public vx::com::ComObject<TabForwarder, IvxCrTabsServiceRemoteCallback, IvxCrBrowserServiceRemoteCallback>
{
public:
    void Add(CCrHookTab* tab)
    {
        vx::com::CriticalSectionLock guard(objectLock_);
        tabs_.emplace_back(tab);
    }
    void Clear()
    {
        std::vector<Microsoft::WRL::ComPtr<CCrHookTab>> released;
        {
            vx::com::CriticalSectionLock guard(objectLock_);
            released.swap(tabs_);
        }
        for (auto& tab : released)
            tab->Close();
    }

    STDMETHODIMP OnTabCreated(LONG, VARIANT_BOOL, BSTR) override { return S_OK; }
    STDMETHODIMP OnTabRemoved(LONG) override { return S_OK; }
    STDMETHODIMP OnTabUpdated(LONG tabId, VARIANT_BOOL loading, BSTR url) override
    {
        if (Microsoft::WRL::ComPtr<CCrHookTab> tab = Find([tabId](CCrHookTab& t) { return t.TabId() == tabId; })) {
            tab->SetUrl(url);
            tab->SetLoading(loading != VARIANT_FALSE);
        }
        return S_OK;
    }
    STDMETHODIMP OnBrowserServiceEvent() override { return S_OK; }
    STDMETHODIMP OnRemoveBrowser(BSTR key) override
    {
        if (Microsoft::WRL::ComPtr<CCrHookTab> tab = Find([key](CCrHookTab& t) { return t.HoldsBrowserKey(key); }))
            tab->ResetRenderer();
        return S_OK;
    }

private:
    template <class Predicate>
    Microsoft::WRL::ComPtr<CCrHookTab> Find(Predicate predicate)
    {
        vx::com::CriticalSectionLock guard(objectLock_);
        for (auto& tab : tabs_)
            if (predicate(*tab.Get()))
                return tab;
        return nullptr;
    }

    std::vector<Microsoft::WRL::ComPtr<CCrHookTab>> tabs_;
};

class StandinTabTest : public ::testing::Test
{
protected:
    static constexpr LONG kTabId = 12;
    static constexpr wchar_t kFirstUrl[] = L"http://example.test/start";

    void SetUp() override;
    void TearDown() override;
    // Every tab shows the naming page in a renderer process of its own with
    // the library in it; a test that counts or refuses the quick browser's
    // calls uses the stand-in's own quick browser instead.
    virtual chrome_standin::StandinOptions Options();
    static chrome_standin::StandinOptions WithStandinQuickBrowser() { return {}; }

    // A second hook tab for another stand-in tab (closed at tear-down).
    Microsoft::WRL::ComPtr<CCrHookTab> MakeTab(LONG tabId);

    chrome_standin::ChromeStandin& Standin() { return *standin_; }
    CCrHookTab& Tab() { return *tab_.Get(); }
    chrome_standin::TabSnapshot StandinTab(LONG tabId = kTabId) { return *standin_->Tab(tabId); }

    // Sets a process option as the host would.
    static void SetOption(const GUID& key, const VARIANT& value);
    static void SetBoolOption(const GUID& key, bool value);
    static void SetTextOption(const GUID& key, const wchar_t* text);

    ComScope com_;
    std::unique_ptr<chrome_standin::ChromeStandin> standin_;
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubManager_;
    Microsoft::WRL::ComPtr<TabForwarder> forwarder_;
    Microsoft::WRL::ComPtr<CCrTabsServiceRemote> tabsService_;
    Microsoft::WRL::ComPtr<CCrBrowserServiceRemote> browserService_;
    Microsoft::WRL::ComPtr<CCrHookTab> tab_;
};

} // namespace hook_tab_tests
