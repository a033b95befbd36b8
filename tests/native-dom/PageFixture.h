#pragma once
// A CCrRawBrowserHelper attached to the snapshot stand-in of one captured
// page. Every test ends with the stand-in holding exactly the handles it held
// before the test and with no misused handle.
#include <gtest/gtest.h>

#include <string>

#include "harness/nativeobject/SnapshotNativeObject.h"
#include "platform/com/BStr.h"
#include "tests/support/PagePath.h"
#include "webfw/NativeModel/NodeHandle.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/chrome/CrFwAdapters.h"

#define EXPECT_FAILED(expr) EXPECT_TRUE(FAILED(expr))

namespace testpages {

inline std::wstring SnapshotPath(const std::string& relative)
{
    return testsupport::PagePath(relative);
}

} // namespace testpages

class PageFixture : public ::testing::Test
{
protected:
    void Load(const std::string& snapshot) { Attach(harness::SnapshotPage::Load(testpages::SnapshotPath(snapshot))); }

    // A page written in the test (page-snapshot/1 JSON).
    void LoadJson(const std::string& json) { Attach(harness::SnapshotPage::Parse(json)); }

    void Attach(harness::SnapshotPage page)
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(native_, std::move(page))));
        ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(helper_)));
        ASSERT_EQ(S_OK, helper_->AttachNative(nullptr, native_.Get(), CreateCrFwAdapters));
        startHandles_ = native_->LiveHandles();
    }

    void TearDown() override
    {
        if (native_) {
            EXPECT_EQ(startHandles_, native_->LiveHandles()) << "node handles left behind";
            EXPECT_EQ(0, native_->Faults()) << "unknown or released handles passed to the native object";
        }
        helper_.Reset();
        native_.Reset();
    }

    // The host's option that names elements by their name before their id.
    void PreferNames()
    {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BOOL;
        V_BOOL(&v) = VARIANT_TRUE;
        ASSERT_EQ(S_OK, helper_->Options().UpdateOption(L"{864E3A4C-B68F-4D37-84A9-3DA543AE07D4}", v));
    }

    // An owned handle of the element with this id attribute/property.
    vxWebFw::NodeHandle Element(const wchar_t* id)
    {
        long nodeId = native_->Page().FindById(id);
        EXPECT_NE(0, nodeId) << "no element with id " << std::string(id, id + wcslen(id));
        return vxWebFw::NodeHandle(helper_.Get(), native_->HandleOf(nodeId));
    }
    vxWebFw::NodeHandle NodeById(long nodeId) { return vxWebFw::NodeHandle(helper_.Get(), native_->HandleOf(nodeId)); }

    vxWebFw::NodeHandle Document()
    {
        vxWebFw::NodeHandle window(helper_.Get());
        EXPECT_EQ(S_OK, helper_->GetWindowNode(window.Out()));
        vxWebFw::NodeHandle document(helper_.Get());
        EXPECT_EQ(S_OK, helper_->GetDocument(window.Get(), document.Out()));
        return document;
    }

    CCrFwAdapters& Adapters() { return *helper_->Adapters(); }

    static std::wstring Text(const vx::com::BStr& s) { return s.Str(); }

    Microsoft::WRL::ComPtr<harness::SnapshotNativeObject> native_;
    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> helper_;
    long startHandles_ = 0;
};
