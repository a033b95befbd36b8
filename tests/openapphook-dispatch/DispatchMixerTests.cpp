// The dispatch mixer: name and route caches, refusals, blind delegation, its
// own marshaler, serialised IDispatch, and calls made without its lock.
#include <windows.h>

#include <gtest/gtest.h>

#include <oleauto.h>

#include <atomic>
#include <thread>

#include "TestDispatchObjects.h"
#include "openapphook/DispatchMixer.h"
#include "platform/com/UniqueHandle.h"
#include "platform/com/Variant.h"

using Microsoft::WRL::ComPtr;
using vxOpenAppHook::CCustomDispatchMixer;
using namespace dispatchtests;

namespace {

// {0000033A-0000-0000-C000-000000000046}
constexpr CLSID FreeThreadedMarshalerClsid = {0x0000033A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class DispatchMixerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(manager_));
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(first_));
        ASSERT_HRESULT_SUCCEEDED(vx::com::CreateComObject(second_));
        ASSERT_HRESULT_SUCCEEDED(CCustomDispatchMixer::Create(manager_.Get(), true, mixer_));
        mixer_->AddDispatch(first_.Get());
        mixer_->AddDispatch(second_.Get());
        ASSERT_HRESULT_SUCCEEDED(mixer_.As(&direct_));
    }
    void TearDown() override
    {
        direct_.Reset();
        mixer_.Reset();
        first_.Reset();
        second_.Reset();
        manager_.Reset();
        CoUninitialize();
    }

    static HRESULT IdOf(IDispatch* dispatch, const wchar_t* name, DISPID& id)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    }
    static HRESULT Call(IDispatch* dispatch, DISPID id, VARIANT* result)
    {
        DISPPARAMS none{};
        return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, result, nullptr, nullptr);
    }

    ComPtr<vxOpenAppHook::CStubManager> manager_;
    ComPtr<FakeDispatch> first_;
    ComPtr<FakeDispatch> second_;
    ComPtr<CCustomDispatchMixer> mixer_;
    ComPtr<IDispatch2> direct_;
};

TEST_F(DispatchMixerTest, NamesAreCachedCaseInsensitively)
{
    second_->SetName(L"Title", 7);
    DISPID id = 0;
    ASSERT_EQ(S_OK, IdOf(direct_.Get(), L"Title", id));
    EXPECT_EQ(7, id);
    const int lookups = second_->nameLookups.load();
    // The mixed object only knows "Title"; the cache answers other spellings.
    ASSERT_EQ(S_OK, IdOf(direct_.Get(), L"tITLE", id));
    EXPECT_EQ(7, id);
    EXPECT_EQ(lookups, second_->nameLookups.load());

    EXPECT_EQ(DISP_E_UNKNOWNNAME, IdOf(direct_.Get(), L"Unknown", id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
    LPOLESTR two[] = {const_cast<LPOLESTR>(L"Title"), const_cast<LPOLESTR>(L"Other")};
    DISPID ids[2] = {};
    EXPECT_EQ(E_INVALIDARG, direct_->GetIDsOfNames(IID_NULL, two, 2, 0, ids));
    EXPECT_EQ(E_INVALIDARG, direct_->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids));

    // The name route also primes the call route: the call goes straight to
    // the object that knew the name.
    second_->SetHandler(7, ReturnI4(70));
    vx::com::Variant value;
    ASSERT_EQ(S_OK, Call(direct_.Get(), 7, value.Out()));
    EXPECT_EQ(70, V_I4(value.Get()));
    EXPECT_EQ(0, first_->InvokesOf(7));
}

TEST_F(DispatchMixerTest, RouteIsRebuiltWhenTheCachedObjectNoLongerKnowsTheMember)
{
    second_->SetHandler(5, ReturnI4(2));
    vx::com::Variant value;
    ASSERT_EQ(S_OK, Call(direct_.Get(), 5, value.Out()));
    EXPECT_EQ(2, V_I4(value.Get()));
    EXPECT_EQ(1, first_->InvokesOf(5));

    // Cached: the first object is not asked again.
    ASSERT_EQ(S_OK, Call(direct_.Get(), 5, value.Out()));
    EXPECT_EQ(1, first_->InvokesOf(5));
    EXPECT_EQ(2, second_->InvokesOf(5));

    // The second object drops the member, the first takes it over.
    second_->SetHandler(5, ReturnCode(DISP_E_MEMBERNOTFOUND));
    first_->SetHandler(5, ReturnI4(1));
    ASSERT_EQ(S_OK, Call(direct_.Get(), 5, value.Out()));
    EXPECT_EQ(1, V_I4(value.Get()));
    const int secondCalls = second_->InvokesOf(5);
    ASSERT_EQ(S_OK, Call(direct_.Get(), 5, value.Out()));
    EXPECT_EQ(secondCalls, second_->InvokesOf(5));

    // A cached route's other failures come back as they are, without a rescan.
    first_->SetHandler(5, ReturnCode(E_FAIL));
    EXPECT_EQ(E_FAIL, Call(direct_.Get(), 5, value.Out()));
    EXPECT_EQ(secondCalls, second_->InvokesOf(5));
}

TEST_F(DispatchMixerTest, TheFourRefusalsPassTheCallOnAndOtherErrorsStopIt)
{
    second_->SetHandler(9, ReturnI4(99));
    DISPID id = 9;
    for (HRESULT refusal : {DISP_E_MEMBERNOTFOUND, E_ACCESSDENIED, E_FAIL, E_NOTIMPL}) {
        first_->SetHandler(id, ReturnCode(refusal));
        second_->SetHandler(id, ReturnI4(99));
        vx::com::Variant value;
        ASSERT_EQ(S_OK, Call(direct_.Get(), id, value.Out())) << std::hex << refusal;
        EXPECT_EQ(99, V_I4(value.Get()));
        ++id;
    }

    first_->SetHandler(20, ReturnCode(DISP_E_TYPEMISMATCH));
    second_->SetHandler(20, ReturnI4(1));
    vx::com::Variant value;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Call(direct_.Get(), 20, value.Out()));
    EXPECT_EQ(0, second_->InvokesOf(20));

    first_->SetHandler(21, ReturnCode(E_NOTIMPL));
    second_->SetHandler(21, ReturnCode(E_FAIL));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(direct_.Get(), 21, value.Out()));
}

