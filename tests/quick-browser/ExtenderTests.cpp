// The raw-browser extender: a new accessor and quick browser per call, cut
// off from other apartments at Shutdown, and the module's entry that makes it.
#include <thread>

#include "QuickBrowserFixture.h"
#include "module/ModuleIntf.h"
#include "quickbrowser/objects/QuickBrowser.h"

namespace qbtests {
namespace {

class ExtenderTest : public QuickBrowserTest
{
};

// A stream holding `object` marshalled as for another process: the objects
// aggregate the free-threaded marshaler, which hands out the object itself
// inside a process, so only this gives the test a real proxy.
IStream* MarshalAsForAnotherProcess(IUnknown* object)
{
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return nullptr;
    if (FAILED(CoMarshalInterface(stream, IID_IDispatch, object, MSHCTX_LOCAL, nullptr, MSHLFLAGS_NORMAL))) {
        stream->Release();
        return nullptr;
    }
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

HRESULT UnmarshalProxy(IStream* stream, ComPtr<IDispatch>& proxy)
{
    HRESULT hr = CoUnmarshalInterface(stream, IID_IDispatch, reinterpret_cast<void**>(proxy.GetAddressOf()));
    stream->Release();
    return hr;
}

// Calls `call` with a proxy of `object` on a thread of a single-threaded
// apartment.
class StaCaller
{
public:
    template <class Call>
    static HRESULT Run(IUnknown* object, Call&& call)
    {
        IStream* stream = MarshalAsForAnotherProcess(object);
        if (!stream)
            return E_FAIL;
        HRESULT result = E_FAIL;
        std::thread([&] {
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            {
                ComPtr<IDispatch> proxy;
                if (SUCCEEDED(UnmarshalProxy(stream, proxy)))
                    result = call(proxy.Get());
            }
            CoUninitialize();
        }).join();
        return result;
    }
};

TEST_F(ExtenderTest, EveryQuickBrowserHasItsOwnAccessor)
{
    Load("snapshots/naming.json");
    ComPtr<IDispatch> first, second;
    ASSERT_EQ(S_OK, extender_->GetQuickBrowser(first.GetAddressOf()));
    ASSERT_EQ(S_OK, extender_->GetQuickBrowser(second.GetAddressOf()));
    ComPtr<IUnknown> firstIdentity, secondIdentity;
    first.As(&firstIdentity);
    second.As(&secondIdentity);
    EXPECT_NE(firstIdentity.Get(), secondIdentity.Get());
    // The IDispatch of a quick browser of this process is its IvxCrQuickBrowser.
    auto* a = static_cast<vxCrQuickBrowser::CCrQuickBrowser*>(static_cast<IvxCrQuickBrowser*>(first.Get()));
    auto* b = static_cast<vxCrQuickBrowser::CCrQuickBrowser*>(static_cast<IvxCrQuickBrowser*>(second.Get()));
    EXPECT_NE(a->Accessor(), b->Accessor());
}

TEST_F(ExtenderTest, ShutdownCutsOffEveryObjectHandedOutAndIsHarmlessTwice)
{
    Load("snapshots/naming.json");
    vxOpenAppHook::StubManagerTiming quick;
    quick.disconnectLimitMs = 200;
    quick.passIntervalMs = 10;
    extender_->SetStubManagerTiming(quick);
    ObjectThisInformation page = PageInformation();

    IStream* stream = MarshalAsForAnotherProcess(page.object.Get());
    ASSERT_TRUE(stream);
    HRESULT before = E_FAIL, after = S_OK;
    DWORD failedWithin = 0;
    HANDLE proxyReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE shutDown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread caller([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            ComPtr<IDispatch> proxy;
            UnmarshalProxy(stream, proxy);
            DISPPARAMS none = {};
            vx::com::Variant exists;
            before = proxy ? proxy->Invoke(4, IID_NULL, 0, DISPATCH_METHOD, &none, exists.Out(), nullptr, nullptr)
                           : E_NOINTERFACE;
            SetEvent(proxyReady);
            WaitForSingleObject(shutDown, 10000);
            const DWORD start = GetTickCount();
            if (proxy)
                after = proxy->Invoke(4, IID_NULL, 0, DISPATCH_METHOD, &none, exists.Out(), nullptr, nullptr);
            failedWithin = GetTickCount() - start;
        }
        CoUninitialize();
    });
    WaitForSingleObject(proxyReady, 10000);
    EXPECT_EQ(S_OK, extender_->Shutdown());
    EXPECT_EQ(S_OK, extender_->Shutdown());
    SetEvent(shutDown);
    caller.join();
    CloseHandle(proxyReady);
    CloseHandle(shutDown);
    EXPECT_EQ(S_OK, before);
    // Windows answers RPC_E_DISCONNECTED or CO_E_OBJNOTCONNECTED; Wine
    // answers RPC_S_UNKNOWN_IF for a stub that is gone.
    EXPECT_TRUE(after == RPC_E_DISCONNECTED || after == CO_E_OBJNOTCONNECTED ||
                after == HRESULT_FROM_WIN32(RPC_S_UNKNOWN_IF))
        << std::hex << after;
    EXPECT_LT(failedWithin, 1000u);

    // Nothing is made once the extender has let the renderer go.
    ComPtr<IDispatch> late;
    EXPECT_EQ(CO_E_OBJNOTCONNECTED, extender_->GetQuickBrowser(late.GetAddressOf()));
    EXPECT_FALSE(late);
}

TEST_F(ExtenderTest, ProxiesFromAnotherApartmentReadTheSameRecords)
{
    Load("snapshots/naming.json");
    UseObjectModel(0);
    vx::com::Variant direct;
    ASSERT_EQ(S_OK, quickBrowser_->GetPageObjectInformation(direct.Out()));
    vx::com::BStr path;
    HRESULT hr = StaCaller::Run(quickBrowser_.Get(), [&](IDispatch* proxy) {
        DISPPARAMS none = {};
        vx::com::Variant record;
        HRESULT call = proxy->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &none, record.Out(), nullptr, nullptr);
        if (FAILED(call))
            return call;
        ObjectThisInformation page;
        call = ReadThisInformation(*record, page);
        path = std::move(page.identityPath);
        return call;
    });
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(L"Page", path.Str());
}

TEST(ModuleExtenderEntry, CreateRawBrowserExtenderMakesAWorkingExtender)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComPtr<harness::SnapshotNativeObject> native;
    ASSERT_EQ(S_OK,
              vx::com::CreateComObject(native, harness::SnapshotPage::Load(SnapshotPath("snapshots/naming.json"))));
    ComPtr<CModuleIntf> module;
    ASSERT_EQ(S_OK, GetModuleSingleton(module));
    ComPtr<IvxCrRawBrowserExtender> extender;
    EXPECT_EQ(E_INVALIDARG, module->CreateRawBrowserExtender(nullptr, extender.GetAddressOf()));
    ASSERT_EQ(S_OK, module->CreateRawBrowserExtender(static_cast<IvxCrNativeChromeObject*>(native.Get()),
                                                     extender.GetAddressOf()));
    ComPtr<IDispatch> quickBrowser;
    ASSERT_EQ(S_OK, extender->GetQuickBrowser(quickBrowser.GetAddressOf()));
    ComPtr<IvxCrQuickBrowser> typed;
    ASSERT_EQ(S_OK, quickBrowser.As(&typed));
    vx::com::Variant record;
    EXPECT_EQ(S_OK, typed->GetPageObjectInformation(record.Out()));
    record.Out();
    typed.Reset();
    quickBrowser.Reset();
    EXPECT_EQ(S_OK, extender->Shutdown());
    extender.Reset();
    EXPECT_EQ(0, native->LiveHandles());
}

} // namespace
} // namespace qbtests
