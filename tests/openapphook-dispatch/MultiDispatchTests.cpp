// One object with several dual interfaces, dispatched through the test type
// library: name and DISPID search order, error propagation, type information
// bounds, and the state after the type libraries are released.
#include <windows.h>

#include <gtest/gtest.h>

#include <oleauto.h>

#include "TestDispatchObjects.h"
#include "openapphook/CustomDispatch.h"
#include "openapphook/TypeLibraryRegistry.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using namespace dispatchtests;

namespace {

class MultiDispatchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_TRUE(LoadTestTypeLibrary());
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(object_));
        ASSERT_HRESULT_SUCCEEDED(
            object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch_.GetAddressOf())));
    }
    void TearDown() override
    {
        dispatch_.Reset();
        object_.Reset();
        CoUninitialize();
    }

    HRESULT IdOf(const wchar_t* name, DISPID& id)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    }
    HRESULT Call(DISPID id, WORD flags, VARIANT* result)
    {
        DISPPARAMS none{};
        EXCEPINFO info{};
        HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, flags, &none, result, &info, nullptr);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        return hr;
    }
    static GUID GuidOf(ITypeInfo* typeInfo)
    {
        TYPEATTR* attr = nullptr;
        if (FAILED(typeInfo->GetTypeAttr(&attr)))
            return GUID_NULL;
        GUID guid = attr->guid;
        typeInfo->ReleaseTypeAttr(attr);
        return guid;
    }

    ComPtr<CTestTriple> object_;
    ComPtr<IDispatch> dispatch_;
};

TEST_F(MultiDispatchTest, NamesResolveThroughTheInterfaceRegisteredLast)
{
    DISPID id = 0;
    // All three described interfaces know "Common"; the third was registered last.
    ASSERT_EQ(S_OK, IdOf(L"Common", id));
    EXPECT_EQ(31, id);
    // Names known to one interface only are still found, whichever it is.
    ASSERT_EQ(S_OK, IdOf(L"FirstOnly", id));
    EXPECT_EQ(13, id);
    ASSERT_EQ(S_OK, IdOf(L"SecondOnly", id));
    EXPECT_EQ(22, id);
    // The interface without type information is not reachable by name.
    EXPECT_EQ(DISP_E_UNKNOWNNAME, IdOf(L"Hidden", id));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, IdOf(L"NoSuchMember", id));

    // The same answer comes through the IDispatch of any of the interfaces.
    ComPtr<ITestFirst> first;
    ASSERT_HRESULT_SUCCEEDED(object_.As(&first));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Common")};
    ASSERT_EQ(S_OK, first->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(31, id);
}

TEST_F(MultiDispatchTest, InvokeWalksOnOnlyWhenAMemberIsNotFound)
{
    vx::com::Variant value;
    // DISPID 13 is the first interface's: the walk passes the other two.
    ASSERT_EQ(S_OK, Call(13, DISPATCH_PROPERTYGET, value.Out()));
    ASSERT_EQ(VT_BSTR, value.Type());
    EXPECT_STREQ(L"first", V_BSTR(value.Get()));

    // A DISPID nobody knows is asked of every described interface.
    const int firstBefore = object_->QueriesFor(__uuidof(ITestFirst));
    const int secondBefore = object_->QueriesFor(__uuidof(ITestSecond));
    const int thirdBefore = object_->QueriesFor(__uuidof(ITestThird));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(999, DISPATCH_METHOD, value.Out()));
    EXPECT_EQ(firstBefore + 1, object_->QueriesFor(__uuidof(ITestFirst)));
    EXPECT_EQ(secondBefore + 1, object_->QueriesFor(__uuidof(ITestSecond)));
    EXPECT_EQ(thirdBefore + 1, object_->QueriesFor(__uuidof(ITestThird)));

    // DISPID 12 belongs to the third interface (which refuses) and to the
    // first (which would answer): the refusal ends the walk.
    HRESULT hr = Call(12, DISPATCH_METHOD, value.Out());
    EXPECT_TRUE(hr == DISP_E_EXCEPTION || hr == E_ACCESSDENIED) << std::hex << hr;
    EXPECT_EQ(0, object_->touchCalls.load());
}

