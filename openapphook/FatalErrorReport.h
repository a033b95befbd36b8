#pragma once
#include <windows.h>

#include <string>

namespace vxOpenAppHook {

// Text of a structured exception for reports, e.g. "Integer division by
// zero" or "Access violation writing location 0x00000010"; "Unknown
// exception" for codes without a description.
std::wstring DescribeStructuredException(const EXCEPTION_RECORD& record);

// The full report of a structured exception caught in the operation named
// `operationId`: where it happened (address, module, executable), its code
// and its description.
std::wstring FormatFatalErrorReport(const wchar_t* operationId, const EXCEPTION_RECORD& record);

// Writes the report above to the event log as an error. Never throws.
void ReportFatalError(const wchar_t* operationId, const EXCEPTION_RECORD& record) noexcept;

} // namespace vxOpenAppHook
