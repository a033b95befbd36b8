// The connection rules of a service object, with in-process services that
// play a publisher: caching in the global interface table, first writer
// wins, liveness check and reconnection, rendezvous on the invoker.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "InteractiveChild.h"
#include "module/ModuleServices.h"
#include "module/RemoteServicesSync.h"
#include "platform/com/UniqueHandle.h"
#include "services/ServiceConnection.h"

using Microsoft::WRL::ComPtr;
using vx::com::UniqueHandle;

namespace {

const HRESULT kServerUnavailable = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);

std::atomic<int> liveServices{0};

// A service whose liveness answer the test controls; Invoke of any other
// member answers the service's number.
class FakeService : public vx::com::ComObject<FakeService, IDispatch>
{
public:
    explicit FakeService(int number) : number(number) { ++liveServices; }
    ~FakeService() override { --liveServices; }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override
    {
        if (member == CCrServiceConnection::kLivenessDispid) {
            ++livenessCalls;
            return livenessAnswer.load();
        }
        if (result) {
            VariantInit(result);
            result->vt = VT_I4;
            result->lVal = number;
        }
        return S_OK;
    }

    const int number;
    std::atomic<HRESULT> livenessAnswer{S_OK};
    std::atomic<int> livenessCalls{0};
};

// A fake holding exactly the reference in `out`, so the tests can see when
// the connection lets its services go.
HRESULT MakeFake(ComPtr<FakeService>& out, int number)
{
    ComPtr<FakeService> holder(new FakeService(number));
    HRESULT hr = holder->FinalConstruct();
    if (SUCCEEDED(hr))
        out = holder;
    return hr;
}

// What the lookups of the current test do.
struct Publisher
{
    std::atomic<int> lookups{0};
    std::atomic<HRESULT> failure{S_OK};
    std::atomic<bool> answerNull{false};
    std::atomic<DWORD> lookupThread{0};
    // When set, each lookup waits here until two lookups are inside.
    HANDLE bothInside = nullptr;
    std::atomic<int> inside{0};
    ComPtr<FakeService> latest;
};
Publisher* publisher = nullptr;

HRESULT FakeLookup(ComPtr<IDispatch>& service)
{
    int number = ++publisher->lookups;
    publisher->lookupThread = GetCurrentThreadId();
    if (publisher->bothInside) {
        if (++publisher->inside == 2)
            SetEvent(publisher->bothInside);
        WaitForSingleObject(publisher->bothInside, 5000);
    }
    if (FAILED(publisher->failure.load()))
        return publisher->failure.load();
    if (publisher->answerNull)
        return S_OK;
    ComPtr<FakeService> created;
    HRESULT hr = MakeFake(created, number);
    if (FAILED(hr))
        return hr;
    if (number == 1 || !publisher->bothInside)
        publisher->latest = created;
    service = created;
    return S_OK;
}

int NumberOf(IDispatch* service)
{
    DISPPARAMS none = {};
    VARIANT result;
    VariantInit(&result);
    if (FAILED(service->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr)) ||
        result.vt != VT_I4)
        return -1;
    return result.lVal;
}

class ServiceConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"Vantorix8_Product_Path", rendezvous_tests::LayoutDirectory().c_str());
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        publisher = &publisher_;
    }
    void TearDown() override
    {
        connection_.Disconnect();
        publisher_.latest.Reset();
        publisher = nullptr;
        ModuleServicesHolder::Instance().ReleaseSynchronousInvoker();
        CoUninitialize();
    }

    // The tabs rule without a give-back of lost registrations.
    HRESULT GetTabsService(const CCrServiceConnection::EventsRegistration& registerEvents, ComPtr<IDispatch>& service)
    {
        bool connectedHere = false;
        return connection_.GetTabsService(registerEvents, nullptr, service, connectedHere);
    }

    Publisher publisher_;
    vx::com::CriticalSection ownerLock_;
    CCrServiceConnection connection_{ownerLock_, FakeLookup};
};

TEST_F(ServiceConnectionTest, TheServiceIsLookedUpOnceAndThenServedFromTheTable)
{
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(connection_.GetBrowserService(first), S_OK);
    ASSERT_EQ(connection_.GetBrowserService(second), S_OK);
    EXPECT_EQ(publisher_.lookups, 1);
    EXPECT_EQ(NumberOf(second.Get()), 1);
    EXPECT_EQ(publisher_.latest->livenessCalls, 1) << "only a cached service is checked";
    EXPECT_TRUE(connection_.IsConnected());

    first.Reset();
    second.Reset();
    publisher_.latest.Reset();
    connection_.Disconnect();
    EXPECT_FALSE(connection_.IsConnected());
    EXPECT_EQ(liveServices, 0) << "disconnecting revokes the table entry";
}

