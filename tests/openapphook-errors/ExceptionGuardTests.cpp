#include <gtest/gtest.h>

#include <windows.h>
#include <float.h>

#include <atomic>
#include <cstdint>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>

#include "openapphook/EventLog.h"
#include "openapphook/ExceptionGuard.h"
#include "tests/openapphook-errors/CapturedEventLog.h"

using vxOpenAppHook::ActiveGuardDepth;
using vxOpenAppHook::RunGuarded;
using vxtest::CapturedEventLog;

namespace {

constexpr wchar_t OperationA[] = L"4F0C7E52-2B1D-4C8E-9A63-1D2E3F405162";
constexpr wchar_t OperationB[] = L"0B6A3C91-77E4-4F2D-8C15-A9B8C7D6E5F4";

__attribute__((noinline)) void WriteToAddress(uintptr_t address)
{
    volatile uintptr_t target = address;
    *reinterpret_cast<volatile int*>(target) = 1;
}

__attribute__((noinline)) int DivideBy(int divisor)
{
    volatile int numerator = 7;
    volatile int denominator = divisor;
    return numerator / denominator;
}

// Several frames deep, so that the guard has to abandon frames on the way.
__attribute__((noinline)) int FaultDeep(int depth)
{
    if (depth == 0) {
        WriteToAddress(0x10);
        return 0;
    }
    volatile int local = depth;
    return FaultDeep(depth - 1) + local;
}

__attribute__((noinline)) int ThrowDeep(int depth)
{
    if (depth == 0)
        throw std::runtime_error("deep");
    volatile int local = depth;
    return ThrowDeep(depth - 1) + local;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::wstring ExecutableName()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    return name.substr(name.find_last_of(L"\\/") + 1);
}

// Counts exceptions that reach the end of the vectored handler list and
// continues the ones raised with RaiseException by the tests below.
class ExceptionsPassedOn
{
public:
    explicit ExceptionsPassedOn(DWORD code) : handle_(AddVectoredExceptionHandler(0, &Handler))
    {
        code_ = code;
        count_ = 0;
    }
    ~ExceptionsPassedOn() { RemoveVectoredExceptionHandler(handle_); }
    int Count() const { return count_; }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers)
    {
        if (pointers->ExceptionRecord->ExceptionCode != code_)
            return EXCEPTION_CONTINUE_SEARCH;
        ++count_;
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    void* handle_;
    static inline std::atomic<DWORD> code_{0};
    static inline std::atomic<int> count_{0};
};

} // namespace

TEST(ExceptionGuard, AccessViolationBecomesUnexpectedWithOneReport)
{
    CapturedEventLog log;
    HRESULT hr = RunGuarded(OperationA, [] {
        WriteToAddress(0x10);
        return S_OK;
    });
    EXPECT_EQ(E_UNEXPECTED, hr);
    EXPECT_EQ(0u, ActiveGuardDepth());

    auto entries = log.Entries();
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(EVENTLOG_ERROR_TYPE, entries[0].type);
    const std::wstring& text = entries[0].text;
    EXPECT_TRUE(EndsWith(text, L"Access violation writing location 0x00000010")) << text;
    // The fault lies in this test program's own image, which is also the
    // executable.
    const std::wstring exe = ExecutableName();
    const std::wregex shape(L"Fatal error occurred in the \"4F0C7E52-2B1D-4C8E-9A63-1D2E3F405162\" operation\\. "
                            L"First-chance exception at 0x[0-9a-f]{8,16} \\(" +
                            exe + L"\\) in " + exe + L": 0xC0000005: Access violation writing location 0x00000010");
    EXPECT_TRUE(std::regex_match(text, shape)) << text;
}

TEST(ExceptionGuard, IntegerDivisionByZeroAndIllegalInstructionAreCaught)
{
    CapturedEventLog log;
    int result = -1;
    EXPECT_EQ(E_UNEXPECTED, RunGuarded(OperationA, [&] {
                  result = DivideBy(0);
                  return S_OK;
              }));
    EXPECT_EQ(-1, result);
    EXPECT_EQ(E_UNEXPECTED, RunGuarded(OperationB, [] { __builtin_trap(); }));

    auto entries = log.Entries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_TRUE(EndsWith(entries[0].text, L": 0xC0000094: Integer division by zero")) << entries[0].text;
    EXPECT_NE(std::wstring::npos, entries[0].text.find(OperationA));
    EXPECT_TRUE(EndsWith(entries[1].text, L": 0xC000001D: Illegal instruction")) << entries[1].text;
    EXPECT_NE(std::wstring::npos, entries[1].text.find(OperationB));
}

