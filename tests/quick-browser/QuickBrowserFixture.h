#pragma once
// A quick browser made by the raw-browser extender over the snapshot stand-in
// of one captured page, called from the test's own (multi-threaded)
// apartment while the stand-in runs the DOM work on its renderer thread.
// Every test ends, after all objects are gone, with no node handle left.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generated/vxCrHook.h"
#include "harness/nativeobject/SnapshotNativeObject.h"
#include "quickbrowser/InformationRecords.h"
#include "quickbrowser/objects/RawBrowserExtender.h"
#include "tests/support/LibraryTypeInfo.h"

namespace qbtests {

using Microsoft::WRL::ComPtr;

using testsupport::LoadLibraryTypeInfo;

std::wstring SnapshotPath(const std::string& relative);

class QuickBrowserTest : public ::testing::Test
{
protected:
    void Load(const std::string& snapshot);
    // A snapshot anywhere, by its path as this program sees it.
    void LoadFile(const std::wstring& path);
    void TearDown() override;

    // The quick browser's object model option: 0 DOM, 3 Tree.
    void UseObjectModel(LONG model);

    ObjectThisInformation PageInformation();
    // The this-information of every child, in order; a failed child fails
    // the test.
    std::vector<ObjectThisInformation> Children(IDispatch* object);
    std::vector<ObjectThisInformation> Children(const ObjectThisInformation& parent)
    {
        return Children(parent.object.Get());
    }
    // The child whose identity path is `path`; fails the test when none.
    ObjectThisInformation Child(const ObjectThisInformation& parent, const std::wstring& path);
    // The element's quick-browser object in the DOM model (found through
    // "all", or through "frames" for a frame), in the top document.
    ObjectThisInformation DomElement(const wchar_t* elementId);

    // The DOM-model object of any element of the page (frames included),
    // reached from the page as the browser process would.
    ObjectThisInformation DomObjectOfNode(long nodeId);
    // Its identity path: the frame elements' node numbers and its own.
    std::wstring DomPathOfNode(long nodeId);

    bool Exists(const ObjectThisInformation& object);
    ObjectLightInformation AtPoint(LONG x, LONG y);
    ObjectLightInformation Focused();

    // Node number of the element with this id (0: none), as a path.
    std::wstring NodePath(const wchar_t* elementId);
    long NodeIdOf(const wchar_t* elementId) { return native_->Page().FindById(elementId); }

    ComPtr<harness::SnapshotNativeObject> native_;
    ComPtr<vxCrQuickBrowser::CCrRawBrowserExtender> extender_;
    ComPtr<IvxCrQuickBrowser> quickBrowser_;
};

} // namespace qbtests
