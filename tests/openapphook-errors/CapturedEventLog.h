#pragma once
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "openapphook/EventLog.h"

namespace vxtest {

struct EventLogEntry
{
    WORD type;
    std::wstring text;
};

// Collects what the library reports to the event log while it is alive
// (Wine keeps no event log to read back).
class CapturedEventLog final : public vxOpenAppHook::IEventLogWriter
{
public:
    CapturedEventLog() { previous_ = vxOpenAppHook::ExchangeEventLogWriter(this); }
    ~CapturedEventLog() { vxOpenAppHook::ExchangeEventLogWriter(previous_); }
    CapturedEventLog(const CapturedEventLog&) = delete;
    CapturedEventLog& operator=(const CapturedEventLog&) = delete;

    void Write(WORD type, const wchar_t* text) noexcept override
    {
        std::lock_guard<std::mutex> guard(lock_);
        entries_.push_back({type, text});
    }

    std::vector<EventLogEntry> Entries() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return entries_;
    }

private:
    mutable std::mutex lock_;
    std::vector<EventLogEntry> entries_;
    vxOpenAppHook::IEventLogWriter* previous_ = nullptr;
};

} // namespace vxtest