TEST(ExceptionGuard, ProcessGoesOnAfterFaultsAndResultsPassThrough)
{
    CapturedEventLog log;
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(E_UNEXPECTED, RunGuarded(OperationA, [] { return FaultDeep(8); }));
        EXPECT_EQ(S_FALSE, RunGuarded(OperationA, [] { return S_FALSE; }));
        EXPECT_EQ(E_ACCESSDENIED, RunGuarded(OperationA, [] { return E_ACCESSDENIED; }));
    }
    int calls = 0;
    EXPECT_EQ(S_OK, RunGuarded(OperationA, [&] { ++calls; }));
    EXPECT_EQ(1, calls);
    EXPECT_EQ(20u, log.Entries().size());
    EXPECT_EQ(0u, ActiveGuardDepth());
}

TEST(ExceptionGuard, InnerGuardCatchesAndOuterContinues)
{
    CapturedEventLog log;
    HRESULT inner = S_OK;
    unsigned depthInside = 0;
    HRESULT outer = RunGuarded(OperationA, [&] {
        inner = RunGuarded(OperationB, [&] {
            depthInside = ActiveGuardDepth();
            WriteToAddress(0x10);
            return S_OK;
        });
        // The outer guard still works after the inner one caught.
        EXPECT_EQ(1u, ActiveGuardDepth());
        return S_FALSE;
    });
    EXPECT_EQ(2u, depthInside);
    EXPECT_EQ(E_UNEXPECTED, inner);
    EXPECT_EQ(S_FALSE, outer);

    // A fault in the outer body after the inner guard finished belongs to it.
    EXPECT_EQ(E_UNEXPECTED, RunGuarded(OperationA, [&] {
                  EXPECT_EQ(S_OK, RunGuarded(OperationB, [] { return S_OK; }));
                  return DivideBy(0);
              }));

    auto entries = log.Entries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_NE(std::wstring::npos, entries[0].text.find(OperationB));
    EXPECT_NE(std::wstring::npos, entries[1].text.find(OperationA));
    EXPECT_TRUE(EndsWith(entries[1].text, L"Integer division by zero"));
}

TEST(ExceptionGuard, TwoThreadsFaultInsideTheirGuardsAtTheSameTime)
{
    CapturedEventLog log;
    std::atomic<int> inside{0};
    auto worker = [&](const wchar_t* id, bool divide, HRESULT& result) {
        result = RunGuarded(id, [&] {
            ++inside;
            while (inside.load() < 2)
                Sleep(0);
            if (divide)
                return DivideBy(0);
            return FaultDeep(3);
        });
    };
    HRESULT first = S_OK, second = S_OK;
    std::thread a(worker, OperationA, false, std::ref(first));
    std::thread b(worker, OperationB, true, std::ref(second));
    a.join();
    b.join();
    EXPECT_EQ(E_UNEXPECTED, first);
    EXPECT_EQ(E_UNEXPECTED, second);

    auto entries = log.Entries();
    ASSERT_EQ(2u, entries.size());
    int accessViolations = 0, divisions = 0;
    for (const auto& entry : entries) {
        if (entry.text.find(OperationA) != std::wstring::npos &&
            EndsWith(entry.text, L"Access violation writing location 0x00000010"))
            ++accessViolations;
        if (entry.text.find(OperationB) != std::wstring::npos && EndsWith(entry.text, L"Integer division by zero"))
            ++divisions;
    }
    EXPECT_EQ(1, accessViolations);
    EXPECT_EQ(1, divisions);
}

