// The catch-all guard: a processor fault, or our own "cannot go on" (memory exhausted), inside a
// guarded call ends that call only, and the caller goes on. It is the program's one way out
// of an operation: the program is built without C++ exceptions.
#pragma once
#include <windows.h>
#include <type_traits>

// Our own exception codes: error severity with the customer bit, so that the guards catch them
// as they catch a processor fault.
const DWORD kFaultOutOfMemory = 0xE04D5701;   // operator new found no memory
const DWORD kFaultLibraryLimit = 0xE04D5702;  // the C++ library cannot go on (a length limit)

// Raises `code`, noncontinuable; the nearest guard ends its body there.
[[noreturn]] void RaiseFault(DWORD code);

// How a guarded call ended.
struct GuardResult {
    bool completed;  // the body ran to its end
    DWORD fault;     // the exception code that ended it; 0 when it completed
};

// Runs body(argument). An exception of error severity raised by the processor, the system or
// this program (access violation, illegal instruction, division by zero, stack overflow, the
// delay-load helper's "module or procedure not found", another compiler's C++ exception out of
// a product library, RaiseFault) ends the body there. The handler lives in this call's stack
// frame, as Windows 95/98 have no vectored handlers. Destructors of the frames between the
// fault and this call do not run: what they owned stays allocated, and the handles they held
// stay open, except find handles (see FindHandle), which this call closes after a fault.
GuardResult CallGuarded(void (*body)(void*), void* argument);

// Whether the guard ends its body for an exception with this code and these flags: codes of
// error severity (the top two bits set), never during an unwind pass. Warnings and
// informational codes (breakpoints, debug output, GCC's own C++ exceptions on x86_64) go on to
// the handlers beyond the guard.
bool GuardCatches(DWORD code, DWORD flags);

namespace fault_guard_detail {
template <typename Body> void Run(void* body)
{
    (*static_cast<Body*>(body))();
}
}  // namespace fault_guard_detail

// Runs a callable (a lambda, or a function) under the guard; the code of the fault that ended
// it, or 0 when it ran to its end.
template <typename Body> DWORD GuardedFault(Body&& body)
{
    typename std::decay<Body>::type callable(static_cast<Body&&>(body));
    return CallGuarded(&fault_guard_detail::Run<decltype(callable)>, &callable).fault;
}

// The same; true when it ran to its end.
template <typename Body> bool Guarded(Body&& body)
{
    return GuardedFault(static_cast<Body&&>(body)) == 0;
}
