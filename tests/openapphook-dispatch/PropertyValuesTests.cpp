// Batch property reads (IDispatch2::GetPropertyValues) through a mixer.
#include <windows.h>

#include <gtest/gtest.h>

#include <oleauto.h>

#include <string>

#include "TestDispatchObjects.h"
#include "openapphook/DispatchMixer.h"
#include "platform/com/SafeArray.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CCustomDispatchMixer;
using namespace dispatchtests;

namespace {

class PropertyValuesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager_));
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object_));
        ASSERT_HRESULT_SUCCEEDED(CCustomDispatchMixer::Create(manager_.Get(), true, mixer_));
        mixer_->AddDispatch(object_.Get());
        object_->SetName(L"Title", 5);
        object_->SetHandler(5, ReturnI4(55));
        object_->SetHandler(6, [](VARIANT*, EXCEPINFO* info) {
            info->bstrDescription = SysAllocString(L"page is gone");
            info->scode = E_FAIL;
            return DISP_E_EXCEPTION;
        });
        object_->SetHandler(8, [](VARIANT* result, EXCEPINFO*) {
            VariantInit(result);
            V_VT(result) = VT_DECIMAL;
            VarDecFromR8(2.5, &V_DECIMAL(result));
            return S_OK;
        });
        object_->SetHandler(9, [](VARIANT* result, EXCEPINFO*) {
            VariantInit(result);
            V_VT(result) = VT_UINT;
            V_UINT(result) = 9;
            return S_OK;
        });
    }
    void TearDown() override
    {
        mixer_.Reset();
        object_.Reset();
        manager_.Reset();
        CoUninitialize();
    }

    static LONG LowerBound(const VARIANT& array)
    {
        LONG lower = -99;
        SafeArrayGetLBound(V_ARRAY(&array), 1, &lower);
        return lower;
    }
    static LONG ResultAt(const VARIANT& results, LONG index)
    {
        LONG value = 0;
        SafeArrayGetElement(V_ARRAY(&results), &index, &value);
        return value;
    }
    static void ValueAt(const VARIANT& values, LONG index, vx::com::Variant& value)
    {
        SafeArrayGetElement(V_ARRAY(&values), &index, value.Out());
    }
    static std::wstring Text(const vx::com::Variant& value)
    {
        return value.Type() == VT_BSTR && V_BSTR(value.Get()) ? std::wstring(V_BSTR(value.Get())) : std::wstring();
    }

    ComPtr<vxOpenAppHook::CStubManager> manager_;
    ComPtr<FakeDispatch> object_;
    ComPtr<CCustomDispatchMixer> mixer_;
};

TEST_F(PropertyValuesTest, DispIdArrayKeepsItsLowerBoundAndReportsEachResult)
{
    SAFEARRAYBOUND bound{5, 1};
    vx::com::SafeArray ids(SafeArrayCreate(VT_I4, 1, &bound));
    LONG dispIds[] = {5, -1, 6, 8, 9};
    for (LONG i = 0; i < 5; ++i) {
        LONG index = i + 1;
        SafeArrayPutElement(ids.Get(), &index, &dispIds[i]);
    }
    VARIANT input;
    V_VT(&input) = VT_ARRAY | VT_I4;
    V_ARRAY(&input) = ids.Get();

    vx::com::Variant values;
    vx::com::Variant results;
    VARIANT_BOOL succeeded = VARIANT_FALSE;
    ASSERT_EQ(S_OK, mixer_->GetPropertyValues(input, values.Get(), results.Get(), &succeeded));
    ASSERT_EQ(VARIANT_TRUE, succeeded);
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, values.Type());
    ASSERT_EQ(VT_ARRAY | VT_I4, results.Type());
    EXPECT_EQ(1, LowerBound(*values));
    EXPECT_EQ(1, LowerBound(*results));

    vx::com::Variant value;
    EXPECT_EQ(S_OK, ResultAt(*results, 1));
    ValueAt(*values, 1, value);
    EXPECT_EQ(55, V_I4(value.Get()));

    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, ResultAt(*results, 2));
    ValueAt(*values, 2, value);
    EXPECT_EQ(0u, Text(value).rfind(L"Error: ", 0)) << Text(value);
    EXPECT_GT(Text(value).size(), 7u);

    EXPECT_EQ(DISP_E_EXCEPTION, ResultAt(*results, 3));
    ValueAt(*values, 3, value);
    EXPECT_EQ(L"Error: page is gone", Text(value));

    EXPECT_EQ(S_OK, ResultAt(*results, 4));
    ValueAt(*values, 4, value);
    ASSERT_EQ(VT_R8, value.Type());
    EXPECT_DOUBLE_EQ(2.5, V_R8(value.Get()));

    ValueAt(*values, 5, value);
    ASSERT_EQ(VT_UI4, value.Type());
    EXPECT_EQ(9u, V_UI4(value.Get()));
}

