#include <gtest/gtest.h>

#include <string>

#include "HookTabFixture.h"
#include "openapphook/InvokeException.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using vx::com::BStr;
using vx::com::Variant;

namespace hook_tab_tests {
namespace {

class HookTabInstance : public StandinTabTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadLibraryTypeInfo());
        StandinTabTest::SetUp();
        ASSERT_EQ(Tab().GetTabInstance(instance_), S_OK);
        ASSERT_TRUE(instance_);
    }
    void TearDown() override
    {
        instance_.Reset();
        StandinTabTest::TearDown();
    }

    DISPID IdOf(const wchar_t* name)
    {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(instance_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        return id;
    }
    // Property get or method call by name, arguments in call order.
    HRESULT CallByName(const wchar_t* name, WORD flags, Variant* result, VARIANT* argument = nullptr)
    {
        DISPPARAMS parameters = {argument, nullptr, argument ? 1u : 0u, 0};
        EXCEPINFO exception = {};
        HRESULT hr = instance_->Invoke(IdOf(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                                       result ? result->Out() : nullptr, &exception, nullptr);
        lastError_ = exception.bstrDescription ? exception.bstrDescription : L"";
        lastCode_ = exception.scode;
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        return hr;
    }
    std::wstring Get(const wchar_t* name)
    {
        Variant result;
        EXPECT_EQ(CallByName(name, DISPATCH_PROPERTYGET, &result), S_OK) << name;
        return result.Type() == VT_BSTR ? std::wstring(V_BSTR(result.Get())) : L"<not a string>";
    }
    std::wstring RecordUrlFor(const wchar_t* url)
    {
        BStr value(url);
        Tab().SetUrl(value.Get());
        return Get(L"RecordURL");
    }
    void MaskParameters(const wchar_t* lines)
    {
        SetBoolOption(ProcessOptionKeys::MaskRecordedUrls, true);
        SetTextOption(ProcessOptionKeys::MaskedUrlParameters, lines);
    }

    ComPtr<IDispatch> instance_;
    std::wstring lastError_;
    SCODE lastCode_ = S_OK;
};

TEST_F(HookTabInstance, AnswersEveryInterfaceByNameWithDistinctIds)
{
    const wchar_t* names[] = {L"ObjectType", L"ObjectIdentifier", L"ObjectGroupIndex", L"URL",
                              L"Wait",       L"NavigateTo",       L"contentDocument",  L"RecordURL"};
    std::vector<DISPID> ids;
    for (const wchar_t* name : names) {
        DISPID id = IdOf(name);
        EXPECT_NE(id, DISPID_UNKNOWN) << name;
        EXPECT_EQ(std::count(ids.begin(), ids.end(), id), 0) << name;
        ids.push_back(id);
    }
    UINT count = 0;
    ASSERT_EQ(instance_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 5u);
    const IID interfaces[] = {__uuidof(IvxWebTreeObject), __uuidof(IvxWebObjectIdentifier),
                              __uuidof(IvxWebObjectIdentifier2), __uuidof(IvxWebPage),
                              __uuidof(IvxWebRecordURLProvider)};
    for (const IID& iid : interfaces) {
        ComPtr<IUnknown> answered;
        EXPECT_EQ(instance_->QueryInterface(iid, reinterpret_cast<void**>(answered.GetAddressOf())), S_OK);
    }
}

TEST_F(HookTabInstance, IdentificationValues)
{
    EXPECT_EQ(Get(L"ObjectType"), L"Page");
    EXPECT_EQ(Get(L"URL"), kFirstUrl);

    Variant identifier;
    ASSERT_EQ(CallByName(L"ObjectIdentifier", DISPATCH_PROPERTYGET, &identifier), S_OK);
    ASSERT_EQ(identifier.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(identifier.Get()), kFirstUrl);

    Tab().SetGroup(2, true);
    Variant group;
    ASSERT_EQ(CallByName(L"ObjectGroupIndex", DISPATCH_PROPERTYGET, &group), S_OK);
    ASSERT_EQ(group.Type(), VT_I4);
    EXPECT_EQ(V_I4(group.Get()), 2);
}

TEST_F(HookTabInstance, ContentDocumentConnectsAndReturnsThePagesDocument)
{
    EXPECT_FALSE(Tab().IsRendererConnected());
    Variant document;
    ASSERT_EQ(CallByName(L"contentDocument", DISPATCH_PROPERTYGET, &document), S_OK);
    ASSERT_EQ(document.Type(), VT_DISPATCH);
    ASSERT_TRUE(V_DISPATCH(document.Get()));
    EXPECT_TRUE(Tab().IsRendererConnected());

    // After a reset the next call connects again.
    Tab().ResetRenderer();
    ASSERT_EQ(CallByName(L"contentDocument", DISPATCH_PROPERTYGET, &document), S_OK);
    ASSERT_EQ(document.Type(), VT_DISPATCH);
    EXPECT_TRUE(V_DISPATCH(document.Get()));
    EXPECT_EQ(Standin().CallCount(chrome_standin::StandinService::Browser, 5), 2);
}

TEST_F(HookTabInstance, NavigateToAndWaitThroughDispatch)
{
    Variant url;
    V_VT(url.Get()) = VT_BSTR;
    V_BSTR(url.Get()) = SysAllocString(L"http://example.test/dispatch");
    ASSERT_EQ(CallByName(L"NavigateTo", DISPATCH_METHOD, nullptr, url.Get()), S_OK);
    EXPECT_EQ(StandinTab().url, L"http://example.test/dispatch");

    ASSERT_EQ(Standin().ScheduleLoading(kTabId, 100, 100), S_OK);
    Variant waited;
    ASSERT_EQ(CallByName(L"Wait", DISPATCH_METHOD, &waited), S_OK);
    ASSERT_EQ(waited.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(waited.Get()), L"http://example.test/dispatch");
}

TEST_F(HookTabInstance, RecordUrlIsMaskedOnlyWhenTheOptionIsSet)
{
    const wchar_t url[] = L"http://h/p?x=1&sid=abc&y=2";
    SetTextOption(ProcessOptionKeys::MaskedUrlParameters, L"sid");
    EXPECT_EQ(RecordUrlFor(url), url);
    MaskParameters(L"sid");
    EXPECT_EQ(RecordUrlFor(url), L"http://h/p?x=1&sid=*&y=2");
    SetBoolOption(ProcessOptionKeys::MaskRecordedUrls, false);
    EXPECT_EQ(RecordUrlFor(url), url);
}

TEST_F(HookTabInstance, RecordUrlReadsTheParameterListAtEachCall)
{
    MaskParameters(L"sid");
    const wchar_t url[] = L"http://h/p?x=1&sid=abc&y=2";
    EXPECT_EQ(RecordUrlFor(url), L"http://h/p?x=1&sid=*&y=2");
    // Changed in the store only: the tab was not told.
    SetTextOption(ProcessOptionKeys::MaskedUrlParameters, L"x\ny");
    EXPECT_EQ(RecordUrlFor(url), L"http://h/p?x=*&sid=abc&y=*");
    SetTextOption(ProcessOptionKeys::MaskedUrlParameters, L"sid\n*");
    EXPECT_EQ(RecordUrlFor(url), L"http://h/p*");
    // The URL property itself is never masked.
    EXPECT_EQ(Get(L"URL"), url);
}

TEST_F(HookTabInstance, RecordUrlEdgeCases)
{
    MaskParameters(L"SID");
    // Names compare without case; "#" and ";" after the query are ordinary.
    EXPECT_EQ(RecordUrlFor(L"http://h/p?sid=1#frag;x&a=2"), L"http://h/p?sid=*&a=2");
    EXPECT_EQ(RecordUrlFor(L"http://h/p?a=1#x;sid=2&sid=3"), L"http://h/p?a=1#x;sid=2&sid=*");
    EXPECT_EQ(RecordUrlFor(L""), L"");

    const std::wstring longName(300, L'n');
    const std::wstring longUrl = L"http://h/p?" + longName + L"=v&b=1";
    MaskParameters(std::wstring(255, L'n').c_str());
    EXPECT_EQ(RecordUrlFor(longUrl.c_str()), L"http://h/p?" + longName + L"=*&b=1");
    MaskParameters(longName.c_str());
    EXPECT_EQ(RecordUrlFor(longUrl.c_str()), longUrl);
}

TEST_F(HookTabInstance, CallsAfterTheTabClosedFailWithTheLibrarysError)
{
    Tab().Close();
    Variant result;
    // The failure travels as the dispatch exception with the library's code.
    for (const wchar_t* name : {L"URL", L"contentDocument", L"RecordURL", L"ObjectGroupIndex"}) {
        EXPECT_EQ(CallByName(name, DISPATCH_PROPERTYGET, &result), DISP_E_EXCEPTION) << name;
        EXPECT_EQ(lastCode_, vxOpenAppHook::VX_E_INVOKE_FAILED) << name;
        EXPECT_NE(lastError_.find(L"no longer available"), std::wstring::npos) << name;
    }
    // Through the vtable the code itself comes back.
    ComPtr<IvxWebPage> page;
    ASSERT_EQ(instance_.As(&page), S_OK);
    BSTR url = nullptr;
    EXPECT_EQ(page->get_URL(&url), vxOpenAppHook::VX_E_INVOKE_FAILED);
    EXPECT_EQ(url, nullptr);
    // Names that need no tab still answer.
    EXPECT_EQ(Get(L"ObjectType"), L"Page");
}

} // namespace
} // namespace hook_tab_tests
