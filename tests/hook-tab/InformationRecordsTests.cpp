#include <gtest/gtest.h>

#include "HookTabFixture.h"
#include "StandinQuickBrowser.h"
#include "platform/com/SafeArray.h"
#include "quickbrowser/InformationRecords.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;

namespace hook_tab_tests {
namespace {

ComPtr<IDispatch> MakeObject(const wchar_t* name)
{
    Variant value;
    V_VT(value.Get()) = VT_I4;
    V_I4(value.Get()) = 1;
    ComPtr<chrome_standin::NamedValueObject> object;
    EXPECT_EQ(chrome_standin::CreateDispatchObject(object, name, std::move(value)), S_OK);
    ComPtr<IDispatch> dispatch;
    object.As(&dispatch);
    return dispatch;
}

ObjectThisInformation SampleInformation()
{
    ObjectThisInformation information;
    information.identityPath = BStr(L"Page/document");
    information.scriptObject = MakeObject(L"script");
    information.kind = 1;
    information.object = MakeObject(L"object");
    information.expandable = true;
    V_VT(information.identifier.Get()) = VT_BSTR;
    V_BSTR(information.identifier.Get()) = SysAllocString(L"document");
    return information;
}

// Replaces element `index` of a record with `value`.
void PutElement(Variant& record, LONG index, const VARIANT& value)
{
    ASSERT_EQ(SafeArrayPutElement(V_ARRAY(record.Get()), &index, const_cast<VARIANT*>(&value)), S_OK);
}

VARIANT MakeI4(LONG value)
{
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

class InformationRecords : public ::testing::Test
{
protected:
    ComScope com_;
};

TEST_F(InformationRecords, ThisInformationRoundTripsEveryElement)
{
    ObjectThisInformation sent = SampleInformation();
    Variant record;
    ASSERT_EQ(PackThisInformation(sent, record.Get()), S_OK);
    EXPECT_EQ(record.Type(), VT_ARRAY | VT_VARIANT);

    ObjectThisInformation read;
    ASSERT_EQ(ReadThisInformation(*record, read), S_OK);
    EXPECT_EQ(read.identityPath.Str(), L"Page/document");
    EXPECT_EQ(read.scriptObject.Get(), sent.scriptObject.Get());
    EXPECT_EQ(read.kind, 1u);
    EXPECT_EQ(read.object.Get(), sent.object.Get());
    EXPECT_TRUE(read.expandable);
    ASSERT_EQ(read.identifier.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(read.identifier.Get()), L"document");
}

TEST_F(InformationRecords, ThisInformationKindIsChangedToUnsigned)
{
    Variant record;
    ASSERT_EQ(PackThisInformation(SampleInformation(), record.Get()), S_OK);
    PutElement(record, 2, MakeI4(5));
    ObjectThisInformation read;
    ASSERT_EQ(ReadThisInformation(*record, read), S_OK);
    EXPECT_EQ(read.kind, 5u);

    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"not a number");
    PutElement(record, 2, text);
    VariantClear(&text);
    EXPECT_EQ(ReadThisInformation(*record, read), E_UNEXPECTED);
}

TEST_F(InformationRecords, ThisInformationReaderRefusesWrongElementsAndLeavesOutputAlone)
{
    struct Case
    {
        LONG index;
        VARIANT value;
    };
    VARIANT nullDispatch;
    V_VT(&nullDispatch) = VT_DISPATCH;
    V_DISPATCH(&nullDispatch) = nullptr;
    VARIANT notBool = MakeI4(1);
    VARIANT notString = MakeI4(7);
    const Case cases[] = {{0, notString}, {1, nullDispatch}, {3, nullDispatch}, {1, MakeI4(0)}, {4, notBool}};
    for (const Case& c : cases) {
        Variant record;
        ASSERT_EQ(PackThisInformation(SampleInformation(), record.Get()), S_OK);
        PutElement(record, c.index, c.value);
        ObjectThisInformation read;
        read.identityPath = BStr(L"untouched");
        EXPECT_EQ(ReadThisInformation(*record, read), E_UNEXPECTED) << "element " << c.index;
        EXPECT_EQ(read.identityPath.Str(), L"untouched");
        EXPECT_FALSE(read.object);
    }
}

TEST_F(InformationRecords, ReadersRefuseArraysOfAnotherShape)
{
    ObjectThisInformation read;
    ObjectLightInformation light;
    Variant empty;
    EXPECT_EQ(ReadThisInformation(*empty, read), E_UNEXPECTED);
    EXPECT_EQ(ReadLightInformation(*empty, light), E_UNEXPECTED);

    // Seven elements for this-information, three for light information.
    Variant longer;
    V_VT(longer.Get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(longer.Get()) = SafeArrayCreateVector(VT_VARIANT, 0, 7);
    EXPECT_EQ(ReadThisInformation(*longer, read), E_UNEXPECTED);
    Variant three;
    V_VT(three.Get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(three.Get()) = SafeArrayCreateVector(VT_VARIANT, 0, 3);
    EXPECT_EQ(ReadLightInformation(*three, light), E_UNEXPECTED);

    // A correct light record moved to lower bound 1.
    Variant shifted;
    ASSERT_EQ(PackLightInformation(BStr(L"Page").Get(), 0, shifted.Get()), S_OK);
    SAFEARRAYBOUND bound = {2, 1};
    ASSERT_EQ(SafeArrayRedim(V_ARRAY(shifted.Get()), &bound), S_OK);
    EXPECT_EQ(ReadLightInformation(*shifted, light), E_UNEXPECTED);

    // Two dimensions.
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {1, 0}};
    Variant twoDimensions;
    V_VT(twoDimensions.Get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(twoDimensions.Get()) = SafeArrayCreate(VT_VARIANT, 2, bounds);
    EXPECT_EQ(ReadLightInformation(*twoDimensions, light), E_UNEXPECTED);
}

TEST_F(InformationRecords, LightInformationRoundTrips)
{
    Variant record;
    ASSERT_EQ(PackLightInformation(BStr(L"Page/all/x").Get(), 2, record.Get()), S_OK);
    ObjectLightInformation read;
    ASSERT_EQ(ReadLightInformation(*record, read), S_OK);
    EXPECT_EQ(read.identityPath.Str(), L"Page/all/x");
    EXPECT_EQ(read.kind, 2u);

    PutElement(record, 0, MakeI4(3));
    EXPECT_EQ(ReadLightInformation(*record, read), E_UNEXPECTED);
}

TEST_F(InformationRecords, IdentifierReaders)
{
    VARIANT inner;
    V_VT(&inner) = VT_BSTR;
    V_BSTR(&inner) = SysAllocString(L"link1");
    Variant item;
    ASSERT_EQ(PackTreeItemIdentifier(7, inner, item.Get()), S_OK);
    VariantClear(&inner);
    LONG type = 0;
    Variant identifier;
    ASSERT_EQ(ReadTreeItemIdentifier(*item, type, identifier), S_OK);
    EXPECT_EQ(type, 7);
    ASSERT_EQ(identifier.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(identifier.Get()), L"link1");

    Variant cell;
    ASSERT_EQ(PackTreeCellIdentifier(3, 4, cell.Get()), S_OK);
    LONG row = 0, column = 0;
    ASSERT_EQ(ReadTreeCellIdentifier(*cell, row, column), S_OK);
    EXPECT_EQ(row, 3);
    EXPECT_EQ(column, 4);
    // A tree item identifier's second element is not a number.
    EXPECT_EQ(ReadTreeCellIdentifier(*item, row, column), E_UNEXPECTED);

    BStr name;
    Variant named;
    V_VT(named.Get()) = VT_BSTR;
    V_BSTR(named.Get()) = SysAllocString(L"frames");
    ASSERT_EQ(ReadNamedObjectIdentifier(*named, name), S_OK);
    EXPECT_EQ(name.Str(), L"frames");
    Variant nullString;
    V_VT(nullString.Get()) = VT_BSTR;
    EXPECT_EQ(ReadNamedObjectIdentifier(*nullString, name), E_UNEXPECTED);
    EXPECT_EQ(ReadNamedObjectIdentifier(*cell, name), E_UNEXPECTED);
}

} // namespace
} // namespace hook_tab_tests
