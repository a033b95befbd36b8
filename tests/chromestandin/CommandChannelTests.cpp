// The stand-in's text commands, run in-process: each verb's effect on the
// stand-in and its one-line answer, and the answers to malformed commands.
#include <gtest/gtest.h>

#include "CommandChannel.h"
#include "StandinFixture.h"

using chrome_standin::CommandChannel;
using chrome_standin::StandinService;
using vx::com::Variant;

namespace standin_tests {
namespace {

class CommandChannelTest : public StandinTest
{
protected:
    std::string Run(const std::string& line)
    {
        bool quit = false;
        std::string answer = CommandChannel(Standin()).Execute(line, quit);
        EXPECT_FALSE(quit) << line;
        return answer;
    }
};

TEST_F(CommandChannelTest, TabVerbsChangeTheTabs)
{
    EXPECT_EQ(Run("open 3 http://three/ 1"), "ok");
    EXPECT_EQ(Run("open 4 http://four/ 0 active"), "ok");
    EXPECT_TRUE(Standin().Tab(3)->loading);
    EXPECT_TRUE(Standin().Tab(4)->active);
    EXPECT_EQ(Run("open 3 http://again/"), "error 0x800700B7") << "an id that is open already";
    EXPECT_EQ(Run("update 3 http://three/b 0"), "ok");
    EXPECT_EQ(Standin().Tab(3)->url, L"http://three/b");
    EXPECT_EQ(Run("loading 3 1"), "ok");
    EXPECT_TRUE(Standin().Tab(3)->loading);
    EXPECT_EQ(Run("activate 3"), "ok");
    EXPECT_TRUE(Standin().Tab(3)->active);
    EXPECT_EQ(Run("tab 3"), "ok 3 1 1 browser-3-1 http://three/b");
    EXPECT_EQ(Run("tabs"), "ok 2 [3 1 1 browser-3-1 http://three/b] [4 0 0 browser-4-1 http://four/]");
    EXPECT_EQ(Run("removebrowser 3"), "ok browser-3-1 browser-3-2");
    EXPECT_EQ(Run("close 3"), "ok");
    EXPECT_FALSE(Standin().Tab(3));
    EXPECT_EQ(Run("close 3"), "error 0x80070057");
}

TEST_F(CommandChannelTest, TimingAndRectangleVerbs)
{
    ASSERT_EQ(Run("open 1 http://one/"), "ok");
    EXPECT_EQ(Run("behaviour 1 -1 0"), "ok");
    EXPECT_EQ(Run("schedule 1 0 -1"), "ok");
    // The load starts on the stand-in's own thread: wait for it, then see it stay.
    const DWORD start = GetTickCount();
    while (!Standin().Tab(1)->loading && GetTickCount() - start < 10000)
        Sleep(5);
    Sleep(100);
    EXPECT_TRUE(Standin().Tab(1)->loading) << "a load that never stops";
    EXPECT_EQ(Run("rect 1 10 20 300 200"), "ok");
    EXPECT_TRUE(Run("windows").rfind("ok frame=0x", 0) == 0);
    EXPECT_TRUE(Run("tabwindows 1").rfind("ok rwhh=0x", 0) == 0);
    EXPECT_EQ(Run("focus 1"), "ok");
    EXPECT_EQ(Run("rect 1 default"), "ok");
    EXPECT_EQ(Run("flush"), "ok");
}

TEST_F(CommandChannelTest, CallRuleVerbsReachTheServices)
{
    EXPECT_EQ(Run("refuse tabs 1 0x80004005"), "ok");
    Variant list;
    EXPECT_EQ(Call(Tabs(), 1, {}, &list), E_FAIL);
    EXPECT_EQ(Run("calls tabs 1"), "ok 1");
    EXPECT_EQ(Run("clearrules tabs"), "ok");
    EXPECT_EQ(Call(Tabs(), 1, {}, &list), S_OK);
    EXPECT_EQ(Run("delay browser 32 5"), "ok");
    EXPECT_EQ(Call(Browser(), 32, {}), S_OK);
    EXPECT_EQ(Run("calls browser 32"), "ok 1");
    EXPECT_EQ(Run("notifiers"), "ok tabs=0 browser=0");
    EXPECT_EQ(Run("options 1"), "ok 0");
}

TEST_F(CommandChannelTest, MalformedCommandsAreAnsweredWithAnError)
{
    for (const char* line : {"", "dance", "open", "open x http://x/", "close 1 2", "refuse nowhere 1 0x1",
                             "delay tabs 1", "rect 1 2 3", "schedule 1 -5 3"})
        EXPECT_EQ(Run(line).rfind("error", 0), 0u) << "'" << line << "'";
    bool quit = false;
    EXPECT_EQ(CommandChannel(Standin()).Execute("quit", quit), "ok bye");
    EXPECT_TRUE(quit);
}

} // namespace
} // namespace standin_tests
