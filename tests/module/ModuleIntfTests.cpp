// The module object's notifier lists and unload broadcast, on an instance of
// its own (not the process singleton).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "module/ModuleIntf.h"
#include "platform/com/UniqueHandle.h"

using Microsoft::WRL::ComPtr;

namespace {

std::vector<std::wstring> journal;

class Notifier : public vx::com::ComObject<Notifier, IovModuleIntfNotifier>
{
public:
    Notifier(std::wstring name, bool removeSelf) : name_(std::move(name)), removeSelf_(removeSelf) {}
    HRESULT STDMETHODCALLTYPE OnModuleUnload(BSTR moduleName, IovModuleIntf* module) override
    {
        journal.push_back(name_ + L":" + (moduleName ? moduleName : L"<null>"));
        if (removeSelf_) {
            module->RemoveNotifier(this);
            module->RemoveProxyNotifier(this);
        }
        return S_OK;
    }

private:
    std::wstring name_;
    bool removeSelf_;
};

ComPtr<Notifier> MakeNotifier(const wchar_t* name, bool removeSelf = false)
{
    ComPtr<Notifier> n;
    EXPECT_EQ(vx::com::CreateComObject(n, name, removeSelf), S_OK);
    return n;
}

class ModuleIntfTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        journal.clear();
        ASSERT_EQ(vx::com::CreateComObject(module), S_OK);
    }
    ComPtr<CModuleIntf> module;
};

TEST_F(ModuleIntfTest, SameNotifierTwiceIsRefusedAndOneRemoveEmptiesIt)
{
    ComPtr<Notifier> a = MakeNotifier(L"a");
    EXPECT_EQ(module->AddNotifier(a.Get()), S_OK);
    EXPECT_EQ(module->AddNotifier(a.Get()), E_FAIL);
    // The proxy list is separate: the same notifier may be there too.
    EXPECT_EQ(module->AddProxyNotifier(a.Get()), S_OK);
    EXPECT_EQ(module->RemoveNotifier(a.Get()), S_OK);
    module->BroadcastUnload();
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"a:vxCrHook.dll"}));
    EXPECT_EQ(module->RemoveProxyNotifier(a.Get()), S_OK);
    journal.clear();
    module->BroadcastUnload();
    EXPECT_TRUE(journal.empty());
}

TEST_F(ModuleIntfTest, RemovingAnUnknownNotifierSucceeds)
{
    ComPtr<Notifier> a = MakeNotifier(L"a");
    EXPECT_EQ(module->RemoveNotifier(a.Get()), S_OK);
    EXPECT_EQ(module->RemoveProxyNotifier(nullptr), S_OK);
}

TEST_F(ModuleIntfTest, BroadcastGoesToClientsInOrderThenProxies)
{
    ComPtr<Notifier> c1 = MakeNotifier(L"c1"), c2 = MakeNotifier(L"c2"), p1 = MakeNotifier(L"p1");
    module->AddProxyNotifier(p1.Get());
    module->AddNotifier(c1.Get());
    module->AddNotifier(c2.Get());
    module->BroadcastUnload();
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"c1:vxCrHook.dll", L"c2:vxCrHook.dll", L"p1:vxCrHook.dll"}));
}

TEST_F(ModuleIntfTest, NotifierRemovingItselfDuringBroadcastDoesNotDisturbIt)
{
    ComPtr<Notifier> first = MakeNotifier(L"first", true), second = MakeNotifier(L"second");
    module->AddNotifier(first.Get());
    module->AddNotifier(second.Get());
    module->BroadcastUnload();
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"first:vxCrHook.dll", L"second:vxCrHook.dll"}));
    journal.clear();
    module->BroadcastUnload();
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"second:vxCrHook.dll"}));
}

// A notifier that stays inside its callback until released.
class BlockingNotifier : public vx::com::ComObject<BlockingNotifier, IovModuleIntfNotifier>
{
public:
    BlockingNotifier(HANDLE entered, HANDLE release) : entered_(entered), release_(release) {}
    HRESULT STDMETHODCALLTYPE OnModuleUnload(BSTR, IovModuleIntf*) override
    {
        SetEvent(entered_);
        WaitForSingleObject(release_, 30000);
        return S_OK;
    }

private:
    HANDLE entered_;
    HANDLE release_;
};

TEST_F(ModuleIntfTest, ANotifierBlockedInItsCallbackLeavesTheListsFree)
{
    vx::com::UniqueHandle entered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    vx::com::UniqueHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ComPtr<BlockingNotifier> blocking;
    ASSERT_EQ(vx::com::CreateComObject(blocking, entered.Get(), release.Get()), S_OK);
    ASSERT_EQ(module->AddNotifier(blocking.Get()), S_OK);
    CModuleIntf* raw = module.Get();
    std::thread broadcasting([raw] { raw->BroadcastUnload(); });
    ASSERT_EQ(WaitForSingleObject(entered.Get(), 10000), WAIT_OBJECT_0);

    // Other threads add and remove notifiers while the callback runs: their
    // calls return before it is released.
    std::atomic<bool> done{false};
    std::thread other([&] {
        ComPtr<Notifier> late = MakeNotifier(L"late");
        raw->AddProxyNotifier(late.Get());
        raw->RemoveNotifier(blocking.Get());
        done = true;
    });
    const DWORD start = GetTickCount();
    while (!done && GetTickCount() - start < 10000)
        Sleep(5);
    EXPECT_TRUE(done.load()) << "a notifier list stayed locked during the callback";
    SetEvent(release.Get());
    broadcasting.join();
    other.join();
}

TEST_F(ModuleIntfTest, ListsHoldOneReferencePerEntry)
{
    ComPtr<Notifier> a = MakeNotifier(L"a");
    ULONG before = a->AddRef() - 1;
    a->Release();
    module->AddNotifier(a.Get());
    module->AddNotifier(a.Get()); // refused: no second reference
    ULONG during = a->AddRef() - 1;
    a->Release();
    EXPECT_EQ(during, before + 1);
    module->RemoveNotifier(a.Get());
    ULONG after = a->AddRef() - 1;
    a->Release();
    EXPECT_EQ(after, before);
}

TEST_F(ModuleIntfTest, DetachWithoutAttachAndTwiceIsHarmless)
{
    EXPECT_FALSE(module->IsAttached());
    module->Detach();
    module->Detach();
    EXPECT_FALSE(module->IsAttached());
}

TEST_F(ModuleIntfTest, AnswersItsThreeInterfacesAndNoOther)
{
    ComPtr<IUnknown> unknown, viaModule;
    ASSERT_EQ(module->QueryInterface(IID_PPV_ARGS(&unknown)), S_OK);
    ComPtr<IovModuleIntf> moduleIntf;
    ComPtr<IvxOpenAppHookExtension> extension;
    ComPtr<IvxCrExtenderModule> extender;
    ASSERT_EQ(unknown.As(&moduleIntf), S_OK);
    EXPECT_EQ(unknown.As(&extension), S_OK);
    EXPECT_EQ(unknown.As(&extender), S_OK);
    // IUnknown is the IovModuleIntf pointer.
    EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(moduleIntf.Get()));
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(unknown.As(&dispatch), E_NOINTERFACE);
}

} // namespace
