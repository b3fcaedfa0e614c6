// The catch-all guard: a frame-based exception handler around one call.
//
// i686 (what ships): Windows 95/98 have no vectored handlers, so the guard links a registration
// record of its own at FS:[0], the chain every Win32 system walks. On a fault its handler lets
// the system unwind the records above it (RtlUnwind, which also runs the cleanup of product
// libraries built with other compilers), then resumes in the guard's frame.
//
// x86_64 (a test build only): no FS:[0] chain; the guard names its handler in its own unwind
// data, and the handler unwinds to a recovery point in the guard with RtlUnwind.
//
// The program has no C++ exceptions: memory exhausted and the C++ library's "cannot go on" are
// raised as exceptions of our own (RaiseFault) and travel the same road as a processor fault.
#include "base/FaultGuard.h"
#include "base/Binder.h"
#include "base/Handles.h"

namespace {

const DWORD kSeverityMask = 0xC0000000;
const DWORD kSeverityError = 0xC0000000;
const DWORD kUnwindFlags = 0x2 | 0x4;  // EXCEPTION_UNWINDING, EXCEPTION_EXIT_UNWIND

// An overflow used up the stack's guard page, and a second one would end the process. The C
// runtime of later systems can put the page back; the msvcrt.dll of Windows 95/98 lacks the
// function, and there the program goes on without a guard page.
void RestoreStackGuardPage()
{
    typedef int(__cdecl * ResetProc)(void);
    if (ResetProc reset = BindAs<ResetProc>(BoundFunction::kResetStackOverflow)) reset();
}

}  // namespace

void RaiseFault(DWORD code)
{
    // No handler continues a noncontinuable exception; the loop only tells the compiler so.
    for (;;) RaiseException(code, EXCEPTION_NONCONTINUABLE, 0, NULL);
}

bool GuardCatches(DWORD code, DWORD flags)
{
    if (flags & kUnwindFlags) return false;
    return (code & kSeverityMask) == kSeverityError;
}

// ---- The frame: one routine per processor, returning 0 or the code of the fault ------------

#if defined(__i386__)

extern "C" {
DWORD __cdecl FaultGuardCall_i386(void (*body)(void*), void* argument);
void __cdecl FaultGuardUnwind_i386(void* frame, EXCEPTION_RECORD* record);
__attribute__((noreturn)) void __cdecl FaultGuardResume_i386(void* frame);
void FaultGuardRecovery_i386(void);
EXCEPTION_DISPOSITION __cdecl FaultGuardHandler_i386(EXCEPTION_RECORD* record, void* frame,
                                                     CONTEXT* context, void* dispatcher);
}

// FaultGuardCall_i386(body, argument): the frame below the saved EBP holds EBX, ESI, EDI, the
// x87 control word, then the registration record: previous record, handler, and a slot for
// the code of the fault. The recovery point is entered with ESP at the record and rebuilds
// everything else from there.
// FaultGuardUnwind_i386(frame, record): RtlUnwind to the frame, as compilers' own handlers
// call it; it may change EBX, ESI and EDI on some systems, so they are saved around it.
// FaultGuardResume_i386(frame): continues at the recovery point of that frame.
__asm__(
    "  .text\n"
    "  .globl _FaultGuardCall_i386\n"
    "_FaultGuardCall_i386:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  subl $4, %esp\n"
    "  fnstcw (%esp)\n"
    "  pushl $0\n"
    "  pushl $_FaultGuardHandler_i386\n"
    "  pushl %fs:0\n"
    "  movl %esp, %fs:0\n"
    "  pushl 12(%ebp)\n"
    "  call *8(%ebp)\n"
    "  addl $4, %esp\n"
    "  xorl %eax, %eax\n"
    "  jmp 1f\n"
    "  .globl _FaultGuardRecovery_i386\n"
    "_FaultGuardRecovery_i386:\n"
    "  leal 28(%esp), %ebp\n"
    "  cld\n"
    "  fninit\n"
    "  fldcw -16(%ebp)\n"
    "  movl 8(%esp), %eax\n"
    "1:\n"
    "  movl (%esp), %ecx\n"
    "  movl %ecx, %fs:0\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n"
    "\n"
    "  .globl _FaultGuardUnwind_i386\n"
    "_FaultGuardUnwind_i386:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  pushl $0\n"
    "  pushl 12(%ebp)\n"
    "  pushl $2f\n"
    "  pushl 8(%ebp)\n"
    "  call _RtlUnwind@16\n"
    "2:\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n"
    "\n"
    "  .globl _FaultGuardResume_i386\n"
    "_FaultGuardResume_i386:\n"
    "  movl 4(%esp), %esp\n"
    "  jmp _FaultGuardRecovery_i386\n");

EXCEPTION_DISPOSITION __cdecl FaultGuardHandler_i386(EXCEPTION_RECORD* record, void* frame,
                                                     CONTEXT* context, void*)
{
    if (!GuardCatches(record->ExceptionCode, record->ExceptionFlags))
        return ExceptionContinueSearch;
    static_cast<DWORD*>(frame)[2] = record->ExceptionCode;
    if (record->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        // The little stack left below the fault may not hold an unwind: resume directly.
        context->Eip = reinterpret_cast<DWORD>(&FaultGuardRecovery_i386);
        context->Esp = reinterpret_cast<DWORD>(frame);
        return ExceptionContinueExecution;
    }
    FaultGuardUnwind_i386(frame, record);
    FaultGuardResume_i386(frame);
}

static DWORD FaultGuardCall(void (*body)(void*), void* argument)
{
    return FaultGuardCall_i386(body, argument);
}

#elif defined(__x86_64__)

