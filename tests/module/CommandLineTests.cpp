#include <gtest/gtest.h>

#include "platform/process/ChromeProcess.h"
#include "platform/process/CommandLine.h"

namespace {

TEST(CommandLine, SwitchMustMatchWholeArgument)
{
    CCommandLine line(L"chrome.exe --single-process=1 --Disable-Extensions");
    EXPECT_FALSE(line.HasSwitch(L"--single-process", true));
    EXPECT_TRUE(line.HasSwitch(L"--disable-extensions", true));
    EXPECT_FALSE(line.HasSwitch(L"--disable-extensions", false));
}

TEST(CommandLine, ProgramPathIsNotASwitch)
{
    CCommandLine line(L"--single-process --other");
    EXPECT_FALSE(line.HasSwitch(L"--single-process", true));
    EXPECT_TRUE(line.HasSwitch(L"--other", true));
}

TEST(CommandLine, SwitchValueIsCaseInsensitiveAndFirstWins)
{
    CCommandLine line(L"\"C:\\Program Files\\chrome.exe\" --TYPE=Renderer --type=gpu-process");
    std::wstring value;
    ASSERT_TRUE(line.GetSwitchValue(L"type", value));
    EXPECT_EQ(value, L"Renderer");
    EXPECT_FALSE(line.GetSwitchValue(L"channel", value));
}

TEST(ChromeProcess, KindFromSwitches)
{
    EXPECT_EQ(GetChromeProcessKind(CCommandLine(L"chrome.exe --flag")), ChromeProcessKind::Browser);
    EXPECT_EQ(GetChromeProcessKind(CCommandLine(L"chrome.exe --channel=1234.5.6")), ChromeProcessKind::Other);
    EXPECT_EQ(GetChromeProcessKind(CCommandLine(L"chrome.exe --channel=1234.5.6 --type=RENDERER")),
              ChromeProcessKind::Renderer);
    EXPECT_EQ(GetChromeProcessKind(CCommandLine(L"chrome.exe --channel=1234.5.6 --type=plugin")),
              ChromeProcessKind::Plugin);
    EXPECT_EQ(GetChromeProcessKind(CCommandLine(L"chrome.exe --channel=1234.5.6 --type=gpu-process")),
              ChromeProcessKind::Other);
    // A type switch without a channel is still the browser process.
    EXPECT_EQ(GetChromeProcessKind(CCommandLine(L"chrome.exe --type=renderer")), ChromeProcessKind::Browser);
}

TEST(ChromeProcess, BrowserProcessIdFromChannel)
{
    DWORD id = 0;
    ASSERT_TRUE(GetBrowserProcessId(CCommandLine(L"chrome.exe --channel=1234.5.6"), 77, id));
    EXPECT_EQ(id, 1234u);
    ASSERT_TRUE(GetBrowserProcessId(CCommandLine(L"chrome.exe --channel=1234.5.6 --type=Renderer"), 77, id));
    EXPECT_EQ(id, 1234u);
    EXPECT_FALSE(GetBrowserProcessId(CCommandLine(L"chrome.exe --channel=1234 --type=renderer"), 77, id));
    ASSERT_TRUE(GetBrowserProcessId(CCommandLine(L"chrome.exe"), 77, id));
    EXPECT_EQ(id, 77u);
    ASSERT_TRUE(GetBrowserProcessId(CCommandLine(L"chrome.exe --channel=x12.3 --type=renderer"), 77, id));
    EXPECT_EQ(id, 0u);
}

} // namespace
