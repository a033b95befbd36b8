#include "HookTabFixture.h"

#include <vector>

#include "platform/com/ComObject.h"
#include "tests/support/PagePath.h"

using Microsoft::WRL::ComPtr;

namespace hook_tab_tests {

DWORD ElapsedSince(DWORD start)
{
    return GetTickCount() - start;
}

chrome_standin::StandinOptions StandinTabTest::Options()
{
    chrome_standin::StandinOptions options;
    options.rendererPage = testsupport::PagePath("snapshots/naming.json");
    return options;
}

void StandinTabTest::SetUp()
{
    ProcessOptions().Reset();
    standin_ = std::make_unique<chrome_standin::ChromeStandin>(Options());
    ASSERT_EQ(standin_->Start(), S_OK);
    ASSERT_EQ(standin_->Publish(), S_OK);
    ASSERT_EQ(standin_->OpenTab(kTabId, kFirstUrl, false, true), S_OK);

    ASSERT_EQ(vx::com::CreateComObject(stubManager_), S_OK);
    ASSERT_EQ(vx::com::CreateComObject(forwarder_), S_OK);
    ASSERT_EQ(vx::com::CreateComObject(tabsService_), S_OK);
    ASSERT_EQ(vx::com::CreateComObject(browserService_), S_OK);
    ASSERT_EQ(tabsService_->Initialize(stubManager_.Get(), nullptr, forwarder_.Get()), S_OK);
    ASSERT_EQ(browserService_->Initialize(stubManager_.Get(), nullptr, forwarder_.Get()), S_OK);
    // Connecting registers the tabs notifier, so updates flow from now on.
    ASSERT_TRUE(tabsService_->IsConnected());
    tab_ = MakeTab(kTabId);
    ASSERT_TRUE(tab_);
}

ComPtr<CCrHookTab> StandinTabTest::MakeTab(LONG tabId)
{
    ComPtr<CCrHookTab> tab;
    if (FAILED(vx::com::CreateComObject(tab)) ||
        FAILED(tab->Initialize(stubManager_.Get(), tabId, nullptr, tabsService_.Get(), browserService_.Get())))
        return nullptr;
    if (auto snapshot = standin_->Tab(tabId)) {
        vx::com::BStr url(snapshot->url.c_str());
        tab->SetUrl(url.Get());
        tab->SetLoading(snapshot->loading);
    }
    forwarder_->Add(tab.Get());
    return tab;
}

void StandinTabTest::SetOption(const GUID& key, const VARIANT& value)
{
    bool changed = false;
    ASSERT_EQ(ProcessOptions().SetOption(key, value, changed), S_OK);
}

void StandinTabTest::SetBoolOption(const GUID& key, bool value)
{
    VARIANT v;
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    SetOption(key, v);
}

void StandinTabTest::SetTextOption(const GUID& key, const wchar_t* text)
{
    vx::com::BStr value(text);
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = value.Get();
    SetOption(key, v);
}

void StandinTabTest::TearDown()
{
    if (forwarder_) {
        // Closes every tab made by the test (they hold the services).
        forwarder_->Clear();
    }
    if (tab_)
        tab_->Close();
    tab_.Reset();
    if (tabsService_)
        tabsService_->Uninitialize();
    if (browserService_)
        browserService_->Uninitialize();
    tabsService_.Reset();
    browserService_.Reset();
    forwarder_.Reset();
    standin_.reset();
    if (stubManager_)
        stubManager_->DisconnectAll();
    stubManager_.Reset();
    ProcessOptions().Reset();
}

} // namespace hook_tab_tests
