#include "tests/hostile-pages/HostilePageFixture.h"

#include <windows.h>

#include <deque>
#include <fstream>

#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"
#include "webfw/DOMModel/DOMModelInterfaces.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/TreeModel/TreeItemsBuild.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwEnumerators.h"
#include "webfw/chrome/CrFwXPathEvaluation.h"

namespace hostile {

namespace {

std::string SnapshotFile(const std::string& name)
{
    return std::string(VX_HOSTILE_PAGES_DIR) + "/snapshots/" + name + ".json";
}

std::wstring WindowsPath(const std::string& path)
{
    std::wstring out = L"Z:";
    for (char c : path)
        out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

// Runs `body(adapters, document)` with the page's document, reached from its
// window as the quick browser reaches it.
template <class Body>
HRESULT WithDocument(CCrRawBrowserHelper* helper, Body&& body)
{
    vxWebFw::NodeHandle window(helper), document(helper);
    HRESULT hr = helper->GetWindowNode(window.Out());
    if (SUCCEEDED(hr))
        hr = helper->GetDocument(window.Get(), document.Out());
    if (FAILED(hr))
        return hr;
    return body(*helper->Adapters(), document.Get());
}

class NameCollector : public vxWebFw::DOMModel::IDOMAllBuilder, public vxWebFw::DOMModel::IDOMFramesBuilder
{
public:
    HRESULT Clear() override
    {
        walk.names.clear();
        walk.numbered = 0;
        return S_OK;
    }
    HRESULT Add(vxWebFw::Recognizing::RecognizedNode&, const VARIANT& id) override
    {
        if (V_VT(&id) == VT_BSTR)
            walk.names.emplace_back(V_BSTR(&id), SysStringLen(V_BSTR(&id)));
        else
            ++walk.numbered;
        return S_OK;
    }
    AllWalk walk;
};

// Keeps a handle of every expandable item so that the expansion can go on
// below it, one level at a time.
class ExpandingBuilder : public vxWebFw::TreeModel::ITreeItemsBuilder
{
public:
    explicit ExpandingBuilder(CCrRawBrowserHelper* helper) : helper_(helper) {}
    HRESULT Clear() override { return S_OK; }
    HRESULT AddItem(NodeImpl* node, bool expandable, vxWebFw::TreeModel::TreeItemType, const VARIANT&) override
    {
        return Add(node, expandable);
    }
    // A frame expands into its document, as the quick browser's frame item
    // does.
    HRESULT AddFrame(NodeImpl* node, bool, const VARIANT&) override
    {
        ++items;
        vxWebFw::NodeHandle document(helper_);
        if (FAILED(helper_->GetIFrameContentDocument(node, document.Out())) || !document.Get())
            helper_->GetFrameContentDocument(node, document.Out());
        if (document.Get())
            pending.push_back(Pending{std::move(document), level + 1});
        return S_OK;
    }
    HRESULT AddCell(NodeImpl* node, bool expandable, const VARIANT&, long, long) override
    {
        return Add(node, expandable);
    }

    struct Pending
    {
        vxWebFw::NodeHandle node;
        long level;
    };
    long items = 0;
    long level = 0;
    std::deque<Pending> pending;

private:
    HRESULT Add(NodeImpl* node, bool expandable)
    {
        ++items;
        if (expandable) {
            pending.push_back(Pending{vxWebFw::NodeHandle(helper_), level + 1});
            helper_->CloneNode(node, pending.back().node.Out());
        }
        return S_OK;
    }
    CCrRawBrowserHelper* helper_;
};

} // namespace

void HostilePageTest::Load(const std::string& name)
{
    const std::string file = SnapshotFile(name);
    ASSERT_TRUE(std::ifstream(file).good()) << file << " is missing: node tests/pages/hostile/make-pages.mjs "
                                            << VX_HOSTILE_PAGES_DIR << " makes it (./vxcr test and ./vxcr dev run it)";
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(native_, harness::SnapshotPage::Load(WindowsPath(file)))));
    ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(stubs_)));
    ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(helper_)));
    ASSERT_EQ(S_OK, helper_->AttachNative(static_cast<vxOpenAppHook::IStubManager*>(stubs_.Get()), native_.Get(),
                                          CreateCrFwAdapters));
    startHandles_ = native_->LiveHandles();
}

