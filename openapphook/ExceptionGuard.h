#pragma once
#include <windows.h>

#include <exception>
#include <utility>

namespace vxOpenAppHook {

// Runs an operation reachable from outside the library. Whatever goes wrong
// inside never leaves it as an exception: the operation's result becomes
// E_UNEXPECTED. `operationId` names the operation in failure reports.
// (Hardware exceptions are caught by the structured-exception guard that
// replaces this body; until then only C++ exceptions are caught.)
template <class Body>
HRESULT RunGuarded(const wchar_t* operationId, Body&& body) noexcept
{
    (void)operationId;
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace vxOpenAppHook
