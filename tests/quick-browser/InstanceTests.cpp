// What the script objects of the element objects carry besides the
// element's own script object: the names the engine identifies elements by,
// Tree-model types and identifiers, cell indexes, and table rows and columns
// with the library's error for a row that is not there.
#include <string>

#include "QuickBrowserFixture.h"
#include "openapphook/InvokeException.h"
#include "quickbrowser/objects/RendererCall.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "webfw/TreeModel/TreeItemTypes.h"
#include "webfw/chrome/CrFwAdapters.h"

namespace qbtests {
namespace {

// Reads a property by name, as the engine does: the name is looked up in
// the mixer, whose parts answer in their order.
HRESULT Get(IDispatch* object, const wchar_t* name, VARIANT* value, EXCEPINFO* exception = nullptr,
            const VARIANT* argument = nullptr)
{
    DISPID member = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0, &member);
    if (FAILED(hr))
        return hr;
    VARIANT copy;
    if (argument)
        copy = *argument;
    DISPPARAMS params = {argument ? &copy : nullptr, nullptr, argument ? 1u : 0u, 0};
    return object->Invoke(member, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, value, exception, nullptr);
}

// A string result as text: a null BSTR is an empty string in Automation.
std::wstring Text(const VARIANT& value)
{
    if (V_VT(&value) == VT_BSTR)
        return std::wstring(V_BSTR(&value) ? V_BSTR(&value) : L"", SysStringLen(V_BSTR(&value)));
    return V_VT(&value) == VT_NULL || V_VT(&value) == VT_EMPTY ? L"" : L"<not a string>";
}

// Equal values, arrays of VARIANT compared element by element.
bool SameValue(const VARIANT& a, const VARIANT& b)
{
    if (V_VT(&a) != V_VT(&b))
        return false;
    if (V_VT(&a) != (VT_ARRAY | VT_VARIANT))
        return VarCmp(const_cast<VARIANT*>(&a), const_cast<VARIANT*>(&b), 0, 0) == VARCMP_EQ;
    LONG upperA = -1, upperB = -1;
    SafeArrayGetUBound(V_ARRAY(&a), 1, &upperA);
    SafeArrayGetUBound(V_ARRAY(&b), 1, &upperB);
    if (upperA != upperB)
        return false;
    for (LONG i = 0; i <= upperA; ++i) {
        vx::com::Variant x, y;
        SafeArrayGetElement(V_ARRAY(&a), &i, x.Get());
        SafeArrayGetElement(V_ARRAY(&b), &i, y.Get());
        if (!SameValue(*x, *y))
            return false;
    }
    return true;
}

class InstanceTest : public QuickBrowserTest
{
protected:
    // namePropStr and idStr of a node as the accessor's own evaluators give
    // them, computed in-process on the renderer thread.
    std::pair<std::wstring, std::wstring> ExpectedNames(long nodeId)
    {
        ComPtr<CCrRawBrowserHelper> accessor;
        EXPECT_EQ(S_OK, vx::com::CreateComObject(accessor));
        EXPECT_EQ(S_OK, accessor->AttachNative(nullptr, native_.Get(), CreateCrFwAdapters));
        vx::com::BStr name, id;
        EXPECT_EQ(S_OK, vxCrQuickBrowser::RunOnRenderer(accessor.Get(), [&] {
                      vxWebFw::NodeHandle node(accessor.Get(), native_->HandleOf(nodeId));
                      vxWebFw::Recognizing::RecognizedNode recognized(node.Get(),
                                                                      accessor->Adapters()->recognizerSet.get());
                      accessor->Adapters()->nodeNamePropStrEvaluator->EvaluateNamePropStr(recognized, name.Out());
                      if (FAILED(accessor->GetIdWithFallback(node.Get(), id.Out())))
                          id.Out();
                      return S_OK;
                  }));
        return {name.Str(), id.Str()};
    }
    long SnapshotListLength(long nodeId, const wchar_t* member)
    {
        const harness::SnapValue* value = native_->Page().Prop(nodeId, member);
        return value && value->kind == harness::SnapValue::Kind::List ? static_cast<long>(value->list.size()) : -1;
    }
};

TEST_F(InstanceTest, DomItemsCarryTheNamesOfTheFrameworksEvaluators)
{
    Load("snapshots/links-images.json");
    UseObjectModel(0);
    ObjectThisInformation all = Child(Child(PageInformation(), L"document"), L"all");
    int named = 0;
    for (const ObjectThisInformation& item : Children(all)) {
        const long nodeId = std::stol(item.identityPath.Str());
        SCOPED_TRACE(nodeId);
        vx::com::Variant name, id;
        ASSERT_EQ(S_OK, Get(item.scriptObject.Get(), L"namePropStr", name.Out()));
        ASSERT_EQ(S_OK, Get(item.scriptObject.Get(), L"idStr", id.Out()));
        const auto expected = ExpectedNames(nodeId);
        EXPECT_EQ(expected.first, Text(*name));
        EXPECT_EQ(expected.second, Text(*id));
        named += Text(*name).empty() ? 0 : 1;
    }
    EXPECT_GT(named, 5) << "the page's links and images have URL names";
}

TEST_F(InstanceTest, TreeObjectsCarryTheirTypeIdentifierAndCellIndexes)
{
    Load("snapshots/tables.json");
    std::vector<ObjectThisInformation> level = Children(PageInformation());
    int cells = 0;
    while (!level.empty()) {
        std::vector<ObjectThisInformation> next;
        for (ObjectThisInformation& item : level) {
            SCOPED_TRACE(item.identityPath.Str().c_str());
            vx::com::Variant type;
            ASSERT_EQ(S_OK, Get(item.scriptObject.Get(), L"ObjectType", type.Out()));
            ComPtr<IvxWebObjectIdentifier> identified;
            ASSERT_EQ(S_OK, item.scriptObject.As(&identified));
            vx::com::Variant identifier;
            ASSERT_EQ(S_OK, identified->get_ObjectIdentifier(identifier.Out()));
            // The identifier the engine re-finds the object by: a Tree item's
            // record packs its type with it, a cell's record holds its row
            // and column instead.
            if (item.kind == crqbotTreeItem) {
                LONG itemType = 0;
                vx::com::Variant own;
                ASSERT_EQ(S_OK, ReadTreeItemIdentifier(*item.identifier, itemType, own));
                EXPECT_TRUE(SameValue(*identifier, *own)) << "identifier differs from the item's";
            } else if (item.kind == crqbotTreeCell) {
                EXPECT_FALSE(identifier.Type() & VT_ARRAY) << "a cell's own identifier, not its position";
            } else {
                EXPECT_TRUE(SameValue(*identifier, *item.identifier)) << "identifier differs from the frame's";
            }
            vx::com::BStr expectedType;
            if (item.kind == crqbotTreeCell) {
                LONG row = -1, cell = -1;
                ASSERT_EQ(S_OK, ReadTreeCellIdentifier(*item.identifier, row, cell));
                vx::com::Variant rowIndex, columnIndex;
                EXPECT_EQ(S_OK, Get(item.scriptObject.Get(), L"RowIndex", rowIndex.Out()));
                EXPECT_EQ(S_OK, Get(item.scriptObject.Get(), L"ColumnIndex", columnIndex.Out()));
                EXPECT_EQ(row, V_I4(rowIndex.Get()));
                EXPECT_EQ(cell, V_I4(columnIndex.Get()));
                vxWebFw::TreeModel::TreeItemTypeNames::Instance().GetCellName(expectedType.Out());
                ++cells;
            } else if (item.kind == crqbotTreeItem) {
                LONG itemType = 0;
                vx::com::Variant id;
                ASSERT_EQ(S_OK, ReadTreeItemIdentifier(*item.identifier, itemType, id));
                vxWebFw::TreeModel::TreeItemTypeNames::Instance().GetName(itemType, expectedType.Out());
            }
            EXPECT_EQ(expectedType.Str(), Text(*type));
            for (ObjectThisInformation& child : Children(item))
                next.push_back(std::move(child));
        }
        level = std::move(next);
    }
    EXPECT_GT(cells, 5);
}

TEST_F(InstanceTest, TablesCountRowsAndCellsAndNameAMissingRow)
{
    Load("snapshots/tables.json");
    // The outer table's rows and each row's cells, as Chromium captured them;
    // the Tree model's table item carries the table instance.
    const long tableId = NodeIdOf(L"outer");
    ObjectThisInformation treeTable;
    for (ObjectThisInformation& item : Children(PageInformation()))
        if (item.identityPath.Str() == std::to_wstring(tableId))
            treeTable = std::move(item);
    ASSERT_TRUE(treeTable.scriptObject);
    IDispatch* script = treeTable.scriptObject.Get();

    const long rows = SnapshotListLength(tableId, L"rows");
    vx::com::Variant rowCount;
    ASSERT_EQ(S_OK, Get(script, L"RowCount", rowCount.Out()));
    EXPECT_EQ(rows, V_I4(rowCount.Get()));
    const harness::SnapValue* rowList = native_->Page().Prop(tableId, L"rows");
    ASSERT_TRUE(rowList);
    for (long r = 0; r < rows; ++r) {
        VARIANT index;
        V_VT(&index) = VT_I4;
        V_I4(&index) = r;
        vx::com::Variant columns;
        ASSERT_EQ(S_OK, Get(script, L"ColumnCount", columns.Out(), nullptr, &index));
        const long cells = SnapshotListLength(rowList->list[static_cast<size_t>(r)], L"cells");
        EXPECT_EQ(cells < 0 ? 0 : cells, V_I4(columns.Get())) << "row " << r;
    }

    VARIANT missing;
    V_VT(&missing) = VT_I4;
    V_I4(&missing) = -1;
    EXCEPINFO exception = {};
    vx::com::Variant none;
    EXPECT_EQ(DISP_E_EXCEPTION, Get(script, L"ColumnCount", none.Out(), &exception, &missing));
    EXPECT_EQ(vxOpenAppHook::VX_E_INVOKE_FAILED, exception.scode);
    const std::wstring description = exception.bstrDescription ? exception.bstrDescription : L"";
    const vxOpenAppHook::CvxInvokeException error = vxOpenAppHook::CvxInvokeException::FromDescription(description);
    EXPECT_EQ(vxOpenAppHook::CvxInvokeException::LevelError, error.Level());
    EXPECT_EQ(L"The table row with index -1 not found.", std::wstring(error.MessageText()));
    EXPECT_EQ(L"The total number of rows: " + std::to_wstring(rows) + L".", std::wstring(error.DetailsText()));
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
}

} // namespace
} // namespace qbtests
