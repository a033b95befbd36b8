#pragma once
#include <string>
#include <vector>

// The process command line split into arguments the way Windows programs see
// them (CommandLineToArgvW). Argument 0 is the program path.
class CCommandLine
{
public:
    // Reads the current process's command line (ANSI, converted with the
    // process code page, as Chrome's own switches are plain ASCII).
    CCommandLine();
    // Splits the given text; used for other processes' command lines and tests.
    explicit CCommandLine(const std::wstring& text);

    const std::vector<std::wstring>& Arguments() const noexcept { return arguments_; }
    const std::wstring& Text() const noexcept { return text_; }

    // True when an argument other than the program path equals `name` as a
    // whole; "--switch=value" does not match "--switch".
    bool HasSwitch(const std::wstring& name, bool ignoreCase) const;
    // Value of the first argument (program path included) that starts with
    // "--" + name + "=" (case-insensitive).
    bool GetSwitchValue(const std::wstring& name, std::wstring& value) const;

private:
    void Split();

    std::wstring text_;
    std::vector<std::wstring> arguments_;
};
