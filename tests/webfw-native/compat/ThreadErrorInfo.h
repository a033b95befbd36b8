#pragma once
// The native build's stand-in for COM error information: what
// BaseOV::SetThreadErrorInfo publishes is kept per thread until the thread
// takes it, as GetErrorInfo takes the thread's error object.
#include <string>

#include <windows.h>

namespace vxcompat {

struct ThreadErrorInfo
{
    std::wstring description;
    std::wstring source;
    DWORD helpContext = 0;
};

// S_OK with the information (and the thread's slot emptied), or S_FALSE when
// none was published since the last take.
HRESULT TakeThreadErrorInfo(ThreadErrorInfo& info);
// Empties the thread's slot, as SetErrorInfo(0, nullptr) does.
void ClearThreadErrorInfo();

} // namespace vxcompat
