#include "tests/hostile-pages/PageWalks.h"

#include <deque>

#include "platform/com/BStr.h"
#include "webfw/DOMModel/DOMModelInterfaces.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/TreeModel/TreeItemsBuild.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwEnumerators.h"
#include "webfw/chrome/CrFwXPathEvaluation.h"
#include "tests/support/WithPageDocument.h"

namespace hostile {

namespace {

using testsupport::WithPageDocument;

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

AllWalk WalkAll(CCrRawBrowserHelper* helper)
{
    NameCollector collector;
    collector.walk.result = WithPageDocument(helper, [&](CCrFwAdapters& a, NodeImpl* document) {
        CCrFwDocumentAllEnumerator all(helper, a.nodeLifetime.get(), document);
        return a.domAllWalk->DomAllBuild(all, collector, a.nodeAcceptor.get());
    });
    return collector.walk;
}

long WalkFrames(CCrRawBrowserHelper* helper, HRESULT* result)
{
    NameCollector collector;
    *result = WithPageDocument(helper, [&](CCrFwAdapters& a, NodeImpl* document) {
        CCrFwDocumentAllEnumerator all(helper, a.nodeLifetime.get(), document);
        return a.domFramesWalk->DomFramesBuild(all, collector, a.nodeAcceptor.get());
    });
    return static_cast<long>(collector.walk.names.size()) + collector.walk.numbered;
}

TreeWalk ExpandTree(CCrRawBrowserHelper* helper)
{
    TreeWalk walk;
    walk.result = WithPageDocument(helper, [&](CCrFwAdapters& a, NodeImpl* document) {
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

HRESULT EvaluateXPath(CCrRawBrowserHelper* helper, const std::wstring& expression, vx::com::Variant& result)
{
    vx::com::BStr text(expression.c_str());
    vx::com::BStr prefix(L"Page");
    return vxWebFw::XPath::CrFwEvaluateXPath(helper, text.Get(), prefix.Get(), result.Out());
}

} // namespace hostile