TEST_F(DispatchMixerTest, MarshallingComesFromTheMixerAndOtherInterfacesFromTheMixedObjects)
{
    first_->AnswerAlso(IID_IPersist);
    first_->AnswerAlso(IID_IStdMarshalInfo);
    first_->AnswerAlso(IID_IExternalConnection);

    ComPtr<IMarshal> marshal;
    ASSERT_EQ(S_OK, mixer_->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(marshal.GetAddressOf())));
    ComPtr<IMarshal> firstMarshal;
    ASSERT_HRESULT_SUCCEEDED(first_.As(&firstMarshal));
    EXPECT_NE(marshal.Get(), firstMarshal.Get());
    CLSID unmarshaler{};
    ASSERT_EQ(S_OK, marshal->GetUnmarshalClass(IID_IDispatch, nullptr, MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL,
                                               &unmarshaler));
    EXPECT_EQ(FreeThreadedMarshalerClsid, unmarshaler);
    ComPtr<IUnknown> marshalOwner;
    ComPtr<IUnknown> mixerIdentity;
    ASSERT_HRESULT_SUCCEEDED(marshal.As(&marshalOwner));
    ASSERT_HRESULT_SUCCEEDED(mixer_.As(&mixerIdentity));
    EXPECT_EQ(mixerIdentity.Get(), marshalOwner.Get());

    ComPtr<IUnknown> delegated;
    ASSERT_EQ(S_OK, mixer_->QueryInterface(IID_IPersist, reinterpret_cast<void**>(delegated.GetAddressOf())));
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IDispatch*>(first_.Get())), delegated.Get());
    EXPECT_EQ(E_NOINTERFACE, mixer_->QueryInterface(IID_IStdMarshalInfo,
                                                    reinterpret_cast<void**>(delegated.ReleaseAndGetAddressOf())));
    EXPECT_EQ(E_NOINTERFACE, mixer_->QueryInterface(IID_IExternalConnection,
                                                    reinterpret_cast<void**>(delegated.ReleaseAndGetAddressOf())));

    ComPtr<CCustomDispatchMixer> closed;
    ASSERT_HRESULT_SUCCEEDED(CCustomDispatchMixer::Create(manager_.Get(), false, closed));
    closed->AddDispatch(first_.Get());
    EXPECT_EQ(E_NOINTERFACE,
              closed->QueryInterface(IID_IPersist, reinterpret_cast<void**>(delegated.ReleaseAndGetAddressOf())));
}

