// The test objects a tab hands to the engine, against the library's renderer
// side in a renderer stand-in process: the page objects of both models walked
// down to every element, their identity, validity, naming metadata,
// geometry and event subscriptions.
#include <fstream>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "HookTabFixture.h"
#include "InProcessWalks.h"
#include "platform/com/Variant.h"
#include "testobjects/ObjectNaming.h"
#include "testobjects/TestObjectList.h"
#include "testobjects/TreeTestObjects.h"
#include "tests/support/PagePath.h"
#include "tests/support/RecordingListener.h"
#include "webfw/TreeModel/TreeItemTypes.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;

namespace hook_tab_tests {
namespace {

using testsupport::PagePath;
using vxCrTestObjects::BuildDefaultAlias;

std::wstring Text(HRESULT (STDMETHODCALLTYPE IvxObject::*read)(BSTR*), IvxObject* object)
{
    BStr text;
    EXPECT_EQ(S_OK, (object->*read)(text.Out()));
    return text.Str();
}

std::wstring Moniker(IvxObject* object)
{
    return Text(&IvxObject::GetMoniker, object);
}

template <class Itf>
ComPtr<Itf> As(IUnknown* object)
{
    ComPtr<Itf> result;
    EXPECT_EQ(S_OK, object->QueryInterface(IID_PPV_ARGS(&result)));
    return result;
}

std::wstring Alias(IvxObject* object)
{
    BStr alias;
    EXPECT_EQ(S_OK, As<IvxMethodCallInformation2>(object)->GetAlias(alias.Out()));
    return alias.Str();
}

std::wstring MethodName(IvxObject* object)
{
    BStr name;
    EXPECT_EQ(S_OK, As<IvxMethodCallInformation>(object)->GetMethodName(name.Out()));
    return name.Str();
}

LONG ParamCount(IUnknown* object)
{
    LONG count = -1;
    EXPECT_EQ(S_OK, As<IvxMethodCallInformation>(object)->GetParamCount(&count));
    return count;
}

LONG PropertyCount(IUnknown* object)
{
    LONG count = -1;
    EXPECT_EQ(S_OK, As<IvxNameMappingPropertyInformation>(object)->GetPropertyCount(&count));
    return count;
}

// A property read by name through the object's IDispatch, as a script does.
Variant Property(IUnknown* object, const wchar_t* name)
{
    ComPtr<IDispatch> dispatch = As<IDispatch>(object);
    Variant value;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (!dispatch || FAILED(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id))) {
        ADD_FAILURE() << "no member " << std::string(name, name + wcslen(name));
        return value;
    }
    DISPPARAMS none = {};
    EXPECT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.Get(), nullptr, nullptr));
    return value;
}

std::wstring AsText(const Variant& value)
{
    Variant text;
    if (FAILED(VariantChangeType(text.Get(), const_cast<VARIANT*>(value.Get()), 0, VT_BSTR)))
        return L"<not text>";
    return BStr(std::wstring_view(V_BSTR(text.Get()), SysStringLen(V_BSTR(text.Get())))).Str();
}

std::vector<ComPtr<IvxObject>> Children(IUnknown* object)
{
    VxCrTestObjectList list;
    EXPECT_EQ(S_OK, As<IvxCrBrowserObject>(object)->GetChildObjects(&list));
    return std::move(list.objects);
}

ComPtr<IvxObject> ChildNamed(IUnknown* parent, const std::wstring& monikerEnd)
{
    for (ComPtr<IvxObject>& child : Children(parent)) {
        const std::wstring moniker = Moniker(child.Get());
        if (moniker.size() >= monikerEnd.size() &&
            moniker.compare(moniker.size() - monikerEnd.size(), monikerEnd.size(), monikerEnd) == 0)
            return child;
    }
    ADD_FAILURE() << "no child " << std::string(monikerEnd.begin(), monikerEnd.end());
    return nullptr;
}

bool Exists(IvxObject* object)
{
    VARIANT_BOOL exists = VARIANT_FALSE;
    EXPECT_EQ(S_OK, object->GetExists(&exists));
    return exists != VARIANT_FALSE;
}

GUID Key(IUnknown* object)
{
    GUID key = {};
    EXPECT_EQ(S_OK, As<IovKeyItem>(object)->GetKey(&key));
    return key;
}

