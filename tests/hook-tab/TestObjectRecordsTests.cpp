// How a tab turns the renderer's records into test objects when the records
// are wrong, the default alias rules, and XPath through the page test object.
#include "HookTabFixture.h"
#include "openapphook/HookObjectWithMonikerAndInstance.h"
#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"
#include "quickbrowser/InformationRecords.h"
#include "testobjects/ChildTestObjects.h"
#include "testobjects/ObjectNaming.h"
#include "tests/support/PagePath.h"
#include "tests/support/RecordingListener.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;
using vxCrTestObjects::BuildDefaultAlias;

namespace hook_tab_tests {
namespace {

TEST(DefaultAlias, KeepsLettersAndDigitsAndCapitalisesWhatFollowsTheRest)
{
    EXPECT_EQ(L"itemSubmitButton", BuildDefaultAlias(L"item", L"submit-button"));
    EXPECT_EQ(L"itemMainmenu", BuildDefaultAlias(L"item", L"MainMenu"));
    EXPECT_EQ(L"pageMyPage", BuildDefaultAlias(L"page", L"my page"));
    EXPECT_EQ(L"item1stName", BuildDefaultAlias(L"item", L"1st-name"));
    EXPECT_EQ(L"linkHome", BuildDefaultAlias(L"Link", L"Home"));
    EXPECT_EQ(L"textnodeIntro", BuildDefaultAlias(L"TextNode", L"intro"));
    EXPECT_EQ(L"item", BuildDefaultAlias(L"item", nullptr));
    // Nothing written yet: leading digits and punctuation go, and so does a
    // capital that starts an all-capitals run.
    EXPECT_EQ(L"abc", BuildDefaultAlias(L"", L"12-abc"));
    EXPECT_EQ(L"rlpath", BuildDefaultAlias(L"", L"URLPath"));
    EXPECT_EQ(L"", BuildDefaultAlias(L"", L"%%%"));
    const std::wstring longAlias = BuildDefaultAlias(L"item", L"a-very-long-identifier-that-goes-on-and-on");
    EXPECT_EQ(vxCrTestObjects::kMaxAliasLength, longAlias.size());
    EXPECT_EQ(L"itemAVeryLongIdentifierThatGoesO", longAlias);
}

// A quick-browser object that answers its children with a fixed value.
class FixedChildren : public vx::com::ComObject<FixedChildren, IDispatch>
{
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override
    {
        if (member != 3)
            return DISP_E_MEMBERNOTFOUND;
        return VariantCopy(result, children.Get());
    }
    Variant children;
};

class TestObjectRecordsTest : public StandinTabTest
{
protected:
    // A record of `kind` whose objects are `object`.
    ObjectThisInformation Record(ULONG kind, IDispatch* object, const VARIANT& identifier)
    {
        ObjectThisInformation record;
        record.identityPath = BStr(L"7");
        record.scriptObject = object;
        record.kind = kind;
        record.object = object;
        EXPECT_EQ(S_OK, record.identifier.CopyFrom(identifier));
        return record;
    }
    HRESULT Create(const ObjectThisInformation& record, ComPtr<IvxObject>& object)
    {
        return vxCrTestObjects::CreateChildTestObject(&Tab(), false, 0, record, object);
    }
    HRESULT Collect(FixedChildren* source, VxCrTestObjectList& list)
    {
        return vxCrTestObjects::CollectChildTestObjects(
            &Tab(), false,
            [source](ComPtr<IDispatch>& object) {
                object = source;
                return S_OK;
            },
            list);
    }
    static Variant Array(std::initializer_list<const VARIANT*> elements)
    {
        SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(elements.size()));
        LONG index = 0;
        for (const VARIANT* element : elements) {
            SafeArrayPutElement(array, &index, const_cast<VARIANT*>(element));
            ++index;
        }
        Variant value;
        V_VT(value.Get()) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(value.Get()) = array;
        return value;
    }
};

TEST_F(TestObjectRecordsTest, IdentifiersOfTheWrongShapeMakeNoObject)
{
    ComPtr<testsupport::RecordingListener> object;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(object));
    Variant number;
    V_VT(number.Get()) = VT_I4;
    V_I4(number.Get()) = 3;
    ComPtr<IvxObject> created;

    EXPECT_EQ(E_UNEXPECTED, Create(Record(1, object.Get(), *number), created)) << "a named object needs a name";
    EXPECT_FALSE(created);
    EXPECT_FAILED(Create(Record(4, object.Get(), *Array({number.Get()})), created)) << "one element for two";
    EXPECT_FALSE(created);
    EXPECT_FAILED(Create(Record(5, object.Get(), *number), created)) << "a cell needs row and column";
    EXPECT_EQ(E_UNEXPECTED, Create(Record(7, object.Get(), *number), created)) << "no such kind";

    ASSERT_EQ(S_OK, Create(Record(2, object.Get(), *number), created));
    BStr identifier;
    EXPECT_EQ(S_OK, created->GetIdentifierString(identifier.Out()));
    EXPECT_EQ(nullptr, identifier.Get());
    BStr alias;
    ComPtr<IvxMethodCallInformation2> naming;
    ASSERT_EQ(S_OK, created.As(&naming));
    EXPECT_EQ(S_OK, naming->GetAlias(alias.Out()));
    EXPECT_EQ(L"item", alias.Str()) << "a number adds nothing to the alias";

