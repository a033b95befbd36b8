// The same pages read through the library twice: from their snapshots and
// live in headless Chromium. Both give the same object trees in both models
// (names, state, sizes and places on the top viewport) and the same XPath
// answers; the live page gives the same whether its native object fetches
// ahead or reads one thing per round trip. Every walk leaves no node handle
// behind, on our side nor in the page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "PageUnderTest.h"
#include "harness/livepage/LiveValues.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "tests/support/PagePath.h"

namespace livetests {
namespace {

struct ComparedPage
{
    const char* snapshot; // below tests/pages
    const char* label;
};

// Test names and ctest's listing show the page by its label.
void PrintTo(const ComparedPage& page, std::ostream* out)
{
    *out << page.label;
}

std::string Utf8(const std::wstring& text)
{
    return harness::live::Utf8(text);
}

// Lines of two listings side by side from the first that differs, so that a
// failure shows where the walks part.
std::string FirstDifference(const std::wstring& expected, const std::wstring& actual)
{
    std::wistringstream a(expected), b(actual);
    std::wstring x, y;
    for (int line = 1;; ++line) {
        const bool more = static_cast<bool>(std::getline(a, x));
        const bool moreActual = static_cast<bool>(std::getline(b, y));
        if (!more && !moreActual)
            return "no difference";
        if (!more || !moreActual || x != y)
            return "line " + std::to_string(line) + ":\n  snapshot: " + (more ? Utf8(x) : "(end)") +
                   "\n  live:     " + (moreActual ? Utf8(y) : "(end)");
    }
}

// With VXCR_LIVE_LISTINGS set to a folder, both listings of a failed
// comparison are written there for a closer look.
void KeepListings(const std::string& label, const std::wstring& expected, const std::wstring& actual)
{
    const char* folder = std::getenv("VXCR_LIVE_LISTINGS");
    if (!folder || !*folder)
        return;
    for (const auto& [side, text] : {std::pair<const char*, const std::wstring*>{"snapshot", &expected},
                                     std::pair<const char*, const std::wstring*>{"live", &actual}}) {
        std::ofstream file(std::string(folder) + "/" + label + "." + side + ".txt", std::ios::binary);
        file << Utf8(*text);
    }
}

const std::vector<std::wstring> kExpressions = {L"count(//*)",
                                                L"count(//text())",
                                                L"count(//@*)",
                                                L"string(//TITLE)",
                                                L"//BODY/*[1]",
                                                L"//BODY/*[last()]",
                                                L"//A/@href",
                                                L"(//A)[last()]",
                                                L"//*[@id][last()]/@id",
                                                L"//INPUT[@type='text']",
                                                L"//INPUT/@type",
                                                L"//INPUT/following::*[1]",
                                                L"//INPUT/preceding::*[1]",
                                                L"//LABEL/ancestor::*",
                                                L"//TD[2]",
                                                L"//TR[last()]/*",
                                                L"//*[contains(@class, 'box')]",
                                                L"id('plainBox')",
                                                L"//IFRAME",
                                                L"sum(//TD/@colspan)",
                                                L"count(//BODY//node()[not(*)])"};

std::wstring LiveUrl(const std::string& snapshot)
{
    return harness::SnapshotPage::Load(testsupport::PagePath(snapshot)).url;
}

class LiveAgainstSnapshot : public ::testing::TestWithParam<ComparedPage>
{
protected:
    void TearDown() override
    {
        if (!live_)
            return;
        harness::LiveNativeObject* native = live_->LiveNative();
        live_->Close();
        EXPECT_EQ(0, native->LiveHandles()) << "node handles left behind";
        EXPECT_EQ(0, native->Faults());
        // Whatever the library gave back and whatever was fetched ahead and
        // not used is gone from the page too.
        EXPECT_EQ(0, native->PageHandles()) << "handles left in the page's registry";
    }
    std::unique_ptr<PageUnderTest> live_;
};

TEST_P(LiveAgainstSnapshot, BothModelsAndXPathAnswerAsTheSnapshotDoes)
{
    const ComparedPage page = GetParam();
    std::unique_ptr<PageUnderTest> snapshot = PageUnderTest::Snapshot(page.snapshot);
    live_ = PageUnderTest::Live(LiveUrl(page.snapshot));
    ASSERT_TRUE(live_);
    for (LONG model : {0L, 3L}) {
        SCOPED_TRACE(model == 0 ? "DOM model" : "Tree model");
        snapshot->UseObjectModel(model);
        live_->UseObjectModel(model);
        const std::wstring expected = snapshot->Listing();
        const std::wstring actual = live_->Listing();
        EXPECT_GT(std::count(expected.begin(), expected.end(), L'\n'), 3) << "too small to compare";
        EXPECT_TRUE(expected == actual) << FirstDifference(expected, actual);
        if (expected != actual || std::getenv("VXCR_LIVE_LISTINGS_ALL"))
            KeepListings(std::string(page.label) + (model == 0 ? ".dom" : ".tree"), expected, actual);
    }
    const std::wstring expected = snapshot->XPathAnswers(kExpressions);
    const std::wstring actual = live_->XPathAnswers(kExpressions);
    EXPECT_TRUE(expected == actual) << FirstDifference(expected, actual);
    if (expected != actual)
        KeepListings(std::string(page.label) + ".xpath", expected, actual);
    snapshot->Close();
    EXPECT_EQ(0, snapshot->LibraryHandles());
}

INSTANTIATE_TEST_SUITE_P(Pages, LiveAgainstSnapshot,
                         ::testing::Values(ComparedPage{"snapshots/naming.json", "naming"},
                                           ComparedPage{"snapshots/geometry.json", "geometry"},
                                           ComparedPage{"snapshots/iframes.json", "iframes"},
                                           ComparedPage{"snapshots/viewport.json", "viewport"},
                                           ComparedPage{"snapshots/tables.json", "tables"},
                                           ComparedPage{"snapshots/inputs.json", "inputs"},
                                           ComparedPage{"snapshots/text-blocks.json", "text_blocks"},
                                           ComparedPage{"snapshots/exclusion.json", "exclusion"},
                                           ComparedPage{"snapshots/links-images.json", "links_images"},
                                           ComparedPage{"snapshots/frameset.json", "frameset"},
                                           ComparedPage{"snapshots/forms.json", "forms"},
                                           ComparedPage{"snapshots/recognition.json", "recognition"},
                                           ComparedPage{"snapshots/scrolling.json", "scrolling"},
                                           ComparedPage{"snapshots/recording.json", "recording"},
                                           ComparedPage{"snapshots/real/checkout-form.json", "checkout_form"}),
                         [](const ::testing::TestParamInfo<ComparedPage>& info) { return info.param.label; });

// The long documentation page (about 3,000 elements): every name of its All
// collection, and every item of the Tree model's first two levels, as the
// snapshot gives them.
TEST(LiveDocumentationPage, AllNamesAndTheTreesFirstLevelsAsTheSnapshotGivesThem)
{
    const std::string snapshotPath = "snapshots/real/lang_expr.json";
    std::unique_ptr<PageUnderTest> snapshot = PageUnderTest::Snapshot(snapshotPath);
    std::unique_ptr<PageUnderTest> live = PageUnderTest::Live(LiveUrl(snapshotPath));
    ASSERT_TRUE(live);
    auto names = [](PageUnderTest& page, LONG model) {
        page.UseObjectModel(model);
        ObjectThisInformation root = page.PageInformation();
        if (model == 0) {
            ObjectThisInformation document = page.Child(root.object.Get(), L"document");
            root = page.Child(document.object.Get(), L"all");
        }
        std::wstring out;
        for (const ObjectThisInformation& child : page.Children(root.object.Get())) {
            out += std::to_wstring(child.kind) + L" " + ValueText(*child.identifier) + L"\n";
            if (model == 3 && child.expandable)
                for (const ObjectThisInformation& grandchild : page.Children(child.object.Get()))
                    out += L"  " + std::to_wstring(grandchild.kind) + L" " + ValueText(*grandchild.identifier) + L"\n";
        }
        return out;
    };
    for (LONG model : {0L, 3L}) {
        const std::wstring expected = names(*snapshot, model);
        const std::wstring actual = names(*live, model);
        EXPECT_GT(std::count(expected.begin(), expected.end(), L'\n'), model == 0 ? 2000 : 20);
        EXPECT_TRUE(expected == actual) << FirstDifference(expected, actual);
    }
    live->Close();
    EXPECT_EQ(0, live->LiveNative()->LiveHandles());
    EXPECT_EQ(0, live->LiveNative()->PageHandles());
}

// Fetching ahead must give exactly the answers of one read per round trip,
// also when every subtree list is cut short.
TEST(LiveFetchAhead, GivesTheAnswersOfOneReadAtATime)
{
    const std::wstring url = LiveUrl("snapshots/geometry.json");
    std::unique_ptr<PageUnderTest> single = PageUnderTest::Live(url, false);
    std::unique_ptr<PageUnderTest> ahead = PageUnderTest::Live(url, true);
    // Subtrees read a few nodes at a time: only the links the cut leaves
    // certain may be answered ahead.
    std::unique_ptr<PageUnderTest> cut = PageUnderTest::Live(url, true, 7);
    ASSERT_TRUE(ahead && single && cut);
    PageUnderTest* pages[3] = {single.get(), ahead.get(), cut.get()};
    for (LONG model : {0L, 3L}) {
        std::wstring listings[3];
        for (int i = 0; i < 3; ++i) {
            pages[i]->UseObjectModel(model);
            listings[i] = pages[i]->Listing();
        }
        EXPECT_TRUE(listings[0] == listings[1]) << FirstDifference(listings[0], listings[1]);
        EXPECT_TRUE(listings[0] == listings[2]) << FirstDifference(listings[0], listings[2]);
    }
    const std::wstring expected = single->XPathAnswers(kExpressions);
    for (PageUnderTest* page : {ahead.get(), cut.get()}) {
        const std::wstring actual = page->XPathAnswers(kExpressions);
        EXPECT_TRUE(expected == actual) << FirstDifference(expected, actual);
    }
    for (PageUnderTest* page : pages) {
        page->Close();
        EXPECT_EQ(0, page->LiveNative()->LiveHandles());
        EXPECT_EQ(0, page->LiveNative()->PageHandles());
    }
}

// A walk made in one renderer task (the children of "all") needs a small
// part of the round trips of one read at a time.
TEST(LiveFetchAhead, TheAllWalkNeedsATenthOfTheRoundTripsOrLess)
{
    const std::wstring url = LiveUrl("snapshots/inputs.json");
    std::unique_ptr<PageUnderTest> pages[2] = {PageUnderTest::Live(url, true), PageUnderTest::Live(url, false)};
    ASSERT_TRUE(pages[0] && pages[1]);
    long trips[2] = {};
    size_t elements[2] = {};
    for (int i = 0; i < 2; ++i) {
        pages[i]->UseObjectModel(0);
        ObjectThisInformation document = pages[i]->Child(pages[i]->PageInformation().object.Get(), L"document");
        ASSERT_TRUE(document.object);
        ObjectThisInformation all = pages[i]->Child(document.object.Get(), L"all");
        ASSERT_TRUE(all.object);
        pages[i]->LiveNative()->ResetCounters();
        elements[i] = pages[i]->Children(all.object.Get()).size();
        trips[i] = pages[i]->LiveNative()->RoundTrips();
    }
    EXPECT_EQ(elements[1], elements[0]);
    EXPECT_GT(elements[0], 50u);
    EXPECT_LT(trips[0] * 10, trips[1]);
    for (auto& page : pages) {
        page->Close();
        EXPECT_EQ(0, page->LiveNative()->LiveHandles());
        EXPECT_EQ(0, page->LiveNative()->PageHandles());
    }
}

long TripsFor(harness::LiveNativeObject* native, const std::string& read)
{
    for (const auto& [name, count] : native->RoundTripsPerRead())
        if (name == read)
            return count;
    return 0;
}

// A collection whose length came with it and that holds a few hundred items
// at most comes in one batch; a longer one in batches that grow, so that a
// walk of it takes few round trips.
TEST(LiveFetchAhead, CollectionsComeInFewBatches)
{
    struct Case
    {
        const char* snapshot;
        size_t least, most; // elements of the page
        long batches;
    } cases[] = {{"snapshots/real/checkout-form.json", 65, 256, 1}, {"snapshots/real/lang_expr.json", 2000, 5500, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.snapshot);
        std::unique_ptr<PageUnderTest> page = PageUnderTest::Live(LiveUrl(c.snapshot), true);
        ASSERT_TRUE(page);
        page->UseObjectModel(0);
        { // the objects go before the page closes
            ObjectThisInformation document = page->Child(page->PageInformation().object.Get(), L"document");
            ASSERT_TRUE(document.object);
            ObjectThisInformation all = page->Child(document.object.Get(), L"all");
            ASSERT_TRUE(all.object);
            page->LiveNative()->ResetCounters();
            const size_t elements = page->Children(all.object.Get()).size();
            EXPECT_GE(elements, c.least);
            EXPECT_LE(elements, c.most);
            EXPECT_EQ(c.batches, TripsFor(page->LiveNative(), "items"));
        }
        page->Close();
        EXPECT_EQ(0, page->LiveNative()->PageHandles());
    }
}

// A collection walk straight on the native object, in one renderer task:
// items 0 to 399 of the documentation page's "all" (by then the batch after
// the one being read is asked for ahead), a change of the page's title (the
// batch in flight is dropped unread), then items 400 to 409 and the title.
// Each read's answer goes into `text`.
struct StoppedWalk
{
    harness::LiveNativeObject* native = nullptr;
    std::wstring text;
    HRESULT hr = S_OK;

