#include "recording/WebControlDetection.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "openapphook/DispDriver.h"
#include "platform/com/BStr.h"
#include "platform/com/ComBoundary.h"
#include "platform/com/Variant.h"
#include "recording/RegExpModule.h"

namespace vxCrRecording {

namespace {

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;

// The class names this detection reports.
namespace classes {
constexpr wchar_t RadTabStrip[] = L"Telerik.Web.UI.RadTabStrip";
constexpr wchar_t RadComboBoxDropDown[] = L"Telerik.Web.UI.RadComboBoxDropDown";
constexpr wchar_t RadComboBox[] = L"Telerik.Web.UI.RadComboBox";
constexpr wchar_t RadToolBarDropDown[] = L"Telerik.Web.UI.RadToolBarDropDown";
constexpr wchar_t RadMenu[] = L"Telerik.Web.UI.RadMenu";
constexpr wchar_t RadTreeView[] = L"Telerik.Web.UI.RadTreeView";
constexpr wchar_t RadToolBar[] = L"Telerik.Web.UI.RadToolBar";
constexpr wchar_t WebTab[] = L"Infragistics.WebUI.WebTab";
constexpr wchar_t WebNumericEdit[] = L"Infragistics.WebUI.WebDataInput.WebNumericEdit";
constexpr wchar_t WebDateTimeEdit[] = L"Infragistics.WebUI.WebDataInput.WebDateTimeEdit";
constexpr wchar_t WebTextEdit[] = L"Infragistics.WebUI.WebDataInput.WebTextEdit";
constexpr wchar_t WebMenu[] = L"Infragistics.WebUI.UltraWebNavigator.WebMenu";
constexpr wchar_t WebMenuItemPanel[] = L"Infragistics.WebUI.UltraWebNavigator.WebMenuItemPanel";
constexpr wchar_t WebTree[] = L"Infragistics.WebUI.UltraWebNavigator.WebTree";
constexpr wchar_t WebDateChooser[] = L"Infragistics.WebUI.WebSchedule.WebDateChooser";
constexpr wchar_t WebDateChooserDrpPanel[] = L"Infragistics.WebUI.WebSchedule.WebDateChooserDrpPanel";
constexpr wchar_t WebToolbar[] = L"Infragistics.WebUI.UltraWebToolbar.WebToolbar";
constexpr wchar_t UltraWebGrid[] = L"Infragistics.WebUI.UltraWebGrid.UltraWebGrid";
constexpr wchar_t WebCombo[] = L"Infragistics.WebUI.WebCombo.WebCombo";
constexpr wchar_t UltraWebListbar[] = L"Infragistics.WebUI.UltraWebListbar.UltraWebListbar";
constexpr wchar_t ASPxTabControl[] = L"DevExpress.Web.ASPxTabControl";
constexpr wchar_t ASPxTreeList[] = L"DevExpress.Web.ASPxTreeList";
constexpr wchar_t ASPxComboBox[] = L"DevExpress.Web.ASPxComboBox";
constexpr wchar_t ASPxListBox[] = L"DevExpress.Web.ASPxListBox";
constexpr wchar_t ASPxMenu[] = L"DevExpress.Web.ASPxMenu";
constexpr wchar_t ASPxMenuDropDown[] = L"DevExpress.Web.ASPxMenuDropDown";
constexpr wchar_t ASPxSpinEdit[] = L"DevExpress.Web.ASPxSpinEdit";
constexpr wchar_t ASPxDateEdit[] = L"DevExpress.Web.ASPxDateEdit";
constexpr wchar_t ASPxCalendar[] = L"DevExpress.Web.ASPxCalendar";
constexpr wchar_t ASPxButton[] = L"DevExpress.Web.ASPxButton";
} // namespace classes

// The script that creates a DevExpress client object names its class right
// after this text (lower-cased, as the element's text search gives it).
constexpr wchar_t kDevExpressCreation[] = L"dxo = new aspxclient";

std::wstring Lowered(std::wstring_view text)
{
    std::wstring lowered(text);
    if (!lowered.empty())
        CharLowerBuffW(lowered.data(), static_cast<DWORD>(lowered.size()));
    return lowered;
}

bool Contains(std::wstring_view text, std::wstring_view word)
{
    return text.find(word) != std::wstring_view::npos;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b)
{
    return a.size() == b.size() && Lowered(a) == Lowered(b);
}

// `text` without its first `head` and last `tail` characters (empty when
// too short).
std::wstring Cut(const std::wstring& text, size_t head, size_t tail)
{
    return text.size() > head + tail ? text.substr(head, text.size() - head - tail) : std::wstring();
}

// ---- script objects: every failure reads as "no such member"

// The member's value; false when the object lacks the member (reading it
// fails or gives undefined, as for a name the object never had).
bool ReadMember(IDispatch* object, const std::wstring& name, Variant& value) noexcept
{
    if (!object)
        return false;
    try {
        value = vxOpenAppHook::CvxDispDriver(object).GetPropertyVariant(name.c_str());
        return value.Type() != VT_EMPTY;
    } catch (...) {
        return false;
    }
}

bool HasMember(IDispatch* object, const std::wstring& name) noexcept
{
    Variant value;
    return ReadMember(object, name, value);
}

// The member's value when it is a script object; null otherwise.
ComPtr<IDispatch> ObjectMember(IDispatch* object, const std::wstring& name) noexcept
{
    Variant value;
    if (!ReadMember(object, name, value))
        return nullptr;
    ComPtr<IDispatch> member;
    const VARIANT* read = value.Get();
    if (V_VT(read) == VT_DISPATCH)
        member = V_DISPATCH(read);
    else if (V_VT(read) == VT_UNKNOWN && V_UNKNOWN(read))
        V_UNKNOWN(read)->QueryInterface(IID_PPV_ARGS(&member));
    return member;
}

// Whether calling the object's method with one string argument answers a
// value that is neither empty nor null.
bool CallAnswers(IDispatch* object, const wchar_t* method, const std::wstring& argument) noexcept
{
    if (!object)
        return false;
    try {
        Variant text;
        V_VT(text.Get()) = VT_BSTR;
        V_BSTR(text.Get()) = SysAllocStringLen(argument.data(), static_cast<UINT>(argument.size()));
        if (!V_BSTR(text.Get()))
            return false;
        const Variant result = vxOpenAppHook::CvxDispDriver(object).InvokeMethod(method, *text.Get());
        switch (result.Type()) {
        case VT_EMPTY:
        case VT_NULL:
            return false;
        case VT_DISPATCH:
            return V_DISPATCH(result.Get()) != nullptr;
        case VT_UNKNOWN:
            return V_UNKNOWN(result.Get()) != nullptr;
        default:
            return true;
        }
    } catch (...) {
        return false;
    }
}

// One run of the rules over one element.
class Detection
{
public:
    Detection(IvxWebObject* element, std::wstring className, std::wstring id, IDispatch* window)
        : element_(element), className_(Lowered(className)), id_(std::move(id)), window_(window)
    {
    }

