#include "InteractiveChild.h"

#include <cstdio>
#include <string>
#include <vector>

using vx::com::UniqueHandle;

namespace rendezvous_tests {
namespace {

std::wstring EnvironmentWith(const std::map<std::wstring, std::wstring>& additions)
{
    std::map<std::wstring, std::wstring> variables;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        size_t eq = entry.find(L'=', 1);
        if (eq != std::wstring::npos)
            variables[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsW(block);
    for (const auto& [name, value] : additions)
        variables[name] = value;
    std::wstring result;
    for (const auto& [name, value] : variables) {
        result += name + L"=" + value;
        result.push_back(L'\0');
    }
    result.push_back(L'\0');
    return result;
}

std::wstring ExecutableDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/"));
}

} // namespace

std::wstring ProgramPath(const wchar_t* name)
{
    return ExecutableDirectory() + L"\\" + name;
}

std::wstring LayoutDirectory()
{
    std::wstring bin = ExecutableDirectory();
    return bin.substr(0, bin.find_last_of(L"\\/")) + L"\\layout";
}

InteractiveChild::InteractiveChild(const std::wstring& commandLine,
                                   const std::map<std::wstring, std::wstring>& environment)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) {
        startFailure_ = "CreatePipe: error " + std::to_string(GetLastError());
        return;
    }
    UniqueHandle childInput(inRead);
    input_.Reset(inWrite);
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) {
        startFailure_ = "CreatePipe: error " + std::to_string(GetLastError());
        return;
    }
    UniqueHandle childOutput(outWrite);
    output_.Reset(outRead);
    SetHandleInformation(input_.Get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput.Get();
    startup.hStdOutput = childOutput.Get();
    startup.hStdError = childOutput.Get();
    PROCESS_INFORMATION info = {};
    std::wstring line = commandLine;
    std::wstring block = EnvironmentWith(environment);
    // A start has failed once under a loaded Wine (in a cold run of the
    // whole suite): a failed start is tried again once, and each failure is
    // shown with its error code.
    for (int attempt = 0; !CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                          block.data(), nullptr, &startup, &info);
         ++attempt) {
        startFailure_ = "CreateProcessW: error " + std::to_string(GetLastError());
        std::fprintf(stderr, "starting a test child: %s\n", startFailure_.c_str());
        if (attempt == 1)
            return;
        Sleep(500);
        line = commandLine; // CreateProcessW may have written into it
    }
    process_.Reset(info.hProcess);
    CloseHandle(info.hThread);
    processId_ = info.dwProcessId;

    // The reader polls instead of reading to the pipe's end: a process the
    // child starts may inherit the pipe and keep it open after the child has
    // gone, and a blocked read would then never return.
    reader_ = std::thread([this] {
        std::string pending;
        char buffer[1024];
        bool childGone = false;
        for (;;) {
            DWORD available = 0;
            DWORD got = 0;
            if (PeekNamedPipe(output_.Get(), nullptr, 0, nullptr, &available, nullptr)) {
                if (available == 0) {
                    if (childGone || stop_)
                        break;
                    childGone = WaitForSingleObject(process_.Get(), 5) == WAIT_OBJECT_0;
                    continue; // one more look at the pipe after the child ended
                }
                if (!ReadFile(output_.Get(), buffer, available < sizeof buffer ? available : sizeof buffer, &got,
                              nullptr) ||
                    got == 0)
                    break;
            } else if (!ReadFile(output_.Get(), buffer, sizeof buffer, &got, nullptr) || got == 0) {
                // Every writer is gone (Wine says so before the pipe is
                // empty); the rest reads without blocking until it is.
                break;
            }
            pending.append(buffer, got);
            size_t end;
            while ((end = pending.find('\n')) != std::string::npos) {
                std::string text = pending.substr(0, end);
                if (!text.empty() && text.back() == '\r')
                    text.pop_back();
                pending.erase(0, end + 1);
                std::lock_guard<std::mutex> guard(mutex_);
                lines_.push_back(text);
                arrived_.notify_all();
            }
        }
        std::lock_guard<std::mutex> guard(mutex_);
        ended_ = true;
        arrived_.notify_all();
    });
}

InteractiveChild::~InteractiveChild()
{
    if (process_) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 5000);
    }
    // The reader ends once the process has gone and the pipe is drained.
    stop_ = true;
    if (reader_.joinable())
        reader_.join();
}

void InteractiveChild::Send(const std::string& line)
{
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(input_.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string InteractiveChild::WaitFor(const std::string& prefix, DWORD timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (!lines_.empty()) {
            std::string text = std::move(lines_.front());
            lines_.pop_front();
            if (text.compare(0, prefix.size(), prefix) == 0)
                return text.substr(prefix.size());
        }
        if (ended_)
            return "<ended>";
        if (arrived_.wait_until(lock, deadline) == std::cv_status::timeout && lines_.empty())
            return "<timeout>";
    }
}

bool InteractiveChild::Kill()
{
    if (!process_)
        return true;
    TerminateProcess(process_.Get(), 98);
    // Waits until the process has really ended: a test that calls into a
    // killed server must not race the end of that server (a process that is
    // still being torn down, slow on a new Wine prefix, can keep a call).
    return WaitForSingleObject(process_.Get(), 60000) == WAIT_OBJECT_0;
}

DWORD InteractiveChild::Finish(DWORD timeoutMs)
{
    input_.Reset();
    if (!process_)
        return MAXDWORD;
    if (WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(process_.Get(), 97);
    DWORD code = MAXDWORD;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

} // namespace rendezvous_tests
