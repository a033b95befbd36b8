#include <windows.h>

#include <gtest/gtest.h>

#include "ComHelpTestEnvironment.h"
#include "module/ModuleServices.h"
#include "module/RemoteServicesSync.h"

using Microsoft::WRL::ComPtr;
using namespace comhelp_tests;

namespace {

struct CallRecord
{
    RunRecord where;
    HRESULT answer = S_OK;
    int nestedDepth = 0;
    DWORD nestedThread = 0;
};

HRESULT __stdcall Answer(void* data)
{
    auto* call = static_cast<CallRecord*>(data);
    RecordRun(&call->where);
    return call->answer;
}

HRESULT __stdcall RecordNested(void* data)
{
    static_cast<CallRecord*>(data)->nestedThread = GetCurrentThreadId();
    return S_FALSE;
}

// Calls the invoker again from inside a call on it.
HRESULT __stdcall CallAgain(void* data)
{
    auto* call = static_cast<CallRecord*>(data);
    RecordRun(&call->where);
    return RunOnSynchronousInvoker(RecordNested, call);
}

class RemoteServicesSyncTest : public ComHelpTest
{
protected:
    void TearDown() override
    {
        ModuleServicesHolder::Instance().ReleaseSynchronousInvoker();
        ComHelpTest::TearDown();
    }
};

TEST_F(RemoteServicesSyncTest, RunsTheCallbackOnOneInvokerThreadAndReturnsItsResult)
{
    CallRecord first, second;
    second.answer = HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    EXPECT_EQ(RunOnSynchronousInvoker(Answer, &first), S_OK);
    EXPECT_EQ(RunOnSynchronousInvoker(Answer, &second), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(first.where.runs, 1);
    EXPECT_NE(first.where.threadId, GetCurrentThreadId());
    EXPECT_EQ(second.where.threadId, first.where.threadId);
    EXPECT_TRUE(first.where.apartment == APTTYPE_STA || first.where.apartment == APTTYPE_MAINSTA);
}

TEST_F(RemoteServicesSyncTest, ACallFromTheInvokerThreadRunsThereAtOnce)
{
    CallRecord call;
    EXPECT_EQ(RunOnSynchronousInvoker(CallAgain, &call), S_FALSE);
    EXPECT_EQ(call.nestedThread, call.where.threadId);
}

TEST_F(RemoteServicesSyncTest, TheInterfaceObjectForwardsToTheInvoker)
{
    ComPtr<CRemoteServicesSync> sync;
    ASSERT_EQ(vx::com::CreateComObject(sync), S_OK);
    ComPtr<IvxCrRemoteServicesSync> asInterface;
    ASSERT_EQ(sync.As(&asInterface), S_OK);
    CallRecord call;
    call.answer = S_FALSE;
    EXPECT_EQ(asInterface->RunSynchronously(Answer, &call), S_FALSE);
    EXPECT_NE(call.where.threadId, GetCurrentThreadId());
    EXPECT_EQ(asInterface->RunSynchronously(nullptr, &call), E_INVALIDARG);
}

TEST_F(RemoteServicesSyncTest, AReleasedInvokerIsReplacedByANewOneOnNextUse)
{
    CallRecord before, after;
    ASSERT_EQ(RunOnSynchronousInvoker(Answer, &before), S_OK);
    ComPtr<IovInvoker> released;
    ASSERT_EQ(ModuleServicesHolder::Instance().SynchronousInvoker(released), S_OK);
    ModuleServicesHolder::Instance().ReleaseSynchronousInvoker();
    // The handed-back invoker no longer runs anything.
    RunRecord record;
    EXPECT_EQ(released->Invoke(RecordRun, &record), E_FAIL);
    EXPECT_EQ(record.runs, 0);

    ASSERT_EQ(RunOnSynchronousInvoker(Answer, &after), S_OK);
    EXPECT_NE(after.where.threadId, before.where.threadId);
}

TEST(RemoteServicesSyncWithoutModule, FailsWithoutRunningWhenNoInvokerCanBeMade)
{
    // The product path leads nowhere: the COM utility module is not found.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    SetEnvironmentVariableW(L"Vantorix8_Product_Path", (std::wstring(temp) + L"no-product-here").c_str());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    CallRecord call;
    HRESULT hr = RunOnSynchronousInvoker(Answer, &call);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(call.where.runs, 0);
    CoUninitialize();
}

} // namespace
