#pragma once
#include <windows.h>

namespace ovComHelp_EXP {

// Time-out in milliseconds for a call run on another window's thread. The
// renderer call time-out option updates it.
DWORD GetWindowThreadCallTimeout() noexcept;
void SetWindowThreadCallTimeout(DWORD milliseconds) noexcept;

} // namespace ovComHelp_EXP
