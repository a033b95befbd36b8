// Every rule of the web-control detection on captured pages, each with an
// element where it holds and one where it narrowly does not, through the
// library's element test objects; and the results for bad input.
#include <vector>

#include "DetectionFixture.h"
#include "platform/com/BStr.h"
#include "platform/com/ComObject.h"
#include "recording/WebControlDetection.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vxCrRecording::DetectWebControl;

namespace web_control_tests {
namespace {

// An element id and the class the detection must give it (null: none).
struct Expected
{
    const wchar_t* id;
    const wchar_t* className;
};

class WebControlDetection : public DetectionTest
{
protected:
    // Detects every case and checks that the runs leave no script object
    // of the page held.
    void ExpectClasses(const std::vector<Expected>& cases)
    {
        const long scriptObjectsBefore = ScriptObjects();
        ASSERT_GE(scriptObjectsBefore, 0);
        DetectAll(cases);
        EXPECT_EQ(scriptObjectsBefore, ScriptObjectsAfterRelease(scriptObjectsBefore));
    }

    void DetectAll(const std::vector<Expected>& cases)
    {
        for (const Expected& expected : cases) {
            const std::string id(expected.id, expected.id + wcslen(expected.id));
            ComPtr<IvxWebObject> web = WebObject(expected.id);
            ASSERT_TRUE(web) << id;
            BStr found;
            const HRESULT hr = DetectWebControl(web.Get(), found.Out());
            if (expected.className) {
                EXPECT_EQ(S_OK, hr) << id;
                EXPECT_EQ(std::wstring(expected.className), found.Str()) << id;
            } else {
                EXPECT_EQ(S_FALSE, hr) << id;
                EXPECT_EQ(nullptr, found.Get())
                    << id << " gave " << std::string(found.View().begin(), found.View().end());
            }
        }
    }