// The engine's listener: counts the cookies it is told of.
class EngineNodeListener : public vx::com::ComObject<EngineNodeListener, IvxCrCustomControlsNodeEventListener>
{
public:
    STDMETHODIMP OnEvent(ULONGLONG cookie) noexcept override
    {
        vx::com::CriticalSectionLock hold(lock_);
        heard_.push_back(cookie);
        return S_OK;
    }
    std::vector<ULONGLONG> Heard()
    {
        vx::com::CriticalSectionLock hold(lock_);
        return heard_;
    }
    bool WaitForEvents(size_t count)
    {
        for (int i = 0; i < 500 && Heard().size() < count; ++i)
            Sleep(10);
        return Heard().size() >= count;
    }

private:
    vx::com::CriticalSection lock_;
    std::vector<ULONGLONG> heard_;
};

class TestObjectsTest : public StandinTabTest
{
protected:
    void SetUp() override
    {
        // Before the tab makes its page objects, which look their interfaces
        // up in the type libraries when they are made.
        ASSERT_TRUE(LoadLibraryTypeInfo());
        StandinTabTest::SetUp();
        UseObjectModel(0);
    }
    void UseObjectModel(LONG model)
    {
        VARIANT value;
        V_VT(&value) = VT_I4;
        V_I4(&value) = model;
        SetOption(ProcessOptionKeys::ObjectModel, value);
        Tab().PushChangedOptions();
    }
    void StartRenderer(const char* snapshot) { ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath(snapshot))); }
    ComPtr<IvxObject> Page(bool treeModel)
    {
        ComPtr<IvxObject> page;
        EXPECT_EQ(S_OK, Tab().GetPageTestObject(treeModel, page));
        return page;
    }
    std::string Renderer(const std::string& command)
    {
        std::string answer;
        EXPECT_EQ(S_OK, Standin().RendererCommand(kTabId, command, answer));
        return answer;
    }
    // The DOM model's "all" members below the page test object.
    std::vector<ComPtr<IvxObject>> AllItems()
    {
        ComPtr<IvxObject> document = ChildNamed(Page(false).Get(), L"!document");
        if (!document)
            return {};
        ComPtr<IvxObject> all = ChildNamed(document.Get(), L"!all");
        return all ? Children(all.Get()) : std::vector<ComPtr<IvxObject>>{};
    }
    ComPtr<IvxObject> ItemWithIdentifier(const std::wstring& identifier)
    {
        for (ComPtr<IvxObject>& item : AllItems())
            if (AsText(Property(item.Get(), vxCrTestObjects::kIdentifierParam)) == identifier)
                return item;
        ADD_FAILURE() << "no item " << std::string(identifier.begin(), identifier.end());
        return nullptr;
    }
    // Node handles the renderer's library holds, once the browser side let
    // everything go (the renderer is cut off as the component does when it
    // lets go, for Wine keeps table-held proxy references).
    std::string HandlesAfterRelease()
    {
        Tab().ResetRenderer();
        EXPECT_EQ("ok 0x00000000", Renderer("shutdown"));
        std::string handles;
        for (int attempt = 0; attempt < 50 && (handles = Renderer("handles")).rfind("ok 0 ", 0) != 0; ++attempt)
            Sleep(20);
        return handles;
    }
};

