#include "fw/GuardedCall.h"

// The fence is an exception handler of our own around the call: a frame of
// the handler chain on 32-bit Windows, a function with its own unwind entry on
// 64-bit Windows. When an exception reaches it, the frames below are unwound
// (so that their termination handlers run) and the call returns the code.

#if defined(__i386__)

namespace
{
struct GuardFrame
{
    EXCEPTION_REGISTRATION_RECORD record;   // first, so that the frame address is the guard's
    void* resume[5];                        // __builtin_setjmp's buffer
    DWORD code;
};

EXCEPTION_REGISTRATION_RECORD* HandlerChain()
{
    EXCEPTION_REGISTRATION_RECORD* head;
    __asm__ __volatile__("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetHandlerChain(EXCEPTION_REGISTRATION_RECORD* head)
{
    __asm__ __volatile__("movl %0, %%fs:0" : : "r"(head) : "memory");
}

EXCEPTION_DISPOSITION NTAPI StopAtGuard(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    GuardFrame* guard = static_cast<GuardFrame*>(frame);
    guard->code = record->ExceptionCode;
    // Unwinds every frame below the guard; the chain then starts at the guard.
    RtlUnwind(frame, nullptr, record, nullptr);
    __builtin_longjmp(guard->resume, 1);
}
} // namespace

DWORD CallGuarded(void (*body)(void*) noexcept, void* context)
{
    volatile GuardFrame guard;
    guard.code = 0;
    guard.record.Next = HandlerChain();
    guard.record.Handler = &StopAtGuard;
    if (__builtin_setjmp(const_cast<void**>(guard.resume)) == 0) {
        SetHandlerChain(const_cast<EXCEPTION_REGISTRATION_RECORD*>(&guard.record));
        body(context);
    }
    SetHandlerChain(guard.record.Next);
    return guard.code;
}

#elif defined(__x86_64__)

// sonvera_call_guarded(body, context, resumeStack) saves every register the
// calling convention preserves, stores its stack pointer in *resumeStack and
// calls body(context). It returns 0, or, when resumed at
// sonvera_call_guarded_resume with the exception code in rax, that code.
extern "C" DWORD sonvera_call_guarded(void (*body)(void*) noexcept, void* context, DWORD64* resumeStack);
extern "C" void sonvera_call_guarded_resume();

extern "C" EXCEPTION_DISPOSITION sonvera_stop_at_guard(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                       DISPATCHER_CONTEXT* dispatch)
{
    if (record->ExceptionFlags & EXCEPTION_UNWIND)
        return ExceptionContinueSearch;
    RtlUnwindEx(frame, reinterpret_cast<void*>(&sonvera_call_guarded_resume), record,
                reinterpret_cast<void*>(static_cast<ULONG_PTR>(record->ExceptionCode)), context,
                dispatch->HistoryTable);
    return ExceptionContinueSearch;   // not reached: the unwind resumes the guard
}

__asm__(
    "    .text\n"
    "    .p2align 4\n"
    "    .globl sonvera_call_guarded\n"
    "    .def sonvera_call_guarded; .scl 2; .type 32; .endef\n"
    "    .seh_proc sonvera_call_guarded\n"
    "    .seh_handler sonvera_stop_at_guard, @except\n"
    "sonvera_call_guarded:\n"
    "    pushq %rbp\n"
    "    .seh_pushreg %rbp\n"
    "    pushq %rbx\n"
    "    .seh_pushreg %rbx\n"
    "    pushq %rdi\n"
    "    .seh_pushreg %rdi\n"
    "    pushq %rsi\n"
    "    .seh_pushreg %rsi\n"
    "    pushq %r12\n"
    "    .seh_pushreg %r12\n"
    "    pushq %r13\n"
    "    .seh_pushreg %r13\n"
    "    pushq %r14\n"
    "    .seh_pushreg %r14\n"
    "    pushq %r15\n"
    "    .seh_pushreg %r15\n"
    // 32 bytes of home space for the body, xmm6 to xmm15 at 32..191, 8 to align.
    "    subq $200, %rsp\n"
    "    .seh_stackalloc 200\n"
    "    movaps %xmm6, 32(%rsp)\n"
    "    .seh_savexmm %xmm6, 32\n"
    "    movaps %xmm7, 48(%rsp)\n"
    "    .seh_savexmm %xmm7, 48\n"
    "    movaps %xmm8, 64(%rsp)\n"
    "    .seh_savexmm %xmm8, 64\n"
    "    movaps %xmm9, 80(%rsp)\n"
    "    .seh_savexmm %xmm9, 80\n"
    "    movaps %xmm10, 96(%rsp)\n"
    "    .seh_savexmm %xmm10, 96\n"
    "    movaps %xmm11, 112(%rsp)\n"
    "    .seh_savexmm %xmm11, 112\n"
    "    movaps %xmm12, 128(%rsp)\n"
    "    .seh_savexmm %xmm12, 128\n"
    "    movaps %xmm13, 144(%rsp)\n"
    "    .seh_savexmm %xmm13, 144\n"
    "    movaps %xmm14, 160(%rsp)\n"
    "    .seh_savexmm %xmm14, 160\n"
    "    movaps %xmm15, 176(%rsp)\n"
    "    .seh_savexmm %xmm15, 176\n"
    "    .seh_endprologue\n"
    "    movq %rsp, (%r8)\n"
    "    movq %rcx, %rax\n"
    "    movq %rdx, %rcx\n"
    "    callq *%rax\n"
    "    xorl %eax, %eax\n"
    "    .globl sonvera_call_guarded_resume\n"
    "sonvera_call_guarded_resume:\n"
    "    movaps 32(%rsp), %xmm6\n"
    "    movaps 48(%rsp), %xmm7\n"
    "    movaps 64(%rsp), %xmm8\n"
    "    movaps 80(%rsp), %xmm9\n"
    "    movaps 96(%rsp), %xmm10\n"
    "    movaps 112(%rsp), %xmm11\n"
    "    movaps 128(%rsp), %xmm12\n"
    "    movaps 144(%rsp), %xmm13\n"
    "    movaps 160(%rsp), %xmm14\n"
    "    movaps 176(%rsp), %xmm15\n"
    "    addq $200, %rsp\n"
    "    popq %r15\n"
    "    popq %r14\n"
    "    popq %r13\n"
    "    popq %r12\n"
    "    popq %rsi\n"
    "    popq %rdi\n"
    "    popq %rbx\n"
    "    popq %rbp\n"
    "    ret\n"
    "    .seh_endproc\n");

namespace
{
// Wine's stand-in for a function it does not implement raises this code from
// a frame that 64-bit unwinding cannot pass, so the guard's own handler is
// never found. A vectored handler sees it first and resumes the guard
// directly: nothing below the guard has anything to unwind at that point.
const DWORD kWineUnimplementedFunction = 0x80000100;

thread_local DWORD64* t_pResumeStack = nullptr;

LONG CALLBACK ResumeAfterUnimplementedFunction(EXCEPTION_POINTERS* pointers)
{
    if (t_pResumeStack == nullptr || pointers->ExceptionRecord->ExceptionCode != kWineUnimplementedFunction)
        return EXCEPTION_CONTINUE_SEARCH;
    CONTEXT* context = pointers->ContextRecord;
    context->Rsp = *t_pResumeStack;
    context->Rip = reinterpret_cast<DWORD64>(&sonvera_call_guarded_resume);
    context->Rax = kWineUnimplementedFunction;
    return EXCEPTION_CONTINUE_EXECUTION;
}
} // namespace

DWORD CallGuarded(void (*body)(void*) noexcept, void* context)
{
    DWORD64 resumeStack = 0;
    DWORD64* previous = t_pResumeStack;
    t_pResumeStack = &resumeStack;
    void* vectored = AddVectoredExceptionHandler(1, &ResumeAfterUnimplementedFunction);
    const DWORD code = sonvera_call_guarded(body, context, &resumeStack);
    if (vectored != nullptr)
        RemoveVectoredExceptionHandler(vectored);
    t_pResumeStack = previous;
    return code;
}

#else
#error "CallGuarded knows the exception frames of x86 and x86-64 Windows only"
#endif
