#include "InvokerThread.h"

using vx::com::UniqueHandle;

namespace comhelp_standin {
namespace {

const UINT kRunRequest = WM_APP + 1;

struct Request
{
    OV_INVOKE_PROC function;
    void* userData;
    bool ran = false;
    UniqueHandle done;
};

struct StartInfo
{
    COINIT apartment;
    HANDLE ready;
    HMODULE module;
};

// Waits while servicing COM calls, so that a single-threaded caller can take
// calls back into its apartment meanwhile. Returns the signalled index.
DWORD WaitServicingCalls(HANDLE* handles, DWORD count)
{
    DWORD index = 0;
    HRESULT hr = CoWaitForMultipleHandles(0, INFINITE, count, handles, &index);
    if (hr == S_OK)
        return index;
    return WaitForMultipleObjects(count, handles, FALSE, INFINITE) - WAIT_OBJECT_0;
}

void Complete(Request* request, bool run)
{
    if (run) {
        request->function(request->userData);
        request->ran = true;
    }
    SetEvent(request->done.Get());
}

} // namespace

HRESULT InvokerThread::FinalConstruct()
{
    HRESULT hr = ComObject::FinalConstruct();
    if (FAILED(hr))
        return hr;
    // The thread keeps the DLL loaded until its last instruction.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ThreadMain), &module))
        return HRESULT_FROM_WIN32(GetLastError());
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    StartInfo* start = new (std::nothrow) StartInfo{apartment_, ready.Get(), module};
    if (!ready || !start) {
        delete start;
        FreeLibrary(module);
        return E_OUTOFMEMORY;
    }
    thread_.Reset(CreateThread(nullptr, 0, ThreadMain, start, 0, &threadId_));
    if (!thread_) {
        delete start;
        FreeLibrary(module);
        return HRESULT_FROM_WIN32(GetLastError());
    }
    HANDLE waitFor[2] = {ready.Get(), thread_.Get()};
    if (WaitForMultipleObjects(2, waitFor, FALSE, INFINITE) != WAIT_OBJECT_0)
        return E_FAIL;
    return S_OK;
}

InvokerThread::~InvokerThread()
{
    if (threadId_)
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
}

DWORD WINAPI InvokerThread::ThreadMain(void* parameter)
{
    StartInfo start = *static_cast<StartInfo*>(parameter);
    delete static_cast<StartInfo*>(parameter);
    HRESULT initialized = CoInitializeEx(nullptr, start.apartment);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // creates the message queue
    SetEvent(start.ready);

    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == kRunRequest) {
            Complete(reinterpret_cast<Request*>(message.lParam), true);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // Requests still queued are answered as not run.
    while (PeekMessageW(&message, nullptr, kRunRequest, kRunRequest, PM_REMOVE))
        Complete(reinterpret_cast<Request*>(message.lParam), false);
    if (SUCCEEDED(initialized))
        CoUninitialize();
    FreeLibraryAndExitThread(start.module, 0);
}

STDMETHODIMP InvokerThread::Invoke(OV_INVOKE_PROC function, void* userData)
{
    if (!function)
        return E_POINTER;
    if (GetCurrentThreadId() == threadId_) {
        function(userData);
        return S_OK;
    }
    Request request{function, userData};
    request.done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!request.done)
        return HRESULT_FROM_WIN32(GetLastError());
    if (!PostThreadMessageW(threadId_, kRunRequest, 0, reinterpret_cast<LPARAM>(&request)))
        return E_FAIL;
    HANDLE waitFor[2] = {request.done.Get(), thread_.Get()};
    DWORD waited = WaitServicingCalls(waitFor, 2);
    if (waited != 0 && WaitForSingleObject(request.done.Get(), 0) != WAIT_OBJECT_0)
        return E_FAIL; // the thread ended before taking the request
    return request.ran ? S_OK : E_ABORT;
}

} // namespace comhelp_standin