    // The class of the first rule that holds, or null.
    const wchar_t* Run()
    {
        if (!className_.empty())
            if (const wchar_t* found = ByClassName())
                return found;
        if (!id_.empty() && HasMember(window_, L"ig_shared"))
            if (const wchar_t* found = ByScriptGlobals())
                return found;
        if (!id_.empty())
            return ByIdAndTag();
        return nullptr;
    }

private:
    // Rules 1 to 9: words in the lower-cased class name.
    const wchar_t* ByClassName()
    {
        const std::wstring_view name = className_;
        if (Contains(name, L"tabstrip"))
            return classes::RadTabStrip;
        if (Contains(name, L"radcomboboxdropdown"))
            return classes::RadComboBoxDropDown;
        if (Contains(name, L"radcombobox"))
            return classes::RadComboBox;
        if (Contains(name, L"radtoolbardropdown"))
            return classes::RadToolBarDropDown;
        if (Contains(name, L"radmenu"))
            return classes::RadMenu;
        if (Contains(name, L"radtreeview"))
            return classes::RadTreeView;
        if (Contains(name, L"dxtccontrol"))
            return classes::ASPxTabControl;
        if (Contains(name, L"dxtlcontrol"))
            return classes::ASPxTreeList;
        if ((name == L"combobox" || Contains(name, L"combobox_")) && !Contains(name, L"comboboxdropdown") &&
            ScriptNear(L"new radcombobox(", true, nullptr))
            return classes::RadComboBox;
        return nullptr;
    }

