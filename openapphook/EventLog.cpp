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

// The C runtime's printf family for both character types.
int FormattedLength(const wchar_t* format, va_list args)
{
    return _vscwprintf(format, args);
}

int FormattedLength(const char* format, va_list args)
{
    return _vscprintf(format, args);
}

void FormatInto(wchar_t* buffer, size_t size, const wchar_t* format, va_list args)
{
    _vsnwprintf(buffer, size, format, args);
}

void FormatInto(char* buffer, size_t size, const char* format, va_list args)
{
    _vsnprintf(buffer, size, format, args);
}

// printf-style formatting into `text`; false when the format cannot be used.
template <class Char>
bool FormatString(std::basic_string<Char>& text, const Char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int length = FormattedLength(format, copy);
    va_end(copy);
    if (length < 0)
        return false;
    text.assign(static_cast<size_t>(length) + 1, Char());
    FormatInto(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return true;
}

std::wstring FormatV(const wchar_t* format, va_list args)
{
    std::wstring text;
    FormatString(text, format, args);
    return text;
}

std::wstring FormatVA(const char* format, va_list args)
{
    std::string narrow;
    if (!FormatString(narrow, format, args))
        return std::wstring();
    const int length = static_cast<int>(narrow.size());
    int wide = MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, nullptr, 0);
    std::wstring text(static_cast<size_t>(wide), L'\0');
    if (wide > 0)
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), length, &text[0], wide);
    return text;
}

// Formats a report with `formatText` (FormatV or FormatVA) and hands the text
// to `deliver`; out of memory drops the report instead of throwing.
template <class Char, class Deliver>
void FormatAndDeliver(std::wstring (*formatText)(const Char*, va_list), const Char* format, va_list args,
                      Deliver&& deliver) noexcept
{
    std::wstring text;
    try {
        text = formatText(format, args);
    } catch (...) {
        return;
    }
    deliver(text);
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
    FormatAndDeliver(FormatV, format, args, [type](const std::wstring& text) { Write(type, text); });
    va_end(args);
}

void ReportToEventLogA(WORD type, const char* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    FormatAndDeliver(FormatVA, format, args, [type](const std::wstring& text) { Write(type, text); });
    va_end(args);
}

void ReportToDebugOutput(const wchar_t* format, ...) noexcept
{
    va_list args;
    va_start(args, format);
    FormatAndDeliver(FormatV, format, args, [](const std::wstring& text) { OutputDebugStringW(text.c_str()); });
    va_end(args);
}

} // namespace vxOpenAppHook
