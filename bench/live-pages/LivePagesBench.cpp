// Live pages against their snapshots: the All walk and the fully expanded
// Tree model of the documentation page (about 3,000 elements), of the long
// insurance application form (about 1,900) and of the small checkout form
// (173, where the fixed cost of a round trip shows), each as one
// renderer-thread task, once over the page's snapshot and once live in
// headless Chromium (fetching ahead), side by side in one run. Prints the
// time of each (each side's fastest of five runs), their ratio, the time the
// live walk spent waiting for the page's answers and the part of it the page
// itself spent running the reads (the rest of the walk is the Wine side's),
// the live walk's round trips to the page, native calls per round trip, and
// the reads that still cost a round trip.
// Run through tests/live-pages/with-live-sidecar.sh (it sets VXCR_LIVE_PORT).
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/support/FrameworkWalks.h"
#include "harness/livepage/LiveNativeObject.h"
#include "harness/nativeobject/SnapshotNativeObject.h"
#include "tests/support/PagePath.h"

using Microsoft::WRL::ComPtr;
using namespace benchwalks;

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct WalkResult
{
    HRESULT hr = E_FAIL;
    double seconds = 0;
    long count = 0; // elements or items
};

// Times one walk as one renderer-thread task; `count` reads what it counted.
template <class Context, class Count>
WalkResult TimeWalk(IvxCrNativeChromeObject* native, CCrRawBrowserHelper* helper, VxCrRendererThreadCallback walk,
                    Count count)
{
    Context context;
    context.helper = helper;
    WalkResult result;
    const double start = Now();
    result.hr = native->RunOnRendererThread(walk, &context, 600000);
    result.seconds = Now() - start;
    result.count = count(context);
    return result;
}

WalkResult TimeAll(IvxCrNativeChromeObject* native, CCrRawBrowserHelper* helper)
{
    return TimeWalk<WalkContext>(native, helper, &WalkAll,
                                 [](const WalkContext& walk) { return walk.builder.named + walk.builder.numbered; });
}

WalkResult TimeTree(IvxCrNativeChromeObject* native, CCrRawBrowserHelper* helper)
{
    return TimeWalk<TreeContext>(native, helper, &ExpandTree, [](const TreeContext& tree) { return tree.items; });
}

ComPtr<CCrRawBrowserHelper> Attach(IvxCrNativeChromeObject* native)
{
    ComPtr<CCrRawBrowserHelper> helper;
    if (FAILED(vx::com::CreateComObject(helper)) || FAILED(helper->AttachNative(nullptr, native, CreateCrFwAdapters)))
        return nullptr;
    return helper;
}

constexpr int kRounds = 5;

bool BenchPage(const char* label, const std::string& snapshotPath, unsigned short port)
{
    ComPtr<harness::SnapshotNativeObject> snapshot =
        harness::CreateSnapshotNativeObject(testsupport::PagePath(snapshotPath));
    harness::LivePageOptions options;
    options.port = port;
    options.url = snapshot->Page().url;
    ComPtr<harness::LiveNativeObject> live;
    if (FAILED(vx::com::CreateComObject(live, options)))
        return false;
    ComPtr<CCrRawBrowserHelper> snapshotHelper = Attach(snapshot.Get());
    ComPtr<CCrRawBrowserHelper> liveHelper = Attach(live.Get());
    if (!snapshotHelper || !liveHelper)
        return false;

    bool ok = true;
    for (int walk = 0; walk < 2; ++walk) {
        const char* name = walk == 0 ? "All" : "Tree";
        auto run = walk == 0 ? &TimeAll : &TimeTree;
        run(snapshot.Get(), snapshotHelper.Get()); // warm both sides once
        run(live.Get(), liveHelper.Get());
        // Each side's fastest of a few runs, taken in turns: this machine's
        // noise only ever adds time. The live walk's figures are those of its
        // fastest run.
        WalkResult offline, online;
        long snapshotCalls = 0, trips = 0, calls = 0;
        double pageMs = 0, waitMs = 0;
        for (int round = 0; round < kRounds; ++round) {
            snapshot->ResetCounters();
            const WalkResult snapshotRun = run(snapshot.Get(), snapshotHelper.Get());
            if (round == 0 || snapshotRun.seconds < offline.seconds)
                offline = snapshotRun;
            snapshotCalls = 0;
            for (const auto& member : snapshot->CallsPerMember())
                snapshotCalls += member.second;
            live->ResetCounters();
            const WalkResult liveRun = run(live.Get(), liveHelper.Get());
            ok = ok && SUCCEEDED(snapshotRun.hr) && SUCCEEDED(liveRun.hr) && snapshotRun.count == liveRun.count;
            if (round == 0 || liveRun.seconds < online.seconds) {
                online = liveRun;
                trips = live->RoundTrips();
                calls = live->DomCalls();
                pageMs = live->PageMilliseconds();
                waitMs = live->WaitMilliseconds();
            }
        }
        std::printf("%-14s %-4s %6ld %s  snapshot %8.1f ms  live %8.1f ms (waiting %6.1f ms, in the page %6.1f)  "
                    "live/snapshot %6.2f  native calls %7ld (snapshot %7ld)  round trips %6ld  "
                    "calls per round trip %6.1f\n",
                    label, name, online.count, walk == 0 ? "elements" : "items   ", offline.seconds * 1000,
                    online.seconds * 1000, waitMs, pageMs, online.seconds / offline.seconds, calls, snapshotCalls,
                    trips, trips ? static_cast<double>(calls) / static_cast<double>(trips) : 0.0);
        std::printf("               round trips by read:");
        int shown = 0;
        for (const auto& [read, count] : live->RoundTripsPerRead()) {
            if (shown++ == 8)
                break;
            std::printf(" %s %ld;", read.c_str(), count);
        }
        std::printf("\n");
    }
    return ok;
}

} // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const unsigned short port = harness::LiveSidecarPortFromEnvironment();
    if (!port) {
        std::printf("VXCR_LIVE_PORT is not set: run this program through tests/live-pages/with-live-sidecar.sh\n");
        return 2;
    }
    std::printf("Goal: live within 3 times the snapshot walk, and the All walk under 1 s.\n");
    bool ok = true;
    try {
        ok = BenchPage("documentation", "snapshots/real/lang_expr.json", port) && ok;
        ok = BenchPage("insurance form", "snapshots/real/insurance-form.json", port) && ok;
        ok = BenchPage("checkout form", "snapshots/real/checkout-form.json", port) && ok;
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    if (!ok)
        std::printf("A walk failed, or the live walk saw another page than the snapshot.\n");
    return ok ? 0 : 1;
}