    // Rules 10 to 22: the id's patterns and the page's Infragistics globals.
    const wchar_t* ByScriptGlobals()
    {
        if (Matches(L"^(igtab)"))
            return classes::WebTab;
        if (Matches(L"^(igtxt)"))
            if (const wchar_t* found = DataInput())
                return found;
        if (Matches(L"(_MainM)$"))
            return classes::WebMenu;
        if (Matches(L"((_\\z)+M)$"))
            return classes::WebMenuItemPanel;
        if (Matches(L"^(T_)") && CallAnswers(window_, L"igtree_getTreeById", Cut(id_, 2, 0)))
            return classes::WebTree;
        if (DateChooser())
            return classes::WebDateChooser;
        if (Matches(L"^(igcal)") && Matches(L"(_DrpPnl_Calendar)"))
            return classes::WebDateChooserDrpPanel;
        if (CallAnswers(window_, L"igtbar_getToolbarById", id_))
            return classes::WebToolbar;
        if (Matches(L"(_main)$") && CallAnswers(window_, L"igtbl_getGridById", Cut(id_, 0, 5)))
            return classes::UltraWebGrid;
        if (Matches(L"(_Main)$") && CallAnswers(window_, L"igcmbo_getComboById", Cut(id_, 0, 5)))
            return classes::WebCombo;
        bool listbarPart = false;
        for (const wchar_t* part :
             {L"(_xpandImage)$", L"(_imagediv)$", L"(_image)$", L"(_header)$", L"(group)$", L"(_Group_(\\z)_text)$"})
            listbarPart = listbarPart || Matches(part);
        if (!listbarPart && CallAnswers(window_, L"iglbar_getListbarById", id_))
            return classes::UltraWebListbar;
        return nullptr;
    }

    // Rules 11 to 13: the edit object that "igedit_all" keeps under the id
    // without its "igtxt" prefix.
    const wchar_t* DataInput()
    {
        ComPtr<IDispatch> edits = ObjectMember(window_, L"igedit_all");
        ComPtr<IDispatch> edit = edits ? ObjectMember(edits.Get(), Cut(id_, 5, 0)) : nullptr;
        if (!edit)
            return nullptr;
        if (HasMember(edit.Get(), L"getNumber"))
            return classes::WebNumericEdit;
        if (HasMember(edit.Get(), L"getDate"))
            return classes::WebDateTimeEdit;
        return classes::WebTextEdit;
    }

    // Rule 17: a date chooser that "igdrp_all" keeps under the id.
    bool DateChooser()
    {
        ComPtr<IDispatch> choosers = ObjectMember(window_, L"igdrp_all");
        ComPtr<IDispatch> chooser = choosers ? ObjectMember(choosers.Get(), id_) : nullptr;
        return chooser && HasMember(chooser.Get(), L"getMinDate") && HasMember(chooser.Get(), L"getMaxDate");
    }

