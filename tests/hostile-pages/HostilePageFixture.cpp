#include "tests/hostile-pages/HostilePageFixture.h"

#include <windows.h>

#include <fstream>

#include "platform/com/ComObject.h"
#include "webfw/chrome/CrFwAdapters.h"
#include "tests/support/PagePath.h"

namespace hostile {

namespace {

std::string SnapshotFile(const std::string& name)
{
    return std::string(VX_HOSTILE_PAGES_DIR) + "/snapshots/" + name + ".json";
}

} // namespace

void HostilePageTest::Load(const std::string& name)
{
    const std::string file = SnapshotFile(name);
    ASSERT_TRUE(std::ifstream(file).good()) << file << " is missing: node tests/pages/hostile/make-pages.mjs "
                                            << VX_HOSTILE_PAGES_DIR << " makes it (./vxcr test and ./vxcr dev run it)";
    LoadFile(testsupport::WindowsPath(file));
}

AllWalk HostilePageTest::WalkAll()
{
    return hostile::WalkAll(helper_.Get());
}

long HostilePageTest::WalkFrames(HRESULT* result)
{
    return hostile::WalkFrames(helper_.Get(), result);
}

TreeWalk HostilePageTest::ExpandTree()
{
    return hostile::ExpandTree(helper_.Get());
}

double HostilePageTest::Number(const std::wstring& expression)
{
    vx::com::Variant result;
    HRESULT hr = EvaluateXPath(helper_.Get(), expression, result);
    EXPECT_EQ(S_OK, hr) << std::string(expression.begin(), expression.end());
    if (FAILED(hr) || result.Type() != VT_R8)
        return -1;
    return V_R8(result.Get());
}

long HostilePageTest::TopDocumentElements() const
{
    const harness::SnapshotPage& page = native_->Page();
    long count = 0;
    for (long id = 1; id <= page.NodeCount(); ++id)
        if (page.Node(id).doc == 0 && page.Node(id).nodeType == 1)
            ++count;
    return count;
}

long HostilePageTest::CountElements(const wchar_t* nodeName) const
{
    const harness::SnapshotPage& page = native_->Page();
    long count = 0;
    for (long id = 1; id <= page.NodeCount(); ++id)
        count += page.Node(id).nodeType == 1 && page.StringProp(id, L"nodeName") == nodeName;
    return count;
}

} // namespace hostile
