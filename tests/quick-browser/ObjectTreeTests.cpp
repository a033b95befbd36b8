// The object tree the browser process walks: records, identity paths and
// identifiers of both models, checked against the web framework's own walks
// over the same page (run in-process on the renderer thread).
#include <string>
#include <vector>

#include "QuickBrowserFixture.h"
#include "quickbrowser/objects/RendererCall.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwEnumerators.h"

namespace qbtests {
namespace {

using vxWebFw::NodeHandle;
using vxWebFw::Recognizing::RecognizedNode;

// One object the in-process walks report: node number and identifier (as text).
struct Walked
{
    long nodeId = 0;
    std::wstring identifier;
    long kind = 0; // quick-browser kind it must become
    long row = -1, cell = -1;
    bool expandable = true;
    bool operator==(const Walked& o) const
    {
        return nodeId == o.nodeId && identifier == o.identifier && kind == o.kind && row == o.row && cell == o.cell &&
               expandable == o.expandable;
    }
};

std::wstring IdentifierText(const VARIANT& id)
{
    vx::com::Variant text;
    if (V_VT(&id) == VT_EMPTY)
        return L"<empty>";
    if (FAILED(VariantChangeType(text.Get(), const_cast<VARIANT*>(&id), 0, VT_BSTR)))
        return L"<?>";
    return std::wstring(V_BSTR(text.Get()), SysStringLen(V_BSTR(text.Get())));
}

class Recorder : public vxWebFw::DOMModel::IDOMAllBuilder,
                 public vxWebFw::DOMModel::IDOMFramesBuilder,
                 public vxWebFw::TreeModel::ITreeItemsBuilder
{
public:
    Recorder(harness::SnapshotNativeObject* native, long kind) : native_(native), kind_(kind) {}
    HRESULT Clear() override
    {
        walked.clear();
        return S_OK;
    }
    HRESULT Add(RecognizedNode& node, const VARIANT& id) override
    {
        walked.push_back({native_->NodeIdOf(node.GetNode()), IdentifierText(id), kind_});
        return S_OK;
    }
    HRESULT AddItem(NodeImpl* node, bool expandable, vxWebFw::TreeModel::TreeItemType type, const VARIANT& id) override
    {
        walked.push_back({native_->NodeIdOf(node), std::to_wstring(type) + L":" + IdentifierText(id), crqbotTreeItem,
                          -1, -1, expandable});
        return S_OK;
    }
    HRESULT AddFrame(NodeImpl* node, bool expandable, const VARIANT& id) override
    {
        walked.push_back({native_->NodeIdOf(node), IdentifierText(id), crqbotTreeFrame, -1, -1, expandable});
        return S_OK;
    }
    HRESULT AddCell(NodeImpl* node, bool expandable, const VARIANT&, long row, long cell) override
    {
        walked.push_back({native_->NodeIdOf(node), L"", crqbotTreeCell, row, cell, expandable});
        return S_OK;
    }
    std::vector<Walked> walked;

private:
    harness::SnapshotNativeObject* native_;
    long kind_;
};

// What the quick browser's records say, in the recorder's terms.
std::vector<Walked> FromRecords(const std::vector<ObjectThisInformation>& children)
{
    std::vector<Walked> out;
    for (const ObjectThisInformation& child : children) {
        Walked w;
        w.nodeId = std::stol(child.identityPath.Str().substr(child.identityPath.Str().rfind(L'!') + 1));
        w.kind = static_cast<long>(child.kind);
        w.expandable = child.expandable;
        if (child.kind == crqbotTreeItem) {
            LONG type = 0;
            vx::com::Variant id;
            EXPECT_EQ(S_OK, ReadTreeItemIdentifier(*child.identifier, type, id));
            w.identifier = std::to_wstring(type) + L":" + IdentifierText(*id);
        } else if (child.kind == crqbotTreeCell) {
            LONG row = 0, cell = 0;
            EXPECT_EQ(S_OK, ReadTreeCellIdentifier(*child.identifier, row, cell));
            w.row = row;
            w.cell = cell;
        } else {
            w.identifier = IdentifierText(*child.identifier);
        }
        out.push_back(std::move(w));
    }
    return out;
}

class ObjectTreeTest : public QuickBrowserTest
{
protected:
    // Runs `walk(accessor)` on the renderer thread with an accessor of its own.
    template <class Walk>
    void InProcess(Walk&& walk)
    {
        ComPtr<CCrRawBrowserHelper> accessor;
        ASSERT_EQ(S_OK, vx::com::CreateComObject(accessor));
        ASSERT_EQ(S_OK, accessor->AttachNative(nullptr, native_.Get(), CreateCrFwAdapters));
        accessor->Options().UpdateOption(L"{66F235D3-108D-4961-A923-03333575E40E}", **ObjectModelValue());
        ASSERT_EQ(S_OK, vxCrQuickBrowser::RunOnRenderer(accessor.Get(), [&] { return walk(accessor.Get()); }));
    }
    std::vector<Walked> WalkDom(long documentNode, bool frames)
    {
        Recorder recorder(native_.Get(), frames ? crqbotDOMFrame : crqbotDOMItem);
        InProcess([&](CCrRawBrowserHelper* accessor) {
            CCrFwAdapters& adapters = *accessor->Adapters();
            NodeHandle document(accessor, native_->HandleOf(documentNode));
            CCrFwDocumentAllEnumerator all(accessor, adapters.nodeLifetime.get(), document.Get());
            return frames ? adapters.domFramesWalk->DomFramesBuild(all, recorder, adapters.nodeAcceptor.get())
                          : adapters.domAllWalk->DomAllBuild(all, recorder, adapters.nodeAcceptor.get());
        });
        return recorder.walked;
    }
    std::vector<Walked> WalkTree(long parentNode)
    {
        Recorder recorder(native_.Get(), crqbotTreeItem);
        InProcess([&](CCrRawBrowserHelper* accessor) {
            CCrFwAdapters& adapters = *accessor->Adapters();
            NodeHandle parent(accessor, native_->HandleOf(parentNode));
            return adapters.treeItemsBuild->BuildChildren(parent.Get(), recorder, adapters.nodeAcceptor.get());
        });
        return recorder.walked;
    }
    long BodyOf(int documentIndex)
    {
        const harness::SnapValue* body =
            native_->Page().Prop(native_->Page().documents.at(static_cast<size_t>(documentIndex)).node, L"body");
        return body ? body->ref : 0;
    }
    vx::com::Variant* ObjectModelValue()
    {
        V_VT(model_.Get()) = VT_I4;
        V_I4(model_.Get()) = objectModel_;
        return &model_;
    }
    void UseModel(LONG model)
    {
        objectModel_ = model;
        UseObjectModel(model);
    }

