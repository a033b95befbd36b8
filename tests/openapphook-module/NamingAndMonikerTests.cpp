// Naming-schema objects over static tables, and the moniker-and-instance
// object returned for XPath results.
#include <windows.h>

#include <gtest/gtest.h>

#include <oleauto.h>

#include "FakeSupport.h"
#include "openapphook/HookObjectWithMonikerAndInstance.h"
#include "openapphook/ObjectNamingSchema.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CHookObjectWithMonikerAndInstance;
using vxOpenAppHook::CObjectNamingSchema;
using vxOpenAppHook::CStubManager;

namespace {

const wchar_t* const TwoParams[] = {L"Url", L"GroupIndex"};
const vxOpenAppHook::ObjectNamingSchemaEntry TwoParamEntry{L"Page", 2, TwoParams};

class NamingAndMonikerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager_));
    }
    void TearDown() override
    {
        manager_.Reset();
        CoUninitialize();
    }
    static HRESULT Get(IDispatch* object, DISPID id, WORD flags, VARIANT* result)
    {
        DISPPARAMS none{};
        return object->Invoke(id, IID_NULL, 0, flags, &none, result, nullptr, nullptr);
    }

    ComPtr<CStubManager> manager_;
};

TEST_F(NamingAndMonikerTest, ASchemaGivesItsMethodAndParameterNamesInTableOrder)
{
    ComPtr<CObjectNamingSchema> schema;
    ASSERT_HRESULT_SUCCEEDED(CObjectNamingSchema::Create(manager_.Get(), &TwoParamEntry, schema));
    EXPECT_EQ(1u, manager_->Count());

    vx::com::BStr method;
    ASSERT_EQ(S_OK, schema->GetMethodName(method.Out()));
    EXPECT_EQ(L"Page", method.Str());

    vx::com::Variant names;
    ASSERT_EQ(S_OK, schema->GetParamNames(names.Out()));
    ASSERT_EQ(VT_ARRAY | VT_BSTR, names.Type());
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(V_ARRAY(names.Get()), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(names.Get()), 1, &upper);
    ASSERT_EQ(0, lower);
    ASSERT_EQ(1, upper);
    for (LONG i = 0; i <= upper; ++i) {
        vx::com::BStr name;
        ASSERT_HRESULT_SUCCEEDED(SafeArrayGetElement(V_ARRAY(names.Get()), &i, name.Out()));
        EXPECT_EQ(TwoParams[i], name.Str());
    }
    schema.Reset();
    EXPECT_EQ(0u, manager_->Count());
}

TEST_F(NamingAndMonikerTest, MonikerObjectAnswersOnlyItsTwoPropertyGets)
{
    ComPtr<moduletests::PlainObject> instance;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(instance));
    vx::com::BStr moniker(L"Cr1Dom/div[2]");
    ComPtr<IDispatch> object;
    ASSERT_HRESULT_SUCCEEDED(
        CHookObjectWithMonikerAndInstance::Create(manager_.Get(), instance.Get(), moniker.Get(), &object));
    EXPECT_EQ(1u, manager_->Count());

    vx::com::Variant value;
    ASSERT_EQ(S_OK, Get(object.Get(), 0x1000005, DISPATCH_PROPERTYGET, value.Out()));
    ASSERT_EQ(VT_BSTR, value.Type());
    EXPECT_STREQ(L"Cr1Dom/div[2]", V_BSTR(value.Get()));
    EXPECT_EQ(E_NOTIMPL, Get(object.Get(), 0x1000005, DISPATCH_METHOD, value.Out()));

    ASSERT_EQ(S_OK, Get(object.Get(), 0x1000002, DISPATCH_PROPERTYGET | DISPATCH_METHOD, value.Out()));
    ASSERT_EQ(VT_DISPATCH, value.Type());
    EXPECT_EQ(static_cast<IDispatch*>(instance.Get()), V_DISPATCH(value.Get()));
    EXPECT_EQ(E_NOTIMPL, Get(object.Get(), 0x1000003, DISPATCH_PROPERTYGET, value.Out()));

    UINT count = 7;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Moniker")};
    EXPECT_EQ(E_NOTIMPL, object->GetIDsOfNames(IID_NULL, names, 1, 0, &id));

    ComPtr<IDispatch> empty;
    ASSERT_HRESULT_SUCCEEDED(CHookObjectWithMonikerAndInstance::Create(manager_.Get(), nullptr, nullptr, &empty));
    EXPECT_EQ(E_FAIL, Get(empty.Get(), 0x1000002, DISPATCH_PROPERTYGET, value.Out()));
    ASSERT_EQ(S_OK, Get(empty.Get(), 0x1000005, DISPATCH_PROPERTYGET, value.Out()));
    EXPECT_EQ(0u, SysStringLen(V_BSTR(value.Get())));
}

} // namespace
