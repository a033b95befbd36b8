#pragma once
// A page whose script built an extreme DOM (captured by
// tests/pages/hostile/make-pages.mjs into the build folder), read through the
// library's renderer-side walks as the quick browser runs them. Every test
// ends with the native object holding exactly the handles it held before.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/hostile-pages/PageWalks.h"
#include "tests/xpath-dom/XPathPageFixture.h"

namespace hostile {

class HostilePageTest : public XPathPageFixture
{
protected:
    // Loads OUT/snapshots/<name>.json made by the page generator.
    void Load(const std::string& name);

    AllWalk WalkAll();
    long WalkFrames(HRESULT* result);
    // Expands the Tree model level by level below the document, every
    // expandable item, and counts items and levels.
    TreeWalk ExpandTree();
    // The number an XPath expression evaluates to (fails the test otherwise).
    double Number(const std::wstring& expression);

    // Counted from the snapshot itself, not from the library: elements of the
    // top document, and elements of every document with this node name.
    long TopDocumentElements() const;
    long CountElements(const wchar_t* nodeName) const;
};

} // namespace hostile
