// The native build's Win32 and OLE Automation layer: BSTR layout and
// ownership, VARIANT copies and clears, SAFEARRAYs of VARIANT, the two code
// pages and the per-thread error information. The framework's results
// natively are only as good as these.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include <oleauto.h>

#include "ThreadErrorInfo.h"
#include "platform/ErrorInfo.h"

namespace {

class Allocations : public ::testing::Test
{
protected:
    void SetUp() override
    {
        strings_ = vxcompat::LiveStrings();
        arrays_ = vxcompat::LiveArrays();
        faults_ = vxcompat::AllocationFaults();
    }
    void TearDown() override
    {
        EXPECT_EQ(strings_, vxcompat::LiveStrings());
        EXPECT_EQ(arrays_, vxcompat::LiveArrays());
        EXPECT_EQ(faults_, vxcompat::AllocationFaults());
    }
    long strings_ = 0, arrays_ = 0, faults_ = 0;
};

TEST_F(Allocations, BstrIsByteCountedNullTerminatedAndKeepsEmbeddedNulls)
{
    const wchar_t text[] = {L'a', L'\0', L'b'};
    BSTR s = SysAllocStringLen(text, 3);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(3u, SysStringLen(s));
    uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(s) - 4, 4);
    EXPECT_EQ(3 * sizeof(wchar_t), prefix);
    EXPECT_EQ(L'b', s[2]);
    EXPECT_EQ(L'\0', s[3]);
    SysFreeString(s);

    BSTR blank = SysAllocStringLen(nullptr, 2);
    ASSERT_NE(nullptr, blank);
    EXPECT_EQ(2u, SysStringLen(blank));
    EXPECT_EQ(L'\0', blank[0]);
    SysFreeString(blank);

    EXPECT_EQ(nullptr, SysAllocString(nullptr));
    EXPECT_EQ(0u, SysStringLen(nullptr));
    SysFreeString(nullptr);
}

TEST_F(Allocations, FreeingTwiceOrAPlainStringIsAFault)
{
    BSTR s = SysAllocString(L"once");
    SysFreeString(s);
    SysFreeString(s);
    wchar_t plain[] = L"plain";
    EXPECT_EQ(5u, SysStringLen(plain)); // measured to its null, and counted
    EXPECT_EQ(faults_ + 2, vxcompat::AllocationFaults());
    faults_ = vxcompat::AllocationFaults();
}

TEST_F(Allocations, VariantCopyIsDeepAndClearFreesWhatItHolds)
{
    VARIANT source, copy;
    VariantInit(&source);
    VariantInit(&copy);
    V_VT(&source) = VT_BSTR;
    V_BSTR(&source) = SysAllocString(L"text");
    V_VT(&copy) = VT_BSTR;
    V_BSTR(&copy) = SysAllocString(L"old"); // freed by the copy
    ASSERT_EQ(S_OK, VariantCopy(&copy, &source));
    EXPECT_NE(V_BSTR(&source), V_BSTR(&copy));
    EXPECT_STREQ(L"text", V_BSTR(&copy));
    EXPECT_EQ(strings_ + 2, vxcompat::LiveStrings());
    EXPECT_EQ(S_OK, VariantClear(&copy));
    EXPECT_EQ(VT_EMPTY, V_VT(&copy));
    EXPECT_EQ(S_OK, VariantClear(&source));

    VARIANT odd;
    VariantInit(&odd);
    V_VT(&odd) = 9; // a kind the layer does not have
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantClear(&odd));
    EXPECT_EQ(DISP_E_BADVARTYPE, VariantCopy(&copy, &odd));
    EXPECT_EQ(VT_EMPTY, V_VT(&copy));
}

