#pragma once
#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

#include "openapphook/FatalErrorReport.h"

namespace vxOpenAppHook {

// The guarded operation as the non-template core sees it.
using GuardedOperation = HRESULT (*)(void* context) noexcept;

// Runs `operation(context)` on the calling thread under the structured-
// exception guard. A hardware or system exception raised inside it (access
// violation, in-page error, integer or floating-point fault, illegal or
// privileged instruction, misalignment, array bounds, stack overflow,
// non-continuable exception) abandons the operation: the frames between the
// fault and the guard are left without running their destructors, one error
// report naming `operationId` goes to the event log, and the result is
// E_UNEXPECTED. Guards nest (the innermost one catches) and every thread has
// its own.
//
// The guard sees such exceptions before any handler inside the operation
// does, so code inside must not rely on catching hardware faults itself.
// Other exceptions (C++ exceptions, debugger output, RPC and COM exceptions
// that the system raises and handles itself) pass through untouched.
HRESULT RunGuardedCore(const wchar_t* operationId, GuardedOperation operation, void* context) noexcept;

namespace detail {

template <class Body>
HRESULT InvokeGuardedBody(void* context) noexcept
{
    auto& body = *static_cast<std::remove_reference_t<Body>*>(context);
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            return S_OK;
        } else {
            return static_cast<HRESULT>(body());
        }
    } catch (...) {
        // C++ exceptions never leave an operation reachable from outside.
        return E_UNEXPECTED;
    }
}

} // namespace detail

// Runs an operation reachable from outside the library under the guard
// (see RunGuardedCore). `operationId` names the operation in failure
// reports (a GUID string). The body returns an HRESULT (or nothing, which
// counts as S_OK); a C++ exception escaping it becomes E_UNEXPECTED.
template <class Body>
HRESULT RunGuarded(const wchar_t* operationId, Body&& body) noexcept
{
    void* context = const_cast<void*>(static_cast<const volatile void*>(std::addressof(body)));
    return RunGuardedCore(operationId, &detail::InvokeGuardedBody<Body>, context);
}

// Number of guards active on the calling thread (0 outside any guard).
unsigned ActiveGuardDepth() noexcept;

} // namespace vxOpenAppHook
