// The browser side and the library's own renderer side in two processes: the
// tab connects to the quick browser of a renderer stand-in process (one per
// tab) and walks the page through it; a killed renderer fails calls in
// bounded time and a restarted one is found again.
#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "HookTabFixture.h"
#include "InProcessWalks.h"
#include "harness/nativeobject/SnapshotNativeObject.h"
#include "platform/com/SafeArray.h"
#include "quickbrowser/InformationRecords.h"
#include "quickbrowser/objects/RendererCall.h"
#include "tests/support/PagePath.h"
#include "tests/support/RecordingListener.h"
#include "webfw/TreeModel/TreeItemTypes.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "webfw/chrome/CrFwEnumerators.h"

using Microsoft::WRL::ComPtr;

namespace hook_tab_tests {
namespace {

using testsupport::PagePath;

// DISPIDs of the quick-browser objects.
constexpr DISPID kGetChildrenInformation = 3;
constexpr DISPID kGetExists = 4;

HRESULT CallForVariant(IDispatch* object, DISPID member, VARIANT* result)
{
    DISPPARAMS none = {};
    return object->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, &none, result, nullptr, nullptr);
}

std::vector<ObjectThisInformation> Children(IDispatch* object)
{
    std::vector<ObjectThisInformation> children;
    vx::com::Variant record;
    EXPECT_EQ(S_OK, CallForVariant(object, kGetChildrenInformation, record.Out()));
    if (record.Type() != (VT_ARRAY | VT_VARIANT))
        return children;
    SAFEARRAY* array = V_ARRAY(record.Get());
    LONG upper = -1;
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG index = 0; index <= upper; ++index) {
        vx::com::Variant element;
        SafeArrayGetElement(array, &index, element.Get());
        ObjectThisInformation child;
        EXPECT_EQ(S_OK, ReadThisInformation(*element, child));
        children.push_back(std::move(child));
    }
    return children;
}

ObjectThisInformation Child(IDispatch* parent, const std::wstring& path)
{
    for (ObjectThisInformation& child : Children(parent))
        if (child.identityPath.View() == path)
            return std::move(child);
    ADD_FAILURE() << "no child " << std::string(path.begin(), path.end());
    return {};
}

class HookTabRendererProcess : public StandinTabTest
{
protected:
    void SetUp() override
    {
        StandinTabTest::SetUp();
        VARIANT domModel;
        V_VT(&domModel) = VT_I4;
        V_I4(&domModel) = 0;
        SetOption(ProcessOptionKeys::ObjectModel, domModel);
        // As the module does when the host changes an option.
        Tab().PushChangedOptions();
    }
    ComPtr<IDispatch> PageObject()
    {
        ComPtr<IDispatch> page;
        EXPECT_EQ(S_OK, Tab().GetPageQuickBrowserObject(page));
        return page;
    }
    std::string Renderer(const std::string& command)
    {
        std::string answer;
        EXPECT_EQ(S_OK, Standin().RendererCommand(kTabId, command, answer));
        return answer;
    }
};

TEST_F(HookTabRendererProcess, TreeModelLevelsAcrossProcessesEqualTheInProcessWalk)
{
    VARIANT treeModel;
    V_VT(&treeModel) = VT_I4;
    V_I4(&treeModel) = 3;
    SetOption(ProcessOptionKeys::ObjectModel, treeModel);
    Tab().PushChangedOptions();
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/tables.json")));
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    std::vector<std::pair<std::wstring, ULONG>> got;
    for (const ObjectThisInformation& item : Children(page.Get()))
        got.emplace_back(item.identityPath.Str(), item.kind);
    EXPECT_EQ(InProcessTreeLevel("snapshots/tables.json"), got);
    EXPECT_FALSE(got.empty());
}