TEST_F(TestObjectsTest, DomModelWalkNamesEveryItemAsTheNamingRulesSay)
{
    StartRenderer("snapshots/naming.json");
    ComPtr<IvxObject> page = Page(false);
    EXPECT_EQ(L"Cr12Wnd!", Moniker(page.Get()));
    ComPtr<IvxObject> document = ChildNamed(page.Get(), L"!document");
    ASSERT_TRUE(document);
    EXPECT_EQ(L"Cr12Wnd!document", Moniker(document.Get()));
    EXPECT_EQ(L"document", Alias(document.Get()));
    ComPtr<IvxMethodCallInformation> none;
    EXPECT_EQ(E_NOINTERFACE, document->QueryInterface(IID_PPV_ARGS(&none))) << "named objects have no method";

    const auto expected = InProcessAll("snapshots/naming.json");
    const std::vector<ComPtr<IvxObject>> items = AllItems();
    ASSERT_EQ(expected.size(), items.size());
    std::set<std::wstring> keys;
    for (size_t i = 0; i < items.size(); ++i) {
        IvxObject* item = items[i].Get();
        const Variant identifier = Property(item, vxCrTestObjects::kIdentifierParam);
        const std::wstring text = AsText(identifier);
        SCOPED_TRACE(std::string(text.begin(), text.end()));
        EXPECT_EQ(expected[i].second, text);
        EXPECT_EQ(L"Cr12Wnd!" + expected[i].first, Moniker(item));
        BStr identifierString;
        EXPECT_EQ(S_OK, item->GetIdentifierString(identifierString.Out()));
        if (identifier.Type() == VT_BSTR) {
            EXPECT_EQ(text, identifierString.Str());
            EXPECT_EQ(BuildDefaultAlias(L"item", text.c_str()), Alias(item));
        } else {
            EXPECT_EQ(nullptr, identifierString.Get()) << "numbers give no identifier string";
            EXPECT_EQ(L"item", Alias(item));
        }
        EXPECT_EQ(L"Item", MethodName(item));
        EXPECT_EQ(1, ParamCount(item));
        LONG creation = -1;
        EXPECT_EQ(S_OK, item->GetCreationValue(&creation));
        EXPECT_EQ(static_cast<LONG>(i), creation);
        EXPECT_TRUE(Exists(item));
        wchar_t keyText[40] = {};
        StringFromGUID2(Key(item), keyText, 40);
        keys.insert(keyText);
    }
    EXPECT_EQ(items.size(), keys.size()) << "every object has its own key";
}

TEST_F(TestObjectsTest, TwoObjectsForOneNodeAreTwoObjects)
{
    StartRenderer("snapshots/naming.json");
    const std::vector<ComPtr<IvxObject>> first = AllItems();
    const std::vector<ComPtr<IvxObject>> second = AllItems();
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(first.size(), second.size());
    EXPECT_EQ(Moniker(first[0].Get()), Moniker(second[0].Get()));
    EXPECT_FALSE(IsEqualGUID(Key(first[0].Get()), Key(second[0].Get())));
}

TEST_F(TestObjectsTest, TreeModelWalkUsesTheTreeTypeNamesAndCellPositions)
{
    UseObjectModel(3);
    StartRenderer("snapshots/tables.json");
    ComPtr<IvxObject> page = Page(true);
    EXPECT_EQ(L"Cr12!", Moniker(page.Get()));
    const auto expected = InProcessTreeLevel("snapshots/tables.json");
    const std::vector<ComPtr<IvxObject>> level = Children(page.Get());
    ASSERT_EQ(expected.size(), level.size());
    int cells = 0;
    std::vector<ComPtr<IvxObject>> pending(level.begin(), level.end());
    while (!pending.empty()) {
        ComPtr<IvxObject> object = pending.back();
        pending.pop_back();
        const std::wstring moniker = Moniker(object.Get());
        SCOPED_TRACE(std::string(moniker.begin(), moniker.end()));
        EXPECT_EQ(0u, moniker.rfind(L"Cr12!", 0));
        BStr identifierString;
        EXPECT_EQ(S_OK, object->GetIdentifierString(identifierString.Out()));
        EXPECT_EQ(nullptr, identifierString.Get());
        ComPtr<IvxCrHookObject> itemPart;
        if (SUCCEEDED(object.As(&itemPart))) {
            const std::wstring method = MethodName(object.Get());
            const auto& names = vxWebFw::TreeModel::TreeItemTypeNames::Instance().GetAllNames();
            EXPECT_NE(names.end(), std::find(names.begin(), names.end(), method));
            EXPECT_EQ(1, ParamCount(object.Get()));
            EXPECT_EQ(2, PropertyCount(object.Get()));
            const Variant identifier = Property(object.Get(), vxCrTestObjects::kIdentifierParam);
            EXPECT_EQ(
                BuildDefaultAlias(method.c_str(), identifier.Type() == VT_BSTR ? V_BSTR(identifier.Get()) : nullptr),
                Alias(object.Get()));
            // Name mapping reads ObjectType and ObjectIdentifier from the
            // element's native (script) object, by name, from this process.
            ComPtr<IDispatch> native;
            ASSERT_EQ(S_OK, object->GetNativeObject(&native));
            ASSERT_TRUE(native);
            EXPECT_EQ(method, AsText(Property(native.Get(), L"ObjectType")));
            EXPECT_EQ(AsText(identifier), AsText(Property(native.Get(), L"ObjectIdentifier")));
        } else {
            ++cells;
            EXPECT_EQ(L"Cell", MethodName(object.Get()));
            EXPECT_EQ(2, ParamCount(object.Get()));
            EXPECT_EQ(3, PropertyCount(object.Get()));
            EXPECT_EQ(L"cell", Alias(object.Get()));
            const Variant row = Property(object.Get(), vxCrTestObjects::kRowIndexParam);
            const Variant column = Property(object.Get(), vxCrTestObjects::kColumnIndexParam);
            EXPECT_EQ(VT_I4, row.Type());
            EXPECT_EQ(VT_I4, column.Type());
            BStr seventh;
            EXPECT_EQ(S_OK, As<IvxMethodCallInformation>(object.Get())->GetParamName(7, seventh.Out()));
            EXPECT_EQ(vxCrTestObjects::kColumnIndexParam, seventh.Str());
        }
        for (ComPtr<IvxObject>& child : Children(object.Get()))
            pending.push_back(child);
    }
    EXPECT_GT(cells, 4);
}

