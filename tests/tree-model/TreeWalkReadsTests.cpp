// What a Tree level's walk keeps of the page (CCrFwWalkReads): it lives
// exactly as long as the walk, answers only for the handles it owns, reads
// each member once per walk, and gives every handle back when the walk ends.
#include "TreeLevel.h"

#include "webfw/chrome/CrFwWalkReads.h"

using namespace treetests;
using vxWebFw::NativeModel::NodeEnumeratorPtr;

namespace {

// Records how many nodes the walk kept while it was reporting items.
class KeptCountingBuilder : public RecordingTreeBuilder
{
public:
    KeptCountingBuilder(CCrRawBrowserHelper* helper, harness::SnapshotNativeObject* native, CCrFwWalkReads& reads)
        : RecordingTreeBuilder(helper, native), reads_(reads)
    {
    }
    HRESULT AddItem(NodeImpl* node, bool expandable, TreeItemType type, const VARIANT& id) override
    {
        keptWhileAdding = std::max(keptWhileAdding, reads_.KeptNodes());
        return RecordingTreeBuilder::AddItem(node, expandable, type, id);
    }
    size_t keptWhileAdding = 0;

private:
    CCrFwWalkReads& reads_;
};

class TreeWalkReads : public TreeFixture
{
protected:
    void SetUp() override { Load("snapshots/text-blocks.json"); }

    CCrFwWalkReads& Reads() { return *Adapters().walkReads; }

    // The ids of the element children of a node, in order, as the snapshot has them.
    std::vector<long> ChildIds(long nodeId) { return native_->Page().Node(nodeId).children; }

    // Every node an enumerator gives, by snapshot id, each given back through it.
    std::vector<long> Drain(vxWebFw::NativeModel::NodeEnumerator& children)
    {
        std::vector<long> ids;
        for (;;) {
            vxWebFw::NodeHandle child(&children);
            if (children.Next(child.Out()) != S_OK)
                break;
            ids.push_back(native_->NodeIdOf(child.Get()));
        }
        return ids;
    }

    long Reads(const wchar_t* member) { return native_->MemberCalls(member); }
};

} // namespace

TEST_F(TreeWalkReads, NodesAreKeptDuringTheLevelWalkAndAllGivenBackAtItsEnd)
{
    vxWebFw::NodeHandle texts = Element(L"texts");
    const long before = native_->LiveHandles();
    KeptCountingBuilder builder(helper_.Get(), native_.Get(), Reads());
    ASSERT_EQ(S_OK, Adapters().treeItemsBuild->BuildChildren(texts.Get(), builder, Adapters().nodeAcceptor.get()));
    ASSERT_FALSE(builder.items.empty());
    EXPECT_GT(builder.keptWhileAdding, 0u) << "the walk kept the children it read";
    EXPECT_FALSE(Reads().InWalk());
    EXPECT_EQ(0u, Reads().KeptNodes());
    // Only the builder's own duplicates remain.
    EXPECT_EQ(before + static_cast<long>(builder.items.size()), native_->LiveHandles());
}

TEST_F(TreeWalkReads, EachMemberIsReadOncePerWalkAndAgainInTheNextWalk)
{
    vxWebFw::NodeHandle texts = Element(L"texts");
    native_->ResetCounters();
    RecordingTreeBuilder first = Level(texts.Get());
    const long nodeTypes = Reads(L"nodeType"), tags = Reads(L"tagName"), texts1 = Reads(L"data");
    // No node below "texts" is read twice: at most one read per node.
    long below = 0;
    std::vector<long> pending = ChildIds(native_->NodeIdOf(texts.Get()));
    while (!pending.empty()) {
        long id = pending.back();
        pending.pop_back();
        ++below;
        for (long child : ChildIds(id))
            pending.push_back(child);
    }
    EXPECT_GT(nodeTypes, 0);
    EXPECT_LE(nodeTypes, below);
    EXPECT_LE(tags, below);
    EXPECT_EQ(static_cast<long>(first.items.size()), native_->SlotCalls(harness::NativeSlot::CloneNode))
        << "only the builder clones; the walk clones no child";

    // The next walk reads the page again, exactly as the first did.
    RecordingTreeBuilder second = Level(texts.Get());
    EXPECT_EQ(2 * nodeTypes, Reads(L"nodeType"));
    EXPECT_EQ(2 * tags, Reads(L"tagName"));
    EXPECT_EQ(2 * texts1, Reads(L"data"));
    ASSERT_EQ(first.items.size(), second.items.size());
}

