#include "webfw/TreeModel/TreeItemTypes.h"

namespace vxWebFw::TreeModel {

TreeItemCategory GetTreeItemCategory(const TreeItemRecognition& recognition)
{
    if (recognition.kind != tikItem && recognition.kind != tikTextContainer)
        return ticNone;
    if (recognition.type == tiCell)
        return ticCell;
    if (recognition.type == tiFrame)
        return ticFrame;
    return ticItem;
}

const TreeItemTypeNames& TreeItemTypeNames::Instance()
{
    // A function-local static: built once, thread-safely, on first use and
    // destroyed when the module's static objects go at unload.
    static const TreeItemTypeNames names;
    return names;
}

TreeItemTypeNames::TreeItemTypeNames()
    : names_{L"TextNode", L"Applet",       L"Button", L"Caption",  L"Cell",        L"Checkbox",    L"Fieldset",
             L"File",     L"Form",         L"Frame",  L"Image",    L"ImageButton", L"Label",       L"Legend",
             L"Link",     L"Marquee",      L"Object", L"Panel",    L"PasswordBox", L"RadioButton", L"ResetButton",
             L"Select",   L"SubmitButton", L"Table",  L"Textarea", L"Textbox"}
{
}

HRESULT TreeItemTypeNames::GetName(long type, BSTR* name) const
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    if (type < 1 || type > static_cast<long>(names_.size()))
        return E_UNEXPECTED;
    const std::wstring& text = names_[static_cast<size_t>(type - 1)];
    *name = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *name ? S_OK : E_OUTOFMEMORY;
}

} // namespace vxWebFw::TreeModel