TEST_F(DispatchMixerTest, MixedObjectsAreCalledWithoutTheMixerLock)
{
    // The mixed object asks the mixer something from another thread and
    // waits for the answer; with the mixer's lock held this would hang.
    second_->SetName(L"Title", 7);
    IDispatch2* mixer = direct_.Get();
    std::atomic<HRESULT> nested{E_PENDING};
    first_->SetHandler(3, [&](VARIANT* result, EXCEPINFO*) {
        std::thread caller([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            DISPID id = 0;
            UINT count = 0;
            HRESULT hr = IdOf(mixer, L"Title", id);
            if (SUCCEEDED(hr))
                hr = mixer->GetTypeInfoCount(&count);
            nested = hr;
            CoUninitialize();
        });
        const DWORD start = GetTickCount();
        while (nested.load() == E_PENDING && GetTickCount() - start < 5000)
            Sleep(5);
        if (nested.load() == E_PENDING) {
            caller.detach();
            return E_ABORT;
        }
        caller.join();
        return ReturnI4(3)(result, nullptr);
    });
    vx::com::Variant value;
    ASSERT_EQ(S_OK, Call(direct_.Get(), 3, value.Out()));
    EXPECT_EQ(S_OK, nested.load());
}

TEST_F(DispatchMixerTest, IDispatchCallersAreSerialisedButIDispatch2CallersAreNot)
{
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    // Callers that may overlap wait for each other (a second caller that
    // never comes in ends the wait after 10 s); serialised ones stay 150 ms.
    std::atomic<bool> awaitPartner{false};
    vx::com::UniqueHandle bothInside(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    first_->SetHandler(4, [&](VARIANT* result, EXCEPINFO*) {
        int now = ++inside;
        int seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        if (now == 2)
            SetEvent(bothInside.Get());
        if (awaitPartner)
            WaitForSingleObject(bothInside.Get(), 10000);
        else
            Sleep(150);
        --inside;
        return ReturnI4(4)(result, nullptr);
    });
    auto runPair = [&](IDispatch* dispatch) {
        most = 0;
        auto call = [&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            vx::com::Variant value;
            Call(dispatch, 4, value.Out());
            CoUninitialize();
        };
        std::thread a(call);
        std::thread b(call);
        a.join();
        b.join();
        return most.load();
    };
    ComPtr<IDispatch> serialised;
    ASSERT_HRESULT_SUCCEEDED(
        mixer_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(serialised.GetAddressOf())));
    EXPECT_NE(static_cast<IDispatch*>(direct_.Get()), serialised.Get());
    EXPECT_EQ(1, runPair(serialised.Get()));
    awaitPartner = true;
    EXPECT_EQ(2, runPair(direct_.Get()));
}

TEST_F(DispatchMixerTest, ACrashInAMixedObjectBecomesUnexpected)
{
    first_->SetHandler(6, [](VARIANT*, EXCEPINFO*) -> HRESULT {
        *reinterpret_cast<volatile int*>(static_cast<uintptr_t>(0x10)) = 1;
        return S_OK;
    });
    second_->SetHandler(8, ReturnI4(8));
    vx::com::Variant value;
    EXPECT_EQ(E_UNEXPECTED, Call(direct_.Get(), 6, value.Out()));
    ASSERT_EQ(S_OK, Call(direct_.Get(), 8, value.Out()));
    EXPECT_EQ(8, V_I4(value.Get()));
}

TEST_F(DispatchMixerTest, MixerStaysRegisteredWithItsStubManagerWhileAlive)
{
    EXPECT_EQ(1u, manager_->Count());
    ComPtr<IUnknown> identity;
    ASSERT_HRESULT_SUCCEEDED(mixer_.As(&identity));
    EXPECT_TRUE(manager_->IsRegistered(identity.Get()));
    identity.Reset();
    direct_.Reset();
    mixer_.Reset();
    EXPECT_EQ(0u, manager_->Count());
}

} // namespace
