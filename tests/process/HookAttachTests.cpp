// Attaching the library in the kinds of Chrome processes, as the host does.
#include <gtest/gtest.h>

#include "HookHostRun.h"

using namespace testsupport;

namespace {

const char RecorderGuid[] = "{18EC443D-A84E-4D9C-BF1A-737A23E7DC35}";

size_t CountHidden(const ChildResult& run)
{
    size_t hidden = 0;
    for (const std::string& value : run.Values("registered: "))
        if (value == std::string(RecorderGuid) + " hidden")
            ++hidden;
    return hidden;
}

TEST(HookAttach, BrowserProcessRegistersProcessRecorderAndBrowserModules)
{
    ChildResult run = RunHookHost(L"--vxhost-detach-twice");
    ASSERT_EQ(run.Value("attach: "), "true") << run.output;
    EXPECT_EQ(run.Value("registered-count: "), "3");
    EXPECT_EQ(CountHidden(run), 1u);
    // Detach takes back all three registrations, and a second Detach is quiet.
    EXPECT_EQ(run.Values("unregistered: ").size(), 3u);
    EXPECT_EQ(run.Value("registered-after-detach: "), "0");
    EXPECT_EQ(run.Value("detach-again: "), "done");
    EXPECT_EQ(run.Value("unloaded"), "");
    EXPECT_EQ(run.exitCode, 0u);
}

TEST(HookAttach, RendererRegistersProcessModuleAndRecorderOnly)
{
    ChildResult run = RunHookHost(L"--channel=4321.1.2 --type=Renderer");
    ASSERT_EQ(run.Value("attach: "), "true") << run.output;
    EXPECT_EQ(run.Value("registered-count: "), "2");
    EXPECT_EQ(CountHidden(run), 1u);
    EXPECT_EQ(run.Value("registered-after-detach: "), "0");
}

TEST(HookAttach, OtherChromeProcessesAreLeftAlone)
{
    for (const wchar_t* switches : {L"--channel=4321.1.2 --type=plugin", L"--channel=4321.1.2 --type=gpu-process",
                                    L"--channel=4321.1.2", L"--channel=4321.1.2 --type=utility --type=renderer"}) {
        ChildResult run = RunHookHost(switches);
        EXPECT_EQ(run.Value("attach: "), "false") << Narrow(switches) << "\n" << run.output;
        EXPECT_EQ(run.Value("register-calls: "), "0") << Narrow(switches);
        EXPECT_EQ(run.exitCode, 0u);
    }
}

TEST(HookAttach, SecondAttachKeepsTheRegisteredModules)
{
    ChildResult run = RunHookHost(L"--vxhost-attach-twice");
    EXPECT_EQ(run.Value("attach: "), "true") << run.output;
    EXPECT_EQ(run.Value("attach-again: "), "true");
    EXPECT_EQ(run.Value("registered-count: "), "3");
    EXPECT_EQ(run.Value("registered-after-detach: "), "0");
}

TEST(HookAttach, RefusedRegistrationFailsAttachAndLeavesNothingRegistered)
{
    // The n-th registration is refused. In a renderer: 1 the process module,
    // 2 the recorder. In the browser process the browser module registers
    // first, so 2 is the process module: the browser module registered before
    // it must be taken back too.
    for (const wchar_t* switches :
         {L"--channel=1.2.3 --type=renderer --vxhost-refuse=1", L"--channel=1.2.3 --type=renderer --vxhost-refuse=2",
          L"--vxhost-refuse=2", L"--vxhost-refuse=3"}) {
        ChildResult run = RunHookHost(switches);
        EXPECT_EQ(run.Value("attach: "), "false") << Narrow(switches) << "\n" << run.output;
        EXPECT_EQ(run.Value("registered-count: "), "0") << Narrow(switches);
    }
}

TEST(HookAttach, RefusedBrowserModuleStillAttachesTheProcessModule)
{
    ChildResult run = RunHookHost(L"--vxhost-refuse=1");
    EXPECT_EQ(run.Value("attach: "), "true") << run.output;
    EXPECT_EQ(run.Value("registered-count: "), "2");
    EXPECT_EQ(run.Value("register-calls: "), "3");
    EXPECT_EQ(CountHidden(run), 1u);
}

TEST(HookAttach, RegistryWithoutRegistryInterfaceFailsAttach)
{
    ChildResult run = RunHookHost(L"--vxhost-broken-registry");
    EXPECT_EQ(run.Value("attach: "), "false") << run.output;
    EXPECT_EQ(run.Value("register-calls: "), "0");
}

TEST(HookAttach, UnloadNoticeReachesClientThenProxyNotifiers)
{
    ChildResult run = RunHookHost(L"--vxhost-notifiers");
    ASSERT_EQ(run.Value("add-notifier: "), "0x00000000") << run.output;
    EXPECT_EQ(run.Value("add-proxy-notifier: "), "0x00000000");
    std::vector<std::string> notices = run.Values("unload-notice: ");
    ASSERT_EQ(notices.size(), 2u) << run.output;
    EXPECT_EQ(notices[0], "client vxCrHook.dll");
    EXPECT_EQ(notices[1], "proxy vxCrHook.dll");
    // The proxy notifier removed itself from inside the notice: no deadlock.
    EXPECT_EQ(run.Value("self-remove: "), "0x00000000");
    EXPECT_EQ(run.exitCode, 0u);
}

} // namespace