TEST_F(TestObjectsTest, TreeFramesExpandIntoTheirDocuments)
{
    UseObjectModel(3);
    StartRenderer("snapshots/iframes.json");
    int frames = 0;
    int framesWithItems = 0;
    for (ComPtr<IvxObject>& object : Children(Page(true).Get())) {
        if (MethodName(object.Get()) != L"Frame")
            continue;
        ++frames;
        const std::wstring prefix = Moniker(object.Get()) + L"!";
        const std::vector<ComPtr<IvxObject>> inside = Children(object.Get());
        for (const ComPtr<IvxObject>& item : inside)
            EXPECT_EQ(0u, Moniker(item.Get()).rfind(prefix, 0)) << "items of the frame's document";
        framesWithItems += inside.empty() ? 0 : 1;
    }
    // The other-origin frame and the blank one show nothing.
    EXPECT_EQ(6, frames);
    EXPECT_EQ(4, framesWithItems);
}

TEST_F(TestObjectsTest, AResetRendererLeavesEveryEarlierChildInvalidForGood)
{
    StartRenderer("snapshots/naming.json");
    ComPtr<IvxObject> page = Page(false);
    const std::vector<ComPtr<IvxObject>> before = AllItems();
    ASSERT_FALSE(before.empty());
    EXPECT_TRUE(Exists(before[0].Get()));
    Tab().ResetRenderer();
    const std::vector<ComPtr<IvxObject>> after = AllItems(); // connects again
    ASSERT_EQ(before.size(), after.size());
    EXPECT_EQ(Moniker(before[0].Get()), Moniker(after[0].Get()));
    EXPECT_TRUE(Exists(after[0].Get()));
    EXPECT_FALSE(Exists(before[0].Get())) << "even though its node is there again";
    EXPECT_TRUE(Exists(page.Get()));
    Tab().Close();
    EXPECT_FALSE(Exists(page.Get()));
    EXPECT_FALSE(Exists(after[0].Get()));
}

TEST_F(TestObjectsTest, ADomItemIsALeafThatNeverAsksTheRendererForChildren)
{
    StartRenderer("snapshots/naming.json");
    const std::vector<ComPtr<IvxObject>> items = AllItems();
    ASSERT_FALSE(items.empty());
    ASSERT_EQ(S_OK, Standin().KillRenderer(kTabId));
    VxCrTestObjectList list;
    EXPECT_EQ(S_OK, As<IvxCrBrowserObject>(items[0].Get())->GetChildObjects(&list)) << "no call into the renderer";
    EXPECT_TRUE(list.objects.empty());
    EXPECT_EQ(E_POINTER, As<IvxCrBrowserObject>(items[0].Get())->GetChildObjects(nullptr));
}

