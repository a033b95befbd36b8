#pragma once
// A captured page behind a PageModel and the framework objects over it. Every
// test ends with the model holding exactly the handles it held when the page
// was loaded, no handle misused, and every BSTR and SAFEARRAY made during the
// test freed exactly once.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "PageModel.h"
#include "platform/com/BStr.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace webfwnative {

// A path below tests/pages.
inline std::wstring PagePath(const std::string& relative)
{
    const std::string path = std::string(VX_PAGES_DIR) + "/" + relative;
    return std::wstring(path.begin(), path.end());
}

class NativePage : public ::testing::Test
{
protected:
    void Load(const std::string& snapshot) { Attach(harness::SnapshotPage::Load(PagePath(snapshot))); }
    // A page written in the test (page-snapshot/1 JSON).
    void LoadJson(const std::string& json) { Attach(harness::SnapshotPage::Parse(json)); }

    void Attach(harness::SnapshotPage page)
    {
        model_ = std::make_unique<PageModel>(std::move(page));
        adapters_ = std::make_unique<PageAdapters>(*model_);
        startHandles_ = model_->LiveHandles();
        startStrings_ = vxcompat::LiveStrings();
        startArrays_ = vxcompat::LiveArrays();
        startFaults_ = vxcompat::AllocationFaults();
    }

    void TearDown() override
    {
        if (!model_)
            return;
        EXPECT_EQ(startHandles_, model_->LiveHandles()) << "node handles left behind";
        EXPECT_EQ(0, model_->Faults()) << "unknown or released handles passed to the model";
        EXPECT_EQ(startStrings_, vxcompat::LiveStrings()) << "BSTRs left behind";
        EXPECT_EQ(startArrays_, vxcompat::LiveArrays()) << "SAFEARRAYs left behind";
        EXPECT_EQ(startFaults_, vxcompat::AllocationFaults()) << "a BSTR or SAFEARRAY freed twice or never allocated";
    }

    PageModel& Model() { return *model_; }
    PageAdapters& Adapters() { return *adapters_; }
    const harness::SnapshotPage& Page() { return model_->Page(); }

    vxWebFw::NodeHandle Owned(NodeImpl* handle = nullptr) { return vxWebFw::NodeHandle(model_->Lifetime(), handle); }
    // An owned handle of the element whose id property is `id`.
    vxWebFw::NodeHandle Element(const wchar_t* id)
    {
        const long nodeId = model_->Page().FindById(id);
        EXPECT_NE(0, nodeId) << "no element with id " << std::wstring(id);
        return Owned(model_->HandleOf(nodeId));
    }
    vxWebFw::NodeHandle NodeById(long nodeId) { return Owned(model_->HandleOf(nodeId)); }
    // The top document, or the frame document of `index`.
    vxWebFw::NodeHandle Document(size_t index = 0) { return NodeById(model_->Page().documents.at(index).node); }
    long IdOf(const wchar_t* elementId) { return model_->Page().FindById(elementId); }

    std::unique_ptr<PageModel> model_;
    std::unique_ptr<PageAdapters> adapters_;
    long startHandles_ = 0;
    long startStrings_ = 0;
    long startArrays_ = 0;
    long startFaults_ = 0;
};

} // namespace webfwnative
