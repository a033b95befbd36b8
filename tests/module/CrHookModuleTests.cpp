// The browser module's command-line flags and warnings, in processes with
// the command lines under test (the module reads its own process's).
#include <gtest/gtest.h>

#include "ChildProcess.h"

using namespace testsupport;

namespace {

ChildResult RunProbe(const std::wstring& switches, ChildOptions options = {})
{
    if (!options.setEnvironment.count(L"Vantorix8_Product_Path"))
        options.removeEnvironment.push_back(L"Vantorix8_Product_Path");
    return RunChild(Quote(ExecutableDirectory() + L"\\module_probe.exe") + L" " + switches, options);
}

TEST(CrHookModule, ConflictFlagNeedsAWholeSwitchInAnyCase)
{
    auto expectConflict = [](const wchar_t* switches, const char* expected) {
        ChildResult run = RunProbe(switches);
        EXPECT_EQ(run.Value("conflict: "), expected)
            << Narrow(switches) << ": exit status " << run.exitCode << ", output:\n"
            << run.output;
    };
    expectConflict(L"--single-process=1", "0");
    expectConflict(L"--SINGLE-PROCESS", "1");
    for (const wchar_t* s : {L"--in-process-plugins", L"--disable-plugins", L"--Disable-Extensions"})
        expectConflict(s, "1");
    expectConflict(L"", "0");
}

TEST(CrHookModule, HangMonitorFlag)
{
    EXPECT_EQ(RunProbe(L"").Value("hang-monitor: "), "1");
    EXPECT_EQ(RunProbe(L"--disable-hang-monitor").Value("hang-monitor: "), "0");
}

TEST(CrHookModule, InitializeRegistersAndStartsTheWorkerShutdownTakesBoth)
{
    ChildResult run = RunProbe(L"");
    EXPECT_EQ(run.Value("initialize: "), "0x00000000") << run.output;
    EXPECT_EQ(run.Value("worker: "), "1");
    // Without the COM utility module in the product folder there is no
    // synchronous invoker: the failure comes back instead of a call.
    EXPECT_NE(run.Value("sync-result: "), "0x00000000");
    EXPECT_EQ(run.Value("registered: "), "1");
    EXPECT_EQ(run.Value("worker-after-shutdown: "), "0");
    EXPECT_EQ(run.Value("registered-after-shutdown: "), "0");
    EXPECT_EQ(run.Value("second-shutdown: "), "ok");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST(CrHookModule, RemoteServicesSyncRunsOnTheSynchronousInvoker)
{
    // The product folder of the test layout holds the COM utility module.
    ChildOptions options;
    options.setEnvironment[L"Vantorix8_Product_Path"] = ParentDirectory(ExecutableDirectory()) + L"\\layout";
    ChildResult run = RunProbe(L"", options);
    EXPECT_EQ(run.Value("sync-result: "), "0x00000001") << run.output;
    EXPECT_EQ(run.Value("sync-other-thread: "), "1");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST(CrHookModule, WarningsFollowTheCommandLine)
{
    // Without the Chrome extension's tabs service the extension counts as
    // missing, unless a conflicting switch comes first. One call, one
    // message; the null window shows nothing.
    ChildResult plain = RunProbe(L"");
    EXPECT_EQ(plain.Values("warning: "), (std::vector<std::string>{"{2E3D2518-A623-4853-9780-00C83879C48A} 4500"}))
        << plain.output;
    ChildResult conflict = RunProbe(L"--disable-plugins --disable-hang-monitor");
    EXPECT_EQ(conflict.Values("warning: "), (std::vector<std::string>{"{23FFEED6-422D-4434-958E-79DD726D9D50} 4501"}));
}

} // namespace
