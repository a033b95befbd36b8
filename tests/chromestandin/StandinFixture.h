#pragma once
// A started in-process stand-in for each test (not published: tests call
// its service objects directly unless they publish it themselves).
#include <gtest/gtest.h>

#include <memory>

#include "ChromeStandin.h"
#include "StandinTestSupport.h"

namespace standin_tests {

class StandinTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        standin_ = std::make_unique<chrome_standin::ChromeStandin>(Options());
        ASSERT_EQ(standin_->Start(), S_OK);
    }
    void TearDown() override { standin_.reset(); }
    virtual chrome_standin::StandinOptions Options() { return {}; }

    chrome_standin::ChromeStandin& Standin() { return *standin_; }
    IDispatch* Tabs() { return standin_->TabsService(); }
    IDispatch* Browser() { return standin_->BrowserService(); }

    // Registers a recording notifier with the tabs service (DISPID 32).
    Microsoft::WRL::ComPtr<RecordingNotifier> RegisterTabsNotifier(vx::com::Variant* registration = nullptr)
    {
        auto notifier = MakeNotifier();
        vx::com::Variant argument = Object(notifier.Get());
        vx::com::Variant result;
        EXPECT_EQ(Call(Tabs(), 32, {&argument}, &result), S_OK);
        EXPECT_EQ(result.Type(), VT_DISPATCH);
        if (registration)
            *registration = std::move(result);
        return notifier;
    }

    ComScope com_;
    std::unique_ptr<chrome_standin::ChromeStandin> standin_;
};

} // namespace standin_tests
