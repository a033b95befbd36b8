#pragma once
// One page as the library's quick browser sees it, over either native
// object: the snapshot stand-in of a captured page, or the live stand-in
// over the same page in headless Chromium. Walks write what the library
// reports of the page as text, so that the two can be compared line by line.
#include <windows.h>

#include <string>
#include <vector>

#include "generated/vxCrHook.h"
#include "harness/livepage/LiveNativeObject.h"
#include "harness/nativeobject/SnapshotNativeObject.h"
#include "quickbrowser/InformationRecords.h"
#include "quickbrowser/objects/RawBrowserExtender.h"

namespace livetests {

using Microsoft::WRL::ComPtr;

class PageUnderTest
{
public:
    // The snapshot (path below tests/pages) or the live page at its URL.
    static std::unique_ptr<PageUnderTest> Snapshot(const std::string& snapshot);
    // `subtreeNodes`: how many nodes of a subtree the live native object
    // reads at once (0: its default).
    static std::unique_ptr<PageUnderTest> Live(const std::wstring& url, bool fetchAhead = true, int subtreeNodes = 0);
    ~PageUnderTest();

    // The library's object model option: 0 DOM, 3 Tree.
    void UseObjectModel(LONG model);
    ObjectThisInformation PageInformation();
    // The children's records; a failure fails the test.
    std::vector<ObjectThisInformation> Children(IDispatch* object);
    HRESULT ChildrenOf(IDispatch* object, std::vector<ObjectThisInformation>& children);
    // The child whose identifier reads `identifier`; an empty record when none.
    ObjectThisInformation Child(IDispatch* parent, const std::wstring& identifier);
    // The DOM-model object of the top document's element with this id.
    ObjectThisInformation DomElement(const std::wstring& elementId);

    // Every object below the page, depth first, one line each: kind,
    // identifier, expandable, and for elements visible, enabled, size and
    // place on the top viewport.
    std::wstring Listing();
    // The answers of XPath expressions over the page, one line each; a
    // node-set is given as its size and the string value of its first node.
    std::wstring XPathAnswers(const std::vector<std::wstring>& expressions);

    IvxCrQuickBrowser* QuickBrowser() { return quickBrowser_.Get(); }
    harness::LiveNativeObject* LiveNative() { return live_.Get(); }
    harness::SnapshotNativeObject* SnapshotNative() { return snapshot_.Get(); }
    long LibraryHandles() { return live_ ? live_->LiveHandles() : snapshot_->LiveHandles(); }
    long Faults() { return live_ ? live_->Faults() : snapshot_->Faults(); }

    // Shuts the quick browser down and gives every object back.
    void Close();

private:
    PageUnderTest() = default;
    void Attach(IvxCrNativeChromeObject* native);
    void WriteObject(const ObjectThisInformation& object, int depth, std::wstring& out);

    ComPtr<harness::SnapshotNativeObject> snapshot_;
    ComPtr<harness::LiveNativeObject> live_;
    ComPtr<vxCrQuickBrowser::CCrRawBrowserExtender> extender_;
    ComPtr<IvxCrQuickBrowser> quickBrowser_;
};

// The text of a value as listings show it (arrays as [a, b]).
std::wstring ValueText(const VARIANT& value);

} // namespace livetests
