#pragma once
// What a node is in the Tree model: its item type, how the level walk treats
// it (kind) and which builder operation receives it (category), plus the
// process-wide table of type names.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace vxWebFw::TreeModel {

enum TreeItemType : long {
    tiNone = 0,
    tiTextNode = 1,
    tiApplet = 2,
    tiButton = 3,
    tiCaption = 4,
    tiCell = 5,
    tiCheckbox = 6,
    tiFieldset = 7,
    tiFile = 8,
    tiForm = 9,
    tiFrame = 10,
    tiImage = 11,
    tiImageButton = 12,
    tiLabel = 13,
    tiLegend = 14,
    tiLink = 15,
    tiMarquee = 16,
    tiObject = 17,
    tiPanel = 18,
    tiPasswordBox = 19,
    tiRadioButton = 20,
    tiResetButton = 21,
    tiSelect = 22,
    tiSubmitButton = 23,
    tiTable = 24,
    tiTextarea = 25,
    tiTextbox = 26,
};

enum TreeItemKind : long {
    tikSkipped = 0,       // not an item; the node and its subtree are skipped
    tikItem = 1,          // an item; its children appear when it is expanded
    tikTransparent = 2,   // not an item; its children belong to the current level
    tikTextContainer = 3, // an item whose descendants are listed ahead of it on the current level
};

struct TreeItemRecognition
{
    TreeItemType type = tiNone;
    TreeItemKind kind = tikSkipped;
};

inline bool operator==(const TreeItemRecognition& a, const TreeItemRecognition& b)
{
    return a.type == b.type && a.kind == b.kind;
}

enum TreeItemCategory : long {
    ticNone = 0,
    ticItem = 1,
    ticFrame = 2,
    ticCell = 3,
};

TreeItemCategory GetTreeItemCategory(const TreeItemRecognition& recognition);

// Names of the item types ("TextNode" ... "Textbox"). One table per process,
// made on first use and destroyed with the module's static objects when the
// module unloads.
class TreeItemTypeNames
{
public:
    static const TreeItemTypeNames& Instance();

    // A fresh copy of the type's name; E_UNEXPECTED for a type outside the table.
    HRESULT GetName(long type, BSTR* name) const;
    HRESULT GetFrameName(BSTR* name) const { return GetName(tiFrame, name); }
    HRESULT GetCellName(BSTR* name) const { return GetName(tiCell, name); }
    const std::vector<std::wstring>& GetAllNames() const { return names_; }

    TreeItemTypeNames(const TreeItemTypeNames&) = delete;
    TreeItemTypeNames& operator=(const TreeItemTypeNames&) = delete;

private:
    TreeItemTypeNames();
    std::vector<std::wstring> names_; // index = type - 1
};

} // namespace vxWebFw::TreeModel