TEST_F(ServiceConnectionTest, OfTwoConcurrentRendezvousTheFirstToStoreWins)
{
    UniqueHandle bothInside(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    publisher_.bothInside = bothInside.Get();
    ComPtr<IDispatch> a, b;
    HRESULT hrA = E_FAIL, hrB = E_FAIL;
    std::thread one([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        hrA = connection_.GetBrowserService(a);
        CoUninitialize();
    });
    std::thread two([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        hrB = connection_.GetBrowserService(b);
        CoUninitialize();
    });
    one.join();
    two.join();
    ASSERT_EQ(hrA, S_OK);
    ASSERT_EQ(hrB, S_OK);
    EXPECT_EQ(publisher_.lookups, 2);
    EXPECT_EQ(NumberOf(a.Get()), NumberOf(b.Get()));
    a.Reset();
    b.Reset();
    publisher_.latest.Reset();
    EXPECT_EQ(liveServices, 1) << "the losing connection was dropped";
}

TEST_F(ServiceConnectionTest, AGonePublisherIsReplacedOnTheNextUse)
{
    int handlerCalls = 0;
    connection_.SetPublisherGoneHandler([&] { ++handlerCalls; });
    ComPtr<IDispatch> service;
    ASSERT_EQ(connection_.GetBrowserService(service), S_OK);
    ComPtr<FakeService> first = publisher_.latest;
    first->livenessAnswer = kServerUnavailable;

    ASSERT_EQ(connection_.GetBrowserService(service), S_OK);
    EXPECT_EQ(NumberOf(service.Get()), 2);
    EXPECT_EQ(handlerCalls, 1);
    service.Reset();
    first.Reset();
    publisher_.latest.Reset();
    EXPECT_EQ(liveServices, 1) << "the gone service's entry was revoked";
}

TEST_F(ServiceConnectionTest, EveryAnswerOfADeadPublisherMakesTheBrowserServiceReconnect)
{
    // What a proxy answers once its server process ended or its stub was cut
    // off: each one means the same for both service objects.
    const HRESULT gone[] = {kServerUnavailable, RPC_E_DISCONNECTED, RPC_E_SERVER_DIED, RPC_E_SERVER_DIED_DNE,
                            CO_E_OBJNOTCONNECTED};
    ComPtr<IDispatch> service;
    ASSERT_EQ(connection_.GetBrowserService(service), S_OK);
    int expected = 1;
    for (HRESULT code : gone) {
        EXPECT_TRUE(IsPublisherGone(code)) << std::hex << code;
        publisher_.latest->livenessAnswer = code;
        ASSERT_EQ(connection_.GetBrowserService(service), S_OK) << std::hex << code;
        EXPECT_EQ(NumberOf(service.Get()), ++expected) << std::hex << code;
    }
    EXPECT_EQ(publisher_.lookups, 6);
    EXPECT_FALSE(IsPublisherGone(E_ACCESSDENIED));
    EXPECT_FALSE(IsPublisherGone(E_FAIL));
}

TEST_F(ServiceConnectionTest, AGonePublisherWithoutSuccessorFailsCleanly)
{
    ComPtr<IDispatch> service;
    ASSERT_EQ(connection_.GetBrowserService(service), S_OK);
    publisher_.latest->livenessAnswer = kServerUnavailable;
    publisher_.failure = E_FAIL;

    EXPECT_EQ(connection_.GetBrowserService(service), E_FAIL);
    EXPECT_EQ(service.Get(), nullptr);
    EXPECT_FALSE(connection_.IsConnected());
}

TEST_F(ServiceConnectionTest, OtherLivenessFailuresKeepTheConnection)
{
    ComPtr<IDispatch> service;
    ASSERT_EQ(connection_.GetBrowserService(service), S_OK);
    publisher_.latest->livenessAnswer = E_ACCESSDENIED;
    EXPECT_EQ(connection_.GetBrowserService(service), S_OK);
    EXPECT_EQ(NumberOf(service.Get()), 1);
    EXPECT_EQ(publisher_.lookups, 1);
}

TEST_F(ServiceConnectionTest, ANullLookupResultCountsAsFailure)
{
    publisher_.answerNull = true;
    ComPtr<IDispatch> service;
    EXPECT_EQ(connection_.GetBrowserService(service), E_FAIL);
    EXPECT_FALSE(connection_.IsConnected());
}

TEST_F(ServiceConnectionTest, TheRendezvousRunsOnTheSynchronousInvoker)
{
    ComPtr<CRemoteServicesSync> invoker;
    ASSERT_EQ(vx::com::CreateComObject(invoker), S_OK);
    connection_.SetInvoker(invoker.Get());
    ComPtr<IDispatch> service;
    ASSERT_EQ(connection_.GetBrowserService(service), S_OK);
    EXPECT_NE(publisher_.lookupThread, 0u);
    EXPECT_NE(publisher_.lookupThread, GetCurrentThreadId());
    EXPECT_EQ(NumberOf(service.Get()), 1);
    connection_.SetInvoker(nullptr);
}

TEST_F(ServiceConnectionTest, TheTabsRendezvousKeepsItsEventsRegistration)
{
    ComPtr<CRemoteServicesSync> invoker;
    ASSERT_EQ(vx::com::CreateComObject(invoker), S_OK);
    connection_.SetInvoker(invoker.Get());
    DWORD registrationThread = 0;
    auto registerEvents = [&](IDispatch* service, ComPtr<IDispatch>& registration) -> HRESULT {
        registrationThread = GetCurrentThreadId();
        EXPECT_EQ(NumberOf(service), 1);
        ComPtr<FakeService> made;
        HRESULT hr = MakeFake(made, 100);
        registration = made;
        return hr;
    };
    ComPtr<IDispatch> service, registration;
    ASSERT_EQ(GetTabsService(registerEvents, service), S_OK);
    EXPECT_EQ(registrationThread, publisher_.lookupThread);
    EXPECT_NE(registrationThread, GetCurrentThreadId());
    ASSERT_TRUE(connection_.HasRegistration());
    ASSERT_EQ(connection_.GetRegistration(registration), S_OK);
    EXPECT_EQ(NumberOf(registration.Get()), 100);

    // Connected: no second rendezvous.
    ASSERT_EQ(GetTabsService(registerEvents, service), S_OK);
    EXPECT_EQ(publisher_.lookups, 1);
    connection_.SetInvoker(nullptr);
}

TEST_F(ServiceConnectionTest, AFailedEventsRegistrationLeavesNothingConnected)
{
    auto refuse = [](IDispatch*, ComPtr<IDispatch>&) -> HRESULT { return E_ACCESSDENIED; };
    ComPtr<IDispatch> service;
    EXPECT_EQ(GetTabsService(refuse, service), E_ACCESSDENIED);
    EXPECT_FALSE(connection_.IsConnected());
    EXPECT_FALSE(connection_.HasRegistration());
    publisher_.latest.Reset();
    EXPECT_EQ(liveServices, 0);
}

TEST_F(ServiceConnectionTest, OfTwoConcurrentTabsRendezvousTheLoserGivesBackItsRegistration)
{
    UniqueHandle bothInside(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    publisher_.bothInside = bothInside.Get();
    std::atomic<int> registrations{0};
    std::atomic<int> givenBack{0};
    auto registerEvents = [&](IDispatch*, ComPtr<IDispatch>& registration) -> HRESULT {
        ComPtr<FakeService> made;
        HRESULT hr = MakeFake(made, 300 + ++registrations);
        registration = made;
        return hr;
    };
    auto unregisterEvents = [&](IDispatch* registration) -> HRESULT {
        EXPECT_GT(NumberOf(registration), 300);
        ++givenBack;
        return S_OK;
    };
    ComPtr<IDispatch> a, b;
    HRESULT hrA = E_FAIL, hrB = E_FAIL;
    bool hereA = false, hereB = false;
    std::thread one([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        hrA = connection_.GetTabsService(registerEvents, unregisterEvents, a, hereA);
        CoUninitialize();
    });
    std::thread two([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        hrB = connection_.GetTabsService(registerEvents, unregisterEvents, b, hereB);
        CoUninitialize();
    });
    one.join();
    two.join();
    ASSERT_EQ(hrA, S_OK);
    ASSERT_EQ(hrB, S_OK);
    EXPECT_EQ(registrations.load(), 2);
    EXPECT_EQ(givenBack.load(), 1);
    EXPECT_NE(hereA, hereB) << "exactly one rendezvous holds the connection";
    EXPECT_EQ(NumberOf(a.Get()), NumberOf(b.Get()));
    ComPtr<IDispatch> kept;
    ASSERT_EQ(connection_.GetRegistration(kept), S_OK);
    a.Reset();
    b.Reset();
    publisher_.latest.Reset();
    EXPECT_EQ(liveServices, 2) << "the winner's service and registration stay, the loser's are dropped";
}

TEST_F(ServiceConnectionTest, ALaterRegistrationIsMadeOnceAndKept)
{
    ComPtr<IDispatch> service;
    ASSERT_EQ(connection_.GetBrowserService(service), S_OK);
    int made = 0;
    auto registerEvents = [&](IDispatch*, ComPtr<IDispatch>& registration) -> HRESULT {
        ComPtr<FakeService> created;
        HRESULT hr = MakeFake(created, 200 + ++made);
        registration = created;
        return hr;
    };
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(connection_.EnsureRegistration(registerEvents, first), S_OK);
    ASSERT_EQ(connection_.EnsureRegistration(registerEvents, second), S_OK);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(NumberOf(second.Get()), 201);
}

} // namespace
