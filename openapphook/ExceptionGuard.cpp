#include "openapphook/ExceptionGuard.h"

#include <float.h>

#include <cstdint>

namespace vxOpenAppHook {

// How the guard works
// -------------------
// Each active guard is a GuardFrame on the stack of its thread; the frames of
// one thread form a stack whose top lives in a TLS slot. A process-wide
// first vectored exception handler looks at every exception first. For the
// hardware and system codes below, raised on a thread with an active guard,
// it copies the exception record into the innermost frame and rewrites the
// thread context so that, when the system continues the thread, it calls
// ResumeAtGuard on a stack part that is no longer in use; ResumeAtGuard
// jumps back into RunGuardedCore with __builtin_longjmp, which restores the
// guard's own stack and registers.
//
// Everything else passes untouched: C++ exceptions (they are handled by the
// code that throws them and never reach this point as hardware faults),
// debugger output, breakpoints under a debugger, and the RPC and COM
// exceptions that marshalling code raises and catches itself. A vectored
// handler sees those before their own handlers do, so taking any of them
// would break the system code that relies on them; hardware faults, by
// contrast, are never part of normal operation in this library, so the guard
// takes them first. This works the same with table-based (x64) and
// DWARF-unwound (i686) code, and does not depend on unwind data of the code
// that faulted.

namespace {

struct GuardFrame
{
    void* jumpBuffer[5] = {};     // __builtin_setjmp buffer
    GuardFrame* outer = nullptr;  // next guard out on the same thread
    uintptr_t stackMark = 0;      // an address just below this guard's frame
    EXCEPTION_RECORD record = {}; // the exception that ended the operation
#if defined(__i386__)
    void* sehChain = nullptr; // the thread's frame-handler chain at entry
#endif
};

// Room kept between the guard's frame and the stack on which ResumeAtGuard
// runs after a deep fault (stack overflow included).
constexpr uintptr_t RecoveryStackMargin = 4096;

// SSE faults of several kinds at once come with these codes.
constexpr DWORD FloatMultipleFaults = 0xC00002B4;
constexpr DWORD FloatMultipleTraps = 0xC00002B5;

bool IsGuardedExceptionCode(DWORD code) noexcept
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:      // 0xC0000005
    case EXCEPTION_IN_PAGE_ERROR:         // 0xC0000006
    case EXCEPTION_DATATYPE_MISALIGNMENT: // 0x80000002
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: // 0xC000008C
    case EXCEPTION_FLT_DENORMAL_OPERAND:  // 0xC000008D
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:    // 0xC000008E
    case EXCEPTION_FLT_INEXACT_RESULT:    // 0xC000008F
    case EXCEPTION_FLT_INVALID_OPERATION: // 0xC0000090
    case EXCEPTION_FLT_OVERFLOW:          // 0xC0000091
    case EXCEPTION_FLT_STACK_CHECK:       // 0xC0000092
    case EXCEPTION_FLT_UNDERFLOW:         // 0xC0000093
    case FloatMultipleFaults:
    case FloatMultipleTraps:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:       // 0xC0000094
    case EXCEPTION_INT_OVERFLOW:             // 0xC0000095
    case EXCEPTION_PRIV_INSTRUCTION:         // 0xC0000096
    case EXCEPTION_ILLEGAL_INSTRUCTION:      // 0xC000001D
    case EXCEPTION_STACK_OVERFLOW:           // 0xC00000FD
    case EXCEPTION_NONCONTINUABLE_EXCEPTION: // 0xC0000025
    case EXCEPTION_INVALID_DISPOSITION:      // 0xC0000026
        return true;
    case EXCEPTION_BREAKPOINT: // 0x80000003
        // A breakpoint without a debugger would end the process.
        return !IsDebuggerPresent();
    default:
        return false;
    }
}

bool IsFloatingPointCode(DWORD code) noexcept
{
    return (code >= EXCEPTION_FLT_DENORMAL_OPERAND && code <= EXCEPTION_FLT_UNDERFLOW) || code == FloatMultipleFaults ||
           code == FloatMultipleTraps;
}

