#include <gtest/gtest.h>

#include "HookTabFixture.h"
#include "services/TabOptionPush.h"

using vx::com::Variant;

namespace hook_tab_tests {
namespace {

const wchar_t kBrowserSideFlagKey[] = L"{514928DF-4020-463C-9796-EF236D7831C5}";

std::wstring KeyText(const GUID& key)
{
    return OptionKeyString(key).Str();
}

TEST(TabOptionValues, EachKeyTravelsWithItsType)
{
    ProcessOptionValues values;
    values.rendererCallTimeout = 4500;
    values.objectModel = 1;
    values.preferName = true;
    values.maskRecordedUrls = false;
    values.maskedUrlParameters = {L"sid", L"", L"token"};

    Variant value;
    ASSERT_EQ(MakeRendererOptionValue(ProcessOptionKeys::RendererCallTimeout, values, value.Out()), S_OK);
    EXPECT_EQ(value.Type(), VT_UI4);
    EXPECT_EQ(V_UI4(value.Get()), 4500u);
    ASSERT_EQ(MakeRendererOptionValue(ProcessOptionKeys::ObjectModel, values, value.Out()), S_OK);
    EXPECT_EQ(value.Type(), VT_I4);
    EXPECT_EQ(V_I4(value.Get()), 1);
    ASSERT_EQ(MakeRendererOptionValue(ProcessOptionKeys::PreferName, values, value.Out()), S_OK);
    EXPECT_EQ(value.Type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(value.Get()), VARIANT_TRUE);
    ASSERT_EQ(MakeRendererOptionValue(ProcessOptionKeys::MaskRecordedUrls, values, value.Out()), S_OK);
    EXPECT_EQ(value.Type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(value.Get()), VARIANT_FALSE);
    ASSERT_EQ(MakeRendererOptionValue(ProcessOptionKeys::MaskedUrlParameters, values, value.Out()), S_OK);
    ASSERT_EQ(value.Type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(value.Get()), L"sid\ntoken");

    EXPECT_EQ(MakeRendererOptionValue(ProcessOptionKeys::BrowserSideFlag, values, value.Out()), E_INVALIDARG);
    for (const GUID& key : RendererOptionKeys())
        EXPECT_NE(KeyText(key), kBrowserSideFlagKey);
    EXPECT_EQ(KeyText(ProcessOptionKeys::ObjectModel), L"{66F235D3-108D-4961-A923-03333575E40E}");
}

TEST(TabOptionValues, ChangedKeysAreThoseWhoseValueDiffers)
{
    ProcessOptionValues before;
    ProcessOptionValues after = before;
    EXPECT_TRUE(ChangedRendererOptionKeys(before, after).empty());
    after.browserSideFlag = !before.browserSideFlag;
    after.recording = !before.recording;
    EXPECT_TRUE(ChangedRendererOptionKeys(before, after).empty());
    after.maskedUrlParameters = {L"a"};
    after.rendererCallTimeout = 1;
    const auto changed = ChangedRendererOptionKeys(before, after);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_TRUE(IsEqualGUID(changed[0], ProcessOptionKeys::RendererCallTimeout));
    EXPECT_TRUE(IsEqualGUID(changed[1], ProcessOptionKeys::MaskedUrlParameters));
}

// The stand-in's quick browser keeps every UpdateOption call it got, in order.
class TabOptionPush : public StandinTabTest
{
protected:
    chrome_standin::StandinOptions Options() override { return WithStandinQuickBrowser(); }
    std::vector<chrome_standin::ReceivedOption> Received() { return Standin().OptionsReceived(kTabId); }
};

TEST_F(TabOptionPush, ConnectingSendsEveryRendererOptionButNeverTheBrowserSideFlag)
{
    SetTextOption(ProcessOptionKeys::MaskedUrlParameters, L"first\nsecond");
    // The tab copied the options when it was made; a push while it is not
    // connected only updates those copies.
    Tab().PushChangedOptions();
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    const auto received = Received();
    ASSERT_EQ(received.size(), RendererOptionKeys().size());
    const VARTYPE types[] = {VT_UI4, VT_I4, VT_BOOL, VT_BOOL, VT_BSTR};
    for (size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i].key, KeyText(RendererOptionKeys()[i]));
        EXPECT_EQ(received[i].value.Type(), types[i]);
        EXPECT_NE(received[i].key, kBrowserSideFlagKey);
    }
    EXPECT_EQ(V_UI4(received[0].value.Get()), 3000u);
    EXPECT_EQ(V_I4(received[1].value.Get()), 3);
    // The store keeps the host's lines last to first.
    EXPECT_STREQ(V_BSTR(received[4].value.Get()), L"second\nfirst");
}

TEST_F(TabOptionPush, LaterPushesSendOnlyChangedValues)
{
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    const size_t initial = Received().size();

    Tab().PushChangedOptions();
    EXPECT_EQ(Received().size(), initial);

    VARIANT model;
    V_VT(&model) = VT_I4;
    V_I4(&model) = 0;
    SetOption(ProcessOptionKeys::ObjectModel, model);
    SetBoolOption(ProcessOptionKeys::BrowserSideFlag, false);
    Tab().PushChangedOptions();
    auto received = Received();
    ASSERT_EQ(received.size(), initial + 1);
    EXPECT_EQ(received.back().key, KeyText(ProcessOptionKeys::ObjectModel));
    EXPECT_EQ(V_I4(received.back().value.Get()), 0);

    // The copies were updated: the same values are not sent again.
    Tab().PushChangedOptions();
    EXPECT_EQ(Received().size(), initial + 1);
}

TEST_F(TabOptionPush, ChangesWhileDisconnectedAreSentWithTheNextConnection)
{
    SetBoolOption(ProcessOptionKeys::PreferName, true);
    Tab().PushChangedOptions();
    EXPECT_TRUE(Received().empty());
    ASSERT_EQ(Tab().ConnectRenderer(), S_OK);
    const auto received = Received();
    ASSERT_EQ(received.size(), RendererOptionKeys().size());
    EXPECT_EQ(received[2].key, KeyText(ProcessOptionKeys::PreferName));
    EXPECT_EQ(V_BOOL(received[2].value.Get()), VARIANT_TRUE);
}

} // namespace
} // namespace hook_tab_tests
