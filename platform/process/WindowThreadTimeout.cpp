#include "platform/process/WindowThreadTimeout.h"

namespace ovComHelp_EXP {
namespace {
LONG windowThreadCallTimeout = 3000;
}

DWORD GetWindowThreadCallTimeout() noexcept
{
    return static_cast<DWORD>(InterlockedCompareExchange(&windowThreadCallTimeout, 0, 0));
}

void SetWindowThreadCallTimeout(DWORD milliseconds) noexcept
{
    InterlockedExchange(&windowThreadCallTimeout, static_cast<LONG>(milliseconds));
}

} // namespace ovComHelp_EXP