    LONG Member(const wchar_t* name)
    {
        vx::com::BStr text(name);
        LONG member = 0;
        if (FAILED(native->GetIDOfName(text.Get(), &member)))
            hr = E_FAIL;
        return member;
    }
    NodeImpl* Object(NodeImpl* node, const wchar_t* name)
    {
        vx::com::Variant value;
        if (FAILED(native->GetProperty(node, Member(name), value.Get())) || value.Type() != VT_PTR) {
            hr = E_FAIL;
            return nullptr;
        }
        return static_cast<NodeImpl*>(V_BYREF(value.Get()));
    }
    void Write(NodeImpl* node, const wchar_t* name)
    {
        vx::com::Variant value;
        const HRESULT read = native->GetProperty(node, Member(name), value.Get());
        if (FAILED(read))
            hr = read;
        text += ValueText(*value.Get()) + L"\n";
    }
    void Items(NodeImpl* all, long from, long to)
    {
        for (long i = from; i < to && SUCCEEDED(hr); ++i) {
            VARIANT index;
            VariantInit(&index);
            V_VT(&index) = VT_I4;
            V_I4(&index) = i;
            DISPPARAMS params{&index, nullptr, 1, 0};
            vx::com::Variant item;
            hr = native->Invoke(all, Member(L"item"), &params, item.Get());
            if (FAILED(hr) || item.Type() != VT_PTR) {
                hr = E_FAIL;
                return;
            }
            NodeImpl* node = static_cast<NodeImpl*>(V_BYREF(item.Get()));
            Write(node, L"tagName");
            native->ReleaseNode(node);
        }
    }
    static HRESULT STDMETHODCALLTYPE Run(void* context) noexcept
    {
        auto& walk = *static_cast<StoppedWalk*>(context);
        NodeImpl* window = nullptr;
        if (FAILED(walk.native->GetWindowNode(&window)))
            return E_FAIL;
        NodeImpl* document = walk.Object(window, L"document");
        NodeImpl* all = document ? walk.Object(document, L"all") : nullptr;
        if (all) {
            walk.Items(all, 0, 400);
            vx::com::Variant title;
            V_VT(title.Get()) = VT_BSTR;
            V_BSTR(title.Get()) = SysAllocString(L"walked");
            if (SUCCEEDED(walk.hr))
                walk.hr = walk.native->PutProperty(document, walk.Member(L"title"), title.Get());
            walk.Items(all, 400, 410);
            walk.Write(document, L"title");
        }
        for (NodeImpl* node : {all, document, window})
            if (node)
                walk.native->ReleaseNode(node);
        return walk.hr;
    }
};

// A batch asked for ahead answers as one read at a time does; one that the
// walk never reaches, or that a change of the page leaves stale, is dropped
// and its handles go back to the page.
TEST(LiveFetchAhead, ItemBatchesAskedForAheadAnswerAsOneReadAtATimeAndLeaveNoHandles)
{
    const std::wstring url = LiveUrl("snapshots/real/lang_expr.json");
    std::unique_ptr<PageUnderTest> pages[2] = {PageUnderTest::Live(url, false), PageUnderTest::Live(url, true)};
    ASSERT_TRUE(pages[0] && pages[1]);
    std::wstring texts[2];
    for (int i = 0; i < 2; ++i) {
        StoppedWalk walk;
        walk.native = pages[i]->LiveNative();
        walk.native->ResetCounters();
        ASSERT_EQ(S_OK, walk.native->RunOnRendererThread(&StoppedWalk::Run, &walk, 60000)) << std::hex << walk.hr;
        texts[i] = walk.text;
        EXPECT_EQ(0, walk.native->LiveHandles());
        EXPECT_EQ(0, walk.native->PageHandles()) << "handles left in the page's registry";
    }
    EXPECT_EQ(411u, static_cast<size_t>(std::count(texts[0].begin(), texts[0].end(), L'\n')));
    EXPECT_NE(std::wstring::npos, texts[0].find(L"walked\n"));
    EXPECT_TRUE(texts[0] == texts[1]) << FirstDifference(texts[0], texts[1]);
    // Batches of 64, 256 and 1024 items, the one of 4096 asked for ahead and
    // dropped, and a new first batch after the change.
    EXPECT_EQ(5, TripsFor(pages[1]->LiveNative(), "items"));
    for (auto& page : pages)
        page->Close();
}

} // namespace
} // namespace livetests
