#pragma once
// The engine's side of a DOM event subscription, in tests: records every
// OnEvent (DISPID 1, the cookie as VT_UI8) and may act on each; events arrive
// on another thread.
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <mutex>
#include <vector>

#include "platform/com/ComObject.h"

namespace testsupport {

class RecordingListener : public vx::com::ComObject<RecordingListener, IDispatch>
{
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        if (member != 1 || !params || params->cArgs != 1 || V_VT(&params->rgvarg[0]) != VT_UI8)
            return DISP_E_MEMBERNOTFOUND;
        const ULONGLONG cookie = V_UI8(&params->rgvarg[0]);
        {
            std::lock_guard<std::mutex> hold(mutex_);
            heard_.push_back(cookie);
        }
        if (onEvent)
            onEvent(cookie);
        return S_OK;
    }
    std::vector<ULONGLONG> Heard()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return heard_;
    }
    // Waits (at most five seconds) until `count` events were heard.
    bool WaitForEvents(size_t count)
    {
        for (int i = 0; i < 500 && Heard().size() < count; ++i)
            Sleep(10);
        return Heard().size() >= count;
    }
    std::function<void(ULONGLONG)> onEvent;

private:
    std::mutex mutex_;
    std::vector<ULONGLONG> heard_;
};

} // namespace testsupport
