#include "ChildProcess.h"

#include <shellapi.h>

#include <cstdio>

#include "platform/com/UniqueHandle.h"

namespace testsupport {

using vx::com::UniqueHandle;

std::vector<std::string> ChildResult::Lines() const
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> ChildResult::Values(const std::string& prefix) const
{
    std::vector<std::string> values;
    for (const std::string& line : Lines())
        if (line.compare(0, prefix.size(), prefix) == 0)
            values.push_back(line.substr(prefix.size()));
    return values;
}

std::string ChildResult::Value(const std::string& prefix) const
{
    std::vector<std::string> values = Values(prefix);
    return values.empty() ? "<missing>" : values.front();
}

namespace {

// The current environment with the requested changes, as a block for
// CreateProcessW.
std::wstring BuildEnvironment(const ChildOptions& options)
{
    std::map<std::wstring, std::wstring> variables;
    std::map<std::wstring, std::wstring> upperToName;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        size_t eq = entry.find(L'=', 1);
        if (eq == std::wstring::npos)
            continue;
        variables[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsW(block);
    auto erase = [&](const std::wstring& name) {
        for (auto it = variables.begin(); it != variables.end();) {
            if (_wcsicmp(it->first.c_str(), name.c_str()) == 0)
                it = variables.erase(it);
            else
                ++it;
        }
    };
    for (const std::wstring& name : options.removeEnvironment)
        erase(name);
    for (const auto& [name, value] : options.setEnvironment) {
        erase(name);
        variables[name] = value;
    }
    std::wstring result;
    for (const auto& [name, value] : variables) {
        result += name + L"=" + value;
        result.push_back(L'\0');
    }
    result.push_back(L'\0');
    return result;
}

} // namespace

namespace {

ChildResult RunChildOnce(const std::wstring& commandLine, const ChildOptions& options)
{
    ChildResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return result;
    UniqueHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.Get();
    startup.hStdError = writer.Get();
    startup.hStdInput = nullptr;
    PROCESS_INFORMATION info = {};
    std::wstring mutableLine = commandLine;
    std::wstring environment = BuildEnvironment(options);
    if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &startup, &info))
        return result;
    result.started = true;
    UniqueHandle process(info.hProcess), thread(info.hThread);
    writer.Reset();

    // Poll the pipe instead of reading to its end: a process the child starts
    // (Wine's desktop process, for one) may inherit the pipe and keep it open
    // long after the child has gone.
    const DWORD start = GetTickCount();
    auto drainAvailable = [&] {
        char buffer[4096];
        for (;;) {
            DWORD available = 0;
            DWORD got = 0;
            if (!PeekNamedPipe(reader.Get(), nullptr, 0, nullptr, &available, nullptr)) {
                // Every writer has closed: what is left can be read without
                // blocking (Wine reports the broken pipe before the pipe is
                // empty).
                while (ReadFile(reader.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
                    result.output.append(buffer, got);
                return;
            }
            if (available == 0)
                return;
            if (!ReadFile(reader.Get(), buffer, available < sizeof buffer ? available : sizeof buffer, &got, nullptr) ||
                got == 0)
                return;
            result.output.append(buffer, got);
        }
    };
    for (;;) {
        drainAvailable();
        if (WaitForSingleObject(process.Get(), 10) == WAIT_OBJECT_0)
            break;
        if (GetTickCount() - start > options.timeoutMs) {
            result.timedOut = true;
            TerminateProcess(process.Get(), 99);
            WaitForSingleObject(process.Get(), INFINITE);
            break;
        }
    }
    drainAvailable();
    GetExitCodeProcess(process.Get(), &result.exitCode);
    return result;
}

} // namespace

// Wine itself can, rarely and only under load, fail to start a process: it
// ends with an error status before the program's main runs, having written
// nothing. Such a start is tried once more (and said so); a child that wrote
// anything, or that failed after a moment, keeps its own result.
ChildResult RunChild(const std::wstring& commandLine, const ChildOptions& options)
{
    const DWORD start = GetTickCount();
    ChildResult result = RunChildOnce(commandLine, options);
    if (result.started && !result.timedOut && result.exitCode != 0 && result.output.empty() &&
        GetTickCount() - start < 1000) {
        fprintf(stderr, "[RunChild] the child ended with status %lu at once without any output; starting it again\n",
                static_cast<unsigned long>(result.exitCode));
        result = RunChildOnce(commandLine, options);
    }
    return result;
}

std::wstring ExecutableDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ParentDirectory(path);
}

std::wstring ParentDirectory(const std::wstring& path)
{
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

std::wstring Quote(const std::wstring& argument)
{
    return L"\"" + argument + L"\"";
}

TempDirectory::TempDirectory()
{
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"vxcr-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
        path_ = std::wstring(base) + name;
        if (CreateDirectoryW(path_.c_str(), nullptr))
            break;
    }
}

TempDirectory::~TempDirectory()
{
    // SHFileOperation wants a double-null-terminated list.
    std::wstring from = path_;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool MakeDirectory(const std::wstring& path)
{
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE || GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    int length =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), length, nullptr,
                        nullptr);
    return narrow;
}

} // namespace testsupport
