// Per-DISPID call counts, delays and refusals.
#include "CallRules.h"

namespace chrome_standin {

void CallRules::Refuse(DISPID member, HRESULT failure)
{
    std::lock_guard<std::mutex> lock(mutex_);
    rules_[member].failure = failure;
}

void CallRules::Delay(DISPID member, DWORD milliseconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    rules_[member].delayMs = milliseconds;
}

void CallRules::Clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.clear();
}

HRESULT CallRules::Admit(DISPID member)
{
    Rule rule;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[member];
        auto found = rules_.find(member);
        if (found != rules_.end())
            rule = found->second;
    }
    // At least the delay as the tick count tells it (Sleep alone may wake a
    // tick early), since that is how callers measure their time-outs.
    const ULONGLONG deadline = GetTickCount64() + rule.delayMs;
    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64())
        Sleep(static_cast<DWORD>(deadline - now));
    return rule.failure;
}

LONG CallRules::Count(DISPID member) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = counts_.find(member);
    return found == counts_.end() ? 0 : found->second;
}

} // namespace chrome_standin