TEST_F(PropertyValuesTest, AMemberNameReadsOneValueAndAnUnknownNameActsLikeMinusOne)
{
    vx::com::Variant input;
    V_VT(input.Get()) = VT_BSTR;
    V_BSTR(input.Get()) = SysAllocString(L"Title");
    vx::com::Variant values;
    vx::com::Variant results;
    VARIANT_BOOL succeeded = VARIANT_FALSE;
    ASSERT_EQ(S_OK, mixer_->GetPropertyValues(*input, values.Get(), results.Get(), &succeeded));
    ASSERT_EQ(VARIANT_TRUE, succeeded);
    EXPECT_EQ(0, LowerBound(*values));
    EXPECT_EQ(S_OK, ResultAt(*results, 0));
    vx::com::Variant value;
    ValueAt(*values, 0, value);
    EXPECT_EQ(55, V_I4(value.Get()));

    SysFreeString(V_BSTR(input.Get()));
    V_BSTR(input.Get()) = SysAllocString(L"NoSuchMember");
    ASSERT_EQ(S_OK, mixer_->GetPropertyValues(*input, values.Out(), results.Out(), &succeeded));
    ASSERT_EQ(VARIANT_TRUE, succeeded);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, ResultAt(*results, 0));
    ValueAt(*values, 0, value);
    EXPECT_EQ(0u, Text(value).rfind(L"Error: ", 0));
}

TEST_F(PropertyValuesTest, OtherInputsAreConvertedAndUnreadableInputsAreRefusedQuietly)
{
    vx::com::Variant input;
    V_VT(input.Get()) = VT_R8;
    V_R8(input.Get()) = 5.0;
    vx::com::Variant values;
    vx::com::Variant results;
    VARIANT_BOOL succeeded = VARIANT_FALSE;
    ASSERT_EQ(S_OK, mixer_->GetPropertyValues(*input, values.Get(), results.Get(), &succeeded));
    ASSERT_EQ(VARIANT_TRUE, succeeded);
    vx::com::Variant value;
    ValueAt(*values, 0, value);
    EXPECT_EQ(55, V_I4(value.Get()));

    // A string array cannot become a DISPID.
    vx::com::Variant unconvertible;
    V_VT(unconvertible.Get()) = VT_ARRAY | VT_BSTR;
    V_ARRAY(unconvertible.Get()) = SafeArrayCreateVector(VT_BSTR, 0, 1);
    succeeded = VARIANT_TRUE;
    EXPECT_EQ(S_OK, mixer_->GetPropertyValues(*unconvertible, values.Out(), results.Out(), &succeeded));
    EXPECT_EQ(VARIANT_FALSE, succeeded);
    EXPECT_EQ(VT_EMPTY, values.Type());

    // A two-dimensional DISPID array is not read past its first row.
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    vx::com::Variant matrix;
    V_VT(matrix.Get()) = VT_ARRAY | VT_I4;
    V_ARRAY(matrix.Get()) = SafeArrayCreate(VT_I4, 2, bounds);
    succeeded = VARIANT_TRUE;
    EXPECT_EQ(S_OK, mixer_->GetPropertyValues(*matrix, values.Out(), results.Out(), &succeeded));
    EXPECT_EQ(VARIANT_FALSE, succeeded);

    succeeded = VARIANT_TRUE;
    EXPECT_EQ(S_OK, mixer_->GetPropertyValues(*input, nullptr, results.Out(), &succeeded));
    EXPECT_EQ(VARIANT_FALSE, succeeded);
}

} // namespace
