#pragma once
// Test side of the Tree model over a PageModel: a builder that records one
// level (keeping a handle of every item so it can be expanded in turn) and
// the indented listing of a whole tree, line for line the listing the Wine
// tests write (tests/tree-model/TreeLevel.h).
#include <sstream>
#include <string>
#include <vector>

#include "NativePage.h"
#include "webfw/TreeModel/TreeItemsBuild.h"

namespace webfwnative {

using namespace vxWebFw::TreeModel;

struct TreeEntry
{
    vxWebFw::NodeHandle node; // a duplicate owned by the entry
    long nodeId = 0;          // snapshot node id
    TreeItemType type = tiNone;
    bool expandable = false;
    std::wstring name;        // for a named item
    long number = -1;         // for an unnamed item
    long row = -2, cell = -2; // for a cell
};

inline std::wstring IdText(const TreeEntry& e)
{
    return e.number >= 0 ? std::to_wstring(e.number) : L"\"" + e.name + L"\"";
}

class RecordingTreeBuilder : public ITreeItemsBuilder
{
public:
    explicit RecordingTreeBuilder(PageModel& model) : model_(model) {}
    HRESULT Clear() override
    {
        ++clears;
        items.clear();
        return clearResult;
    }
    HRESULT AddItem(NodeImpl* node, bool expandable, TreeItemType type, const VARIANT& id) override
    {
        Record(node, expandable, type, id);
        return addResult;
    }
    HRESULT AddFrame(NodeImpl* node, bool expandable, const VARIANT& id) override
    {
        Record(node, expandable, tiFrame, id);
        return addResult;
    }
    HRESULT AddCell(NodeImpl* node, bool expandable, const VARIANT& id, long row, long cell) override
    {
        TreeEntry& e = Record(node, expandable, tiCell, id);
        e.row = row;
        e.cell = cell;
        return addResult;
    }

    // The entry for the element with this id property, or null.
    const TreeEntry* Find(const std::wstring& elementId) const
    {
        const long nodeId = model_.Page().FindById(elementId);
        for (const TreeEntry& e : items)
            if (e.nodeId == nodeId)
                return &e;
        return nullptr;
    }
    size_t IndexOf(const std::wstring& elementId) const
    {
        const TreeEntry* e = Find(elementId);
        return e ? static_cast<size_t>(e - items.data()) : items.size();
    }

    std::vector<TreeEntry> items;
    int clears = 0;
    HRESULT addResult = S_OK;
    HRESULT clearResult = S_OK;

private:
    TreeEntry& Record(NodeImpl* node, bool expandable, TreeItemType type, const VARIANT& id)
    {
        TreeEntry e;
        e.node = vxWebFw::NodeHandle(model_.Lifetime());
        EXPECT_EQ(S_OK, model_.AddRef(node, e.node.Out())) << "the builder is handed a live node";
        e.nodeId = model_.NodeIdOf(node);
        e.type = type;
        e.expandable = expandable;
        if (V_VT(&id) == VT_BSTR)
            e.name.assign(V_BSTR(&id), SysStringLen(V_BSTR(&id)));
        else if (V_VT(&id) == VT_I4)
            e.number = V_I4(&id);
        else
            ADD_FAILURE() << "an item identifier of type " << V_VT(&id);
        items.push_back(std::move(e));
        return items.back();
    }

    PageModel& model_;
};

class TreeLevels : public NativePage
{
protected:
    // One level below `node`, with the acceptor of the page context.
    RecordingTreeBuilder Level(NodeImpl* node)
    {
        RecordingTreeBuilder builder(Model());
        EXPECT_EQ(S_OK, Adapters().treeItemsBuild.BuildChildren(node, builder, &Adapters().acceptor));
        return builder;
    }
    RecordingTreeBuilder Level(const wchar_t* elementId) { return Level(Element(elementId).Get()); }
    RecordingTreeBuilder PageLevel() { return Level(Document().Get()); }

    std::wstring TypeName(TreeItemType type)
    {
        vx::com::BStr name;
        EXPECT_EQ(S_OK, TreeItemTypeNames::Instance().GetName(type, name.Out()));
        return name.Str();
    }

    // The start of the node's text content with white space collapsed, read
    // from the snapshot itself (no node handles), for a reader of listings.
    std::wstring TextHint(long nodeId)
    {
        std::wstring text;
        CollectText(nodeId, text);
        std::wstring collapsed;
        for (wchar_t c : text) {
            const bool space = c == L' ' || c == L'\t' || c == L'\n' || c == L'\r';
            if (space && (collapsed.empty() || collapsed.back() == L' '))
                continue;
            collapsed.push_back(space ? L' ' : c);
            if (collapsed.size() >= 40)
                break;
        }
        while (!collapsed.empty() && collapsed.back() == L' ')
            collapsed.pop_back();
        return collapsed;
    }
    void CollectText(long nodeId, std::wstring& text)
    {
        const harness::SnapNode& node = Page().Node(nodeId);
        if (node.nodeType == 3)
            text += Page().StringProp(nodeId, L"data");
        for (long child : node.children) {
            if (text.size() > 200)
                return;
            CollectText(child, text);
        }
    }

    // Every level below `node`, expanded depth first, one line per item.
    void WriteListing(NodeImpl* node, int depth, std::wostringstream& out)
    {
        RecordingTreeBuilder level = Level(node);
        for (TreeEntry& e : level.items) {
            out << std::wstring(static_cast<size_t>(depth) * 2, L' ') << TypeName(e.type) << L' ' << IdText(e);
            if (e.type == tiCell)
                out << L" row=" << e.row << L" cell=" << e.cell;
            if (!e.expandable)
                out << L" (not expandable)";
            out << L"  <" << Page().StringProp(e.nodeId, L"tagName");
            const std::wstring elementId = Page().StringProp(e.nodeId, L"id");
            if (!elementId.empty())
                out << L'#' << elementId;
            out << L">";
            if (e.type == tiTextNode || e.type == tiLink || e.type == tiButton || e.type == tiLabel ||
                e.type == tiLegend || e.type == tiCaption || e.type == tiCell)
                out << L" \"" << TextHint(e.nodeId) << L"\"";
            out << L"\n";
            if (e.expandable)
                WriteListing(e.node.Get(), depth + 1, out);
            e.node.Reset();
        }
    }
};

} // namespace webfwnative
