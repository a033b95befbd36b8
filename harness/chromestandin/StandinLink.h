#pragma once
// What the stand-in's COM objects share with the stand-in that made them.
// The objects may outlive it (a consumer can keep a reference), so they
// reach it only through the gate: while the stand-in runs, a pass gives its
// service side; once it is shut down every call fails as a call into a
// vanished process would (RPC_S_SERVER_UNAVAILABLE).
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <array>
#include <memory>
#include <string>

#include "CallRules.h"

namespace chrome_standin {

inline const HRESULT kServerGone = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);

// The stand-in's side of the service calls (implemented by ChromeStandin).
class StandinServiceHost
{
public:
    // Tabs service.
    virtual HRESULT RegisterTabsNotifier(IDispatch* notifier, LONG& registrationId) = 0;
    virtual void UnregisterTabsNotifier(LONG registrationId) = 0;
    virtual HRESULT TabList(VARIANT* result) = 0;
    virtual HRESULT TabIsActive(LONG tabId, bool& active) = 0;
    virtual HRESULT TabIsLoading(LONG tabId, bool& loading) = 0;
    virtual HRESULT TabUrl(LONG tabId, std::wstring& url) = 0;
    virtual HRESULT NavigateTab(LONG tabId, const std::wstring& url) = 0;
    virtual HRESULT ActivateTab(LONG tabId) = 0;
    virtual HRESULT TabRectangle(LONG tabId, RECT& rectangle) = 0;
    // Browser service.
    virtual HRESULT RegisterBrowserEvents(const std::wstring& libraryPath, IDispatch* notifier,
                                          LONG& registrationId) = 0;
    virtual void EnableBrowserEvents(LONG registrationId, bool enable) = 0;
    virtual HRESULT BrowserKey(LONG tabId, std::wstring& key) = 0;
    virtual HRESULT QuickBrowserForKey(const std::wstring& key, Microsoft::WRL::ComPtr<IDispatch>& quickBrowser) = 0;
    // Quick browser.
    virtual void OptionReceived(LONG tabId, const std::wstring& key, const VARIANT& value) = 0;

protected:
    ~StandinServiceHost() = default;
};

class StandinLink
{
public:
    explicit StandinLink(StandinServiceHost* host) : host_(host) {}
    StandinLink(const StandinLink&) = delete;
    StandinLink& operator=(const StandinLink&) = delete;

    // Holds the gate open for one call; Host() is null once it is closed.
    class Pass
    {
    public:
        explicit Pass(StandinLink& link) : link_(link) { AcquireSRWLockShared(&link_.lock_); }
        ~Pass() { ReleaseSRWLockShared(&link_.lock_); }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        StandinServiceHost* Host() const { return link_.host_; }

    private:
        StandinLink& link_;
    };

    // Waits for the calls in progress, then refuses every later one.
    void Close()
    {
        AcquireSRWLockExclusive(&lock_);
        host_ = nullptr;
        ReleaseSRWLockExclusive(&lock_);
    }

    CallRules& Rules(StandinService service) { return rules_[static_cast<size_t>(service)]; }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    StandinServiceHost* host_;
    std::array<CallRules, kStandinServiceCount> rules_;
};

using LinkPtr = std::shared_ptr<StandinLink>;

} // namespace chrome_standin