// The TLS slot that holds the innermost GuardFrame of each thread. A plain
// TLS slot (rather than a thread_local variable) is read without allocating,
// which matters inside the exception handler.
class GuardStackSlot
{
public:
    GuardStackSlot() noexcept : index_(TlsAlloc()) {}
    ~GuardStackSlot()
    {
        if (index_ != TLS_OUT_OF_INDEXES)
            TlsFree(index_);
    }
    GuardStackSlot(const GuardStackSlot&) = delete;
    GuardStackSlot& operator=(const GuardStackSlot&) = delete;

    bool Valid() const noexcept { return index_ != TLS_OUT_OF_INDEXES; }
    GuardFrame* Top() const noexcept { return static_cast<GuardFrame*>(TlsGetValue(index_)); }
    void SetTop(GuardFrame* frame) const noexcept { TlsSetValue(index_, frame); }

private:
    DWORD index_;
};

[[noreturn]] __attribute__((noinline)) void ResumeAtGuard(GuardFrame* frame) noexcept
{
    __builtin_longjmp(frame->jumpBuffer, 1);
}

// Sends the faulting thread to ResumeAtGuard when the system continues it.
void RedirectToGuard(CONTEXT& context, GuardFrame* frame) noexcept
{
#if defined(__x86_64__)
    uintptr_t faultStack = context.Rsp;
#elif defined(__i386__)
    uintptr_t faultStack = context.Esp;
#endif
    // The stack below the guard's frame is no longer in use. After a shallow
    // fault the stack pointer of the fault is a safe place (the system's
    // dispatcher already runs below it); after a deep one (a stack overflow
    // leaves nothing below it), a place near the guard is.
    uintptr_t stack = faultStack;
    if (frame->stackMark > RecoveryStackMargin && frame->stackMark - RecoveryStackMargin > faultStack)
        stack = frame->stackMark - RecoveryStackMargin;
    stack &= ~uintptr_t(15);
#if defined(__x86_64__)
    // As after a call: return address slot (never used) at a 16n+8 address.
    stack -= 8;
    *reinterpret_cast<uintptr_t*>(stack) = 0;
    context.Rsp = stack;
    context.Rcx = reinterpret_cast<uintptr_t>(frame);
    context.Rip = reinterpret_cast<uintptr_t>(&ResumeAtGuard);
#elif defined(__i386__)
    // cdecl: the argument at a 16-byte boundary, the return slot below it.
    *reinterpret_cast<uintptr_t*>(stack) = reinterpret_cast<uintptr_t>(frame);
    stack -= 4;
    *reinterpret_cast<uintptr_t*>(stack) = 0;
    context.Esp = stack;
    context.Eip = reinterpret_cast<uintptr_t>(&ResumeAtGuard);
#endif
    context.EFlags &= ~0x400u; // direction flag clear, as calls expect
}

const GuardStackSlot& GuardStack() noexcept;

