#include "openapphook/FatalErrorReport.h"

#include <cwchar>

#include "openapphook/EventLog.h"

namespace vxOpenAppHook {

namespace {

constexpr wchar_t UnknownName[] = L"<unknown>";

// Addresses print with at least eight hex digits (all of them on 64-bit).
std::wstring HexAddress(ULONG_PTR value)
{
    wchar_t buffer[32];
    swprintf(buffer, 32, L"0x%08llx", static_cast<unsigned long long>(value));
    return buffer;
}

struct CodeText
{
    DWORD code;
    const wchar_t* text;
};

constexpr CodeText ExceptionTexts[] = {
    {0x80000002, L"Datatype misalignment"},
    {0xC000008C, L"Array bounds exceeded"},
    {0xC000008D, L"Floating-point denormal operand"},
    {0xC000008E, L"Floating-point division by zero"},
    {0xC000008F, L"Floating-point inexact result"},
    {0xC0000090, L"Floating-point invalid operation"},
    {0xC0000091, L"Floating-point overflow"},
    {0xC0000092, L"Floating-point stack check"},
    {0xC0000093, L"Floating-point underflow"},
    {0xC0000094, L"Integer division by zero"},
    {0xC0000095, L"Integer overflow"},
    {0xC0000096, L"Privileged instruction"},
    {0xC0000006, L"In page error"},
    {0xC000001D, L"Illegal instruction"},
    {0xC0000025, L"Windows cannot continue from this exception"},
    {0xC0000026, L"An invalid exception disposition was returned by an exception handler"},
};

std::wstring FileNameOnly(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* p = path; *p; ++p) {
        if (*p == L'\\' || *p == L'/')
            name = p + 1;
    }
    return name;
}

// The file name of the image mapped at `address`, if the address lies in one.
std::wstring ModuleNameAt(const void* address)
{
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(address, &info, sizeof(info)) || info.Type != MEM_IMAGE)
        return UnknownName;
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(static_cast<HMODULE>(info.AllocationBase), path, MAX_PATH);
    if (length == 0)
        return UnknownName;
    return FileNameOnly(path);
}

std::wstring ExecutableName()
{
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0)
        return UnknownName;
    return FileNameOnly(path);
}

} // namespace

std::wstring DescribeStructuredException(const EXCEPTION_RECORD& record)
{
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION) {
        // Without its two parameters the access cannot be described.
        if (record.NumberParameters < 2)
            return L"Access violation";
        const wchar_t* access = record.ExceptionInformation[0] != 0 ? L"writing" : L"reading";
        return std::wstring(L"Access violation ") + access + L" location " + HexAddress(record.ExceptionInformation[1]);
    }
    for (const CodeText& entry : ExceptionTexts) {
        if (entry.code == record.ExceptionCode)
            return entry.text;
    }
    return L"Unknown exception";
}

std::wstring FormatFatalErrorReport(const wchar_t* operationId, const EXCEPTION_RECORD& record)
{
    wchar_t code[16];
    swprintf(code, 16, L"0x%08X", static_cast<unsigned>(record.ExceptionCode));
    std::wstring text = L"Fatal error occurred in the \"";
    text += operationId ? operationId : L"";
    text += L"\" operation. First-chance exception at ";
    text += HexAddress(reinterpret_cast<ULONG_PTR>(record.ExceptionAddress));
    text += L" (" + ModuleNameAt(record.ExceptionAddress) + L") in " + ExecutableName() + L": ";
    text += code;
    text += L": ";
    text += DescribeStructuredException(record);
    return text;
}

void ReportFatalError(const wchar_t* operationId, const EXCEPTION_RECORD& record) noexcept
{
    try {
        std::wstring text = FormatFatalErrorReport(operationId, record);
        // The text goes in as an argument, never as a format: it may hold '%'.
        ReportToEventLog(EventLogError, L"%ls", text.c_str());
    } catch (...) {
        // Out of memory while building the report: it is dropped.
    }
}

} // namespace vxOpenAppHook