TEST_F(HookTabRendererProcess, TheTabWalksThePageThroughTheLibrarysQuickBrowserInAnotherProcess)
{
    ASSERT_TRUE(LoadLibraryTypeInfo());
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/naming.json")));
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    {
        ObjectThisInformation document = Child(page.Get(), L"document");
        ObjectThisInformation all = Child(document.object.Get(), L"all");
        std::vector<std::pair<std::wstring, std::wstring>> got;
        for (const ObjectThisInformation& item : Children(all.object.Get())) {
            vx::com::Variant text;
            VariantChangeType(text.Get(), const_cast<VARIANT*>(item.identifier.Get()), 0, VT_BSTR);
            got.emplace_back(item.identityPath.Str(),
                             std::wstring(V_BSTR(text.Get()), SysStringLen(V_BSTR(text.Get()))));
        }
        EXPECT_EQ(InProcessAll("snapshots/naming.json"), got);
        EXPECT_GT(got.size(), 10u);

        // A node removed in the renderer no longer exists, seen from here.
        const harness::SnapshotPage snapshot = harness::SnapshotPage::Load(PagePath("snapshots/naming.json"));
        const std::wstring titlePath = std::to_wstring(snapshot.FindById(L"title-element"));
        ObjectThisInformation title = Child(all.object.Get(), titlePath);
        vx::com::Variant exists;
        EXPECT_EQ(S_OK, CallForVariant(title.object.Get(), kGetExists, exists.Out()));
        EXPECT_EQ(VARIANT_TRUE, V_BOOL(exists.Get()));
        EXPECT_EQ("ok", Renderer("remove title-element"));
        EXPECT_EQ(S_OK, CallForVariant(title.object.Get(), kGetExists, exists.Out()));
        EXPECT_EQ(VARIANT_FALSE, V_BOOL(exists.Get()));
    }
    page.Reset();
    // While connected, the tab keeps the page object (a handle of the
    // library's) and the page's script object (the native object's own) in
    // the global interface table. Wine does not give a proxy's references
    // back to the other process when a table entry is revoked, so the
    // renderer is cut off here as the component does when it lets go: then
    // the library holds no node handle.
    EXPECT_EQ("ok 1 1", Renderer("handles"));
    Tab().ResetRenderer();
    EXPECT_EQ("ok 0x00000000", Renderer("shutdown"));
    std::string handles;
    for (int attempt = 0; attempt < 50 && (handles = Renderer("handles")).rfind("ok 0 ", 0) != 0; ++attempt)
        Sleep(20);
    EXPECT_EQ(0u, handles.rfind("ok 0 ", 0)) << handles;
}

TEST_F(HookTabRendererProcess, AKilledRendererFailsTheCallInBoundedTimeAndARestartedOneIsFound)
{
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/naming.json")));
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    // The renderer thread is busy: the next call waits in the renderer.
    EXPECT_EQ("ok", Renderer("block 20000"));
    std::atomic<HRESULT> result{E_PENDING};
    std::atomic<DWORD> took{0};
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID_IDispatch, page.Get(), &stream));
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        {
            ComPtr<IDispatch> object;
            CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, reinterpret_cast<void**>(object.GetAddressOf()));
            const DWORD start = GetTickCount();
            vx::com::Variant record;
            result = object ? CallForVariant(object.Get(), kGetChildrenInformation, record.Out()) : E_NOINTERFACE;
            took = GetTickCount() - start;
        }
        CoUninitialize();
    });
    Sleep(300);
    const DWORD killedAt = GetTickCount();
    ASSERT_EQ(S_OK, Standin().KillRenderer(kTabId));
    caller.join();
    EXPECT_TRUE(FAILED(result.load())) << std::hex << result.load();
    // Well within the renderer call timeout (3 s) plus a margin.
    EXPECT_LT(GetTickCount() - killedAt, 5000u);
    page.Reset();

    // Chrome reports the connection gone; the tab resets and finds the
    // restarted renderer on its next use.
    ASSERT_EQ(S_OK, Standin().RemoveBrowser(kTabId));
    Standin().FlushNotifications();
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/naming.json")));
    ComPtr<IDispatch> again = PageObject();
    ASSERT_TRUE(again);
    EXPECT_EQ(1u, Children(again.Get()).size());
}

