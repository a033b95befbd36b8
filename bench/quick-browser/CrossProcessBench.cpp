// Times GetChildrenInformation of the "all" collection across processes on
// the large captured page and on a page of one level of a thousand elements:
// end to end per child, the renderer thread's share (measured by the renderer
// stand-in) and the rest (marshalling the records, creating the proxies of
// the children's objects), next to a trivial cross-process call (no renderer
// work) and a cross-process call that runs on the renderer thread.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "harness/rendererstandin/RendererProcess.h"
#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"
#include "quickbrowser/InformationRecords.h"
#include "tests/support/PagePath.h"

using Microsoft::WRL::ComPtr;

namespace {

using testsupport::PagePath;

double Now()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HRESULT Call(IDispatch* object, DISPID member, VARIANT* result, DISPPARAMS* params = nullptr)
{
    DISPPARAMS none = {};
    return object->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, params ? params : &none, result, nullptr, nullptr);
}

// The child of `parent` whose path is `path` (its object).
ComPtr<IDispatch> ChildObject(IDispatch* parent, const wchar_t* path)
{
    vx::com::Variant record;
    if (FAILED(Call(parent, 3, record.Out())) || record.Type() != (VT_ARRAY | VT_VARIANT))
        return nullptr;
    SAFEARRAY* array = V_ARRAY(record.Get());
    LONG upper = -1;
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = 0; i <= upper; ++i) {
        vx::com::Variant element;
        SafeArrayGetElement(array, &i, element.Get());
        ObjectThisInformation child;
        if (SUCCEEDED(ReadThisInformation(*element, child)) && child.identityPath.View() == path)
            return child.object;
    }
    return nullptr;
}

long BusyMicroseconds(harness::RendererProcess& renderer)
{
    std::string answer;
    renderer.Command("busy", answer);
    return answer.rfind("ok ", 0) == 0 ? std::stol(answer.substr(3)) : -1;
}

void Measure(const char* label, const std::string& snapshot)
{
    std::unique_ptr<harness::RendererProcess> renderer;
    ComPtr<IDispatch> quickBrowser;
    HRESULT hr = harness::RendererProcess::Start(PagePath(snapshot), 0, renderer, quickBrowser);
    if (FAILED(hr)) {
        printf("%s: renderer did not start (0x%08lX)\n", label, static_cast<unsigned long>(hr));
        return;
    }
    // The DOM model: page -> document -> all.
    wchar_t key[64] = {};
    const GUID objectModel = {0x66F235D3, 0x108D, 0x4961, {0xA9, 0x23, 0x03, 0x33, 0x35, 0x75, 0xE4, 0x0E}};
    StringFromGUID2(objectModel, key, 64);
    VARIANT args[2];
    VariantInit(&args[0]);
    V_VT(&args[0]) = VT_I4;
    V_I4(&args[0]) = 0;
    VariantInit(&args[1]);
    V_VT(&args[1]) = VT_BSTR;
    V_BSTR(&args[1]) = SysAllocString(key);
    DISPPARAMS update = {args, nullptr, 2, 0};
    vx::com::Variant ignored;
    Call(quickBrowser.Get(), 1, ignored.Out(), &update);
    VariantClear(&args[1]);

    vx::com::Variant pageRecord;
    ObjectThisInformation page;
    if (FAILED(Call(quickBrowser.Get(), 3, pageRecord.Out())) || FAILED(ReadThisInformation(*pageRecord, page))) {
        printf("%s: no page object\n", label);
        return;
    }
    ComPtr<IDispatch> document = ChildObject(page.object.Get(), L"document");
    ComPtr<IDispatch> all = document ? ChildObject(document.Get(), L"all") : nullptr;
    if (!all) {
        printf("%s: no all collection\n", label);
        return;
    }

    // Trivial calls: one without renderer work, one with a renderer hop.
    constexpr int kCalls = 300;
    UINT count = 0;
    double start = Now();
    for (int i = 0; i < kCalls; ++i)
        page.object->GetTypeInfoCount(&count);
    const double plainCall = (Now() - start) / kCalls;
    start = Now();
    for (int i = 0; i < kCalls; ++i) {
        vx::com::Variant exists;
        Call(page.object.Get(), 4, exists.Out());
    }
    const double rendererCall = (Now() - start) / kCalls;

    constexpr int kRounds = 3;
    std::vector<double> totals, rendererShares, releases;
    LONG children = 0;
    Call(all.Get(), 3, ignored.Out()); // warm the member caches
    ignored.Out();
    for (int round = 0; round < kRounds; ++round) {
        BusyMicroseconds(*renderer);
        vx::com::Variant record;
        start = Now();
        Call(all.Get(), 3, record.Out());
        const double total = Now() - start;
        const double busy = BusyMicroseconds(*renderer) / 1e6;
        LONG upper = -1;
        SafeArrayGetUBound(V_ARRAY(record.Get()), 1, &upper);
        children = upper + 1;
        // Releasing the children's proxies is part of a walk's cost too.
        start = Now();
        record.Out();
        const double release = Now() - start;
        totals.push_back(total + release);
        releases.push_back(release);
        rendererShares.push_back(busy);
    }
    std::sort(totals.begin(), totals.end());
    std::sort(rendererShares.begin(), rendererShares.end());
    std::sort(releases.begin(), releases.end());
    const double total = totals[kRounds / 2], busy = rendererShares[kRounds / 2], release = releases[kRounds / 2];
    const double perChild = total / children;
    printf("%s: %ld children, median of %d rounds\n", label, static_cast<long>(children), kRounds);
    printf("  end to end      %8.3f ms   %7.4f ms per child\n", total * 1e3, perChild * 1e3);
    printf("  renderer thread %8.3f ms   %7.4f ms per child\n", busy * 1e3, busy / children * 1e3);
    printf("  the rest        %8.3f ms   %7.4f ms per child (marshalling, proxies)\n", (total - busy) * 1e3,
           (total - busy) / children * 1e3);
    printf("    of which release %8.3f ms   %7.4f ms per child (the records' proxies released)\n", release * 1e3,
           release / children * 1e3);
    printf("  one cross-process call: %.4f ms plain, %.4f ms through the renderer thread\n", plainCall * 1e3,
           rendererCall * 1e3);
    printf("  per child = %.1f plain calls (goal: 0.15 ms per child)\n", perChild / plainCall);
}

} // namespace

// Without an argument both pages; "large" or "thousand" for one of them.
int wmain(int argc, wchar_t** argv)
{
    const std::wstring only = argc > 1 ? argv[1] : L"";
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (only.empty() || only == L"large")
        Measure("large page (capi3ref)", "large/snapshots/capi3ref.json");
    if (only.empty() || only == L"thousand")
        Measure("one level of 1,000 elements", "large/snapshots/thousand.json");
    CoUninitialize();
    return 0;
}
