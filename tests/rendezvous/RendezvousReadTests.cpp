// Reading published services inside one process: the byte layout, the
// ready-event gate and what malformed publications give.
#include <windows.h>

#include <gtest/gtest.h>

#include "ServicePublisher.h"
#include "TestService.h"
#include "platform/com/UniqueHandle.h"
#include "services/ServiceRendezvous.h"

using Microsoft::WRL::ComPtr;
using rendezvous_harness::PublishOptions;
using rendezvous_harness::ServicePublisher;
using rendezvous_harness::TestService;
using vx::com::UniqueHandle;

namespace {

class RendezvousReadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        ASSERT_EQ(vx::com::CreateComObject(service_, L"inproc"), S_OK);
        name_ = L"vxcrReadTest" + std::to_wstring(GetCurrentProcessId());
    }
    void TearDown() override
    {
        service_.Reset();
        CoUninitialize();
    }

    static std::wstring TagOf(IDispatch* dispatch)
    {
        DISPPARAMS none = {};
        VARIANT result;
        VariantInit(&result);
        HRESULT hr =
            dispatch->Invoke(TestService::kTag, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
        std::wstring tag = SUCCEEDED(hr) && result.vt == VT_BSTR ? result.bstrVal : L"<failed>";
        VariantClear(&result);
        return tag;
    }

    ComPtr<TestService> service_;
    std::wstring name_;
};

TEST_F(RendezvousReadTest, APublishedServiceReadsBackAsLengthAndPacketAndUnmarshalsRepeatedly)
{
    ServicePublisher publisher;
    ASSERT_EQ(publisher.Publish(name_, service_.Get()), S_OK);
    EXPECT_EQ(publisher.MappingName(), GlobalKernelObjectName(name_));

    std::vector<BYTE> bytes;
    ASSERT_EQ(ReadPublishedInterface(name_, bytes), S_OK);
    ASSERT_FALSE(bytes.empty());
    // Table-strong data: every consumer unmarshals the same bytes.
    for (int i = 0; i < 3; ++i) {
        ComPtr<IDispatch> dispatch;
        ASSERT_EQ(UnmarshalDispatch(bytes.data(), bytes.size(), dispatch), S_OK);
        EXPECT_EQ(TagOf(dispatch.Get()), L"inproc");
    }
}

TEST_F(RendezvousReadTest, NothingIsReadBeforeTheReadyEventIsSignalled)
{
    ServicePublisher publisher;
    PublishOptions options;
    options.signalReady = false;
    ASSERT_EQ(publisher.Publish(name_, service_.Get(), options), S_OK);
    std::vector<BYTE> bytes;
    EXPECT_EQ(ReadPublishedInterface(name_, bytes), E_FAIL);
    EXPECT_TRUE(bytes.empty());
    ASSERT_EQ(publisher.SignalReady(), S_OK);
    EXPECT_EQ(ReadPublishedInterface(name_, bytes), S_OK);

    publisher.Withdraw();
    EXPECT_EQ(ReadPublishedInterface(name_, bytes), E_FAIL);
}

TEST_F(RendezvousReadTest, ARecordedLengthBeyondTheMappingIsRefused)
{
    UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, name_.c_str()));
    UniqueHandle ready(CreateEventW(nullptr, TRUE, TRUE, (name_ + L"_readyEvent").c_str()));
    ASSERT_TRUE(mapping && ready);
    void* view = MapViewOfFile(mapping.Get(), FILE_MAP_WRITE, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    UINT32 huge = 0x40000000;
    CopyMemory(view, &huge, sizeof(huge));
    UnmapViewOfFile(view);

    std::vector<BYTE> bytes;
    EXPECT_EQ(ReadPublishedInterface(name_, bytes), E_FAIL);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(RendezvousReadTest, AReadyEventWithoutMappingAndGarbageBytesFail)
{
    UniqueHandle ready(CreateEventW(nullptr, TRUE, TRUE, (name_ + L"_readyEvent").c_str()));
    std::vector<BYTE> bytes;
    EXPECT_EQ(ReadPublishedInterface(name_, bytes), E_FAIL);

    const BYTE garbage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    ComPtr<IDispatch> dispatch;
    EXPECT_TRUE(FAILED(UnmarshalDispatch(garbage, sizeof garbage, dispatch)));
    EXPECT_EQ(dispatch.Get(), nullptr);
    EXPECT_TRUE(FAILED(UnmarshalDispatch(nullptr, 0, dispatch)));
}

TEST(ServiceNames, AreFormattedFromTheBrowserProcessIdAndTheContractVersion)
{
    EXPECT_EQ(FormatServiceName(kBrowserServiceNameFormat, 4321), L"npvxCrBrowserService4321_ver8_0");
    EXPECT_EQ(FormatServiceName(kTabsServiceNameFormat, 17), L"npvxCrTabsService17_ver8_0");
    // This test program has no --channel switch: it is a browser process.
    std::optional<std::wstring> own = FormatServiceName(kBrowserServiceNameFormat);
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(*own, L"npvxCrBrowserService" + std::to_wstring(GetCurrentProcessId()) + L"_ver8_0");
}

} // namespace
