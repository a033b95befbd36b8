#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "ComHelpTestEnvironment.h"
#include "comhelp/ComHelpProxy.h"
#include "comhelp/MtaCachedInterface.h"

using Microsoft::WRL::ComPtr;
using namespace comhelp_tests;

namespace {

// An object that notes the thread of every Release.
class ReleaseRecorder final : public IovInvokerProxy
{
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != __uuidof(IovInvokerProxy))
            return E_NOINTERFACE;
        *object = static_cast<IovInvokerProxy*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            releaseThreads_.push_back(GetCurrentThreadId());
        }
        return --references_; // the test owns the object; it never deletes itself
    }
    STDMETHODIMP Drop() override { return S_OK; }

    ULONG References() const { return references_; }
    bool ReleasedOn(DWORD thread)
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (DWORD released : releaseThreads_)
            if (released == thread)
                return true;
        return false;
    }

private:
    std::atomic<ULONG> references_{1};
    std::mutex lock_;
    std::vector<DWORD> releaseThreads_;
};

// Runs `work` on a new thread in a single-threaded apartment.
template <class Work>
void OnStaThread(Work&& work)
{
    std::thread([&] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        work();
        CoUninitialize();
    }).join();
}

class MtaCachedInterfaceTest : public ComHelpTest
{
protected:
    DWORD MtaInvokerThread()
    {
        ComPtr<IovComHelpProxyDisposable> comHelp;
        ComPtr<IovMTA> mta;
        RunRecord record;
        if (SUCCEEDED(ovComHelp_EXP::GetComHelpProxy(comHelp)) && SUCCEEDED(comHelp->GetMTA(&mta)))
            mta->Invoke(RecordRun, &record);
        return record.threadId;
    }

    ReleaseRecorder object_;
};

TEST_F(MtaCachedInterfaceTest, MtaCallersShareTheKeptPointerAndOtherApartmentsGoThroughTheTable)
{
    MtaCachedInterface held;
    ASSERT_EQ(held.Register(&object_, IID_IUnknown), S_OK);
    ComPtr<IUnknown> first, second;
    ASSERT_EQ(held.Fetch(first), S_OK);
    EXPECT_EQ(first.Get(), static_cast<IUnknown*>(&object_));
    const ULONG afterFirst = object_.References();
    ASSERT_EQ(held.Fetch(second), S_OK);
    second.Reset();
    EXPECT_EQ(object_.References(), afterFirst) << "a second MTA fetch keeps nothing more";

    std::atomic<bool> fromStaIsProxy{false};
    OnStaThread([&] {
        ComPtr<IUnknown> fromSta;
        if (SUCCEEDED(held.Fetch(fromSta)) && fromSta)
            fromStaIsProxy = fromSta.Get() != static_cast<IUnknown*>(&object_);
    });
    EXPECT_TRUE(fromStaIsProxy) << "a caller in another apartment must get the table's proxy";

    first.Reset();
    held.Reset();
    EXPECT_TRUE(held.Empty());
    EXPECT_EQ(object_.References(), 1u);
    EXPECT_FALSE(object_.ReleasedOn(MtaInvokerThread())) << "an MTA caller releases the kept pointer itself";
}

TEST_F(MtaCachedInterfaceTest, AResetFromAnotherApartmentReleasesTheKeptPointerInTheMta)
{
    MtaCachedInterface held;
    ASSERT_EQ(held.Register(&object_, IID_IUnknown), S_OK);
    ComPtr<IUnknown> fetched;
    ASSERT_EQ(held.Fetch(fetched), S_OK);
    fetched.Reset();

    OnStaThread([&] { held.Reset(); });
    EXPECT_EQ(object_.References(), 1u);
    EXPECT_TRUE(object_.ReleasedOn(MtaInvokerThread()));
}

TEST_F(MtaCachedInterfaceTest, ConcurrentFirstFetchesKeepOneReference)
{
    MtaCachedInterface held;
    ASSERT_EQ(held.Register(&object_, IID_IUnknown), S_OK);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            for (int i = 0; i < 200; ++i) {
                ComPtr<IUnknown> fetched;
                if (held.Fetch(fetched) != S_OK || fetched.Get() != static_cast<IUnknown*>(&object_))
                    ++failures;
            }
            CoUninitialize();
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    held.Reset();
    EXPECT_EQ(object_.References(), 1u);
}

TEST_F(MtaCachedInterfaceTest, EmptyAndRegisteringNothing)
{
    MtaCachedInterface held;
    ComPtr<IUnknown> fetched;
    EXPECT_EQ(held.Fetch(fetched), E_FAIL);
    EXPECT_EQ(held.Register(nullptr, IID_IUnknown), S_OK);
    EXPECT_TRUE(held.Empty());
    EXPECT_EQ(held.Fetch(IID_IUnknown, nullptr), E_POINTER);
}

} // namespace