extern "C" {
DWORD FaultGuardCall_x64(void (*body)(void*), void* argument);
void FaultGuardRecovery_x64(void);
EXCEPTION_DISPOSITION FaultGuardHandler_x64(EXCEPTION_RECORD* record, void* frame,
                                            CONTEXT* context, void* dispatcher);
}

// FaultGuardCall_x64(body, argument): saves every non-volatile register, XMM6 to XMM15 and
// the control words itself, so that the recovery point needs nothing from the unwinder but
// RSP (the frame) and RAX (the code, RtlUnwind's return value). The normal return passes the
// recovery point with RAX 0.
__asm__(
    "  .text\n"
    "  .globl FaultGuardCall_x64\n"
    "  .def FaultGuardCall_x64; .scl 2; .type 32; .endef\n"
    "  .seh_proc FaultGuardCall_x64\n"
    "FaultGuardCall_x64:\n"
    "  pushq %rbp\n"
    "  .seh_pushreg %rbp\n"
    "  pushq %rbx\n"
    "  .seh_pushreg %rbx\n"
    "  pushq %rsi\n"
    "  .seh_pushreg %rsi\n"
    "  pushq %rdi\n"
    "  .seh_pushreg %rdi\n"
    "  pushq %r12\n"
    "  .seh_pushreg %r12\n"
    "  pushq %r13\n"
    "  .seh_pushreg %r13\n"
    "  pushq %r14\n"
    "  .seh_pushreg %r14\n"
    "  pushq %r15\n"
    "  .seh_pushreg %r15\n"
    "  subq $200, %rsp\n"
    "  .seh_stackalloc 200\n"
    "  movaps %xmm6, 32(%rsp)\n"
    "  .seh_savexmm %xmm6, 32\n"
    "  movaps %xmm7, 48(%rsp)\n"
    "  .seh_savexmm %xmm7, 48\n"
    "  movaps %xmm8, 64(%rsp)\n"
    "  .seh_savexmm %xmm8, 64\n"
    "  movaps %xmm9, 80(%rsp)\n"
    "  .seh_savexmm %xmm9, 80\n"
    "  movaps %xmm10, 96(%rsp)\n"
    "  .seh_savexmm %xmm10, 96\n"
    "  movaps %xmm11, 112(%rsp)\n"
    "  .seh_savexmm %xmm11, 112\n"
    "  movaps %xmm12, 128(%rsp)\n"
    "  .seh_savexmm %xmm12, 128\n"
    "  movaps %xmm13, 144(%rsp)\n"
    "  .seh_savexmm %xmm13, 144\n"
    "  movaps %xmm14, 160(%rsp)\n"
    "  .seh_savexmm %xmm14, 160\n"
    "  movaps %xmm15, 176(%rsp)\n"
    "  .seh_savexmm %xmm15, 176\n"
    "  stmxcsr 192(%rsp)\n"
    "  fnstcw 196(%rsp)\n"
    "  .seh_endprologue\n"
    "  .seh_handler FaultGuardHandler_x64, @except\n"
    "  movq %rcx, %rax\n"
    "  movq %rdx, %rcx\n"
    "  callq *%rax\n"
    "  xorl %eax, %eax\n"
    "  .globl FaultGuardRecovery_x64\n"
    "FaultGuardRecovery_x64:\n"
    "  cld\n"
    "  ldmxcsr 192(%rsp)\n"
    "  fldcw 196(%rsp)\n"
    "  movaps 32(%rsp), %xmm6\n"
    "  movaps 48(%rsp), %xmm7\n"
    "  movaps 64(%rsp), %xmm8\n"
    "  movaps 80(%rsp), %xmm9\n"
    "  movaps 96(%rsp), %xmm10\n"
    "  movaps 112(%rsp), %xmm11\n"
    "  movaps 128(%rsp), %xmm12\n"
    "  movaps 144(%rsp), %xmm13\n"
    "  movaps 160(%rsp), %xmm14\n"
    "  movaps 176(%rsp), %xmm15\n"
    "  addq $200, %rsp\n"
    "  popq %r15\n"
    "  popq %r14\n"
    "  popq %r13\n"
    "  popq %r12\n"
    "  popq %rdi\n"
    "  popq %rsi\n"
    "  popq %rbx\n"
    "  popq %rbp\n"
    "  ret\n"
    "  .seh_endproc\n");

EXCEPTION_DISPOSITION FaultGuardHandler_x64(EXCEPTION_RECORD* record, void* frame,
                                            CONTEXT* context, void*)
{
    if (!GuardCatches(record->ExceptionCode, record->ExceptionFlags))
        return ExceptionContinueSearch;
    if (record->ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        // The few kilobytes left below the fault do not hold an unwind: resume directly.
        context->Rip = reinterpret_cast<DWORD64>(&FaultGuardRecovery_x64);
        context->Rsp = reinterpret_cast<DWORD64>(frame);
        context->Rax = record->ExceptionCode;
        return ExceptionContinueExecution;
    }
    RtlUnwind(frame, reinterpret_cast<void*>(&FaultGuardRecovery_x64), record,
              reinterpret_cast<void*>(static_cast<ULONG_PTR>(record->ExceptionCode)));
    return ExceptionContinueSearch;  // not reached: the unwind ends at the recovery point
}

static DWORD FaultGuardCall(void (*body)(void*), void* argument)
{
    return FaultGuardCall_x64(body, argument);
}

#else
#error "the fault guard knows the i386 and x86_64 processors only"
#endif

GuardResult CallGuarded(void (*body)(void*), void* argument)
{
    unsigned long firstFind = NextFindNumber();
    DWORD fault = FaultGuardCall(body, argument);
    if (fault != 0) CloseFindsFrom(firstFind);
    if (fault == EXCEPTION_STACK_OVERFLOW) RestoreStackGuardPage();
    GuardResult result = {fault == 0, fault};
    return result;
}