    // No node handle of the page stays held in the renderer.
    void ExpectNothingLeft() { EXPECT_EQ(0u, HandlesAfterRelease().rfind("ok 0 ", 0)); }
};

TEST_F(WebControlDetection, TelerikClassNamesIdsAndScripts)
{
    StartRenderer("snapshots/detection/telerik.json");
    ExpectClasses({
        {L"tabs1", L"Telerik.Web.UI.RadTabStrip"}, // rule 1
        {L"tabs2", nullptr},
        // Rule 2 comes before rule 3: the drop-down's class name holds
        // "radcombobox" too.
        {L"combo2", L"Telerik.Web.UI.RadComboBoxDropDown"},
        {L"combo1", L"Telerik.Web.UI.RadComboBox"}, // rule 3, with a second class
        {L"combo3", nullptr},
        {L"tbdrop1", L"Telerik.Web.UI.RadToolBarDropDown"}, // rule 4
        {L"tbdrop2", nullptr},
        {L"menu1", L"Telerik.Web.UI.RadMenu"}, // rule 5
        {L"menu2", nullptr},
        {L"tree1", L"Telerik.Web.UI.RadTreeView"}, // rule 6
        {L"tree2", nullptr},
        // Rule 9: ComboBox only with "new RadComboBox(" in a child or a
        // following SCRIPT, and never for a drop-down.
        {L"plaincombo1", L"Telerik.Web.UI.RadComboBox"},
        {L"plaincombo2", L"Telerik.Web.UI.RadComboBox"},
        {L"plaincombo3", nullptr},
        {L"plaincombo4", nullptr},
        {L"plaincombo5", nullptr},
        // Rule 23: a drop-down id inside its placeholder.
        {L"ctl1_DropDown", L"Telerik.Web.UI.RadComboBoxDropDown"},
        {L"ctl2_DropDown", nullptr},
        {L"ctl1_DropDownPlaceholder", nullptr},
        {L"toolbar1", L"Telerik.Web.UI.RadToolBar"}, // rule 24: DIV only
        {L"toolbar2", nullptr},
        {L"toolbar3", L"Telerik.Web.UI.RadToolBar"}, // rule 25: a child SCRIPT only
        {L"toolbar4", nullptr},
        {L"treeview3", L"Telerik.Web.UI.RadTreeView"}, // rule 26: DIV only
        {L"treeview4", nullptr},
    });
    ExpectNothingLeft();
}

TEST_F(WebControlDetection, DevExpressClassNamesAndCreationScripts)
{
    StartRenderer("snapshots/detection/devexpress.json");
    ExpectClasses({
        {L"tabs1", L"DevExpress.Web.ASPxTabControl"}, // rule 7
        {L"tabs2", nullptr},
        {L"treelist1", L"DevExpress.Web.ASPxTreeList"}, // rule 8
        {L"treelist2", nullptr},
        {L"popup1", L"DevExpress.Web.ASPxMenu"},        // rule 27
        {L"menu1", L"DevExpress.Web.ASPxMenuDropDown"}, // rule 28
        {L"text1", nullptr},
        {L"menu2", nullptr}, // a SPAN
        // Rule 29, the words in their order.
        {L"pages1", L"DevExpress.Web.ASPxTabControl"},
        {L"combo1", L"DevExpress.Web.ASPxComboBox"},
        {L"list1", L"DevExpress.Web.ASPxListBox"},
        {L"menu3", L"DevExpress.Web.ASPxMenu"},
        {L"spin1", L"DevExpress.Web.ASPxSpinEdit"},
        {L"date1", L"DevExpress.Web.ASPxDateEdit"},
        {L"calendar1", L"DevExpress.Web.ASPxCalendar"},
        {L"text2", nullptr},
        // Rule 30: exactly a button, in a group.
        {L"button1", L"DevExpress.Web.ASPxButton"},
        {L"button2", nullptr},
        {L"button3", nullptr},
    });
    ExpectNothingLeft();
}

const std::vector<Expected> kInfragisticsWithModule = {
    {L"igtabMain", L"Infragistics.WebUI.WebTab"}, // rule 10
    {L"xigtabMain", nullptr},
    // Rules 11 to 13: the edit object kept in igedit_all under the id
    // without "igtxt".
    {L"igtxtPrice", L"Infragistics.WebUI.WebDataInput.WebNumericEdit"},
    {L"igtxtBirthday", L"Infragistics.WebUI.WebDataInput.WebDateTimeEdit"},
    {L"igtxtNote", L"Infragistics.WebUI.WebDataInput.WebTextEdit"},
    {L"igtxtMissing", nullptr},
    {L"Menu1_MainM", L"Infragistics.WebUI.UltraWebNavigator.WebMenu"}, // rule 14
    {L"Menu1_MainMx", nullptr},
    {L"Menu1_1_2M", L"Infragistics.WebUI.UltraWebNavigator.WebMenuItemPanel"}, // rule 15
    {L"Menu1_xM", nullptr},
    {L"T_Tree1", L"Infragistics.WebUI.UltraWebNavigator.WebTree"}, // rule 16
    {L"T_Tree2", nullptr},
    {L"Chooser1", L"Infragistics.WebUI.WebSchedule.WebDateChooser"}, // rule 17
    {L"Chooser2", nullptr},
    {L"igcalChooser1_DrpPnl_Calendar", L"Infragistics.WebUI.WebSchedule.WebDateChooserDrpPanel"}, // rule 18
    {L"igcalChooser1", nullptr},
    {L"Toolbar1", L"Infragistics.WebUI.UltraWebToolbar.WebToolbar"}, // rule 19
    {L"Toolbar2", nullptr},
    {L"Grid1_main", L"Infragistics.WebUI.UltraWebGrid.UltraWebGrid"}, // rule 20
    {L"Grid2_main", nullptr},
    {L"Combo1_Main", L"Infragistics.WebUI.WebCombo.WebCombo"}, // rule 21
    {L"Combo2_Main", nullptr},
    // Rule 22: the list bar's look-up answers for all four; the parts that
    // the patterns name are left out.
    {L"Listbar1", L"Infragistics.WebUI.UltraWebListbar.UltraWebListbar"},
    {L"Bar_Group_x_text", L"Infragistics.WebUI.UltraWebListbar.UltraWebListbar"},
    {L"Listbar1_header", nullptr},
    {L"Bar_Group_3_text", nullptr},
};

TEST_F(WebControlDetection, InfragisticsIdsPatternsAndScriptGlobals)
{
    StartRenderer("snapshots/detection/infragistics.json");
    ExpectClasses(kInfragisticsWithModule);
    ExpectNothingLeft();
}

TEST_F(WebControlDetection, NoInfragisticsClassWithoutIgShared)
{
    StartRenderer("snapshots/detection/infragistics-without-shared.json");
    std::vector<Expected> none;
    for (const Expected& expected : kInfragisticsWithModule)
        none.push_back({expected.id, nullptr});
    ExpectClasses(none);
    ExpectNothingLeft();
}

TEST_F(WebControlDetection, WithoutTheRegularExpressionModuleEveryPatternTestIsFalse)
{
    StartRenderer("snapshots/detection/infragistics.json");
    // A product folder without the module.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    ProductFolder empty(std::wstring(temp) + L"vxcr-no-product-here");
    ExpectClasses({
        // Rules that need a pattern never hold.
        {L"igtabMain", nullptr},
        {L"igtxtPrice", nullptr},
        {L"Menu1_MainM", nullptr},
        {L"Menu1_1_2M", nullptr},
        {L"T_Tree1", nullptr},
        {L"igcalChooser1_DrpPnl_Calendar", nullptr},
        {L"Grid1_main", nullptr},
        {L"Combo1_Main", nullptr},
        // Rules 17 and 19 depend on the script window alone.
        {L"Chooser1", L"Infragistics.WebUI.WebSchedule.WebDateChooser"},
        {L"Toolbar1", L"Infragistics.WebUI.UltraWebToolbar.WebToolbar"},
        // Rule 22 asks that no pattern matches: without the module none
        // does, so the list bar's parts count as list bars too.
        {L"Listbar1", L"Infragistics.WebUI.UltraWebListbar.UltraWebListbar"},
        {L"Listbar1_header", L"Infragistics.WebUI.UltraWebListbar.UltraWebListbar"},
    });
    EXPECT_EQ(nullptr, GetModuleHandleW(L"ovRegExp.dll"));
}

TEST_F(WebControlDetection, TheModuleIsLetGoAfterEachRun)
{
    StartRenderer("snapshots/detection/infragistics.json");
    ExpectClasses({{L"igtabMain", L"Infragistics.WebUI.WebTab"}});
    EXPECT_EQ(nullptr, GetModuleHandleW(L"ovRegExp.dll")) << "each run holds the module only while it runs";
}

// An element object whose reads answer as a test says.
class ScriptedWebObject : public vx::com::ComObject<ScriptedWebObject, IvxWebObject>
{
public:
    HRESULT classNameResult = S_OK;
    HRESULT scriptObjectResult = S_OK;
    std::wstring className = L"RadTabStrip";