TEST_F(MultiDispatchTest, TypeInformationIsCountedFromTheLastRegistered)
{
    UINT count = 0;
    ASSERT_EQ(S_OK, dispatch_->GetTypeInfoCount(&count));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(E_INVALIDARG, dispatch_->GetTypeInfoCount(nullptr));

    ComPtr<ITypeInfo> typeInfo;
    ASSERT_EQ(S_OK, dispatch_->GetTypeInfo(0, 0, &typeInfo));
    EXPECT_EQ(__uuidof(ITestThird), GuidOf(typeInfo.Get()));
    ASSERT_EQ(S_OK, dispatch_->GetTypeInfo(2, 0, typeInfo.ReleaseAndGetAddressOf()));
    EXPECT_EQ(__uuidof(ITestFirst), GuidOf(typeInfo.Get()));
    EXPECT_EQ(DISP_E_BADINDEX, dispatch_->GetTypeInfo(3, 0, typeInfo.ReleaseAndGetAddressOf()));
    EXPECT_EQ(E_INVALIDARG, dispatch_->GetTypeInfo(0, 0, nullptr));
}

TEST_F(MultiDispatchTest, AnInterfaceWithoutTypeInformationStillWorksThroughItsVtable)
{
    ComPtr<ITestUndescribed> undescribed;
    ASSERT_HRESULT_SUCCEEDED(object_.As(&undescribed));
    LONG value = 0;
    ASSERT_EQ(S_OK, undescribed->get_Hidden(&value));
    EXPECT_EQ(41, value);
    vx::com::Variant result;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(41, DISPATCH_PROPERTYGET, result.Out()));
}

TEST_F(MultiDispatchTest, EmptyCellsAfterReleaseGiveFailuresNotCrashes)
{
    vxOpenAppHook::TypeLibraries().ReleaseAll();

    DISPID id = 0;
    EXPECT_EQ(E_FAIL, IdOf(L"Common", id));
    vx::com::Variant value;
    EXPECT_EQ(E_FAIL, Call(13, DISPATCH_PROPERTYGET, value.Out()));
    ComPtr<ITypeInfo> typeInfo;
    EXPECT_EQ(E_FAIL, dispatch_->GetTypeInfo(0, 0, &typeInfo));
    EXPECT_EQ(nullptr, typeInfo.Get());

    // Objects made after the release share the emptied cells.
    ComPtr<CTestTriple> later;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(later));
    ComPtr<IDispatch> laterDispatch;
    ASSERT_HRESULT_SUCCEEDED(later.As(&laterDispatch));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Common")};
    EXPECT_EQ(E_FAIL, laterDispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
}

TEST_F(MultiDispatchTest, RegistryLooksUpInterfacesOnceAndReportsUnknownOnes)
{
    auto& registry = vxOpenAppHook::TypeLibraries();
    ComPtr<ITypeInfo> a;
    ComPtr<ITypeInfo> b;
    ASSERT_EQ(S_OK, registry.FindTypeInfo(__uuidof(ITestSecond), &a));
    ASSERT_EQ(S_OK, registry.FindTypeInfo(__uuidof(ITestSecond), &b));
    EXPECT_EQ(a.Get(), b.Get());
    EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, registry.FindTypeInfo(__uuidof(ITestUndescribed), &a));
    vxOpenAppHook::TypeInfoCell* cell = nullptr;
    EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, registry.GetTypeInfoCell(__uuidof(ITestUndescribed), &cell));
    EXPECT_EQ(nullptr, cell);
}

TEST_F(MultiDispatchTest, CustomDispatchCallsTheTargetThroughOneTypeInformation)
{
    ComPtr<vxOpenAppHook::CStubManager> manager;
    ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager));
    ComPtr<ITypeInfo> typeInfo;
    ASSERT_EQ(S_OK, vxOpenAppHook::TypeLibraries().FindTypeInfo(__uuidof(ITestSecond), &typeInfo));
    ComPtr<ITestSecond> target;
    ASSERT_HRESULT_SUCCEEDED(object_.As(&target));

    ComPtr<vxOpenAppHook::CCustomDispatch> stub;
    ASSERT_HRESULT_SUCCEEDED(
        vxOpenAppHook::CCustomDispatch::Create(manager.Get(), object_->Identity(), typeInfo.Get(), target.Get(), stub));
    EXPECT_EQ(1u, manager->Count());

    ComPtr<IDispatch> dispatch;
    ASSERT_HRESULT_SUCCEEDED(stub.As(&dispatch));
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Common")};
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(21, id);
    DISPPARAMS none{};
    vx::com::Variant value;
    ASSERT_EQ(S_OK, dispatch->Invoke(22, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.Out(), nullptr, nullptr));
    EXPECT_EQ(22, V_I4(value.Get()));

    UINT count = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> answered;
    EXPECT_EQ(DISP_E_BADINDEX, dispatch->GetTypeInfo(1, 0, &answered));
    EXPECT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, &answered));
    EXPECT_EQ(typeInfo.Get(), answered.Get());

    dispatch.Reset();
    stub.Reset();
    EXPECT_EQ(0u, manager->Count());
}

} // namespace
