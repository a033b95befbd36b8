#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "openapphook/DispDriver.h"
#include "openapphook/DispHelper.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"
#include "tests/openapphook-errors/ScriptObject.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CvxBadHRInvokeException;
using vxOpenAppHook::CvxDispDriver;
using vxOpenAppHook::CvxDispHelper;
using vxOpenAppHook::CvxInvokeException;
using vxtest::BoolValue;
using vxtest::CScriptObject;
using vxtest::IntValue;
using vxtest::ObjectValue;

namespace {

// Runs `call` and returns the CvxBadHRInvokeException it must throw.
template <class Call>
CvxBadHRInvokeException ExpectFailure(Call&& call)
{
    try {
        call();
    } catch (const CvxBadHRInvokeException& failure) {
        return failure;
    }
    ADD_FAILURE() << "no CvxBadHRInvokeException";
    return CvxBadHRInvokeException(S_OK, 0);
}

// A member that fails with DISP_E_EXCEPTION and the given texts.
CScriptObject::Handler Raising(const wchar_t* source, WORD code, const wchar_t* description)
{
    return [=](WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* exception) {
        if (exception) {
            exception->bstrSource = SysAllocString(source);
            exception->wCode = code;
            exception->bstrDescription = SysAllocString(description);
        }
        return DISP_E_EXCEPTION;
    };
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST(DispDriver, StringReadsFollowOleValueOfObjects)
{
    ComPtr<CScriptObject> inner = CScriptObject::Create();
    inner->AddProperty(L"OleValue", IntValue(42));
    ComPtr<CScriptObject> middle = CScriptObject::Create();
    middle->AddProperty(L"OleValue", ObjectValue(inner.Get()));
    ComPtr<CScriptObject> host = CScriptObject::Create();
    host->AddProperty(L"Value", ObjectValue(inner.Get()));
    host->AddProperty(L"Nested", ObjectValue(middle.Get()));
    host->AddProperty(L"Nothing", ObjectValue(nullptr));
    host->AddProperty(L"Number", IntValue(-7));
    // A by-reference variant is read through.
    VARIANT referenced = IntValue(5);
    VARIANT byReference;
    V_VT(&byReference) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&byReference) = &referenced;
    host->AddMember(L"ByRef", [&](WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*) {
        *result = byReference;
        return S_OK;
    });

    CvxDispDriver driver(host.Get());
    EXPECT_EQ(L"42", driver.GetPropertyString(L"Value"));
    EXPECT_EQ(L"42", driver.GetPropertyString(L"Nested"));
    EXPECT_EQ(L"", driver.GetPropertyString(L"Nothing"));
    EXPECT_EQ(L"-7", driver.GetPropertyString(L"Number"));
    EXPECT_EQ(L"5", driver.GetPropertyString(L"ByRef"));
    EXPECT_EQ(-7, driver.GetPropertyInt(L"Number"));
    EXPECT_EQ(inner.Get(), driver.GetPropertyDispatch(L"Value").Get());
}

TEST(DispDriver, ObjectWhoseOleValueIsItselfFailsInsteadOfRecursingForever)
{
    ComPtr<CScriptObject> loop = CScriptObject::Create();
    IDispatch* self = loop.Get();
    loop->AddMember(L"OleValue", [self](WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*) {
        self->AddRef();
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = self;
        return S_OK;
    });
    CvxBadHRInvokeException failure = ExpectFailure([&] { CvxDispDriver(loop.Get()).GetPropertyString(L"OleValue"); });
    EXPECT_EQ(DISP_E_TYPEMISMATCH, failure.Result());
}

TEST(DispDriver, FailuresThrowWithCallSiteResultMemberAndCalleeTexts)
{
    ComPtr<CScriptObject> object = CScriptObject::Create();
    object->AddMember(L"Explode", Raising(L"Renderer", 77, L"Node is gone"));
    object->AddProperty(L"Text", IntValue(1));
    CvxDispDriver driver(object.Get());

    CvxBadHRInvokeException missing = ExpectFailure([&] { driver.GetPropertyString(L"NoSuchMember"); });
    EXPECT_EQ(DISP_E_UNKNOWNNAME, missing.Result());
    EXPECT_EQ(L"An error occurred.", std::wstring(missing.MessageText()));
    const std::wstring missingDetails(missing.DetailsText());
    EXPECT_NE(std::wstring::npos, missingDetails.find(L"Technical information:\n7203 0x80020006 ("));
    EXPECT_TRUE(EndsWith(missingDetails, L") NoSuchMember")) << missingDetails;

    CvxBadHRInvokeException raised = ExpectFailure([&] { driver.InvokeMethod(L"Explode", IntValue(1)); });
    EXPECT_EQ(DISP_E_EXCEPTION, raised.Result());
    const std::wstring raisedDetails(raised.DetailsText());
    EXPECT_NE(std::wstring::npos, raisedDetails.find(L"\n7206 0x80020009 ("));
    EXPECT_TRUE(EndsWith(raisedDetails, L") Explode\nRenderer 77\nNode is gone")) << raisedDetails;

    // Distinct call sites tell a failed read from a failed conversion.
    VARIANT word;
    V_VT(&word) = VT_BSTR;
    V_BSTR(&word) = SysAllocString(L"not a number");
    object->AddProperty(L"Word", word);
    VariantClear(&word);
    CvxBadHRInvokeException conversion = ExpectFailure([&] { driver.GetPropertyInt(L"Word"); });
    EXPECT_NE(std::wstring::npos, std::wstring(conversion.DetailsText()).find(L"\n7208 0x"));

    // Every failure is also a CvxInvokeException for callers that report it.
    EXPECT_THROW(driver.PutProperty(L"Nope", IntValue(1)), CvxInvokeException);
    EXPECT_TRUE(driver.HasMember(L"Text"));
    EXPECT_FALSE(driver.HasMember(L"Nope"));
}

TEST(DispDriver, BuiltFromVariantsAndEmptyDriversFail)
{
    ComPtr<CScriptObject> object = CScriptObject::Create();
    VARIANT unknown;
    V_VT(&unknown) = VT_UNKNOWN;
    V_UNKNOWN(&unknown) = static_cast<IUnknown*>(object.Get());
    EXPECT_EQ(object.Get(), CvxDispDriver(unknown).Get());
    IDispatch* pointer = object.Get();
    VARIANT reference;
    V_VT(&reference) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&reference) = &pointer;
    EXPECT_EQ(object.Get(), CvxDispDriver(reference).Get());

