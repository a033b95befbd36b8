// The rendezvous between real processes: a publisher process offers the
// services for a browser process id, a consumer process (a Chrome child by
// its --channel switch) finds and calls them.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "InteractiveChild.h"

using namespace rendezvous_tests;

namespace {

const char* const kOk = "hr=0x00000000";
const char* const kFail = "hr=0x80004005";

class RendezvousProcessTest : public ::testing::Test
{
protected:
    // A browser process id of this test's own, so parallel tests never meet.
    DWORD BrowserPid() const { return GetCurrentProcessId(); }

    std::unique_ptr<InteractiveChild> StartPublisher(const std::wstring& tag, const std::wstring& extra = L"")
    {
        auto publisher =
            std::make_unique<InteractiveChild>(L"\"" + ProgramPath(L"vxservicepublisher.exe") + L"\" --browser-pid=" +
                                               std::to_wstring(BrowserPid()) + L" --tag=" + tag + L" " + extra);
        EXPECT_TRUE(publisher->Started()) << publisher->StartFailure();
        return publisher;
    }

    std::unique_ptr<InteractiveChild> StartConsumer(const std::wstring& channel, const std::wstring& extra = L"")
    {
        auto consumer = std::make_unique<InteractiveChild>(
            L"\"" + ProgramPath(L"vxserviceconsumer.exe") + L"\" --type=renderer " + channel + L" " + extra,
            std::map<std::wstring, std::wstring>{{L"Vantorix8_Product_Path", LayoutDirectory()}});
        EXPECT_TRUE(consumer->Started()) << consumer->StartFailure();
        EXPECT_EQ(consumer->WaitFor("consumer started"), "");
        return consumer;
    }

    std::wstring OwnChannel() const { return L"--channel=" + std::to_wstring(BrowserPid()) + L".3.1"; }

