#include <gtest/gtest.h>

#include "platform/process/WindowThreadTimeout.h"
#include "platform/process/ProcessOptions.h"
#include "platform/com/BStr.h"
#include "platform/com/Variant.h"

using vx::com::BStr;
using vx::com::Variant;

namespace {

Variant Text(const wchar_t* text)
{
    Variant v;
    V_VT(v.Get()) = VT_BSTR;
    V_BSTR(v.Get()) = SysAllocString(text);
    return v;
}

Variant Int(LONG value)
{
    Variant v;
    V_VT(v.Get()) = VT_I4;
    V_I4(v.Get()) = value;
    return v;
}

struct Change
{
    HRESULT hr;
    bool changed;
};

Change Set(ProcessOptionsStore& store, const GUID& key, const Variant& value)
{
    bool changed = true;
    HRESULT hr = store.SetOption(key, *value, changed);
    return {hr, changed};
}

TEST(ProcessOptions, InitialValues)
{
    ProcessOptionsStore store;
    ProcessOptionValues values = store.Snapshot();
    EXPECT_EQ(values.rendererCallTimeout, 3000u);
    EXPECT_EQ(values.objectModel, 3);
    EXPECT_FALSE(values.preferName);
    EXPECT_TRUE(values.browserSideFlag);
    EXPECT_FALSE(values.maskRecordedUrls);
    EXPECT_TRUE(values.maskedUrlParameters.empty());
    EXPECT_FALSE(values.recording);
}

TEST(ProcessOptions, TimeoutConvertsAndFollowsIntoWindowThreadTimeout)
{
    ProcessOptionsStore store;
    Change c = Set(store, ProcessOptionKeys::RendererCallTimeout, Text(L"1500"));
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_TRUE(c.changed);
    EXPECT_EQ(store.RendererCallTimeout(), 1500u);
    EXPECT_EQ(ovComHelp_EXP::GetWindowThreadCallTimeout(), 1500u);
    // The same value again is no change.
    c = Set(store, ProcessOptionKeys::RendererCallTimeout, Int(1500));
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_FALSE(c.changed);
    // Text that is no number is refused and nothing changes.
    c = Set(store, ProcessOptionKeys::RendererCallTimeout, Text(L"soon"));
    EXPECT_TRUE(FAILED(c.hr));
    EXPECT_FALSE(c.changed);
    EXPECT_EQ(store.RendererCallTimeout(), 1500u);
    ovComHelp_EXP::SetWindowThreadCallTimeout(3000);
}

TEST(ProcessOptions, ObjectModelAcceptsZeroToThreeOnly)
{
    ProcessOptionsStore store;
    EXPECT_TRUE(Set(store, ProcessOptionKeys::ObjectModel, Text(L"0")).changed);
    EXPECT_EQ(store.ObjectModel(), 0);
    for (LONG refused : {4L, -1L}) {
        Change c = Set(store, ProcessOptionKeys::ObjectModel, Int(refused));
        EXPECT_EQ(c.hr, E_UNEXPECTED);
        EXPECT_FALSE(c.changed);
        EXPECT_EQ(store.ObjectModel(), 0);
    }
    EXPECT_TRUE(Set(store, ProcessOptionKeys::ObjectModel, Int(3)).changed);
    EXPECT_FALSE(Set(store, ProcessOptionKeys::ObjectModel, Int(3)).changed);
}

TEST(ProcessOptions, BooleansConvertFromOtherTypes)
{
    ProcessOptionsStore store;
    EXPECT_TRUE(Set(store, ProcessOptionKeys::PreferName, Int(1)).changed);
    EXPECT_TRUE(store.Snapshot().preferName);
    EXPECT_FALSE(Set(store, ProcessOptionKeys::PreferName, Text(L"True")).changed);
    EXPECT_TRUE(Set(store, ProcessOptionKeys::BrowserSideFlag, Int(0)).changed);
    EXPECT_FALSE(store.Snapshot().browserSideFlag);
    EXPECT_TRUE(Set(store, ProcessOptionKeys::MaskRecordedUrls, Text(L"-1")).changed);
    EXPECT_TRUE(store.Snapshot().maskRecordedUrls);
    Change c = Set(store, ProcessOptionKeys::MaskRecordedUrls, Text(L"maybe"));
    EXPECT_TRUE(FAILED(c.hr));
    EXPECT_TRUE(store.Snapshot().maskRecordedUrls);
}

TEST(ProcessOptions, ParameterListIsSplitAtLineFeedsAndStoredLastFirst)
{
    ProcessOptionsStore store;
    Change c = Set(store, ProcessOptionKeys::MaskedUrlParameters, Text(L"token\n\nsession\nid\n"));
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_TRUE(c.changed);
    std::vector<std::wstring> expected = {L"id", L"session", L"token"};
    EXPECT_EQ(store.Snapshot().maskedUrlParameters, expected);
    // Same pieces, other empty lines: no change. Case matters.
    EXPECT_FALSE(Set(store, ProcessOptionKeys::MaskedUrlParameters, Text(L"\ntoken\nsession\nid")).changed);
    EXPECT_TRUE(Set(store, ProcessOptionKeys::MaskedUrlParameters, Text(L"token\nsession\nID")).changed);
    // Only strings are taken.
    c = Set(store, ProcessOptionKeys::MaskedUrlParameters, Int(5));
    EXPECT_EQ(c.hr, E_UNEXPECTED);
    EXPECT_FALSE(c.changed);
    EXPECT_EQ(store.Snapshot().maskedUrlParameters.size(), 3u);
    // An empty text empties the list.
    EXPECT_TRUE(Set(store, ProcessOptionKeys::MaskedUrlParameters, Text(L"")).changed);
    EXPECT_TRUE(store.Snapshot().maskedUrlParameters.empty());
}

TEST(ProcessOptions, UnknownKeyIsIgnored)
{
    ProcessOptionsStore store;
    const GUID unknown = {0x12345678, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
    Change c = Set(store, unknown, Int(7));
    EXPECT_EQ(c.hr, S_OK);
    EXPECT_FALSE(c.changed);
}

} // namespace
