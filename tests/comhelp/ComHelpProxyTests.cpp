#include <windows.h>

#include <gtest/gtest.h>

#include "ComHelpTestEnvironment.h"
#include "comhelp/ComHelpProxy.h"
#include "comhelp/ComHelpWrappers.h"

using Microsoft::WRL::ComPtr;
using namespace comhelp_tests;
using ovComHelp_EXP::CovComHelpProxy;

namespace {

bool IsSingleThreaded(APTTYPE type)
{
    return type == APTTYPE_STA || type == APTTYPE_MAINSTA;
}

class ComHelpProxyTest : public ComHelpTest
{
protected:
    void SetUp() override
    {
        ComHelpTest::SetUp();
        ASSERT_EQ(CovComHelpProxy::Create(proxy_), S_OK);
    }
    void TearDown() override
    {
        if (proxy_)
            proxy_->Dispose();
        proxy_.Reset();
        ComHelpTest::TearDown();
    }

    RunRecord RunOn(IovInvoker* invoker, HRESULT expected = S_OK)
    {
        RunRecord record;
        EXPECT_EQ(invoker->Invoke(RecordRun, &record), expected);
        return record;
    }

    ComPtr<CovComHelpProxy> proxy_;
};

// A caller's object that can be cut off with the proxy's other wrappers.
class CountingDisposable : public vx::com::ComObject<CountingDisposable, IovInvokerProxy>
{
public:
    STDMETHODIMP Drop() override
    {
        ++drops;
        return S_OK;
    }
    int drops = 0;
};

TEST_F(ComHelpProxyTest, InvokersRunOnTheApartmentThreadsTheyName)
{
    ComPtr<IovSTA1> sta1, separateSta1;
    ComPtr<IovMTA> mta;
    ASSERT_EQ(proxy_->GetSTA1(&sta1), S_OK);
    ASSERT_EQ(proxy_->GetSeparateSTA1(&separateSta1), S_OK);
    ASSERT_EQ(proxy_->GetMTA(&mta), S_OK);

    RunRecord onSta1 = RunOn(sta1.Get());
    RunRecord onSeparate = RunOn(separateSta1.Get());
    RunRecord onMta = RunOn(mta.Get());
    EXPECT_EQ(onSta1.runs, 1);
    EXPECT_TRUE(IsSingleThreaded(onSta1.apartment));
    EXPECT_TRUE(IsSingleThreaded(onSeparate.apartment));
    EXPECT_EQ(onMta.apartment, APTTYPE_MTA);
    EXPECT_NE(onSta1.threadId, GetCurrentThreadId());
    EXPECT_NE(onMta.threadId, GetCurrentThreadId());
    EXPECT_NE(onSta1.threadId, onSeparate.threadId);

    // The STA thread is one thread: a second call lands on it again.
    EXPECT_EQ(RunOn(sta1.Get()).threadId, onSta1.threadId);
}

TEST_F(ComHelpProxyTest, CachedOperationsAnswerTheSameWrapperAndSeparateInvokersAreNew)
{
    ComPtr<IovSTA1> first, second;
    ASSERT_EQ(proxy_->GetSTA1(&first), S_OK);
    ASSERT_EQ(proxy_->GetSTA1(&second), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
    ComPtr<IGlobalInterfaceTable> table1, table2;
    ASSERT_EQ(proxy_->GetGlobalInterfaceTable(&table1), S_OK);
    ASSERT_EQ(proxy_->GetGlobalInterfaceTable(&table2), S_OK);
    EXPECT_EQ(table1.Get(), table2.Get());

    ComPtr<IovInvoker> a, b, mtaInvoker;
    ASSERT_EQ(proxy_->CreateSeparateInvoker(&a), S_OK);
    ASSERT_EQ(proxy_->CreateSeparateInvoker(&b), S_OK);
    ASSERT_EQ(proxy_->CreateSeparateMTAInvoker(&mtaInvoker), S_OK);
    EXPECT_NE(a.Get(), b.Get());
    RunRecord onA = RunOn(a.Get());
    RunRecord onB = RunOn(b.Get());
    RunRecord onMta = RunOn(mtaInvoker.Get());
    EXPECT_NE(onA.threadId, onB.threadId);
    EXPECT_TRUE(IsSingleThreaded(onA.apartment));
    EXPECT_EQ(onMta.apartment, APTTYPE_MTA);

    // Separate invokers are wrapped, keep a value and can be dropped.
    ComPtr<IovSeparateInvokerProxy> valued;
    ASSERT_EQ(a.As(&valued), S_OK);
    LONG value = -1;
    EXPECT_EQ(valued->GetUserValue(&value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(valued->SetUserValue(42), S_OK);
    EXPECT_EQ(valued->GetUserValue(&value), S_OK);
    EXPECT_EQ(value, 42);
}

TEST_F(ComHelpProxyTest, GlobalInterfaceTableWrapperForwardsUntilDisposed)
{
    ComPtr<IGlobalInterfaceTable> table;
    ASSERT_EQ(proxy_->GetGlobalInterfaceTable(&table), S_OK);
    ComPtr<CountingDisposable> object;
    ASSERT_EQ(vx::com::CreateComObject(object), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(table->RegisterInterfaceInGlobal(object->Identity(), IID_IUnknown, &cookie), S_OK);
    ComPtr<IUnknown> back;
    ASSERT_EQ(table->GetInterfaceFromGlobal(cookie, IID_IUnknown, reinterpret_cast<void**>(back.GetAddressOf())), S_OK);
    EXPECT_EQ(back.Get(), object->Identity());
    back.Reset();

    ASSERT_EQ(proxy_->Dispose(), S_OK);
    EXPECT_EQ(table->GetInterfaceFromGlobal(cookie, IID_IUnknown, reinterpret_cast<void**>(back.GetAddressOf())),
              E_FAIL);
    EXPECT_EQ(back.Get(), nullptr);
    EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), E_FAIL);

    // The entry itself is still in the process's table.
    ComPtr<IGlobalInterfaceTable> system;
    ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                               reinterpret_cast<void**>(system.GetAddressOf())),
              S_OK);
    EXPECT_EQ(system->RevokeInterfaceFromGlobal(cookie), S_OK);
}

TEST_F(ComHelpProxyTest, DisposeCutsEveryWrapperOffAndRunsOnce)
{
    ComPtr<IovSTA1> sta1;
    ComPtr<IovInvoker> separate;
    ASSERT_EQ(proxy_->GetSTA1(&sta1), S_OK);
    ASSERT_EQ(proxy_->CreateSeparateInvoker(&separate), S_OK);
    ComPtr<CountingDisposable> disposable;
    ASSERT_EQ(vx::com::CreateComObject(disposable), S_OK);
    ASSERT_EQ(proxy_->RegisterDisposable(disposable->Identity()), S_OK);

    ASSERT_EQ(proxy_->Dispose(), S_OK);
    EXPECT_TRUE(proxy_->IsDisposed());
    EXPECT_EQ(disposable->drops, 1);
    EXPECT_EQ(RunOn(sta1.Get(), E_FAIL).runs, 0);
    EXPECT_EQ(RunOn(separate.Get(), E_FAIL).runs, 0);

    // A cached wrapper stays (cut off); what was never made is refused.
    ComPtr<IovSTA1> again;
    EXPECT_EQ(proxy_->GetSTA1(&again), S_OK);
    EXPECT_EQ(again.Get(), sta1.Get());
    ComPtr<IovMTA> mta;
    EXPECT_EQ(proxy_->GetMTA(&mta), E_FAIL);
    EXPECT_EQ(mta.Get(), nullptr);
    ComPtr<IovInvoker> another;
    EXPECT_EQ(proxy_->CreateSeparateInvoker(&another), E_FAIL);

    EXPECT_EQ(proxy_->Dispose(), S_OK);
    EXPECT_EQ(disposable->drops, 1);
}

TEST_F(ComHelpProxyTest, RegisteringADisposableWithoutTheDropInterfaceIsRefused)
{
    ComPtr<IovInvoker> sameThread;
    ComPtr<ovComHelp_EXP::CovInvoker> invoker;
    ASSERT_EQ(vx::com::CreateComObject(invoker), S_OK);
    EXPECT_EQ(proxy_->RegisterDisposable(invoker->Identity()), E_NOTIMPL);
    EXPECT_EQ(proxy_->RegisterDisposable(nullptr), E_POINTER);

    // Registered after the module went: cut off at once.
    ComPtr<CountingDisposable> late;
    ASSERT_EQ(vx::com::CreateComObject(late), S_OK);
    ASSERT_EQ(proxy_->Dispose(), S_OK);
    EXPECT_EQ(proxy_->RegisterDisposable(late->Identity()), S_OK);
    EXPECT_EQ(late->drops, 1);
}

TEST_F(ComHelpProxyTest, ModuleUnloadCutsWrappersOffAndReallyUnloadsTheModule)
{
    // Hold a reference of our own, as the product does while it shuts the
    // module down.
    HMODULE module = GetModuleHandleW(L"ovComHelp.dll");
    ASSERT_NE(module, nullptr) << "the proxy loads the module";
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    HMODULE ours = LoadLibraryW(path);
    ASSERT_EQ(ours, module);

    ComPtr<IovSTA1> sta1;
    ComPtr<IovMTA> mta;
    ComPtr<IovInvoker> separate;
    ASSERT_EQ(proxy_->GetSTA1(&sta1), S_OK);
    ASSERT_EQ(proxy_->GetMTA(&mta), S_OK);
    ASSERT_EQ(proxy_->CreateSeparateInvoker(&separate), S_OK);
    EXPECT_EQ(RunOn(sta1.Get()).runs, 1);

    using Shutdown = void(WINAPI*)();
    auto shutdown = reinterpret_cast<Shutdown>(reinterpret_cast<void*>(GetProcAddress(module, "ovComHelpShutdown")));
    ASSERT_NE(shutdown, nullptr);
    shutdown();
    EXPECT_TRUE(proxy_->IsDisposed());
    EXPECT_EQ(RunOn(sta1.Get(), E_FAIL).runs, 0);
    EXPECT_EQ(RunOn(mta.Get(), E_FAIL).runs, 0);
    EXPECT_EQ(RunOn(separate.Get(), E_FAIL).runs, 0);

    // With our reference gone nothing keeps the module: it leaves the
    // process once its threads have ended.
    FreeLibrary(ours);
    DWORD start = GetTickCount();
    while (GetModuleHandleW(L"ovComHelp.dll") && GetTickCount() - start < 5000)
        Sleep(20);
    EXPECT_EQ(GetModuleHandleW(L"ovComHelp.dll"), nullptr);
    EXPECT_EQ(RunOn(sta1.Get(), E_FAIL).runs, 0);
    ComPtr<IovInvoker> another;
    EXPECT_EQ(proxy_->CreateSeparateInvoker(&another), E_FAIL);
}

TEST_F(ComHelpTest, AProxyWithoutItsModuleRefusesEveryRequest)
{
    ComPtr<CovComHelpProxy> proxy;
    ASSERT_EQ(CovComHelpProxy::Create(proxy, "noSuchComHelp.dll"), S_OK);
    ComPtr<IGlobalInterfaceTable> table;
    ComPtr<IovSTA1> sta1;
    ComPtr<IovMTA> mta;
    ComPtr<IovInvoker> separate;
    EXPECT_EQ(proxy->GetGlobalInterfaceTable(&table), E_FAIL);
    EXPECT_EQ(proxy->GetSTA1(&sta1), E_FAIL);
    EXPECT_EQ(proxy->GetSeparateSTA1(&sta1), E_FAIL);
    EXPECT_EQ(proxy->GetMTA(&mta), E_FAIL);
    EXPECT_EQ(proxy->CreateSeparateInvoker(&separate), E_FAIL);
    EXPECT_EQ(proxy->CreateSeparateMTAInvoker(&separate), E_FAIL);
    EXPECT_EQ(proxy->Dispose(), S_OK);
}

TEST_F(ComHelpTest, TheSameThreadInvokerRunsAtOnceOnTheCaller)
{
    ComPtr<ovComHelp_EXP::CovInvoker> invoker;
    ASSERT_EQ(vx::com::CreateComObject(invoker), S_OK);
    RunRecord record;
    EXPECT_EQ(invoker->Invoke(RecordRun, &record), S_OK);
    EXPECT_EQ(record.threadId, GetCurrentThreadId());
    EXPECT_EQ(invoker->Invoke(nullptr, &record), E_FAIL);
    EXPECT_EQ(record.runs, 1);
}

} // namespace