void HostilePageTest::TearDown()
{
    if (native_) {
        EXPECT_EQ(startHandles_, native_->LiveHandles()) << "node handles left behind";
        EXPECT_EQ(0, native_->Faults()) << "unknown or released handles passed to the native object";
    }
    helper_.Reset();
    stubs_.Reset();
    native_.Reset();
}

AllWalk HostilePageTest::WalkAll()
{
    NameCollector collector;
    CCrRawBrowserHelper* helper = helper_.Get();
    collector.walk.result = WithDocument(helper, [&](CCrFwAdapters& a, NodeImpl* document) {
        CCrFwDocumentAllEnumerator all(helper, a.nodeLifetime.get(), document);
        return a.domAllWalk->DomAllBuild(all, collector, a.nodeAcceptor.get());
    });
    return collector.walk;
}

long HostilePageTest::WalkFrames(HRESULT* result)
{
    NameCollector collector;
    CCrRawBrowserHelper* helper = helper_.Get();
    *result = WithDocument(helper, [&](CCrFwAdapters& a, NodeImpl* document) {
        CCrFwDocumentAllEnumerator all(helper, a.nodeLifetime.get(), document);
        return a.domFramesWalk->DomFramesBuild(all, collector, a.nodeAcceptor.get());
    });
    return static_cast<long>(collector.walk.names.size()) + collector.walk.numbered;
}

TreeWalk HostilePageTest::ExpandTree()
{
    TreeWalk walk;
    CCrRawBrowserHelper* helper = helper_.Get();
    walk.result = WithDocument(helper, [&](CCrFwAdapters& a, NodeImpl* document) {
        ExpandingBuilder builder(helper);
        builder.pending.push_back({vxWebFw::NodeHandle(helper), 0});
        helper->CloneNode(document, builder.pending.back().node.Out());
        while (!builder.pending.empty()) {
            ExpandingBuilder::Pending parent = std::move(builder.pending.front());
            builder.pending.pop_front();
            builder.level = parent.level;
            if (parent.level > walk.deepestLevel)
                walk.deepestLevel = parent.level;
            HRESULT hr = a.treeItemsBuild->BuildChildren(parent.node.Get(), builder, a.nodeAcceptor.get());
            if (FAILED(hr))
                return hr;
            ++walk.levels;
        }
        walk.items = builder.items;
        return S_OK;
    });
    return walk;
}

HRESULT HostilePageTest::Evaluate(const std::wstring& expression, vx::com::Variant& result)
{
    vx::com::BStr text(expression.c_str());
    vx::com::BStr prefix(L"Page");
    return vxWebFw::XPath::CrFwEvaluateXPath(helper_.Get(), text.Get(), prefix.Get(), result.Out());
}

double HostilePageTest::Number(const std::wstring& expression)
{
    vx::com::Variant result;
    HRESULT hr = Evaluate(expression, result);
    EXPECT_EQ(S_OK, hr) << std::string(expression.begin(), expression.end());
    if (FAILED(hr) || result.Type() != VT_R8)
        return -1;
    return V_R8(result.Get());
}

long HostilePageTest::TopDocumentElements() const
{
    const harness::SnapshotPage& page = native_->Page();
    long count = 0;
    for (long id = 1; id <= page.NodeCount(); ++id)
        if (page.Node(id).doc == 0 && page.Node(id).nodeType == 1)
            ++count;
    return count;
}

long HostilePageTest::CountElements(const wchar_t* nodeName) const
{
    const harness::SnapshotPage& page = native_->Page();
    long count = 0;
    for (long id = 1; id <= page.NodeCount(); ++id)
        count += page.Node(id).nodeType == 1 && page.StringProp(id, L"nodeName") == nodeName;
    return count;
}

} // namespace hostile
