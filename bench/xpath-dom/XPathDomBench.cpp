// XPath over a large captured page: each expression is evaluated on the
// stand-in's renderer thread through the same entry the page object uses,
// and the program prints per expression the result size, the native calls
// made, the library's own time and the stand-in's time for answering those
// calls, side by side (best of several rounds). Given a file of expressions
// (one per line, # starts a comment) it evaluates those instead and also
// prints, per expression, a tab-separated line for bench/xpath-adapter:
//   RESULT <expression> <result summary> <total us> <library us> <calls>
// (total: wall time of the evaluation including the stand-in's answers).
//
// Usage: xpath_dom_bench.exe [SNAPSHOT.json [EXPRESSIONS.txt]]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness/nativeobject/NativeCallReport.h"
#include "harness/nativeobject/SnapshotNativeObject.h"
#include "openapphook/StubManager.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwXPathEvaluation.h"
#include "webfw/XPath/engine/XPathText.h"

namespace {

struct EvaluationContext
{
    CCrRawBrowserHelper* helper = nullptr;
    BSTR expression = nullptr;
    BSTR prefix = nullptr;
    vx::com::Variant result;
    HRESULT hr = E_FAIL;
};

HRESULT STDMETHODCALLTYPE EvaluateOnRenderer(void* context)
{
    auto* evaluation = static_cast<EvaluationContext*>(context);
    evaluation->hr = vxWebFw::XPath::CrFwEvaluateXPath(evaluation->helper, evaluation->expression, evaluation->prefix,
                                                       evaluation->result.Out());
    return S_OK;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(f.QuadPart);
}

std::wstring DefaultSnapshot()
{
    std::string path = std::string(VX_PAGES_DIR) + "/large/snapshots/capi3ref.json";
    std::wstring out = L"Z:";
    for (char c : path)
        out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

long NativeCalls(harness::SnapshotNativeObject& native)
{
    long calls = 0;
    for (int slot = static_cast<int>(harness::NativeSlot::GetWindowNode);
         slot < static_cast<int>(harness::NativeSlot::Count); ++slot)
        if (slot != static_cast<int>(harness::NativeSlot::RunOnRendererThread))
            calls += native.SlotCalls(static_cast<harness::NativeSlot>(slot));
    return calls;
}

long ResultSize(const VARIANT& value)
{
    if (V_VT(&value) == (VT_ARRAY | VT_VARIANT))
        return static_cast<long>(V_ARRAY(&value)->rgsabound[0].cElements);
    return V_VT(&value) == VT_EMPTY ? 0 : 1;
}

std::string Utf8(const wchar_t* text, int length = -1)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    if (length < 0 && !out.empty())
        out.pop_back(); // the terminator
    return out;
}

// The result summary the native side prints too: node count, or the XPath
// string of a scalar.
std::string Summary(const VARIANT& value)
{
    switch (V_VT(&value)) {
    case VT_EMPTY:
        return "nodes:0";
    case VT_ARRAY | VT_VARIANT:
        return "nodes:" + std::to_string(V_ARRAY(&value)->rgsabound[0].cElements);
    case VT_R8:
        return "value:" + Utf8(vxWebFw::XPath::Engine::Text::formatNumber(V_R8(&value)).c_str());
    case VT_BOOL:
        return V_BOOL(&value) ? "value:true" : "value:false";
    case VT_BSTR:
        return "value:" +
               (V_BSTR(&value) ? Utf8(V_BSTR(&value), static_cast<int>(SysStringLen(V_BSTR(&value)))) : std::string());
    default:
        return "?";
    }
}

std::vector<std::wstring> ReadExpressions(const std::wstring& path)
{
    std::vector<std::wstring> out;
    std::ifstream in(Utf8(path.c_str()), std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %ls\n", path.c_str());
        return out;
    }
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), n);
        out.push_back(wide);
    }
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
    Microsoft::WRL::ComPtr<vxOpenAppHook::CStubManager> stubs;
    vx::com::CreateComObject(stubs);
    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> helper;
    vx::com::CreateComObject(helper);
    helper->AttachNative(static_cast<vxOpenAppHook::IStubManager*>(stubs.Get()), native.Get(), CreateCrFwAdapters);
    const long handlesBefore = native->LiveHandles();

    const wchar_t* defaults[] = {
        L"count(//*)",
        L"count(//A)",
        L"count(//A/@href)",
        L"(//A[@href])[position() <= 50]",
        L"//A[@href]",
        L"//H2",
        L"string(//TITLE)",
        L"count(//node())",
        L"count(//DIV[@class]//A)",
        L"//*[@id='nosuchid']",
        L"boolean(//BODY/DIV[last()])",
    };
    std::vector<std::wstring> expressions(std::begin(defaults), std::end(defaults));
    const bool fromFile = argc > 2;
    if (fromFile)
        expressions = ReadExpressions(argv[2]);
    if (expressions.empty())
        return 2;
    const int rounds = fromFile ? 9 : 3;
    std::printf("page: %ls\nnodes: %ld, rounds: %d (best shown)\n", path.c_str(), native->Page().NodeCount(), rounds);
    std::printf("%-32s %8s %10s %12s %12s %10s\n", "expression", "results", "calls", "library ms", "stand-in ms",
                "lib/stand");
    int failures = 0;
    // The expression that made the most calls, with its calls per member.
    std::wstring busiest;
    long busiestCalls = -1;
    std::vector<std::pair<std::wstring, long>> busiestMembers;
    for (const std::wstring& line : expressions) {
        const wchar_t* text = line.c_str();
        vx::com::BStr expression(text), prefix(L"Cr1;");
        double bestLibrary = 1e30, bestStandIn = 0, bestTotal = 1e30;
        std::string summary;
        long calls = 0, size = 0;
        for (int round = 0; round < rounds; ++round) {
            native->ResetCounters();
            EvaluationContext context;
            context.helper = helper.Get();
            context.expression = expression.Get();
            context.prefix = prefix.Get();
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            HRESULT hr = native->RunOnRendererThread(&EvaluateOnRenderer, &context, 600000);
            QueryPerformanceCounter(&end);
            if (FAILED(hr) || FAILED(context.hr)) {
                std::fprintf(stderr, "%ls failed: 0x%08lx\n", text,
                             static_cast<unsigned long>(FAILED(hr) ? hr : context.hr));
                ++failures;
                break;
            }
            double standIn = native->OwnSeconds();
            double library = Seconds(start, end) - standIn;
            bestTotal = std::min(bestTotal, Seconds(start, end));
            if (library < bestLibrary) {
                bestLibrary = library;
                bestStandIn = standIn;
            }
            calls = NativeCalls(*native.Get());
            if (calls > busiestCalls) {
                busiestCalls = calls;
                busiest = line;
                busiestMembers = native->CallsPerMember();
            }
            size = ResultSize(*context.result);
            summary = Summary(*context.result);
        }
        std::printf("%-32ls %8ld %10ld %12.2f %12.2f %10.2f\n", text, size, calls, bestLibrary * 1e3, bestStandIn * 1e3,
                    bestStandIn > 0 ? bestLibrary / bestStandIn : 0.0);
        if (fromFile)
            std::printf("RESULT\t%s\t%s\t%.1f\t%.1f\t%ld\n", Utf8(text).c_str(), summary.c_str(), bestTotal * 1e6,
                        bestLibrary * 1e6, calls);
    }
    const double nodes = static_cast<double>(native->Page().NodeCount());
    std::printf("calls per page node: %.2f (%ls); by member:\n", busiestCalls / nodes, busiest.c_str());
    for (const auto& [member, count] : busiestMembers)
        std::printf("    %-36ls %10ld %10.3f per node\n", member.c_str(), count, count / nodes);
    long handlesAfter = native->LiveHandles();
    std::printf("live handles before %ld, after %ld, faults %ld\n", handlesBefore, handlesAfter, native->Faults());
    helper.Reset();
    return failures || handlesAfter != handlesBefore || native->Faults() ? 1 : 0;
}