TEST_F(HookTabRendererProcess, AfterTheExtendersShutdownEarlierObjectsAreCutOff)
{
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/naming.json")));
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    vx::com::Variant exists;
    ASSERT_EQ(S_OK, CallForVariant(page.Get(), kGetExists, exists.Out()));
    EXPECT_EQ("ok 0x00000000", Renderer("shutdown"));
    const DWORD start = GetTickCount();
    const HRESULT after = CallForVariant(page.Get(), kGetExists, exists.Out());
    EXPECT_LT(GetTickCount() - start, 1000u);
    // Windows answers RPC_E_DISCONNECTED or CO_E_OBJNOTCONNECTED; Wine
    // answers RPC_S_UNKNOWN_IF for a stub that is gone.
    EXPECT_TRUE(after == RPC_E_DISCONNECTED || after == CO_E_OBJNOTCONNECTED ||
                after == HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF))
        << std::hex << after;
}

} // namespace
} // namespace hook_tab_tests

namespace hook_tab_tests {
namespace {

using EngineListener = testsupport::RecordingListener;

HRESULT CallWithArguments(IDispatch* object, DISPID member, std::vector<VARIANT> arguments, VARIANT* result,
                          EXCEPINFO* exception = nullptr)
{
    std::reverse(arguments.begin(), arguments.end()); // DISPPARAMS take them last first
    DISPPARAMS params = {arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    return object->Invoke(member, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result, exception,
                          nullptr);
}

VARIANT Text(BSTR text)
{
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    return v;
}

TEST_F(HookTabRendererProcess, EventsFiredInTheRendererReachTheEnginesListenerHere)
{
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/recognition.json")));
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    const harness::SnapshotPage snapshot = harness::SnapshotPage::Load(PagePath("snapshots/recognition.json"));
    ObjectThisInformation all = Child(Child(page.Get(), L"document").object.Get(), L"all");
    ObjectThisInformation target = Child(all.object.Get(), std::to_wstring(snapshot.FindById(L"target")));
    ASSERT_TRUE(target.object);

    ComPtr<EngineListener> first, second;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(first));
    ASSERT_EQ(S_OK, vx::com::CreateComObject(second));
    vx::com::BStr click(L"click");
    auto subscribe = [&](EngineListener* listener) {
        VARIANT dispatch;
        V_VT(&dispatch) = VT_DISPATCH;
        V_DISPATCH(&dispatch) = listener;
        VARIANT capture;
        V_VT(&capture) = VT_BOOL;
        V_BOOL(&capture) = VARIANT_FALSE;
        vx::com::Variant cookie;
        EXPECT_EQ(S_OK,
                  CallWithArguments(target.object.Get(), 0x80, {Text(click.Get()), dispatch, capture}, cookie.Out()));
        EXPECT_EQ(VT_UI8, cookie.Type());
        return V_UI8(cookie.Get());
    };
    const ULONGLONG one = subscribe(first.Get());
    const ULONGLONG two = subscribe(second.Get());
    EXPECT_EQ("ok 2", Renderer("fire target click"));
    EXPECT_TRUE(first->WaitForEvents(1) && second->WaitForEvents(1));
    EXPECT_EQ(std::vector<ULONGLONG>{one}, first->Heard());
    EXPECT_EQ(std::vector<ULONGLONG>{two}, second->Heard());

    VARIANT cookie;
    V_VT(&cookie) = VT_UI8;
    V_UI8(&cookie) = one;
    vx::com::Variant none;
    EXPECT_EQ(S_OK, CallWithArguments(target.object.Get(), 0x81, {cookie}, none.Out()));
    EXPECT_TRUE(FAILED(CallWithArguments(target.object.Get(), 0x81, {cookie}, none.Out())));
    EXPECT_EQ("ok 1", Renderer("fire target click"));
    EXPECT_TRUE(second->WaitForEvents(2));
    EXPECT_EQ(1u, first->Heard().size());

    // A listener here that unsubscribes while it hears the event: the call
    // back into the renderer is served at once.
    std::atomic<HRESULT> removed{E_PENDING};
    std::atomic<DWORD> took{0};
    second->onEvent = [&](ULONGLONG heard) {
        VARIANT own;
        V_VT(&own) = VT_UI8;
        V_UI8(&own) = heard;
        vx::com::Variant ignored;
        const DWORD start = GetTickCount();
        removed = CallWithArguments(target.object.Get(), 0x81, {own}, ignored.Out());
        took = GetTickCount() - start;
    };
    EXPECT_EQ("ok 1", Renderer("fire target click"));
    EXPECT_TRUE(second->WaitForEvents(3));
    for (int i = 0; i < 500 && removed == E_PENDING; ++i)
        Sleep(10);
    EXPECT_EQ(S_OK, removed.load());
    EXPECT_LT(took.load(), 1000u);
    EXPECT_EQ("ok 0", Renderer("fire target click"));
    second->onEvent = nullptr;
}

// A thousand subscriptions made and removed from here leave no DOM listener,
// script callback or node handle in the renderer.
TEST_F(HookTabRendererProcess, AThousandSubscriptionsFromHereLeaveNothingInThePage)
{
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/recognition.json")));
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    const harness::SnapshotPage snapshot = harness::SnapshotPage::Load(PagePath("snapshots/recognition.json"));
    ObjectThisInformation all = Child(Child(page.Get(), L"document").object.Get(), L"all");
    ObjectThisInformation target = Child(all.object.Get(), std::to_wstring(snapshot.FindById(L"target")));
    ASSERT_TRUE(target.object);
    const std::string handlesBefore = Renderer("handles");
    ComPtr<EngineListener> listener;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(listener));
    vx::com::BStr click(L"click");
    for (int i = 0; i < 1000; ++i) {
        VARIANT dispatch;
        V_VT(&dispatch) = VT_DISPATCH;
        V_DISPATCH(&dispatch) = listener.Get();
        VARIANT capture;
        V_VT(&capture) = VT_BOOL;
        V_BOOL(&capture) = i % 2 ? VARIANT_TRUE : VARIANT_FALSE;
        vx::com::Variant cookie, none;
        ASSERT_EQ(S_OK,
                  CallWithArguments(target.object.Get(), 0x80, {Text(click.Get()), dispatch, capture}, cookie.Out()));
        ASSERT_EQ(S_OK, CallWithArguments(target.object.Get(), 0x81, {*cookie}, none.Out()));
    }
    EXPECT_EQ("ok 0 0", Renderer("listeners"));
    EXPECT_EQ(handlesBefore, Renderer("handles"));
    EXPECT_EQ("ok 0", Renderer("fire target click"));
    EXPECT_TRUE(listener->Heard().empty());
}

// A link's name taken from its URL and its id, read from here by name
// through the script object the renderer's record carries.
TEST_F(HookTabRendererProcess, ALinksNameAndIdReadFromHere)
{
    auto read = [](IDispatch* script, const wchar_t* name, VARIANT* value) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        HRESULT hr = script->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
        return SUCCEEDED(hr) ? CallWithArguments(script, id, {}, value) : hr;
    };
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/links-images.json")));
    const harness::SnapshotPage links = harness::SnapshotPage::Load(PagePath("snapshots/links-images.json"));
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    ObjectThisInformation all = Child(Child(page.Get(), L"document").object.Get(), L"all");
    ObjectThisInformation link = Child(all.object.Get(), std::to_wstring(links.FindById(L"spaceLink")));
    vx::com::Variant name, id;
    ASSERT_EQ(S_OK, read(link.scriptObject.Get(), L"namePropStr", name.Out()));
    ASSERT_EQ(S_OK, read(link.scriptObject.Get(), L"idStr", id.Out()));
    EXPECT_EQ(L"My File.pdf", std::wstring(V_BSTR(name.Get()), SysStringLen(V_BSTR(name.Get()))));
    EXPECT_EQ(L"spaceLink", std::wstring(V_BSTR(id.Get()), SysStringLen(V_BSTR(id.Get()))));
}