    EXPECT_EQ(E_INVALIDARG, ExpectFailure([] { CvxDispDriver(IntValue(3)); }).Result());
    EXPECT_EQ(static_cast<HRESULT>(5023), ExpectFailure([] { CvxDispDriver().GetPropertyInt(L"x"); }).Result());
    EXPECT_FALSE(CvxDispDriver().HasMember(L"x"));

    // Copies share the object.
    CvxDispDriver first(object.Get());
    CvxDispDriver second(first);
    EXPECT_EQ(first.Get(), second.Get());
}

TEST(DispDriver, ArgumentsArriveInInvokeOrderAndPutsAreNamed)
{
    ComPtr<CScriptObject> object = CScriptObject::Create();
    object->AddMember(L"Subtract", [](WORD flags, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*) {
        if (flags != DISPATCH_METHOD || parameters->cArgs != 2)
            return DISP_E_BADPARAMCOUNT;
        // Invoke's arguments are last to first.
        V_VT(result) = VT_I4;
        V_I4(result) = V_I4(&parameters->rgvarg[1]) - V_I4(&parameters->rgvarg[0]);
        return S_OK;
    });
    int stored = 0;
    object->AddMember(L"Stored", [&](WORD flags, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*) {
        if (flags != DISPATCH_PROPERTYPUT || parameters->cNamedArgs != 1 ||
            parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTFOUND;
        stored = V_I4(&parameters->rgvarg[0]);
        return S_OK;
    });
    CvxDispDriver driver(object.Get());
    vx::com::Variant difference = driver.InvokeMethod(L"Subtract", IntValue(10), IntValue(3));
    EXPECT_EQ(7, V_I4(difference.Get()));
    driver.PutProperty(L"Stored", IntValue(99));
    EXPECT_EQ(99, stored);

    CvxDispHelper helper(object.Get());
    vx::com::Variant viaHelper;
    ASSERT_EQ(S_OK, helper.InvokeMethod(L"Subtract", IntValue(1), IntValue(5), viaHelper.Out()));
    EXPECT_EQ(-4, V_I4(viaHelper.Get()));
    EXPECT_EQ(S_OK, helper.PutProperty(L"Stored", IntValue(12)));
    EXPECT_EQ(12, stored);
}

TEST(DispHelper, FailuresAreResultsWithCalleeTextsAsErrorInformation)
{
    CvxDispHelper empty;
    vx::com::Variant value;
    EXPECT_EQ(E_POINTER, empty.Check());
    EXPECT_EQ(E_POINTER, empty.GetProperty(L"x", value.Out()));

    ComPtr<CScriptObject> object = CScriptObject::Create();
    object->AddMember(L"Explode", Raising(L"Renderer", 5, L"Node is gone"));
    object->AddProperty(L"Size", IntValue(8));
    CvxDispHelper helper(object.Get());
    EXPECT_EQ(S_OK, helper.Check());
    DISPID dispid = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, helper.GetIDOfName(L"Missing", &dispid));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, helper.GetProperty(L"Missing", value.Out()));
    ASSERT_EQ(S_OK, helper.GetIDOfName(L"Size", &dispid));
    ASSERT_EQ(S_OK, helper.GetProperty(dispid, value.Out()));
    EXPECT_EQ(8, V_I4(value.Get()));

    SetErrorInfo(0, nullptr);
    EXPECT_EQ(DISP_E_EXCEPTION, helper.InvokeMethod(L"Explode", value.Out()));
    ComPtr<IErrorInfo> errorInfo;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &errorInfo));
    vx::com::BStr source, description;
    errorInfo->GetSource(source.Out());
    errorInfo->GetDescription(description.Out());
    EXPECT_EQ(L"Renderer", source.Str());
    EXPECT_EQ(L"Node is gone", description.Str());
}
