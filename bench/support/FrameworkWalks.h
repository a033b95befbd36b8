#pragma once
// The two walks the renderer-side benchmarks time, as the quick browser
// makes them, each meant to run as one renderer-thread task: the All
// collection of the top document (enumeration, recognition, acceptance,
// string ids, unique names) and the Tree model expanded to every level.
#include <windows.h>

#include <deque>

#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "tests/support/WithPageDocument.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/TreeModel/TreeItemsBuild.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwEnumerators.h"

namespace benchwalks {

using testsupport::WithPageDocument;

class CountingBuilder : public vxWebFw::DOMModel::IDOMAllBuilder
{
public:
    HRESULT Clear() override
    {
        named = numbered = 0;
        return S_OK;
    }
    HRESULT Add(vxWebFw::Recognizing::RecognizedNode&, const VARIANT& id) override
    {
        (V_VT(&id) == VT_BSTR ? named : numbered)++;
        return S_OK;
    }
    long named = 0, numbered = 0;
};

struct WalkContext
{
    CCrRawBrowserHelper* helper = nullptr;
    CountingBuilder builder;
    HRESULT result = E_FAIL;
};

inline HRESULT STDMETHODCALLTYPE WalkAll(void* context)
{
    auto* walk = static_cast<WalkContext*>(context);
    return WithPageDocument(walk->helper, [&](CCrFwAdapters& a, NodeImpl* document) {
        CCrFwDocumentAllEnumerator all(walk->helper, a.nodeLifetime.get(), document);
        walk->result = a.domAllWalk->DomAllBuild(all, walk->builder, a.nodeAcceptor.get());
        return walk->result;
    });
}

// Counts the items of one level and keeps a handle of every expandable one,
// so that the expansion can go on below it.
class ExpandingTreeBuilder : public vxWebFw::TreeModel::ITreeItemsBuilder
{
public:
    explicit ExpandingTreeBuilder(CCrRawBrowserHelper* helper) : helper_(helper) {}
    HRESULT Clear() override { return S_OK; }
    HRESULT AddItem(NodeImpl* node, bool expandable, vxWebFw::TreeModel::TreeItemType, const VARIANT&) override
    {
        return Add(node, expandable);
    }
    HRESULT AddFrame(NodeImpl* node, bool expandable, const VARIANT&) override { return Add(node, expandable); }
    HRESULT AddCell(NodeImpl* node, bool expandable, const VARIANT&, long, long) override
    {
        return Add(node, expandable);
    }

    long items = 0;
    std::deque<vxWebFw::NodeHandle> pending;

private:
    HRESULT Add(NodeImpl* node, bool expandable)
    {
        ++items;
        if (expandable) {
            pending.emplace_back(helper_);
            helper_->CloneNode(node, pending.back().Out());
        }
        return S_OK;
    }
    CCrRawBrowserHelper* helper_;
};

struct TreeContext
{
    CCrRawBrowserHelper* helper = nullptr;
    long items = 0;
    long levels = 0;
};

inline HRESULT STDMETHODCALLTYPE ExpandTree(void* context)
{
    auto* tree = static_cast<TreeContext*>(context);
    CCrRawBrowserHelper* helper = tree->helper;
    return WithPageDocument(helper, [&](CCrFwAdapters& a, NodeImpl* document) {
        ExpandingTreeBuilder builder(helper);
        builder.pending.emplace_back(helper);
        helper->CloneNode(document, builder.pending.back().Out());
        while (!builder.pending.empty()) {
            vxWebFw::NodeHandle parent = std::move(builder.pending.front());
            builder.pending.pop_front();
            HRESULT hr = a.treeItemsBuild->BuildChildren(parent.Get(), builder, a.nodeAcceptor.get());
            if (FAILED(hr))
                return hr;
            ++tree->levels;
        }
        tree->items = builder.items;
        return S_OK;
    });
}

} // namespace benchwalks