TEST_F(TreeWalkReads, APageChangeBetweenWalksIsSeenByTheNextWalk)
{
    // The paragraph starts with blank text, so its span is the item.
    RecordingTreeBuilder before = Level(L"texts");
    EXPECT_EQ(nullptr, before.Find(L"blankThenSpan"));
    EXPECT_NE(nullptr, before.Find(L"spanAfterBlank"));

    const long paragraph = native_->Page().FindById(L"blankThenSpan");
    const long blankText = ChildIds(paragraph).at(0);
    ASSERT_EQ(3, native_->Page().Node(blankText).nodeType);
    harness::SnapValue text;
    text.kind = harness::SnapValue::Kind::String;
    text.text = L"now text";
    native_->SetNodeProperty(blankText, L"data", text);

    RecordingTreeBuilder after = Level(L"texts");
    const TreeEntry* p = after.Find(L"blankThenSpan");
    ASSERT_NE(nullptr, p) << "the text read by the first walk was not used again";
    EXPECT_EQ(tiTextNode, p->type);
    EXPECT_EQ(nullptr, after.Find(L"spanAfterBlank"));
}

TEST_F(TreeWalkReads, AnEnumeratorLeftFromAnEndedWalkGivesNothing)
{
    vxWebFw::NodeHandle texts = Element(L"texts");
    NodeEnumeratorPtr children;
    NodeImpl* first = nullptr;
    {
        vxWebFw::NativeModel::WalkScopeGuard walk(&Reads());
        ASSERT_EQ(S_OK, Adapters().childNodesProvider->GetChildNodes(texts.Get(), children));
        ASSERT_EQ(S_OK, children->Next(&first));
        EXPECT_TRUE(Reads().Keeps(first));
    }
    EXPECT_EQ(0u, Reads().KeptNodes());
    NodeImpl* stale = nullptr;
    EXPECT_EQ(E_UNEXPECTED, children->Next(&stale));
    EXPECT_EQ(nullptr, stale);
    // Given back late through the enumerator: the walk already did, no second release.
    EXPECT_EQ(S_OK, children->Release(first));
    children.reset();
    // Outside a walk the provider enumerates the ordinary way again.
    ASSERT_EQ(S_OK, Adapters().childNodesProvider->GetChildNodes(texts.Get(), children));
    EXPECT_EQ(ChildIds(native_->NodeIdOf(texts.Get())), Drain(*children));
    EXPECT_EQ(0u, Reads().KeptNodes());
}

TEST_F(TreeWalkReads, NestedWalksKeepUntilTheOutermostEnds)
{
    vxWebFw::NodeHandle texts = Element(L"texts");
    const std::vector<long> expected = ChildIds(native_->NodeIdOf(texts.Get()));
    Reads().BeginWalk();
    {
        vxWebFw::NativeModel::WalkScopeGuard inner(&Reads());
        NodeEnumeratorPtr children;
        ASSERT_EQ(S_OK, Adapters().childNodesProvider->GetChildNodes(texts.Get(), children));
        EXPECT_EQ(expected, Drain(*children));
    }
    EXPECT_EQ(expected.size(), Reads().KeptNodes()) << "the inner walk's end drops nothing";
    Reads().EndWalk();
    EXPECT_EQ(0u, Reads().KeptNodes());
    Reads().EndWalk(); // an unmatched end changes nothing
    EXPECT_FALSE(Reads().InWalk());
}