    STDMETHODIMP GetTagName(BSTR* tagName) noexcept override
    {
        *tagName = SysAllocString(L"DIV");
        return S_OK;
    }
    STDMETHODIMP GetClassNameAndId(BSTR* name, BSTR* id) noexcept override
    {
        *name = SysAllocString(className.c_str());
        *id = SysAllocString(L"igtabMain");
        return classNameResult;
    }
    STDMETHODIMP GetParentNodeId(BSTR* parentId) noexcept override
    {
        *parentId = nullptr;
        return S_OK;
    }
    STDMETHODIMP HasChildNodeContainingText(BSTR, BSTR, VARIANT_BOOL, BSTR* value) noexcept override
    {
        if (value)
            *value = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP GetScriptObject(IDispatch** scriptObject) noexcept override
    {
        *scriptObject = nullptr;
        return scriptObjectResult;
    }
};

TEST(WebControlDetectionInput, FailuresOfTheElementReadsArePassedOn)
{
    BStr name;
    EXPECT_EQ(E_INVALIDARG, DetectWebControl(nullptr, name.Out()));
    ComPtr<ScriptedWebObject> element;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(element));
    EXPECT_EQ(E_POINTER, DetectWebControl(element.Get(), nullptr));

    // Without a script window the class-name rules still hold.
    EXPECT_EQ(S_OK, DetectWebControl(element.Get(), name.Out()));
    EXPECT_EQ(L"Telerik.Web.UI.RadTabStrip", name.Str());
    element->className = L"plain";
    EXPECT_EQ(S_FALSE, DetectWebControl(element.Get(), name.Out()));
    EXPECT_EQ(nullptr, name.Get());

    element->className = L"RadTabStrip";
    element->classNameResult = S_FALSE;
    EXPECT_EQ(S_FALSE, DetectWebControl(element.Get(), name.Out())) << "any answer but S_OK is passed on";
    EXPECT_EQ(nullptr, name.Get());
    element->classNameResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, DetectWebControl(element.Get(), name.Out()));
    element->classNameResult = S_OK;
    element->scriptObjectResult = RPC_E_DISCONNECTED;
    EXPECT_EQ(RPC_E_DISCONNECTED, DetectWebControl(element.Get(), name.Out()));
    EXPECT_EQ(nullptr, name.Get());
}

} // namespace
} // namespace web_control_tests
