#pragma once
// Test control over the calls one stand-in object kind receives: a count of
// calls per DISPID, and per DISPID an optional delay and an optional refusal
// (the call then fails with the given HRESULT without doing anything).
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <mutex>

namespace chrome_standin {

// The kinds of objects whose calls are counted and controlled.
enum class StandinService {
    Tabs,               // the tabs service
    TabsRegistration,   // a tabs notifier registration
    Browser,            // the browser service
    EventsRegistration, // a browser events registration
    QuickBrowser,       // a renderer's quick browser
    PageObject,         // the page object a quick browser reports
};
inline constexpr size_t kStandinServiceCount = 6;

class CallRules
{
public:
    void Refuse(DISPID member, HRESULT failure);
    void Delay(DISPID member, DWORD milliseconds);
    // Drops every refusal and delay (counts stay).
    void Clear();

    // Counts the call, waits the delay, and returns the refusal or S_OK.
    HRESULT Admit(DISPID member);
    LONG Count(DISPID member) const;

private:
    struct Rule
    {
        HRESULT failure = S_OK;
        DWORD delayMs = 0;
    };
    mutable std::mutex mutex_;
    std::map<DISPID, Rule> rules_;
    std::map<DISPID, LONG> counts_;
};

} // namespace chrome_standin
