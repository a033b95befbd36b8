// The start-up warning shown when a tab window is looked up depends on the
// browser's command line: probes run as browser processes with the switches
// under test, with the extension's services reachable.
#include <gtest/gtest.h>

#include "ChildProcess.h"

using namespace testsupport;

namespace {

ChildResult RunProbe(const std::wstring& switches)
{
    return RunChild(Quote(ExecutableDirectory() + L"\\browser_warning_probe.exe") + L" " + switches);
}

TEST(BrowserWarnings, TheCommandLineChoosesTheWarning)
{
    struct Case
    {
        const wchar_t* switches;
        std::vector<std::string> warnings;
    } cases[] = {
        {L"", {"{23FFEED6-422D-4434-958E-79DD726D9D50} 4502"}},
        {L"--disable-hang-monitor", {}},
        {L"--Disable-Extensions --disable-hang-monitor", {"{23FFEED6-422D-4434-958E-79DD726D9D50} 4501"}},
        {L"--single-process", {"{23FFEED6-422D-4434-958E-79DD726D9D50} 4501"}},
        // A switch with a value is not the switch.
        {L"--single-process=1 --disable-hang-monitor", {}},
    };
    for (const Case& c : cases) {
        ChildResult run = RunProbe(c.switches);
        EXPECT_EQ(run.Value("initialize: "), "0x00000000") << run.output;
        EXPECT_EQ(run.Value("found: "), "2") << Narrow(c.switches) << "\n" << run.output;
        EXPECT_EQ(run.Values("warning: "), c.warnings) << Narrow(c.switches);
        EXPECT_EQ(run.Value("done"), "") << run.output;
        EXPECT_EQ(run.exitCode, 0u);
    }
}

} // namespace
