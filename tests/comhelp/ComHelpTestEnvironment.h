#pragma once
// Common set-up of the COM threading tests: the product path points at the
// test layout (where the COM utility module stand-in lives) and the test
// thread is in the multi-threaded apartment.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/LayoutFolder.h"

namespace comhelp_tests {

using testsupport::LayoutDirectory;

class ComHelpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"Vantorix8_Product_Path", LayoutDirectory().c_str());
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};

// Where and in which apartment a function ran.
struct RunRecord
{
    DWORD threadId = 0;
    APTTYPE apartment = APTTYPE_CURRENT;
    int runs = 0;
};

inline void __stdcall RecordRun(void* data)
{
    auto* record = static_cast<RunRecord*>(data);
    record->threadId = GetCurrentThreadId();
    APTTYPEQUALIFIER qualifier;
    if (FAILED(CoGetApartmentType(&record->apartment, &qualifier)))
        record->apartment = APTTYPE_CURRENT;
    ++record->runs;
}

} // namespace comhelp_tests
