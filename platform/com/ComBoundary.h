#pragma once
#include <windows.h>

#include <new>

// Every COM method the library implements is an exception boundary: its
// callers (the host, Chrome, COM's own stubs) know nothing of C++, so no C++
// exception may unwind into them. Methods are declared noexcept and written
// as function-try-blocks whose handler is one of the macros below:
//
//     HRESULT CFoo::Bar(BSTR name) noexcept
//     try {
//         ...
//     }
//     VX_COM_CATCH
//
// tools/com-boundaries.py checks that no COM method is left out.

namespace vx::com {

// The HRESULT for the exception being handled: E_OUTOFMEMORY for a failed
// allocation, E_UNEXPECTED for anything else. Call only inside a handler.
inline HRESULT CurrentExceptionToHResult() noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Runs `body` (returning an HRESULT) and turns a C++ exception escaping it
// into the HRESULT above: for callbacks and bodies that are not whole
// methods.
template <class Body>
HRESULT CallAsBoundary(Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return CurrentExceptionToHResult();
    }
}

} // namespace vx::com

// Handler of a COM method returning HRESULT.
#define VX_COM_CATCH                                                                                                   \
    catch (...)                                                                                                        \
    {                                                                                                                  \
        return ::vx::com::CurrentExceptionToHResult();                                                                 \
    }

// Handler of a COM method returning something else: `value` is its failure.
#define VX_COM_CATCH_RETURN(value)                                                                                     \
    catch (...)                                                                                                        \
    {                                                                                                                  \
        return value;                                                                                                  \
    }

// Handler of a COM method returning nothing: the failure is dropped.
#define VX_COM_CATCH_VOID                                                                                              \
    catch (...) {}