    LONG objectModel_ = 3;
    vx::com::Variant model_;
};

TEST_F(ObjectTreeTest, DomModelRecordsFromPageToItemsMatchTheFrameworkWalks)
{
    Load("snapshots/naming.json");
    UseModel(0);
    ObjectThisInformation page = PageInformation();
    EXPECT_EQ(L"Page", page.identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotPage), page.kind);
    EXPECT_TRUE(page.expandable);
    EXPECT_EQ(VT_EMPTY, page.identifier.Type());

    std::vector<ObjectThisInformation> pageChildren = Children(page);
    ASSERT_EQ(1u, pageChildren.size());
    EXPECT_EQ(L"document", pageChildren[0].identityPath.Str());
    EXPECT_EQ(static_cast<ULONG>(crqbotDOMNamed), pageChildren[0].kind);
    EXPECT_EQ(L"document", IdentifierText(*pageChildren[0].identifier));

    std::vector<ObjectThisInformation> named = Children(pageChildren[0]);
    ASSERT_EQ(2u, named.size());
    EXPECT_EQ(L"all", named[0].identityPath.Str());
    EXPECT_EQ(L"frames", named[1].identityPath.Str());
    EXPECT_EQ(L"all", IdentifierText(*named[0].identifier));
    EXPECT_EQ(L"frames", IdentifierText(*named[1].identifier));