TEST_F(TestObjectsTest, PageNamingFollowsTheGroupIndexInTheTreeModelOnly)
{
    ComPtr<IvxObject> tree = Page(true);
    ComPtr<IvxObject> dom = Page(false);
    EXPECT_EQ(1, ParamCount(tree.Get()));
    EXPECT_EQ(2, PropertyCount(tree.Get()));
    Tab().SetGroup(2, true);
    EXPECT_EQ(2, ParamCount(tree.Get()));
    EXPECT_EQ(3, PropertyCount(tree.Get()));
    EXPECT_EQ(1, ParamCount(dom.Get()));
    EXPECT_EQ(2, PropertyCount(dom.Get()));
    EXPECT_EQ(2, V_I4(Property(tree.Get(), vxCrTestObjects::kGroupIndexParam).Get()));
    BStr second;
    EXPECT_EQ(S_OK, As<IvxMethodCallInformation>(tree.Get())->GetParamName(1, second.Out()));
    EXPECT_EQ(vxCrTestObjects::kGroupIndexParam, second.Str());
    BStr recorded;
    EXPECT_EQ(S_OK, As<IvxNameMappingPropertyInformation>(tree.Get())->GetRecordPropertyName(1, recorded.Out()));
    EXPECT_EQ(L"RecordURL", recorded.Str());
    EXPECT_EQ(AsText(Property(dom.Get(), vxCrTestObjects::kUrlParam)), L"http://example.test/start");
    EXPECT_EQ(L"pageHttpExampleTestStart", Alias(dom.Get()));

    ComPtr<IvxObjectNaming> naming = As<IvxObjectNaming>(tree.Get());
    ComPtr<IvxObjectNamingSchema> schema;
    BStr lower(L"page");
    EXPECT_EQ(S_OK, naming->FindNamingSchema(lower.Get(), 1, &schema));
    EXPECT_FALSE(schema) << "method names are compared case-sensitively";
    BStr method(L"Page");
    ASSERT_EQ(S_OK, naming->FindNamingSchema(method.Get(), 2, &schema));
    ASSERT_TRUE(schema);
    Variant parameters;
    EXPECT_EQ(S_OK, schema->GetParamNames(parameters.Out()));
    LONG upper = -1;
    SafeArrayGetUBound(V_ARRAY(parameters.Get()), 1, &upper);
    EXPECT_EQ(1, upper);
    Variant all;
    EXPECT_EQ(S_OK, naming->GetNamingSchemas(all.Out()));
    EXPECT_EQ(VT_ARRAY | VT_UNKNOWN, all.Type());
}

TEST_F(TestObjectsTest, ScreenPositionIsTheViewportPositionPlusTheTabWindow)
{
    StartRenderer("snapshots/naming.json");
    HWND window = nullptr;
    ASSERT_EQ(S_OK, Tab().TabWindow(window));
    RECT tabWindow = {};
    ASSERT_TRUE(GetWindowRect(window, &tabWindow));
    ASSERT_TRUE(tabWindow.left != 0 || tabWindow.top != 0) << "the tab window must not be at the origin";

    std::map<std::wstring, ComPtr<IvxObject>> byIdentifier;
    for (ComPtr<IvxObject>& item : AllItems())
        byIdentifier[AsText(Property(item.Get(), vxCrTestObjects::kIdentifierParam))] = item;
    std::ifstream in(std::string(VX_PAGES_DIR) + "/expected/naming.geometry.json");
    const nlohmann::json expected = nlohmann::json::parse(in);
    std::map<std::string, int> idCounts;
    for (const nlohmann::json& element : expected["elements"])
        ++idCounts[element["id"].get<std::string>()];
    int compared = 0;
    for (const nlohmann::json& element : expected["elements"]) {
        const std::string id = element["id"].get<std::string>();
        auto found = byIdentifier.find(std::wstring(id.begin(), id.end()));
        // Ids that repeat (and whose items are numbered apart) are left out.
        if (element["topViewport"].is_null() || element["frame"] != "" || found == byIdentifier.end() ||
            idCounts[id] != 1)
            continue;
        ComPtr<IvxObjectControl> control = As<IvxObjectControl>(found->second.Get());
        LONG left = 0, top = 0, screenLeft = 0, width = 0;
        EXPECT_EQ(S_OK, control->GetLeft(&left));
        EXPECT_EQ(S_OK, control->GetTop(&top));
        EXPECT_EQ(S_OK, control->GetScreenLeft(&screenLeft));
        EXPECT_EQ(S_OK, control->GetWidth(&width));
        const nlohmann::json& box = element["topViewport"];
        EXPECT_EQ(tabWindow.left + static_cast<LONG>(box["left"].get<double>()), left) << id;
        EXPECT_EQ(tabWindow.top + static_cast<LONG>(box["top"].get<double>()), top) << id;
        EXPECT_EQ(left, screenLeft);
        EXPECT_EQ(static_cast<LONG>(box["width"].get<double>()), width);
        LONG_PTR own = 12345;
        VARIANT_BOOL hasOwn = VARIANT_TRUE;
        EXPECT_EQ(S_OK, control->GetOwnWindow(&own, &hasOwn));
        EXPECT_EQ(VARIANT_FALSE, hasOwn);
        EXPECT_EQ(12345, own) << "left untouched";
        ++compared;
    }
    EXPECT_GE(compared, 2);

    ComPtr<IvxObjectControl> page = As<IvxObjectControl>(Page(false).Get());
    LONG pageLeft = 0;
    EXPECT_EQ(S_OK, page->GetLeft(&pageLeft));
    EXPECT_EQ(tabWindow.left, pageLeft);
    LONG_PTR own = 0;
    VARIANT_BOOL hasOwn = VARIANT_FALSE;
    EXPECT_EQ(S_OK, page->GetOwnWindow(&own, &hasOwn));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(window), own);
    EXPECT_EQ(S_OK, page->SetFocused(VARIANT_FALSE));
}

