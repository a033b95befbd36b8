// Growth of the renderer-side walks with a page's depth and width: the All
// collection, the Tree model expanded to every level and XPath expressions
// over DIV chains of 1,000 and 10,000 levels and over 1,000, 10,000 and
// 100,000 siblings (pages made by tests/pages/hostile/make-pages.mjs). Prints
// microseconds per element for each size and the ratio to the smallest size
// of its family: about 1 means linear growth, a ratio that grows with the
// size means a walk slower than linear. Beside each, the walk's DOM calls per
// element: when they stay the same from size to size while the time per
// element grows, the walk does the same work per element and each call costs
// more (memory), rather than doing more work.
//
// Run by hand: bin/hostile_pages_bench.exe [hostile-pages folder]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "harness/nativeobject/SnapshotNativeObject.h"
#include "openapphook/StubManager.h"
#include "platform/com/ComObject.h"
#include "tests/hostile-pages/PageWalks.h"
#include "webfw/chrome/CrFwAdapters.h"

namespace {

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring WindowsPath(const std::wstring& folder, const std::string& name)
{
    std::wstring out = folder;
    if (!out.empty() && out[0] == L'/')
        out = L"Z:" + out;
    for (wchar_t& c : out)
        if (c == L'/')
            c = L'\\';
    return out + L"\\snapshots\\" + std::wstring(name.begin(), name.end()) + L".json";
}

struct Walk
{
    const char* title;
    // Runs the walk; false when it failed.
    bool (*run)(CCrRawBrowserHelper* helper, const std::wstring& probeId);
};

bool All(CCrRawBrowserHelper* helper, const std::wstring&)
{
    return SUCCEEDED(hostile::WalkAll(helper).result);
}

bool Tree(CCrRawBrowserHelper* helper, const std::wstring&)
{
    return SUCCEEDED(hostile::ExpandTree(helper).result);
}

bool XPath(CCrRawBrowserHelper* helper, const std::wstring& expression)
{
    vx::com::Variant result;
    return hostile::EvaluateXPath(helper, expression, result) == S_OK;
}

struct Page
{
    std::string name;
    long elements = 0;
    std::vector<double> seconds; // per walk
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const std::wstring folder = argc > 1 ? argv[1] : std::wstring(VX_HOSTILE_PAGES_DIR_W);
    // Each family: its pages, smallest first, and the element the XPath
    // expressions start from (near the end of the page).
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::wstring>>> families = {
        {{"deep-divs-1000", "deep-divs-10000"}, {L"d900", L"d9900"}},
        {{"wide-1000", "wide-10000", "wide-100000"}, {L"s990", L"s9990", L"s99990"}},
    };
    const char* titles[] = {"All", "Tree", "//DIV|//SPAN", "preceding::*", "ancestor::*", "following-sibling"};
    std::printf("%-16s %9s", "page", "elements");
    for (const char* title : titles)
        std::printf(" %25s", title);
    std::printf("\n%-26s", "");
    for (size_t i = 0; i < std::size(titles); ++i)
        std::printf(" %8s %6s %9s", "us/elem", "ratio", "calls/el");
    std::printf("\n");

    for (const auto& [names, probes] : families) {
        std::vector<double> firstPerElement;
        for (size_t p = 0; p < names.size(); ++p) {
            Microsoft::WRL::ComPtr<harness::SnapshotNativeObject> native;
            Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubs;
            Microsoft::WRL::ComPtr<CCrRawBrowserHelper> helper;
            try {
                if (FAILED(
                        vx::com::CreateComObject(native, harness::SnapshotPage::Load(WindowsPath(folder, names[p])))))
                    return 1;
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s: %s (make the pages with tests/pages/hostile/make-pages.mjs)\n",
                             names[p].c_str(), error.what());
                return 1;
            }
            if (FAILED(vx::com::CreateComObject(stubs)) || FAILED(vx::com::CreateComObject(helper)) ||
                helper->AttachNative(static_cast<vxOpenAppHook::IStubManager*>(stubs.Get()), native.Get(),
                                     CreateCrFwAdapters) != S_OK)
                return 1;
            long elements = 0;
            for (long id = 1; id <= native->Page().NodeCount(); ++id)
                elements += native->Page().Node(id).nodeType == 1;
            const std::wstring at = L"id('" + probes[p] + L"')";
            const std::pair<bool (*)(CCrRawBrowserHelper*, const std::wstring&), std::wstring> walks[] = {
                {&All, L""},
                {&Tree, L""},
                {&XPath, L"count(//DIV|//SPAN)"},
                {&XPath, L"count(" + at + L"/preceding::*)"},
                {&XPath, L"count(" + at + L"/ancestor::*)"},
                {&XPath, L"count(" + at + L"/following-sibling::*)"},
            };
            std::printf("%-16s %9ld", names[p].c_str(), elements);
            for (size_t w = 0; w < std::size(walks); ++w) {
                native->ResetCounters();
                const double start = Now();
                if (!walks[w].first(helper.Get(), walks[w].second)) {
                    std::fprintf(stderr, "\n%s: walk %s failed\n", names[p].c_str(), titles[w]);
                    return 1;
                }
                const double library = Now() - start - native->OwnSeconds();
                const double perElement = library * 1e6 / static_cast<double>(elements);
                long calls = 0;
                for (const auto& member : native->CallsPerMember())
                    calls += member.second;
                if (p == 0)
                    firstPerElement.push_back(perElement);
                std::printf(" %8.2f %6.2f %9.2f", perElement, perElement / firstPerElement[w],
                            static_cast<double>(calls) / static_cast<double>(elements));
            }
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    return 0;
}