LONG CALLBACK TakeGuardedExceptions(EXCEPTION_POINTERS* pointers) noexcept
{
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (!IsGuardedExceptionCode(record->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    // Looking at the slot must not change the thread's last error for code
    // that goes on after an exception the guard does not take.
    DWORD lastError = GetLastError();
    GuardFrame* frame = GuardStack().Top();
    SetLastError(lastError);
    if (!frame)
        return EXCEPTION_CONTINUE_SEARCH;
    frame->record = *record;
    frame->record.ExceptionRecord = nullptr; // it points into the dead stack part
    RedirectToGuard(*pointers->ContextRecord, frame);
    return EXCEPTION_CONTINUE_EXECUTION;
}

// The handler is registered once per process, on the first guarded call,
// and removed when the module unloads, before its code goes away.
class VectoredHandlerRegistration
{
public:
    VectoredHandlerRegistration() noexcept : handle_(AddVectoredExceptionHandler(1, &TakeGuardedExceptions)) {}
    ~VectoredHandlerRegistration()
    {
        if (handle_)
            RemoveVectoredExceptionHandler(handle_);
    }
    VectoredHandlerRegistration(const VectoredHandlerRegistration&) = delete;
    VectoredHandlerRegistration& operator=(const VectoredHandlerRegistration&) = delete;

    bool Valid() const noexcept { return handle_ != nullptr; }

private:
    void* handle_;
};

const GuardStackSlot& GuardStack() noexcept
{
    static const GuardStackSlot slot;
    return slot;
}

bool GuardReady() noexcept
{
    static const VectoredHandlerRegistration registration;
    return GuardStack().Valid() && registration.Valid();
}

// Re-arms the guard page the way Windows lays out a thread stack: reserved
// pages below the lowest committed page, which becomes the new guard page.
void RestoreStackGuardPageDirectly() noexcept
{
    MEMORY_BASIC_INFORMATION info{};
    char here = 0;
    if (!VirtualQuery(&here, &info, sizeof(info)))
        return;
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const uintptr_t pageSize = system.dwPageSize;
    const uintptr_t stackBase = reinterpret_cast<uintptr_t>(info.AllocationBase);
    uintptr_t address = stackBase;
    while (VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof(info)) &&
           reinterpret_cast<uintptr_t>(info.AllocationBase) == stackBase) {
        if (info.State == MEM_COMMIT)
            break;
        address += info.RegionSize;
    }
    if (info.State != MEM_COMMIT || (info.Protect & PAGE_GUARD))
        return;
    // The page the stack pointer is in, and the one below it, stay usable.
    const uintptr_t current = reinterpret_cast<uintptr_t>(&here) & ~(pageSize - 1);
    if (address + pageSize > current - pageSize)
        return;
    DWORD previous = 0;
    VirtualProtect(reinterpret_cast<void*>(address), pageSize, PAGE_READWRITE | PAGE_GUARD, &previous);
}

// A stack overflow used up the thread's guard page; without a new one the
// next overflow would end the thread or the process instead of raising an
// exception. The C runtime's _resetstkoflw knows the system's stack layout
// (it differs between Windows versions and Wine); it is looked up at run
// time because not every msvcrt.dll exports it.
void RestoreStackGuardPage() noexcept
{
    using ResetStackOverflow = int(__cdecl*)();
    for (const wchar_t* runtime : {L"msvcrt.dll", L"ucrtbase.dll"}) {
        HMODULE module = GetModuleHandleW(runtime);
        if (!module)
            continue;
        auto reset =
            reinterpret_cast<ResetStackOverflow>(reinterpret_cast<void*>(GetProcAddress(module, "_resetstkoflw")));
        if (reset) {
            reset();
            return;
        }
    }
    RestoreStackGuardPageDirectly();
}

#if defined(__i386__)
// The head of the thread's chain of frame-based exception handlers
// (NT_TIB::ExceptionList, at fs:[0] on x86).
void* ReadFrameHandlerChain() noexcept
{
    void* head;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void WriteFrameHandlerChain(void* head) noexcept
{
    __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}
#endif

// Runs the operation; separate from RunGuardedCore so that no value of the
// operation's frame is expected to survive the jump back.
__attribute__((noinline)) HRESULT CallOperation(GuardedOperation operation, void* context) noexcept
{
    return operation(context);
}

} // namespace

HRESULT RunGuardedCore(const wchar_t* operationId, GuardedOperation operation, void* context) noexcept
{
    if (!GuardReady())
        return CallOperation(operation, context);

    const GuardStackSlot& stack = GuardStack();
    GuardFrame frame;
    frame.outer = stack.Top();
    frame.stackMark = reinterpret_cast<uintptr_t>(&frame);
#if defined(__i386__)
    frame.sehChain = ReadFrameHandlerChain();
#endif
    GuardFrame* volatile self = &frame;
    stack.SetTop(self);
    if (__builtin_setjmp(frame.jumpBuffer) == 0) {
        HRESULT result = CallOperation(operation, context);
        stack.SetTop(self->outer);
        return result;
    }

    // Back from a structured exception: the abandoned frames are gone.
#if defined(__i386__)
    // Frame handlers registered by the abandoned frames would otherwise stay
    // in the chain, pointing into dead stack.
    WriteFrameHandlerChain(self->sehChain);
#endif
    stack.SetTop(self->outer);
    const DWORD code = self->record.ExceptionCode;
    if (IsFloatingPointCode(code))
        _clearfp();
    if (code == EXCEPTION_STACK_OVERFLOW)
        RestoreStackGuardPage();
    ReportFatalError(operationId, self->record);
    return E_UNEXPECTED;
}

unsigned ActiveGuardDepth() noexcept
{
    if (!GuardReady())
        return 0;
    unsigned depth = 0;
    for (GuardFrame* frame = GuardStack().Top(); frame; frame = frame->outer)
        ++depth;
    return depth;
}

} // namespace vxOpenAppHook