TEST_F(TestObjectsTest, TheObjectAtAPointIsALightObjectNamedByItsTreeMoniker)
{
    StartRenderer("snapshots/naming.json");
    ComPtr<IvxObject> light;
    ASSERT_EQ(S_OK, Tab().GetObjectAtPoint(10, 100, light));
    const std::wstring moniker = Moniker(light.Get());
    EXPECT_EQ(0u, moniker.rfind(L"Cr12!", 0));
    EXPECT_GT(moniker.size(), 5u) << "an element, not the page";
    EXPECT_TRUE(Exists(light.Get()));
    EXPECT_EQ(L"NativeChromeObject", Text(&IvxObject::GetNativePropertyName, light.Get()));
    ComPtr<IDispatch> native;
    EXPECT_EQ(S_OK, light->GetNativeObject(&native));
    EXPECT_FALSE(native);
    ComPtr<IvxObjectControl> notControl;
    EXPECT_EQ(E_NOINTERFACE, light->QueryInterface(IID_PPV_ARGS(&notControl)));
    ASSERT_EQ(S_OK, Tab().GetFocusedObject(light));
    EXPECT_EQ(0u, Moniker(light.Get()).rfind(L"Cr12!", 0));
}

TEST_F(TestObjectsTest, MakeVisibleOnThePageActivatesItsTab)
{
    ASSERT_EQ(S_OK, Standin().OpenTab(13, L"http://example.test/other", false, true));
    ComPtr<CCrHookTab> other = MakeTab(13);
    ASSERT_TRUE(other);
    ASSERT_EQ(13, StandinTab(13).id);
    ASSERT_TRUE(StandinTab(13).active);
    ComPtr<IvxObject> page = Page(false);
    EXPECT_EQ(S_OK, As<IvxObjectControl>(page.Get())->MakeVisible(0, 0));
    EXPECT_TRUE(StandinTab(kTabId).active);
    EXPECT_FALSE(StandinTab(13).active);
}

TEST_F(TestObjectsTest, MakeVisibleOnAnElementScrollsTheRenderer)
{
    StartRenderer("snapshots/scrolling.json");
    ComPtr<IvxObject> distant = ItemWithIdentifier(L"farInput");
    ASSERT_TRUE(distant);
    ComPtr<IvxObjectControl> control = As<IvxObjectControl>(distant.Get());
    LONG before = 0, after = 0;
    ASSERT_EQ(S_OK, control->GetTop(&before));
    EXPECT_EQ(S_OK, control->MakeVisible(-1, -1));
    ASSERT_EQ(S_OK, control->GetTop(&after));
    EXPECT_LT(after, before) << "the page scrolled the element up into view";
    EXPECT_TRUE(StandinTab(kTabId).active);
}

