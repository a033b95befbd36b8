#pragma once
// Stands in for the browser module as the callback of the service objects:
// records every call it gets.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "generated/vxCrHook.h"
#include "platform/com/ComObject.h"

namespace browser_services_tests {

struct CallbackCall
{
    std::string kind; // "created", "removed", "updated", "browser-removed"
    LONG tabId = 0;
    bool loading = false;
    std::wstring text; // URL or browser key
};

class RecordingCallback
    : public vx::com::ComObject<RecordingCallback, IvxCrTabsServiceRemoteCallback, IvxCrBrowserServiceRemoteCallback>
{
public:
    HRESULT STDMETHODCALLTYPE OnTabCreated(LONG tabId, VARIANT_BOOL loading, BSTR url) override
    {
        return Record({"created", tabId, loading != VARIANT_FALSE, Text(url)});
    }
    HRESULT STDMETHODCALLTYPE OnTabRemoved(LONG tabId) override { return Record({"removed", tabId, false, {}}); }
    HRESULT STDMETHODCALLTYPE OnTabUpdated(LONG tabId, VARIANT_BOOL loading, BSTR url) override
    {
        return Record({"updated", tabId, loading != VARIANT_FALSE, Text(url)});
    }
    HRESULT STDMETHODCALLTYPE OnBrowserServiceEvent() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnRemoveBrowser(BSTR key) override
    {
        return Record({"browser-removed", 0, false, Text(key)});
    }

    std::vector<CallbackCall> Calls()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return calls_;
    }

private:
    static std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }
    HRESULT Record(CallbackCall call)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        calls_.push_back(std::move(call));
        return S_OK;
    }

    std::mutex mutex_;
    std::vector<CallbackCall> calls_;
};

} // namespace browser_services_tests