    // Rules 23 to 30: the id, the tag and the scripts next to the element.
    const wchar_t* ByIdAndTag()
    {
        if (Contains(id_, L"_DropDown") && Contains(ParentId(), L"_DropDownPlaceholder"))
            return classes::RadComboBoxDropDown;
        const std::wstring& tag = Tag();
        if (EqualsNoCase(tag, L"DIV")) {
            if (Contains(className_, L"radtoolbar"))
                return classes::RadToolBar;
            if (ScriptNear(L"new radtoolbar(", false, nullptr))
                return classes::RadToolBar;
            if (ScriptNear(L"new radtreeview(", true, nullptr))
                return classes::RadTreeView;
            std::wstring created;
            if (ScriptNear(kDevExpressCreation, true, &created)) {
                if (Contains(created, L"popupmenu"))
                    return classes::ASPxMenu;
                if (Contains(created, L"menu"))
                    return classes::ASPxMenuDropDown;
            }
            return nullptr;
        }
        if (EqualsNoCase(tag, L"TABLE")) {
            std::wstring created;
            if (!ScriptNear(kDevExpressCreation, true, &created))
                return nullptr;
            static const std::pair<const wchar_t*, const wchar_t*> kByWord[] = {
                {L"pagecontrol", classes::ASPxTabControl}, {L"combobox", classes::ASPxComboBox},
                {L"listbox", classes::ASPxListBox},        {L"menu", classes::ASPxMenu},
                {L"spinedit", classes::ASPxSpinEdit},      {L"dateedit", classes::ASPxDateEdit},
                {L"calendar", classes::ASPxCalendar},
            };
            for (const auto& [word, found] : kByWord)
                if (Contains(created, word))
                    return found;
            // The element's text search lower-cases what it returns, so the
            // button's class name arrives as "button".
            if (created == L"button" && ScriptNear(L"dxo.groupname = '", true, nullptr))
                return classes::ASPxButton;
        }
        return nullptr;
    }

    bool Matches(const wchar_t* pattern) { return patterns_.Search(pattern, id_); }

    // Whether a SCRIPT among the element's children (or, with
    // `siblingsToo`, among the siblings that follow it) contains `text`;
    // `value` receives what follows the text there.
    bool ScriptNear(const wchar_t* text, bool siblingsToo, std::wstring* value)
    {
        const BStr wanted(text), tag(L"SCRIPT");
        for (VARIANT_BOOL siblings : {VARIANT_FALSE, VARIANT_TRUE}) {
            if (siblings && !siblingsToo)
                break;
            BStr found;
            if (element_->HasChildNodeContainingText(wanted.Get(), tag.Get(), siblings, found.Out()) == S_OK) {
                if (value)
                    *value = found.Str();
                return true;
            }
        }
        return false;
    }

    const std::wstring& Tag()
    {
        if (!tagRead_) {
            tagRead_ = true;
            BStr tag;
            if (SUCCEEDED(element_->GetTagName(tag.Out())))
                tag_ = tag.Str();
        }
        return tag_;
    }

    std::wstring ParentId()
    {
        BStr parentId;
        return SUCCEEDED(element_->GetParentNodeId(parentId.Out())) ? parentId.Str() : std::wstring();
    }

    IvxWebObject* element_;
    std::wstring className_; // lower case
    std::wstring id_;
    IDispatch* window_; // may be null
    CRegExpModule patterns_;
    bool tagRead_ = false;
    std::wstring tag_;
};

} // namespace

HRESULT DetectWebControl(IvxWebObject* webObject, BSTR* className) noexcept
{
    if (!className)
        return E_POINTER;
    *className = nullptr;
    if (!webObject)
        return E_INVALIDARG;
    return vx::com::CallAsBoundary([&]() -> HRESULT {
        BStr elementClass, id;
        HRESULT hr = webObject->GetClassNameAndId(elementClass.Out(), id.Out());
        if (hr != S_OK)
            return hr;
        ComPtr<IDispatch> window;
        hr = webObject->GetScriptObject(window.ReleaseAndGetAddressOf());
        if (FAILED(hr))
            return hr;
        Detection detection(webObject, elementClass.Str(), id.Str(), window.Get());
        const wchar_t* found = detection.Run();
        if (!found)
            return S_FALSE;
        *className = SysAllocString(found);
        return *className ? S_OK : E_OUTOFMEMORY;
    });
}

} // namespace vxCrRecording
