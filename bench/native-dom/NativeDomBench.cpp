// Native DOM access benchmark: walks the All collection of a large captured
// page the way the quick browser builds it (document.all enumeration,
// recognition, acceptance, string ids, unique names) on the stand-in's
// renderer thread, and prints per element: native calls, the library's own
// time and the stand-in's time for answering those calls, side by side. A
// second table does the same per item for the whole Tree model, expanded to
// every level.
#include <windows.h>

#include <cstdio>
#include <string>

#include "harness/nativeobject/NativeCallReport.h"
#include "harness/nativeobject/SnapshotNativeObject.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwEnumerators.h"
#include "webfw/TreeModel/TreeItemsBuild.h"
#include "bench/support/FrameworkWalks.h"

namespace {

using namespace benchwalks;

long NativeCalls(harness::SnapshotNativeObject& native)
{
    long calls = 0;
    for (int slot = static_cast<int>(harness::NativeSlot::GetWindowNode);
         slot < static_cast<int>(harness::NativeSlot::Count); ++slot)
        if (slot != static_cast<int>(harness::NativeSlot::RunOnRendererThread))
            calls += native.SlotCalls(static_cast<harness::NativeSlot>(slot));
    return calls;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(f.QuadPart);
}

// One measured run of `callback` on the stand-in's renderer thread: the
// library's time is the whole time less the stand-in's own.
struct TimedRun
{
    HRESULT hr = E_FAIL;
    double librarySeconds = 0;
    double standInSeconds = 0;
};

TimedRun RunTimed(harness::SnapshotNativeObject& native, VxCrRendererThreadCallback callback, void* context)
{
    TimedRun run;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    run.hr = native.RunOnRendererThread(callback, context, 600000);
    QueryPerformanceCounter(&end);
    run.standInSeconds = native.OwnSeconds();
    run.librarySeconds = Seconds(start, end) - run.standInSeconds;
    return run;
}

std::wstring DefaultSnapshot()
{
    std::string path = std::string(VX_PAGES_DIR) + "/large/snapshots/capi3ref.json";
    std::wstring out = L"Z:";
    for (char c : path)
        out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::wstring path = argc > 1 ? argv[1] : DefaultSnapshot();
    Microsoft::WRL::ComPtr<harness::SnapshotNativeObject> native;
    try {
        native = harness::CreateSnapshotNativeObject(path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot load %ls: %s\n", path.c_str(), e.what());
        return 2;
    }
    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> helper;
    vx::com::CreateComObject(helper);
    helper->AttachNative(nullptr, native.Get(), CreateCrFwAdapters);
    const long elements = static_cast<long>(native->Page().Prop(native->Page().documents[0].node, L"all")->list.size());
    const long handlesBefore = native->LiveHandles();

    const int rounds = 5;
    std::printf("page: %ls\nnodes: %ld, elements in document.all: %ld, rounds: %d\n", path.c_str(),
                native->Page().NodeCount(), elements, rounds);
    std::printf("%-6s %14s %14s %16s %16s %10s\n", "round", "calls/elem", "lookups", "library us/elem",
                "stand-in us/elem", "lib/stand");
    for (int round = 1; round <= rounds; ++round) {
        native->ResetCounters();
        WalkContext context;
        context.helper = helper.Get();
        const TimedRun run = RunTimed(*native.Get(), &WalkAll, &context);
        if (FAILED(run.hr)) {
            std::fprintf(stderr, "walk failed: 0x%08lx\n", static_cast<unsigned long>(run.hr));
            return 1;
        }
        long calls = NativeCalls(*native.Get());
        const double library = run.librarySeconds, standIn = run.standInSeconds;
        std::printf("%-6d %14.2f %14ld %16.2f %16.2f %10.2f\n", round, static_cast<double>(calls) / elements,
                    native->SlotCalls(harness::NativeSlot::GetIDOfName), library * 1e6 / elements,
                    standIn * 1e6 / elements, standIn > 0 ? library / standIn : 0.0);
        if (round == rounds)
            std::printf("members named: %ld, numbered: %ld; reads per element: nodeType %.2f, tagName %.2f, id %.2f, "
                        "name %.2f\n",
                        context.builder.named, context.builder.numbered,
                        static_cast<double>(native->MemberCalls(L"nodeType")) / elements,
                        static_cast<double>(native->MemberCalls(L"tagName")) / elements,
                        static_cast<double>(native->MemberCalls(L"id")) / elements,
                        static_cast<double>(native->MemberCalls(L"name")) / elements);
        if (round == rounds) {
            std::printf("calls per element by member (last round):\n");
            harness::PrintCallsPerMember(*native.Get(), elements, "element");
        }
    }
    std::printf("handles left behind: %ld\n", native->LiveHandles() - handlesBefore);

    std::printf("\nTree model, expanded to every level\n");
    std::printf("%-6s %10s %10s %14s %16s %16s %10s\n", "round", "items", "levels", "calls/item", "library us/item",
                "stand-in us/item", "lib/stand");
    for (int round = 1; round <= rounds; ++round) {
        native->ResetCounters();
        TreeContext context;
        context.helper = helper.Get();
        const TimedRun run = RunTimed(*native.Get(), &ExpandTree, &context);
        if (FAILED(run.hr) || context.items == 0) {
            std::fprintf(stderr, "tree expansion failed: 0x%08lx\n", static_cast<unsigned long>(run.hr));
            return 1;
        }
        const double library = run.librarySeconds, standIn = run.standInSeconds;
        std::printf("%-6d %10ld %10ld %14.2f %16.2f %16.2f %10.2f\n", round, context.items, context.levels,
                    static_cast<double>(NativeCalls(*native.Get())) / context.items, library * 1e6 / context.items,
                    standIn * 1e6 / context.items, standIn > 0 ? library / standIn : 0.0);
        if (round == rounds) {
            std::printf("calls per item by member (last round):\n");
            harness::PrintCallsPerMember(*native.Get(), context.items, "item");
        }
    }
    std::printf("handles left behind: %ld\n", native->LiveHandles() - handlesBefore);
    helper.Reset();
    native.Reset();
    CoUninitialize();
    return 0;
}
