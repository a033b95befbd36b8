#include "openapphook/EventLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace vxOpenAppHook {

namespace {

constexpr wchar_t EventSourceName[] = L"Vantorix";

class CWindowsEventLogWriter final : public IEventLogWriter
{
public:
    void Write(WORD type, const wchar_t* text) noexcept override
    {
        HANDLE source = RegisterEventSourceW(nullptr, EventSourceName);
        if (!source)
            return;
        const wchar_t* strings[] = {text};
        ReportEventW(source, type, 0, 0, nullptr, 1, 0, strings, nullptr);
        DeregisterEventSource(source);
    }
};

// The writer slot. The lock is held while a writer runs, so that the
// exchange can promise that a removed writer is no longer in use.
struct WriterSlot
{
    std::mutex lock;
    IEventLogWriter* writer = nullptr;
};

WriterSlot& Slot() noexcept
{
    static WriterSlot slot;
    return slot;
}

bool IsNtFamily() noexcept
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info))
        return false;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::wstring FormatV(const wchar_t* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = _vscwprintf(format, copy);
    va_end(copy);
    if (length < 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    _vsnwprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

std::wstring FormatVA(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = _vscprintf(format, copy);
    va_end(copy);
    if (length < 0)
        return std::wstring();
    std::string narrow(static_cast<size_t>(length) + 1, '\0');
    _vsnprintf(&narrow[0], narrow.size(), format, args);
    narrow.resize(static_cast<size_t>(length));
    int wide = MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, nullptr, 0);
    std::wstring text(static_cast<size_t>(wide), L'\0');
    if (wide > 0)
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, &text[0], wide);
    return text;
}

// Runs a formatter; out of memory drops the report instead of throwing.
template <class Formatter>
bool FormatNoThrow(std::wstring& text, Formatter&& format) noexcept
{
    try {
        text = format();
        return true;
    } catch (...) {
        return false;
    }
}

void Write(WORD type, const std::wstring& text) noexcept
{
    if (!IsNtFamily())
        return;
    static CWindowsEventLogWriter windowsLog;
    WriterSlot& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    IEventLogWriter* writer = slot.writer ? slot.writer : &windowsLog;
    writer->Write(type, text.c_str());
}

} // namespace

IEventLogWriter* ExchangeEventLogWriter(IEventLogWriter* writer) noexcept
{
    WriterSlot& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    IEventLogWriter* previous = slot.writer;
    slot.writer = writer;
    return previous;
}

void ReportToEventLog(WORD type, const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    std::wstring text;
    bool formatted = FormatNoThrow(text, [&] { return FormatV(format, args); });
    va_end(args);
    if (formatted)
        Write(type, text);
}

void ReportToEventLogA(WORD type, const char* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    std::wstring text;
    bool formatted = FormatNoThrow(text, [&] { return FormatVA(format, args); });
    va_end(args);
    if (formatted)
        Write(type, text);
}

void ReportToDebugOutput(const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    std::wstring text;
    bool formatted = FormatNoThrow(text, [&] { return FormatV(format, args); });
    va_end(args);
    if (formatted)
        OutputDebugStringW(text.c_str());
}

} // namespace vxOpenAppHook
