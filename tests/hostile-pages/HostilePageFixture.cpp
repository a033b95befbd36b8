#include "tests/hostile-pages/HostilePageFixture.h"

#include <windows.h>

#include <fstream>

#include "platform/com/ComObject.h"
#include "webfw/chrome/CrFwAdapters.h"

namespace hostile {

namespace {

std::string SnapshotFile(const std::string& name)
{
    return std::string(VX_HOSTILE_PAGES_DIR) + "/snapshots/" + name + ".json";
}

std::wstring WindowsPath(const std::string& path)
{
    std::wstring out = L"Z:";
    for (char c : path)
        out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

} // namespace

void HostilePageTest::Load(const std::string& name)
{
    const std::string file = SnapshotFile(name);
    ASSERT_TRUE(std::ifstream(file).good()) << file << " is missing: node tests/pages/hostile/make-pages.mjs "
                                            << VX_HOSTILE_PAGES_DIR << " makes it (./vxcr test and ./vxcr dev run it)";
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(native_, harness::SnapshotPage::Load(WindowsPath(file)))));
    ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(stubs_)));
    ASSERT_TRUE(SUCCEEDED(vx::com::CreateComObject(helper_)));
    ASSERT_EQ(S_OK, helper_->AttachNative(static_cast<vxOpenAppHook::IStubManager*>(stubs_.Get()), native_.Get(),
                                          CreateCrFwAdapters));
    startHandles_ = native_->LiveHandles();
}

void HostilePageTest::TearDown()
{
    if (native_) {
        EXPECT_EQ(startHandles_, native_->LiveHandles()) << "node handles left behind";
        EXPECT_EQ(0, native_->Faults()) << "unknown or released handles passed to the native object";
    }
    helper_.Reset();
    stubs_.Reset();
    native_.Reset();
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

HRESULT HostilePageTest::Evaluate(const std::wstring& expression, vx::com::Variant& result)
{
    return EvaluateXPath(helper_.Get(), expression, result);
}

double HostilePageTest::Number(const std::wstring& expression)
{
    vx::com::Variant result;
    HRESULT hr = Evaluate(expression, result);
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
