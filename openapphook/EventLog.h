#pragma once
#include <windows.h>

namespace vxOpenAppHook {

// Event types of the reports (the values ReportEvent takes).
enum EventLogType : WORD {
    EventLogError = EVENTLOG_ERROR_TYPE,             // 1
    EventLogWarning = EVENTLOG_WARNING_TYPE,         // 2
    EventLogInformation = EVENTLOG_INFORMATION_TYPE, // 4
};

// Where formatted event-log reports go. The default writer registers the
// event source "Vantorix", reports the text as one string (category 0, event
// identifier 0) and deregisters again.
class IEventLogWriter
{
public:
    virtual void Write(WORD type, const wchar_t* text) noexcept = 0;

protected:
    ~IEventLogWriter() = default;
};

// Replaces the process's event-log writer (nullptr restores the Windows event
// log) and returns the one replaced (nullptr for the default). Reports made
// while the exchange runs go to either the old or the new writer, never
// half-way; a writer is never called after the exchange that removed it
// returned.
IEventLogWriter* ExchangeEventLogWriter(IEventLogWriter* writer) noexcept;

// printf-style reports to the event log. Nothing is written unless the
// system is of the NT family; failures to reach the log are silent.
void ReportToEventLog(WORD type, const wchar_t* format, ...) noexcept;
void ReportToEventLogA(WORD type, const char* format, ...) noexcept;

// The same formatting, written to the debugger with OutputDebugStringW.
void ReportToDebugOutput(const wchar_t* format, ...) noexcept;

} // namespace vxOpenAppHook