TEST_F(TestObjectsTest, EventsSubscribedThroughATestObjectReachTheEngine)
{
    StartRenderer("snapshots/recognition.json");
    ComPtr<IvxObject> target = ItemWithIdentifier(L"target");
    ASSERT_TRUE(target);
    ComPtr<IvxCrCustomControlsNodeEventSource> source = As<IvxCrCustomControlsNodeEventSource>(target.Get());
    ComPtr<EngineNodeListener> listener;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(listener));
    BStr click(L"click");
    ULONGLONG first = 0, second = 0;
    ASSERT_EQ(S_OK, source->AddEventListener(click.Get(), listener->Identity(), VARIANT_FALSE, &first));
    ASSERT_EQ(S_OK, source->AddEventListener(click.Get(), listener->Identity(), VARIANT_FALSE, &second));
    EXPECT_NE(first, second);
    EXPECT_EQ("ok 2", Renderer("fire target click"));
    ASSERT_TRUE(listener->WaitForEvents(2));
    std::vector<ULONGLONG> heard = listener->Heard();
    std::sort(heard.begin(), heard.end());
    EXPECT_EQ((std::vector<ULONGLONG>{std::min(first, second), std::max(first, second)}), heard);

    EXPECT_EQ(S_OK, source->RemoveEventListener(first));
    EXPECT_EQ(S_FALSE, source->RemoveEventListener(first)) << "unknown cookie";
    EXPECT_EQ("ok 1", Renderer("fire target click"));
    // Releasing the object removes what is left from the renderer.
    source.Reset();
    target.Reset();
    EXPECT_EQ("ok 0", Renderer("fire target click"));

    // A listener that cannot be told of events is refused.
    ComPtr<IvxObject> again = ItemWithIdentifier(L"target");
    ComPtr<testsupport::RecordingListener> dispatchOnly;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(dispatchOnly));
    ULONGLONG cookie = 0;
    EXPECT_EQ(E_NOINTERFACE, As<IvxCrCustomControlsNodeEventSource>(again.Get())
                                 ->AddEventListener(click.Get(), dispatchOnly->Identity(), VARIANT_FALSE, &cookie));
}

TEST_F(TestObjectsTest, ElementReadsAnswerFromTheRenderer)
{
    StartRenderer("snapshots/recognition.json");
    ComPtr<IvxObject> target = ItemWithIdentifier(L"target");
    ASSERT_TRUE(target);
    ComPtr<IvxWebObject> web = As<IvxWebObject>(target.Get());
    BStr tag, className, id;
    EXPECT_EQ(S_OK, web->GetTagName(tag.Out()));
    EXPECT_EQ(L"BUTTON", tag.Str());
    EXPECT_EQ(S_OK, web->GetClassNameAndId(className.Out(), id.Out()));
    EXPECT_EQ(L"box", className.Str());
    EXPECT_EQ(L"target", id.Str());
    BStr nothing(L"no such text anywhere"), value;
    EXPECT_EQ(S_FALSE, web->HasChildNodeContainingText(nothing.Get(), nullptr, VARIANT_FALSE, value.Out()));
    ComPtr<IvxCrCustomControlsNodeInformation> information = As<IvxCrCustomControlsNodeInformation>(target.Get());
    BStr type(L"type"), attribute;
    EXPECT_EQ(S_OK, information->GetAttributeValue(type.Get(), attribute.Out()));
    EXPECT_EQ(L"button", attribute.Str());
}

TEST_F(TestObjectsTest, AFullWalkOfBothModelsLeavesNothingBehind)
{
    StartRenderer("snapshots/tables.json");
    const size_t registeredBefore = Tab().ObjectStubManager()->Count(); // the page identification object
    size_t objects = 0;
    for (LONG model : {0, 3}) {
        UseObjectModel(model);
        std::vector<ComPtr<IvxObject>> pending = Children(Page(model == 3).Get());
        while (!pending.empty()) {
            ComPtr<IvxObject> object = std::move(pending.back());
            pending.pop_back();
            ++objects;
            Moniker(object.Get());
            for (ComPtr<IvxObject>& child : Children(object.Get()))
                pending.push_back(std::move(child));
        }
    }
    EXPECT_GT(objects, 50u);
    EXPECT_EQ(registeredBefore, Tab().ObjectStubManager()->Count()) << "every test object left the stub manager";
    EXPECT_EQ(0u, HandlesAfterRelease().rfind("ok 0 ", 0));
}

} // namespace
} // namespace hook_tab_tests