    static std::string PublisherAnswer(const InteractiveChild& publisher, const std::string& tag)
    {
        return " pid=" + std::to_string(publisher.ProcessId()) + " tag=" + tag;
    }
};

TEST_F(RendezvousProcessTest, AConsumerFindsTheServicesOfItsBrowserProcessAndCallsThem)
{
    auto publisher = StartPublisher(L"alpha");
    std::string published = publisher->WaitFor("published browser ");
    EXPECT_EQ(published, "Global\\npvxCrBrowserService" + std::to_string(BrowserPid()) + "_ver8_0 hr=0x00000000");
    ASSERT_EQ(publisher->WaitFor("ready"), "");

    auto consumer = StartConsumer(OwnChannel());
    consumer->Send("lookup browser");
    EXPECT_EQ(consumer->WaitFor("lookup "), kOk + PublisherAnswer(*publisher, "alpha"));
    consumer->Send("lookup tabs");
    EXPECT_EQ(consumer->WaitFor("lookup "), kOk + PublisherAnswer(*publisher, "alpha"));
    EXPECT_EQ(consumer->Finish(), 0u);
}

TEST_F(RendezvousProcessTest, ServiceNamesCarryTheBrowserProcessIdFromTheChannel)
{
    auto consumer = StartConsumer(L"--channel=4321.7.9");
    consumer->Send("names");
    EXPECT_EQ(consumer->WaitFor("browser-name="), "npvxCrBrowserService4321_ver8_0");
    EXPECT_EQ(consumer->WaitFor("tabs-name="), "npvxCrTabsService4321_ver8_0");

    // A channel without a "." names nothing, and nothing is looked up.
    auto orphan = StartConsumer(L"--channel=4321");
    orphan->Send("names");
    EXPECT_EQ(orphan->WaitFor("browser-name="), "<none>");
    orphan->Send("lookup browser");
    EXPECT_EQ(orphan->WaitFor("lookup "), std::string(kFail) + " pid=0 tag=<none>");
}

TEST_F(RendezvousProcessTest, AnUnsignalledReadyEventKeepsTheServiceUnread)
{
    auto publisher = StartPublisher(L"late", L"--unsignalled");
    ASSERT_EQ(publisher->WaitFor("ready"), "");
    auto consumer = StartConsumer(OwnChannel());
    consumer->Send("lookup browser");
    EXPECT_EQ(consumer->WaitFor("lookup "), std::string(kFail) + " pid=0 tag=<none>");

    publisher->Send("signal");
    ASSERT_EQ(publisher->WaitFor("signalled"), "");
    consumer->Send("lookup browser");
    EXPECT_EQ(consumer->WaitFor("lookup "), kOk + PublisherAnswer(*publisher, "late"));
}

TEST_F(RendezvousProcessTest, ServicesPublishedUnderPlainNamesOnlyAreFound)
{
    auto publisher = StartPublisher(L"plain", L"--plain-only");
    EXPECT_EQ(publisher->WaitFor("published browser "),
              "npvxCrBrowserService" + std::to_string(BrowserPid()) + "_ver8_0 hr=0x00000000");
    ASSERT_EQ(publisher->WaitFor("ready"), "");
    auto consumer = StartConsumer(OwnChannel());
    consumer->Send("lookup browser");
    EXPECT_EQ(consumer->WaitFor("lookup "), kOk + PublisherAnswer(*publisher, "plain"));
}

TEST_F(RendezvousProcessTest, ASecondPublisherOfTheSameNameIsRefused)
{
    auto first = StartPublisher(L"first");
    ASSERT_EQ(first->WaitFor("ready"), "");
    auto second = StartPublisher(L"second", L"--services=browser");
    EXPECT_EQ(second->WaitFor("published browser "),
              "npvxCrBrowserService" + std::to_string(BrowserPid()) + "_ver8_0 hr=0x8000FFFF");
    EXPECT_EQ(second->Finish(), 2u);

    auto consumer = StartConsumer(OwnChannel());
    consumer->Send("lookup browser");
    EXPECT_EQ(consumer->WaitFor("lookup "), kOk + PublisherAnswer(*first, "first"));
}

TEST_F(RendezvousProcessTest, TheConnectionRendezvousesOnTheInvokerAndKeepsTheService)
{
    auto publisher = StartPublisher(L"kept");
    ASSERT_EQ(publisher->WaitFor("ready"), "");
    auto consumer = StartConsumer(OwnChannel());
    consumer->Send("use");
    EXPECT_EQ(consumer->WaitFor("use "), kOk + PublisherAnswer(*publisher, "kept") + " rendezvous-thread=invoker");
    consumer->Send("use");
    EXPECT_EQ(consumer->WaitFor("use "), kOk + PublisherAnswer(*publisher, "kept") + " rendezvous-thread=none");
}

TEST_F(RendezvousProcessTest, AfterThePublisherDiesTheNextUseReconnectsToANewOne)
{
    auto first = StartPublisher(L"first");
    ASSERT_EQ(first->WaitFor("ready"), "");
    auto consumer = StartConsumer(OwnChannel());
    consumer->Send("use");
    ASSERT_EQ(consumer->WaitFor("use "), kOk + PublisherAnswer(*first, "first") + " rendezvous-thread=invoker");

    first->Kill();
    auto second = StartPublisher(L"second");
    ASSERT_EQ(second->WaitFor("published browser "),
              "Global\\npvxCrBrowserService" + std::to_string(BrowserPid()) + "_ver8_0 hr=0x00000000");
    consumer->Send("use");
    EXPECT_EQ(consumer->WaitFor("use "), kOk + PublisherAnswer(*second, "second") + " rendezvous-thread=invoker");
}

TEST_F(RendezvousProcessTest, AfterThePublisherDiesWithoutSuccessorUseFailsCleanly)
{
    auto publisher = StartPublisher(L"only");
    ASSERT_EQ(publisher->WaitFor("ready"), "");
    auto consumer = StartConsumer(OwnChannel());
    consumer->Send("use");
    ASSERT_EQ(consumer->WaitFor("use "), kOk + PublisherAnswer(*publisher, "only") + " rendezvous-thread=invoker");

    publisher->Kill();
    consumer->Send("use");
    EXPECT_EQ(consumer->WaitFor("use "), std::string(kFail) + " pid=0 tag=<none> rendezvous-thread=invoker");
    // Still nothing there: every use fails the same way, none hangs.
    consumer->Send("use");
    EXPECT_EQ(consumer->WaitFor("use "), std::string(kFail) + " pid=0 tag=<none> rendezvous-thread=invoker");
}

} // namespace
