#pragma once
// The renderer-side walks of the library over one page, as the quick browser
// runs them (the All and Frames collections, the Tree model expanded level by
// level, XPath), for the hostile-page tests and their benchmark.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/com/Variant.h"
#include "quickbrowser/accessor/RawBrowserHelper.h"

namespace hostile {

// Results of the All walk: every member's identifier, in order.
struct AllWalk
{
    HRESULT result = E_FAIL;
    std::vector<std::wstring> names; // named members
    long numbered = 0;               // members without a usable name
};

struct TreeWalk
{
    HRESULT result = E_FAIL;
    long items = 0;
    long levels = 0;
    long deepestLevel = 0;
};

AllWalk WalkAll(CCrRawBrowserHelper* helper);
// The number of frames in the Frames collection.
long WalkFrames(CCrRawBrowserHelper* helper, HRESULT* result);
// Expands the Tree model level by level below the document, every
// expandable item and every frame's document, and counts items and levels.
TreeWalk ExpandTree(CCrRawBrowserHelper* helper);
HRESULT EvaluateXPath(CCrRawBrowserHelper* helper, const std::wstring& expression, vx::com::Variant& result);

} // namespace hostile
