#pragma once
#include <string>

#include "ChildProcess.h"

// Runs the host stand-in with the given extra arguments (Chrome switches and
// --vxhost-* options). The product path variables are removed from the
// child's environment unless the options set them; PATH is a known value.
testsupport::ChildResult RunHookHost(const std::wstring& arguments, testsupport::ChildOptions options = {});

// The default test layout (<build>\layout) and its library.
std::wstring LayoutDirectory();
std::wstring LayoutLibrary();

// A known PATH for the child, so changes to it can be checked exactly.
extern const wchar_t KnownPath[];
