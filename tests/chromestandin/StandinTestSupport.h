#pragma once
// Helpers for driving the stand-in through plain IDispatch calls: calls by
// DISPID with arguments in call order, and a notifier that records what it is
// told and lets a test wait for it.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "DispatchBase.h"
#include "platform/com/Variant.h"

namespace standin_tests {

// COM for the test thread (multi-threaded apartment), for one scope.
class ComScope
{
public:
    ComScope() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~ComScope() { CoUninitialize(); }
};

// Argument values for Call, in call order.
vx::com::Variant Long(LONG value);
vx::com::Variant Bool(bool value);
vx::com::Variant String(const wchar_t* value);
vx::com::Variant Object(IDispatch* value);

HRESULT Call(IDispatch* target, DISPID member, std::initializer_list<const vx::com::Variant*> arguments,
             vx::com::Variant* result = nullptr);

// Elements of a VT_ARRAY|VT_VARIANT record (empty when it is not one).
std::vector<vx::com::Variant> Elements(const VARIANT& record);

struct Notification
{
    DISPID member = 0;
    LONG tabId = 0;       // record's id, or the OnTabRemoved argument
    bool loading = false; // from a record
    std::wstring text;    // a record's URL, or the OnRemoveBrowser key
};

class RecordingNotifier : public chrome_standin::DispatchObject<RecordingNotifier>
{
public:
    STDMETHODIMP Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

    // Waits until at least `count` notifications arrived; all of them.
    std::vector<Notification> WaitFor(size_t count, DWORD timeoutMs = 5000);
    std::vector<Notification> Received();
    // The thread the last notification came on.
    DWORD LastThread();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Notification> received_;
    DWORD lastThread_ = 0;
};

Microsoft::WRL::ComPtr<RecordingNotifier> MakeNotifier();

} // namespace standin_tests