TEST_F(Allocations, ArrayOfVariantsCopiesInAndFreesOnDestroy)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_NE(nullptr, array);
    EXPECT_EQ(nullptr, SafeArrayCreateVector(VT_BSTR, 0, 2));
    LONG lower = -1, upper = -1;
    EXPECT_EQ(S_OK, SafeArrayGetLBound(array, 1, &lower));
    EXPECT_EQ(S_OK, SafeArrayGetUBound(array, 1, &upper));
    EXPECT_EQ(0, lower);
    EXPECT_EQ(1, upper);
    EXPECT_EQ(DISP_E_BADINDEX, SafeArrayGetUBound(array, 2, &upper));

    VARIANT element;
    VariantInit(&element);
    V_VT(&element) = VT_BSTR;
    V_BSTR(&element) = SysAllocString(L"x");
    LONG index = 1;
    ASSERT_EQ(S_OK, SafeArrayPutElement(array, &index, &element));
    index = 2;
    EXPECT_EQ(DISP_E_BADINDEX, SafeArrayPutElement(array, &index, &element));
    VariantClear(&element); // the array holds its own copy
    auto* slots = static_cast<VARIANT*>(array->pvData);
    EXPECT_EQ(VT_EMPTY, V_VT(&slots[0]));
    ASSERT_EQ(VT_BSTR, V_VT(&slots[1]));
    EXPECT_STREQ(L"x", V_BSTR(&slots[1]));

    // A VARIANT holding the array copies it deeply and frees it on clear.
    VARIANT holder, copy;
    VariantInit(&holder);
    VariantInit(&copy);
    V_VT(&holder) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&holder) = array;
    ASSERT_EQ(S_OK, VariantCopy(&copy, &holder));
    EXPECT_NE(array, V_ARRAY(&copy));
    EXPECT_EQ(arrays_ + 2, vxcompat::LiveArrays());
    EXPECT_EQ(S_OK, VariantClear(&copy));
    EXPECT_EQ(S_OK, VariantClear(&holder));
}

TEST(CodePages, Utf8IsStrictWithTheErrorFlagAndReplacedWithout)
{
    wchar_t out[8] = {};
    const char euro[] = "\xE2\x82\xAC";
    EXPECT_EQ(1, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, euro, 3, nullptr, 0));
    EXPECT_EQ(1, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, euro, 3, out, 8));
    EXPECT_EQ(L'\u20AC', out[0]);
    const char emoji[] = "\xF0\x9F\x98\x80"; // one wchar_t here, a surrogate pair on Windows
    EXPECT_EQ(1, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, emoji, 4, out, 8));
    EXPECT_EQ(0x1F600, static_cast<int>(out[0]));

    for (const char* invalid : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80"})
        EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, invalid, static_cast<int>(std::strlen(invalid)),
                                         out, 8))
            << std::strlen(invalid) << " bytes";
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "a\xC3z", 3, out, 8));
    EXPECT_EQ(L'\uFFFD', out[1]);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", 3, out, 2)) << "a buffer too small";
}

TEST(CodePages, AnsiIsWindows1252AndUpperCasesThroughIt)
{
    const wchar_t text[] = L"\u20AC\u00E9\u0100";
    char bytes[4] = {};
    BOOL usedDefault = FALSE;
    ASSERT_EQ(3, WideCharToMultiByte(CP_ACP, 0, text, 3, bytes, 4, nullptr, &usedDefault));
    EXPECT_EQ('\x80', bytes[0]);
    EXPECT_EQ('\xE9', bytes[1]);
    EXPECT_EQ('?', bytes[2]);
    EXPECT_TRUE(usedDefault);

    char mixed[] = "ab\xE9\xFF\xB5\xDF\x9A";
    CharUpperBuffA(mixed, 7);
    EXPECT_STREQ("AB\xC9\x9F\xB5\xDF\x8A", mixed); // no upper case of micro and sharp s in 1252
    wchar_t back[8] = {};
    ASSERT_EQ(2, MultiByteToWideChar(CP_ACP, 0, "\x80\x9F", 2, back, 8));
    EXPECT_EQ(L'\u20AC', back[0]);
    EXPECT_EQ(L'\u0178', back[1]);

    wchar_t wide[] = L"stra\u00DFe \u03B1";
    CharUpperBuffW(wide, 8);
    EXPECT_STREQ(L"STRA\u00DFE \u0391", wide);
}

TEST(ThreadErrorInformation, EachThreadTakesWhatItPublished)
{
    vxcompat::ClearThreadErrorInfo();
    ASSERT_EQ(S_OK, BaseOV::SetThreadErrorInfo(L"main thread", L"source", 7));
    std::thread other([] {
        vxcompat::ThreadErrorInfo info;
        EXPECT_EQ(S_FALSE, vxcompat::TakeThreadErrorInfo(info));
        BaseOV::SetThreadErrorInfo(nullptr, nullptr, 0);
        EXPECT_EQ(S_OK, vxcompat::TakeThreadErrorInfo(info));
        EXPECT_EQ(L"", info.description);
    });
    other.join();
    vxcompat::ThreadErrorInfo info;
    ASSERT_EQ(S_OK, vxcompat::TakeThreadErrorInfo(info));
    EXPECT_EQ(L"main thread", info.description);
    EXPECT_EQ(L"source", info.source);
    EXPECT_EQ(7u, info.helpContext);
    EXPECT_EQ(S_FALSE, vxcompat::TakeThreadErrorInfo(info)) << "taking it empties the slot";
}

} // namespace
