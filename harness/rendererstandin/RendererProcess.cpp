#include "harness/rendererstandin/RendererProcess.h"

#include <chrono>
#include <cstdio>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace harness {

HRESULT MarshalToText(IUnknown* object, REFIID iid, std::string& text)
{
    text.clear();
    ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr))
        return hr;
    // Marshalled as for another process: the library's objects aggregate the
    // free-threaded marshaler, which would otherwise hand out raw pointers.
    hr = CoMarshalInterface(stream.Get(), iid, object, MSHCTX_LOCAL, nullptr, MSHLFLAGS_NORMAL);
    if (FAILED(hr))
        return hr;
    HGLOBAL memory = nullptr;
    hr = GetHGlobalFromStream(stream.Get(), &memory);
    if (FAILED(hr))
        return hr;
    ULARGE_INTEGER size = {};
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_CUR, &size);
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(memory));
    char hex[3];
    for (ULONGLONG i = 0; i < size.QuadPart; ++i) {
        snprintf(hex, sizeof hex, "%02x", bytes[i]);
        text += hex;
    }
    GlobalUnlock(memory);
    return S_OK;
}

HRESULT UnmarshalFromText(const std::string& text, REFIID iid, void** object)
{
    *object = nullptr;
    if (text.size() % 2 != 0)
        return E_INVALIDARG;
    std::vector<unsigned char> bytes(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr))
        return hr;
    hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    if (FAILED(hr))
        return hr;
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    return CoUnmarshalInterface(stream.Get(), iid, object);
}

namespace {

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

} // namespace

HRESULT RendererProcess::Start(const std::wstring& page, ULONG browserWindow,
                               std::unique_ptr<RendererProcess>& process, ComPtr<IDispatch>& quickBrowser,
                               DWORD timeoutMs)
{
    process.reset();
    quickBrowser.Reset();
    std::unique_ptr<RendererProcess> started(new RendererProcess());
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE childInput = nullptr, childOutput = nullptr;
    if (!CreatePipe(&childInput, &started->input_, &inherit, 0))
        return HRESULT_FROM_WIN32(GetLastError());
    if (!CreatePipe(&started->output_, &childOutput, &inherit, 0)) {
        CloseHandle(childInput);
        return HRESULT_FROM_WIN32(GetLastError());
    }
    SetHandleInformation(started->input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(started->output_, HANDLE_FLAG_INHERIT, 0);

    // The renderer's own Chrome switches come first, as Chrome passes them.
    const std::wstring livePrefix = L"live:";
    const std::wstring pageOption = page.rfind(livePrefix, 0) == 0
                                        ? L"--vxrenderer-live=" + page.substr(livePrefix.size())
                                        : L"--vxrenderer-snapshot=" + page;
    std::wstring commandLine = L"\"" + ProgramFolder() +
                               L"vxrendererstandin.exe\" --type=renderer --channel=1.2.3 \"" + pageOption +
                               L"\" --vxrenderer-window=" + std::to_wstring(browserWindow);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = childOutput;
    PROCESS_INFORMATION info = {};
    const BOOL created = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &info);
    const DWORD error = GetLastError();
    CloseHandle(childInput);
    CloseHandle(childOutput);
    if (!created)
        return HRESULT_FROM_WIN32(error);
    CloseHandle(info.hThread);
    started->process_ = info.hProcess;
    started->processId_ = info.dwProcessId;
    started->reader_ = CreateThread(nullptr, 0, &RendererProcess::ReaderMain, started.get(), 0, nullptr);
    if (!started->reader_)
        return HRESULT_FROM_WIN32(GetLastError());

    std::string line;
    while (started->NextLine(line, timeoutMs)) {
        if (line.rfind("ready ", 0) != 0)
            continue; // the library's own output
        const std::string text = line.substr(line.find(' ', 6) + 1);
        HRESULT hr = UnmarshalFromText(text, IID_IDispatch, reinterpret_cast<void**>(quickBrowser.GetAddressOf()));
        if (FAILED(hr))
            return hr;
        process = std::move(started);
        return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
}

DWORD WINAPI RendererProcess::ReaderMain(void* self)
{
    static_cast<RendererProcess*>(self)->ReadLines();
    return 0;
}

void RendererProcess::ReadLines()
{
    std::string pending;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(output_, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        pending.append(buffer, read);
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            pending.erase(0, end + 1);
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(std::move(line));
            arrived_.notify_all();
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    ended_ = true;
    arrived_.notify_all();
}

bool RendererProcess::NextLine(std::string& line, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !lines_.empty() || ended_; }))
        return false;
    if (lines_.empty())
        return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    return true;
}

HRESULT RendererProcess::Command(const std::string& command, std::string& answer, DWORD timeoutMs)
{
    answer.clear();
    const std::string line = command + "\n";
    DWORD written = 0;
    if (!WriteFile(input_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return E_FAIL;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs)
            return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        if (!NextLine(answer, timeoutMs - spent)) {
            std::lock_guard<std::mutex> lock(mutex_);
            return ended_ ? E_FAIL : HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        }
        if (answer.rfind("ok", 0) == 0 || answer.rfind("error", 0) == 0)
            return S_OK;
    }
}

void RendererProcess::Kill()
{
    if (process_) {
        TerminateProcess(process_, 9);
        WaitForSingleObject(process_, 10000);
    }
}

RendererProcess::~RendererProcess()
{
    if (input_) {
        DWORD written = 0;
        WriteFile(input_, "quit\n", 5, &written, nullptr);
        CloseHandle(input_);
    }
    if (process_ && WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0)
        Kill();
    // The process is gone; a process it started may still hold its end of
    // the pipe, so a read that does not end by itself is cancelled.
    if (reader_) {
        if (WaitForSingleObject(reader_, 2000) != WAIT_OBJECT_0) {
            CancelSynchronousIo(reader_);
            WaitForSingleObject(reader_, 10000);
        }
        CloseHandle(reader_);
    }
    if (output_)
        CloseHandle(output_);
    if (process_)
        CloseHandle(process_);
}

} // namespace harness