    Variant cell;
    ASSERT_EQ(S_OK, PackTreeCellIdentifier(2, 5, cell.Get()));
    ASSERT_EQ(S_OK, Create(Record(5, object.Get(), *cell), created));
    ComPtr<IvxCrHookObject_Cell> position;
    ASSERT_EQ(S_OK, created.As(&position));
    LONG row = 0, column = 0;
    EXPECT_EQ(S_OK, position->get_RowIndex_2A54267D_1DD1_4db1_B425_F9F79289C241(&row));
    EXPECT_EQ(S_OK, position->get_ColumnIndex_2A54267D_1DD1_4db1_B425_F9F79289C241(&column));
    EXPECT_EQ(2, row);
    EXPECT_EQ(5, column);
}

TEST_F(TestObjectRecordsTest, AMalformedChildRecordRefusesTheWholeAnswerBeforeAnyObjectIsMade)
{
    ComPtr<testsupport::RecordingListener> object;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(object));
    BStr name(L"submit-button");
    Variant identifier;
    V_VT(identifier.Get()) = VT_BSTR;
    V_BSTR(identifier.Get()) = SysAllocString(name.Get());
    Variant good;
    ASSERT_EQ(S_OK, PackThisInformation(Record(2, object.Get(), *identifier), good.Get()));
    Variant bad;
    V_VT(bad.Get()) = VT_I4;

    ComPtr<FixedChildren> source;
    ASSERT_EQ(S_OK, vx::com::CreateComObject(source));
    const size_t registered = Tab().ObjectStubManager()->Count();
    source->children = Array({good.Get(), bad.Get()});
    VxCrTestObjectList list;
    EXPECT_EQ(E_UNEXPECTED, Collect(source.Get(), list));
    EXPECT_TRUE(list.objects.empty());
    EXPECT_EQ(registered, Tab().ObjectStubManager()->Count()) << "no object was made";

    // A record that makes no object is left out; the others stand.
    Variant named;
    ASSERT_EQ(S_OK, PackThisInformation(Record(1, object.Get(), *Array({})), named.Get()));
    source->children = Array({good.Get(), named.Get(), good.Get()});
    EXPECT_EQ(S_OK, Collect(source.Get(), list));
    ASSERT_EQ(2u, list.objects.size());
    LONG creation = -1;
    EXPECT_EQ(S_OK, list.objects[1]->GetCreationValue(&creation));
    EXPECT_EQ(2, creation) << "the creation value is the record's position";
    BStr moniker;
    EXPECT_EQ(S_OK, list.objects[0]->GetMoniker(moniker.Out()));
    EXPECT_EQ(L"Cr12Wnd!7", moniker.Str());

    source->children.Out(); // VT_EMPTY: no children
    list.objects.clear();
    EXPECT_EQ(S_OK, Collect(source.Get(), list));
    EXPECT_TRUE(list.objects.empty());
}

TEST_F(TestObjectRecordsTest, XPathThroughThePageNamesNodesWithTheModelsPrefix)
{
    ComPtr<IvxObject> page;
    ASSERT_EQ(S_OK, Tab().GetPageTestObject(false, page));
    ComPtr<IvxEvaluateXPath> xpath;
    ASSERT_EQ(S_OK, page.As(&xpath));
    ASSERT_EQ(S_OK, Standin().StartRenderer(kTabId, testsupport::PagePath("snapshots/naming.json")));
    Variant result;
    BStr elements(L"//*[@id='Dup']");
    ASSERT_EQ(S_OK, xpath->EvaluateXPath(elements.Get(), result.Out()));
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, result.Type());
    LONG upper = -1;
    SafeArrayGetUBound(V_ARRAY(result.Get()), 1, &upper);
    ASSERT_EQ(0, upper);
    LONG index = 0;
    Variant node;
    ASSERT_EQ(S_OK, SafeArrayGetElement(V_ARRAY(result.Get()), &index, node.Get()));
    ASSERT_EQ(VT_DISPATCH, node.Type());
    Variant moniker;
    DISPPARAMS none = {};
    ASSERT_EQ(S_OK, V_DISPATCH(node.Get())
                        ->Invoke(vxOpenAppHook::CHookObjectWithMonikerAndInstance::DispIdMoniker, IID_NULL, 0,
                                 DISPATCH_PROPERTYGET, &none, moniker.Get(), nullptr, nullptr));
    ASSERT_EQ(VT_BSTR, moniker.Type());
    EXPECT_EQ(0u, std::wstring(V_BSTR(moniker.Get())).rfind(L"Cr12Wnd!", 0));

    BStr broken(L"//p[");
    EXPECT_FAILED(xpath->EvaluateXPath(broken.Get(), result.Out()));
    Tab().Close();
    EXPECT_FAILED(xpath->EvaluateXPath(elements.Get(), result.Out())) << "a closed tab has no page";
}

} // namespace
} // namespace hook_tab_tests
