// Call helpers and the recording notifier for the stand-in tests.
#include "StandinTestSupport.h"

#include <chrono>

using Microsoft::WRL::ComPtr;
using vx::com::Variant;

namespace standin_tests {

Variant Long(LONG value)
{
    Variant v;
    V_VT(v.Get()) = VT_I4;
    V_I4(v.Get()) = value;
    return v;
}

Variant Bool(bool value)
{
    Variant v;
    V_VT(v.Get()) = VT_BOOL;
    V_BOOL(v.Get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant String(const wchar_t* value)
{
    Variant v;
    V_VT(v.Get()) = VT_BSTR;
    V_BSTR(v.Get()) = SysAllocString(value);
    return v;
}

Variant Object(IDispatch* value)
{
    Variant v;
    chrome_standin::ReturnDispatch(v.Get(), value);
    return v;
}

HRESULT Call(IDispatch* target, DISPID member, std::initializer_list<const Variant*> arguments, Variant* result)
{
    std::vector<VARIANT> reversed(arguments.size());
    size_t i = arguments.size();
    for (const Variant* argument : arguments)
        reversed[--i] = **argument; // borrowed: the callee does not free [in] values
    DISPPARAMS parameters = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()),
                             0};
    Variant ignored;
    return target->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                          result ? result->Out() : ignored.Out(), nullptr, nullptr);
}

std::vector<Variant> Elements(const VARIANT& record)
{
    std::vector<Variant> elements;
    if (V_VT(&record) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&record))
        return elements;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(V_ARRAY(&record), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(&record), 1, &upper);
    for (LONG index = lower; index <= upper; ++index) {
        Variant element;
        SafeArrayGetElement(V_ARRAY(&record), &index, element.Out());
        elements.push_back(std::move(element));
    }
    return elements;
}

STDMETHODIMP RecordingNotifier::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                       EXCEPINFO*, UINT*)
{
    if (result)
        VariantInit(result);
    Notification notification;
    notification.member = member;
    if (parameters && parameters->cArgs == 1) {
        const VARIANT& argument = parameters->rgvarg[0];
        if (V_VT(&argument) == VT_I4) {
            notification.tabId = V_I4(&argument);
        } else if (V_VT(&argument) == VT_BSTR) {
            notification.text = V_BSTR(&argument);
        } else {
            std::vector<Variant> elements = Elements(argument);
            if (elements.size() == 3 && elements[0].Type() == VT_I4 && elements[1].Type() == VT_BOOL &&
                elements[2].Type() == VT_BSTR) {
                notification.tabId = V_I4(elements[0].Get());
                notification.loading = V_BOOL(elements[1].Get()) != VARIANT_FALSE;
                notification.text = V_BSTR(elements[2].Get());
            } else {
                notification.text = L"<malformed>";
            }
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(notification);
    lastThread_ = GetCurrentThreadId();
    arrived_.notify_all();
    return S_OK;
}

std::vector<Notification> RecordingNotifier::WaitFor(size_t count, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return received_.size() >= count; });
    return received_;
}

std::vector<Notification> RecordingNotifier::Received()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

DWORD RecordingNotifier::LastThread()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastThread_;
}

ComPtr<RecordingNotifier> MakeNotifier()
{
    ComPtr<RecordingNotifier> notifier;
    chrome_standin::CreateDispatchObject(notifier);
    return notifier;
}

} // namespace standin_tests
