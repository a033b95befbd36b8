#pragma once
// Running a child program in tests: its own command line and environment,
// its standard output captured, a time-out so a hung child fails the test
// instead of hanging it.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct ChildResult
{
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::string output; // standard output and standard error, in order

    // Lines of the output, without line ends.
    std::vector<std::string> Lines() const;
    // Lines that start with `prefix`, with the prefix cut off.
    std::vector<std::string> Values(const std::string& prefix) const;
    // The first such value, or "<missing>".
    std::string Value(const std::string& prefix) const;
    bool Contains(const std::string& text) const { return output.find(text) != std::string::npos; }
};

struct ChildOptions
{
    // Variables set in the child's environment, and variables removed from it
    // (names compare case-insensitively, as Windows does).
    std::map<std::wstring, std::wstring> setEnvironment;
    std::vector<std::wstring> removeEnvironment;
    DWORD timeoutMs = 30000;
};

// Runs `commandLine` (program path first, quoted as needed) and waits.
ChildResult RunChild(const std::wstring& commandLine, const ChildOptions& options = {});

// The folder of the running test program, and paths next to it.
std::wstring ExecutableDirectory();
std::wstring ParentDirectory(const std::wstring& path);
std::wstring Quote(const std::wstring& argument);

// A fresh empty folder under the temporary folder, removed with its content
// when the object goes.
class TempDirectory
{
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

bool CopyFileTo(const std::wstring& from, const std::wstring& to);
bool MakeDirectory(const std::wstring& path);
std::string Narrow(const std::wstring& text);

} // namespace testsupport