TEST_F(HookTabRendererProcess, IdentificationAndTableErrorsReadFromHere)
{
    VARIANT treeModel;
    V_VT(&treeModel) = VT_I4;
    V_I4(&treeModel) = 3;
    SetOption(ProcessOptionKeys::ObjectModel, treeModel);
    Tab().PushChangedOptions();
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, PagePath("snapshots/tables.json")));
    ComPtr<IDispatch> page = PageObject();
    ASSERT_TRUE(page);
    const harness::SnapshotPage snapshot = harness::SnapshotPage::Load(PagePath("snapshots/tables.json"));
    const long tableId = snapshot.FindById(L"outer");
    ObjectThisInformation table = Child(page.Get(), std::to_wstring(tableId));
    ASSERT_TRUE(table.scriptObject);

    // By name, as the engine reads them.
    auto dispid = [&](const wchar_t* name) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(S_OK, table.scriptObject->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
        return id;
    };
    // The table's type name, and the row and column of a cell below it.
    vx::com::Variant type;
    EXPECT_EQ(S_OK, CallWithArguments(table.scriptObject.Get(), dispid(L"ObjectType"), {}, type.Out()));
    vx::com::BStr tableName;
    vxWebFw::TreeModel::TreeItemTypeNames::Instance().GetName(vxWebFw::TreeModel::tiTable, tableName.Out());
    EXPECT_EQ(tableName.Str(), std::wstring(V_BSTR(type.Get()), SysStringLen(V_BSTR(type.Get()))));
    bool sawCell = false;
    std::vector<ObjectThisInformation> level = Children(table.object.Get());
    for (int depth = 0; depth < 3 && !sawCell; ++depth) {
        std::vector<ObjectThisInformation> next;
        for (ObjectThisInformation& cell : level) {
            if (cell.kind != crqbotTreeCell) {
                for (ObjectThisInformation& child : Children(cell.object.Get()))
                    next.push_back(std::move(child));
                continue;
            }
            LONG rowIndex = -1, cellIndex = -1;
            ASSERT_EQ(S_OK, ReadTreeCellIdentifier(*cell.identifier, rowIndex, cellIndex));
            DISPID rowId = DISPID_UNKNOWN, columnId = DISPID_UNKNOWN;
            LPOLESTR rowName[] = {const_cast<LPOLESTR>(L"RowIndex")};
            LPOLESTR columnName[] = {const_cast<LPOLESTR>(L"ColumnIndex")};
            ASSERT_EQ(S_OK, cell.scriptObject->GetIDsOfNames(IID_NULL, rowName, 1, 0, &rowId));
            ASSERT_EQ(S_OK, cell.scriptObject->GetIDsOfNames(IID_NULL, columnName, 1, 0, &columnId));
            vx::com::Variant rowValue, columnValue;
            EXPECT_EQ(S_OK, CallWithArguments(cell.scriptObject.Get(), rowId, {}, rowValue.Out()));
            EXPECT_EQ(S_OK, CallWithArguments(cell.scriptObject.Get(), columnId, {}, columnValue.Out()));
            EXPECT_EQ(rowIndex, V_I4(rowValue.Get()));
            EXPECT_EQ(cellIndex, V_I4(columnValue.Get()));
            sawCell = true;
            break;
        }
        level = std::move(next);
    }
    EXPECT_TRUE(sawCell);

    vx::com::Variant idText, rows;
    EXPECT_EQ(S_OK, CallWithArguments(table.scriptObject.Get(), dispid(L"idStr"), {}, idText.Out()));
    EXPECT_EQ(L"outer", std::wstring(V_BSTR(idText.Get()), SysStringLen(V_BSTR(idText.Get()))));
    EXPECT_EQ(S_OK, CallWithArguments(table.scriptObject.Get(), dispid(L"RowCount"), {}, rows.Out()));
    const harness::SnapValue* rowList = snapshot.Prop(tableId, L"rows");
    ASSERT_TRUE(rowList);
    EXPECT_EQ(static_cast<LONG>(rowList->list.size()), V_I4(rows.Get()));

    VARIANT missing;
    V_VT(&missing) = VT_I4;
    V_I4(&missing) = -1;
    EXCEPINFO exception = {};
    vx::com::Variant none;
    EXPECT_EQ(DISP_E_EXCEPTION,
              CallWithArguments(table.scriptObject.Get(), dispid(L"ColumnCount"), {missing}, none.Out(), &exception));
    EXPECT_EQ(static_cast<HRESULT>(0x847CEED2), exception.scode);
    const std::wstring description = exception.bstrDescription ? exception.bstrDescription : L"";
    EXPECT_NE(std::wstring::npos, description.find(L"The table row with index -1 not found."));
    EXPECT_NE(std::wstring::npos,
              description.find(L"The total number of rows: " + std::to_wstring(rowList->list.size()) + L"."));
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
}

} // namespace
} // namespace hook_tab_tests