    const long documentNode = native_->Page().documents[0].node;
    std::vector<Walked> items = FromRecords(Children(named[0]));
    EXPECT_EQ(WalkDom(documentNode, false), items);
    EXPECT_GT(items.size(), 10u);
    std::vector<Walked> frames = FromRecords(Children(named[1]));
    EXPECT_EQ(WalkDom(documentNode, true), frames);
    EXPECT_EQ(3u, frames.size());

    // An item has no children: the record is VT_EMPTY, not an empty array.
    ComPtr<IvxCrQuickBrowserObject> item;
    ASSERT_EQ(S_OK, Children(named[0])[0].object.As(&item));
    vx::com::Variant none;
    EXPECT_EQ(S_OK, item->GetChildrenInformation(none.Out()));
    EXPECT_EQ(VT_EMPTY, none.Type());
}

TEST_F(ObjectTreeTest, FramePathsLeadIntoFrameDocumentsAndCrossOriginFramesFail)
{
    Load("snapshots/iframes.json");
    UseModel(0);
    ObjectThisInformation outer = DomElement(L"outerFrame");
    EXPECT_EQ(static_cast<ULONG>(crqbotDOMFrame), outer.kind);
    const std::wstring outerPath = NodePath(L"outerFrame");
    ObjectThisInformation document = Child(outer, outerPath + L"!document");
    ObjectThisInformation frames = Child(document, outerPath + L"!frames");
    std::vector<ObjectThisInformation> inner = Children(frames);
    ASSERT_EQ(1u, inner.size());
    EXPECT_EQ(outerPath + L"!" + NodePath(L"innerFrame"), inner[0].identityPath.Str());
    ObjectThisInformation innerAll =
        Child(Child(inner[0], inner[0].identityPath.Str() + L"!document"), inner[0].identityPath.Str() + L"!all");
    std::vector<std::wstring> paths;
    for (const ObjectThisInformation& item : Children(innerAll))
        paths.push_back(item.identityPath.Str());
    EXPECT_NE(paths.end(),
              std::find(paths.begin(), paths.end(), inner[0].identityPath.Str() + L"!" + NodePath(L"innerInput")));

    // A frame of another origin: no document to show.
    ObjectThisInformation foreign = DomElement(L"foreignFrame");
    ComPtr<IvxCrQuickBrowserObject> foreignObject;
    ASSERT_EQ(S_OK, foreign.object.As(&foreignObject));
    vx::com::Variant record;
    EXPECT_EQ(E_FAIL, foreignObject->GetChildrenInformation(record.Out()));
    EXPECT_EQ(VT_EMPTY, record.Type());
}

TEST_F(ObjectTreeTest, TreeModelLevelsMatchTheFrameworkWalkWithCellIndexes)
{
    Load("snapshots/tables.json");
    ObjectThisInformation page = PageInformation();
    std::vector<ObjectThisInformation> level = Children(page);
    EXPECT_EQ(WalkTree(BodyOf(0)), FromRecords(level));
    ASSERT_FALSE(level.empty());

    // Expanding every item of the first level: its level equals the walk
    // below the element, cells carry their row and cell indexes.
    bool sawCell = false;
    for (const ObjectThisInformation& item : level) {
        const long nodeId = std::stol(item.identityPath.Str());
        std::vector<Walked> got = FromRecords(Children(item));
        EXPECT_EQ(WalkTree(nodeId), got) << "below node " << nodeId;
        for (const ObjectThisInformation& child : Children(item))
            for (const Walked& w : FromRecords(Children(child)))
                sawCell = sawCell || (w.kind == crqbotTreeCell && w.row >= 0 && w.cell >= 0);
        for (const Walked& w : got)
            sawCell = sawCell || (w.kind == crqbotTreeCell && w.row >= 0 && w.cell >= 0);
    }
    EXPECT_TRUE(sawCell) << "the tables page shows no cell two levels down";
}

TEST_F(ObjectTreeTest, TreeFramesExpandIntoTheirDocumentsItems)
{
    Load("snapshots/iframes.json");
    const std::wstring outerPath = NodePath(L"outerFrame");
    ObjectThisInformation outer = Child(PageInformation(), outerPath);
    EXPECT_EQ(static_cast<ULONG>(crqbotTreeFrame), outer.kind);
    int outerDocument = 0;
    for (size_t d = 0; d < native_->Page().documents.size(); ++d)
        if (native_->Page().documents[d].frameElement == NodeIdOf(L"outerFrame"))
            outerDocument = static_cast<int>(d);
    ASSERT_NE(0, outerDocument);
    std::vector<ObjectThisInformation> inside = Children(outer);
    EXPECT_EQ(WalkTree(BodyOf(outerDocument)), FromRecords(inside));
    ASSERT_FALSE(inside.empty());
    for (const ObjectThisInformation& item : inside)
        EXPECT_EQ(0u, item.identityPath.Str().rfind(outerPath + L"!", 0)) << item.identityPath.Str().c_str();
}

TEST_F(ObjectTreeTest, ExistenceFollowsRemovedNodesAndClosedFrameWindows)
{
    Load("snapshots/iframes.json");
    UseModel(0);
    ObjectThisInformation page = PageInformation();
    ObjectThisInformation topBox = DomElement(L"topBox");
    ObjectThisInformation outer = DomElement(L"outerFrame");
    ObjectThisInformation frameDocument = Child(outer, NodePath(L"outerFrame") + L"!document");
    EXPECT_TRUE(Exists(page));
    EXPECT_TRUE(Exists(topBox));
    EXPECT_TRUE(Exists(frameDocument));

    native_->RemoveNode(NodeIdOf(L"topBox"));
    native_->RemoveNode(NodeIdOf(L"outerFrame"));
    EXPECT_FALSE(Exists(topBox));
    EXPECT_FALSE(Exists(outer));
    EXPECT_FALSE(Exists(frameDocument));
    EXPECT_TRUE(Exists(page));
}

TEST_F(ObjectTreeTest, ScriptObjectsAndTheObjectAnswerThroughTheirDispatch)
{
    Load("snapshots/naming.json");
    UseModel(0);
    ObjectThisInformation page = PageInformation();
    ObjectThisInformation document = Child(page, L"document");
    // The element 3 of a record is the object itself: it answers the object
    // interface and, for an element, the control members by DISPID.
    ObjectThisInformation item = std::move(Children(Child(document, L"all")).at(0));
    DISPPARAMS none = {};
    vx::com::Variant exists;
    EXPECT_EQ(S_OK, item.object->Invoke(4, IID_NULL, 0, DISPATCH_METHOD, &none, exists.Out(), nullptr, nullptr));
    EXPECT_EQ(VT_BOOL, exists.Type());
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(exists.Get()));
    vx::com::Variant width;
    EXPECT_EQ(S_OK, item.object->Invoke(0x14, IID_NULL, 0, DISPATCH_METHOD, &none, width.Out(), nullptr, nullptr));
    EXPECT_EQ(VT_UI4, width.Type());
    // The named objects have no control members.
    vx::com::Variant nothing;
    EXPECT_TRUE(
        FAILED(document.object->Invoke(0x14, IID_NULL, 0, DISPATCH_METHOD, &none, nothing.Out(), nullptr, nullptr)));
}

// Every object of both models of the large page, made and released: the
// native object holds no handle of ours afterwards (checked at tear-down).
TEST_F(ObjectTreeTest, FullWalksOfBothModelsOfTheLargePageLeaveNoHandle)
{
    Load("large/snapshots/capi3ref.json");
    UseModel(0);
    ObjectThisInformation document = Child(PageInformation(), L"document");
    EXPECT_GT(Children(Child(document, L"all")).size(), 7000u);
    EXPECT_TRUE(Children(Child(document, L"frames")).empty());

    UseModel(3);
    size_t objects = 0;
    std::vector<ObjectThisInformation> level = Children(PageInformation());
    while (!level.empty()) {
        std::vector<ObjectThisInformation> next;
        for (const ObjectThisInformation& item : level) {
            ++objects;
            if (!item.expandable)
                continue;
            for (ObjectThisInformation& child : Children(item))
                next.push_back(std::move(child));
        }
        level = std::move(next);
    }
    EXPECT_GT(objects, 1000u);
}

} // namespace
} // namespace qbtests