TEST(ExceptionGuard, CppExceptionsInsideTheBodyAreNotTouched)
{
    CapturedEventLog log;
    std::string caught;
    HRESULT hr = RunGuarded(OperationA, [&] {
        try {
            ThrowDeep(6);
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
        return S_FALSE;
    });
    EXPECT_EQ(S_FALSE, hr);
    EXPECT_EQ("deep", caught);
    // One that escapes the body ends the operation, without a fault report.
    EXPECT_EQ(E_UNEXPECTED, RunGuarded(OperationA, []() -> HRESULT { throw std::logic_error("escaping"); }));
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_EQ(0u, ActiveGuardDepth());
}

TEST(ExceptionGuard, OtherExceptionsAndUnguardedFaultsPassThrough)
{
    CapturedEventLog log;
    {
        // An RPC status raised and handled by system code inside a guard
        // reaches the handlers after the guard; the body goes on.
        ExceptionsPassedOn passed(RPC_S_SERVER_UNAVAILABLE);
        EXPECT_EQ(S_FALSE, RunGuarded(OperationA, [] {
                      RaiseException(RPC_S_SERVER_UNAVAILABLE, 0, 0, nullptr);
                      return S_FALSE;
                  }));
        EXPECT_EQ(1, passed.Count());
    }
    EXPECT_EQ(S_OK, RunGuarded(OperationA, [] {
                  OutputDebugStringA("guarded output");
                  OutputDebugStringW(L"guarded output");
                  return S_OK;
              }));
    {
        // A hardware code outside any guard is left to whoever handles it.
        ExceptionsPassedOn passed(EXCEPTION_ACCESS_VIOLATION);
        ULONG_PTR parameters[2] = {1, 0x10};
        RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 2, parameters);
        EXPECT_EQ(1, passed.Count());
    }
    EXPECT_TRUE(log.Entries().empty());
}

TEST(ExceptionGuard, ReportsKeepPercentSignsOfTheOperationIdentifier)
{
    CapturedEventLog log;
    EXPECT_EQ(E_UNEXPECTED, RunGuarded(L"%s%n%d", [] { return DivideBy(0); }));
    auto entries = log.Entries();
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ(0u, entries[0].text.find(L"Fatal error occurred in the \"%s%n%d\" operation."));
}

namespace {

// Recurses until the stack runs out (the flag only hides that from the
// compiler, which would otherwise warn about the endless recursion).
__attribute__((noinline)) int Recurse(int depth, volatile bool& goOn)
{
    volatile char block[512];
    block[0] = static_cast<char>(depth);
    return (goOn ? Recurse(depth + 1, goOn) : 0) + block[0];
}

} // namespace

TEST(ExceptionGuard, StackOverflowIsCaughtAndTheThreadGoesOn)
{
    CapturedEventLog log;
    HRESULT overflow = S_OK, afterwards = S_OK;
    // A thread of its own keeps the main thread's stack intact.
    std::thread([&] {
        overflow = RunGuarded(OperationA, [] {
            volatile bool goOn = true;
            return Recurse(0, goOn);
        });
        afterwards = RunGuarded(OperationB, [] { return FaultDeep(2); });
    }).join();
    EXPECT_EQ(E_UNEXPECTED, overflow);
    EXPECT_EQ(E_UNEXPECTED, afterwards);
    auto entries = log.Entries();
    ASSERT_EQ(2u, entries.size());
    EXPECT_TRUE(EndsWith(entries[0].text, L": 0xC00000FD: Unknown exception")) << entries[0].text;
    EXPECT_TRUE(EndsWith(entries[1].text, L"Access violation writing location 0x00000010")) << entries[1].text;
}

TEST(ExceptionGuard, UnmaskedFloatingPointFaultIsCaught)
{
    CapturedEventLog log;
    const unsigned previous = _controlfp(0, 0);
    HRESULT hr = RunGuarded(OperationA, [] {
        _controlfp(_MCW_EM & ~_EM_ZERODIVIDE, _MCW_EM);
        volatile double zero = 0.0;
        volatile double quotient = 1.0 / zero;
        (void)quotient;
        return S_OK;
    });
    _controlfp(previous, _MCW_EM);
    EXPECT_EQ(E_UNEXPECTED, hr);
    auto entries = log.Entries();
    ASSERT_EQ(1u, entries.size());
    EXPECT_NE(std::wstring::npos, entries[0].text.find(OperationA));
    // Arithmetic goes on normally afterwards.
    volatile double zero = 0.0;
    EXPECT_EQ(S_OK, RunGuarded(OperationB, [&] { return 1.0 / zero > 0 ? S_OK : E_FAIL; }));
}