TEST_F(TreeWalkReads, AKeptNodeAnswersFromTheWalkAndOthersFromThePage)
{
    vxWebFw::NodeHandle texts = Element(L"texts");
    vxWebFw::NativeModel::WalkScopeGuard walk(&Reads());
    NodeEnumeratorPtr children;
    ASSERT_EQ(S_OK, Adapters().childNodesProvider->GetChildNodes(texts.Get(), children));
    vxWebFw::NodeHandle firstChild(children.get()), secondChild(children.get());
    ASSERT_EQ(S_OK, children->Next(firstChild.Out()));
    ASSERT_EQ(S_OK, children->Next(secondChild.Out()));
    NodeImpl* paragraph = secondChild.Get(); // P#startsWithText after a line break
    ASSERT_EQ(native_->Page().FindById(L"startsWithText"), native_->NodeIdOf(paragraph));

    native_->ResetCounters();
    long type = 0;
    vx::com::BStr tag;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(S_OK, Reads().NodeType(paragraph, &type));
        EXPECT_EQ(S_OK, Reads().TagName(paragraph, tag.Out()));
    }
    EXPECT_EQ(1, type);
    EXPECT_EQ(L"P", tag.Str());
    EXPECT_EQ(1, Reads(L"nodeType"));
    EXPECT_EQ(1, Reads(L"tagName"));

    // The same node through a handle the walk does not own is read each time.
    vxWebFw::NodeHandle own = Element(L"startsWithText");
    EXPECT_FALSE(Reads().Keeps(own.Get()));
    EXPECT_EQ(S_OK, Reads().NodeType(own.Get(), &type));
    EXPECT_EQ(S_OK, Reads().NodeType(own.Get(), &type));
    EXPECT_EQ(3, Reads(L"nodeType"));

    // A failed read is kept as failed: a text node has no tag name.
    EXPECT_EQ(3, native_->Page().Node(native_->NodeIdOf(firstChild.Get())).nodeType);
    EXPECT_FAILED(Reads().TagName(firstChild.Get(), tag.Out()));
    EXPECT_EQ(nullptr, tag.Get());
    EXPECT_FAILED(Reads().TagName(firstChild.Get(), tag.Out()));
    EXPECT_EQ(2, Reads(L"tagName"));
}

TEST_F(TreeWalkReads, ChildrenBeyondTheLimitAreEnumeratedTheOrdinaryWay)
{
    vxWebFw::NodeHandle texts = Element(L"texts");
    const std::vector<long> expected = ChildIds(native_->NodeIdOf(texts.Get()));
    ASSERT_GT(expected.size(), 4u);
    const long before = native_->LiveHandles();
    {
        CCrFwWalkReads small(helper_.Get(), 3);
        CCrFwChildNodesProvider provider(helper_.Get(), Adapters().nodeLifetime.get(), &small);
        vxWebFw::NativeModel::WalkScopeGuard walk(&small);
        NodeEnumeratorPtr children;
        ASSERT_EQ(S_OK, provider.GetChildNodes(texts.Get(), children));
        EXPECT_EQ(expected, Drain(*children));
        EXPECT_EQ(3u, small.KeptNodes());
        // Again from the start: the kept ones, then the page from the last of them.
        EXPECT_EQ(S_OK, children->Reset());
        EXPECT_EQ(expected, Drain(*children));

        // Stopping past the limit: the enumerator gives back its duplicate.
        EXPECT_EQ(S_OK, children->Reset());
        std::vector<vxWebFw::NodeHandle> held;
        for (int i = 0; i < 5; ++i) {
            held.emplace_back(children.get());
            ASSERT_EQ(S_OK, children->Next(held.back().Out()));
        }
        EXPECT_EQ(expected[4], native_->NodeIdOf(held.back().Get()));
        held.clear();
        children.reset();
    }
    EXPECT_EQ(before, native_->LiveHandles());
}
