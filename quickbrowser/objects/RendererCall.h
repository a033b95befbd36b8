#pragma once
// Runs a piece of DOM work on the renderer's main thread and waits for it:
// the work and what it reads and writes stay on the caller's stack (the
// native object runs a call it accepted to its end before it answers), the
// accessor is held for the call, and COM error information that the work
// raised on the renderer thread is set again on the calling thread. A C++
// exception inside the work ends it with E_OUTOFMEMORY or E_UNEXPECTED on
// the renderer thread; it never crosses the native object.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <new>
#include <type_traits>

#include "quickbrowser/accessor/RawBrowserHelper.h"
#include "webfw/NativeModel/NodeHandle.h"

namespace vxCrQuickBrowser {

namespace detail {

template <class Work>
struct RendererCallRecord
{
    Work* work = nullptr;
    Microsoft::WRL::ComPtr<IErrorInfo> errorInfo; // the renderer thread's, on failure
};

template <class Work>
HRESULT __stdcall RunRecordedWork(void* context)
{
    auto& record = *static_cast<RendererCallRecord<Work>*>(context);
    HRESULT hr = E_UNEXPECTED;
    try {
        hr = (*record.work)();
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    if (FAILED(hr)) {
        IErrorInfo* info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK && info)
            record.errorInfo.Attach(info);
    }
    return hr;
}

} // namespace detail

// `work` is a callable returning HRESULT; its result (or the failure of the
// native object's call, such as its time-out) is returned.
template <class Work>
HRESULT RunOnRenderer(CCrRawBrowserHelper* accessor, Work&& work)
{
    if (!accessor)
        return E_POINTER;
    using WorkType = std::remove_reference_t<Work>;
    Microsoft::WRL::ComPtr<CCrRawBrowserHelper> held(accessor);
    detail::RendererCallRecord<WorkType> record;
    record.work = &work;
    HRESULT hr = accessor->RunOnRendererThread(&detail::RunRecordedWork<WorkType>, &record);
    if (FAILED(hr) && record.errorInfo)
        SetErrorInfo(0, record.errorInfo.Get());
    return hr;
}

// Gives an object's own node handle back as the object goes, on the renderer
// thread, after `alsoThere` (what else the object gives back there). A
// renderer that does not take the call keeps the handle: giving it back from
// this thread would touch the DOM off its thread.
template <class AlsoThere>
void GiveBackOnRenderer(CCrRawBrowserHelper* accessor, vxWebFw::NodeHandle& node, AlsoThere&& alsoThere) noexcept
{
    if (!node || !accessor)
        return;
    RunOnRenderer(accessor, [&]() noexcept {
        alsoThere();
        node.Reset();
        return S_OK;
    });
    node.Detach();
}

} // namespace vxCrQuickBrowser
