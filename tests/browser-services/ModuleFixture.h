#pragma once
// A browser module initialised with the hook host stand-in, in a test process
// that is itself the browser process: the Chrome stand-in publishes the tabs
// and browser services under this process's id.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ChromeStandin.h"
#include "TestEnvironment.h"
#include "harness/host/TestHost.h"
#include "module/CrHookModule.h"

namespace browser_services_tests {

// What a test sees of one tab of the module's list.
struct TabView
{
    LONG id = 0;
    std::wstring url;
    bool loading = false;
    LONG groupIndex = 0;
    bool grouped = false;

    bool operator==(const TabView& o) const
    {
        return id == o.id && url == o.url && loading == o.loading && groupIndex == o.groupIndex && grouped == o.grouped;
    }
};
std::ostream& operator<<(std::ostream& out, const TabView& tab);

class BrowserModuleTest : public ::testing::Test
{
protected:
    // Tab id of the tab that Settle updates; left out of Tabs().
    static constexpr LONG kSentinelTab = 1000;

    void SetUp() override;
    void TearDown() override;
    // False: the stand-in runs without publishing its services.
    virtual bool PublishServices() { return true; }

    // Waits until the module's worker has handled every notification the
    // stand-in has sent so far: notifications are handled in order, so a
    // fresh URL on the sentinel tab marks the point.
    void Settle();
    // The module's list without the sentinel tab.
    std::vector<TabView> Tabs();

    // A visible top-level window that is not a pop-up, with a child: the
    // stand-in's browser frame is a pop-up, which never gets a warning.
    HWND PlainBrowserWindow();

    void StartModule();
    void StopModule();

    ComEnvironment env_;
    std::unique_ptr<chrome_standin::ChromeStandin> standin_;
    Microsoft::WRL::ComPtr<harness::TestHookHost> host_;
    Microsoft::WRL::ComPtr<CCrHookModule> module_;

private:
    int settleCount_ = 0;
    HWND plainFrame_ = nullptr;
};

} // namespace browser_services_tests
