#pragma once
#include <windows.h>

namespace BaseOV {

// Publishes COM error information for the current thread (description,
// optional source, help context); the caller's next GetErrorInfo reads it.
HRESULT SetThreadErrorInfo(const wchar_t* description, const wchar_t* source, DWORD helpContext);

} // namespace BaseOV
