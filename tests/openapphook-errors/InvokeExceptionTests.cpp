#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "openapphook/InvokeException.h"

using vxOpenAppHook::CvxBadHRInvokeException;
using vxOpenAppHook::CvxInvokeException;

namespace {

struct ParseCase
{
    const wchar_t* description;
    int level;
    const wchar_t* message;
    const wchar_t* details;
};

} // namespace

TEST(InvokeException, DescriptionsParseIntoLevelMessageAndDetails)
{
    const ParseCase cases[] = {
        {L"Warning\r\nDisk low\r\nDetails here", 2, L"Disk low", L"Details here"},
        {L"Something failed", 3, L"Something failed", L""},
        {L"Message\r\nJust this", 1, L"Just this", L""},
        {L"Error\r\nBad\r\nline one\r\nline two", 3, L"Bad", L"line one\r\nline two"},
        // A first line that is no level word leaves the whole text the message.
        {L"Oops\r\nBad\r\nMore", 3, L"Oops\r\nBad\r\nMore", L""},
        {L"warning\r\nlower case", 3, L"warning\r\nlower case", L""},
        // A lone LF is no separator.
        {L"Warning\nDisk low", 3, L"Warning\nDisk low", L""},
        {L"", 3, L"", L""},
    };
    for (const ParseCase& c : cases) {
        CvxInvokeException parsed = CvxInvokeException::FromDescription(c.description);
        EXPECT_EQ(c.level, parsed.Level()) << c.description;
        EXPECT_EQ(std::wstring(c.message), std::wstring(parsed.MessageText())) << c.description;
        EXPECT_EQ(std::wstring(c.details), std::wstring(parsed.DetailsText())) << c.description;
    }
}

TEST(InvokeException, ErrorInformationRoundTripThroughTheThread)
{
    const CvxInvokeException levels[] = {
        CvxInvokeException(1, L"Note", L"All fine"),
        CvxInvokeException(2, L"Disk low", L"Details here\r\nsecond line"),
        CvxInvokeException(3, L"Failed", L""),
    };
    const wchar_t* words[] = {L"Message", L"Warning", L"Error"};
    for (size_t i = 0; i < 3; ++i) {
        const CvxInvokeException& original = levels[i];
        EXPECT_EQ(std::wstring(words[i]) + L"\r\n" + std::wstring(original.MessageText()) + L"\r\n" +
                      std::wstring(original.DetailsText()),
                  original.Description());
        EXPECT_EQ(vxOpenAppHook::VX_E_INVOKE_FAILED, vxOpenAppHook::ReportInvokeException(original));
        EXPECT_EQ(static_cast<HRESULT>(0x847CEED2), vxOpenAppHook::VX_E_INVOKE_FAILED);

        CvxInvokeException back;
        ASSERT_TRUE(vxOpenAppHook::TakeThreadInvokeException(back));
        EXPECT_EQ(original.Level(), back.Level());
        EXPECT_EQ(original.MessageText(), back.MessageText());
        EXPECT_EQ(original.DetailsText(), back.DetailsText());
        // Reading takes the information off the thread.
        EXPECT_FALSE(vxOpenAppHook::TakeThreadInvokeException(back));
    }
}

TEST(InvokeException, BadResultDetailsNameCallSiteResultAndMember)
{
    CvxBadHRInvokeException plain(DISP_E_UNKNOWNNAME, 4711, L"Title");
    EXPECT_EQ(3, plain.Level());
    EXPECT_EQ(L"An error occurred.", std::wstring(plain.MessageText()));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, plain.Result());
    const std::wstring details(plain.DetailsText());
    const std::wstring reasons =
        L"Possible reasons:\r\n1. The application stopped responding.\r\n2. The application was compiled "
        L"incorrectly (see the Open Applications topic in the help system).\r\n3. An error occurred in Vantorix.";
    ASSERT_EQ(0u, details.find(reasons + L"\n\nTechnical information:\n4711 0x80020006 ("));
    EXPECT_EQ(L") Title", details.substr(details.size() - 7));
    // The system's text sits between the parentheses, on one line (the
    // system's own text ends with a line break).
    CvxBadHRInvokeException denied(E_ACCESSDENIED, 2, L"Title");
    const std::wstring deniedDetails(denied.DetailsText());
    const size_t open = deniedDetails.find(L"2 0x80070005 (") + 14;
    const std::wstring systemText = deniedDetails.substr(open, deniedDetails.size() - 7 - open);
    EXPECT_FALSE(systemText.empty()) << deniedDetails;
    EXPECT_EQ(std::wstring::npos, systemText.find_first_of(L"\r\n")) << deniedDetails;

    // A zero result has no system text; no member leaves the name empty.
    CvxBadHRInvokeException zero(0, 1, nullptr);
    EXPECT_EQ(reasons + L"\n\nTechnical information:\n1 0x00000000 () ", std::wstring(zero.DetailsText()));
}

TEST(InvokeException, ExceptionInformationIsAppendedOnlyForDispException)
{
    EXCEPINFO info{};
    info.bstrSource = SysAllocString(L"Page script");
    info.bstrDescription = SysAllocString(L"Object expected");
    info.scode = static_cast<SCODE>(0x800A138F);
    CvxBadHRInvokeException withInfo(DISP_E_EXCEPTION, 12, L"click", &info);
    const std::wstring details(withInfo.DetailsText());
    const std::wstring tail = L" click\nPage script -2146823281\nObject expected";
    EXPECT_EQ(tail, details.substr(details.size() - tail.size())) << details;

    info.scode = 0;
    info.wCode = 1001;
    SysFreeString(info.bstrSource);
    info.bstrSource = nullptr;
    CvxBadHRInvokeException wordCode(DISP_E_EXCEPTION, 13, L"go", &info);
    const std::wstring wordTail = L" go\n 1001\nObject expected";
    const std::wstring wordDetails(wordCode.DetailsText());
    EXPECT_EQ(wordTail, wordDetails.substr(wordDetails.size() - wordTail.size())) << wordDetails;

    CvxBadHRInvokeException otherCode(E_FAIL, 14, L"go", &info);
    EXPECT_EQ(std::wstring::npos, std::wstring(otherCode.DetailsText()).find(L"Object expected"));
    SysFreeString(info.bstrDescription);
}
