#include "fiber.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define HOST_ASAN 1
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

#if !defined(__x86_64__)
#error "the host platform switches stacks with x86-64 code; port host_switch_stack to this architecture"
#endif

extern "C" void host_switch_stack(void** save_sp, void* load_sp);
extern "C" void host_fiber_trampoline();

// Saves the callee-saved registers and the floating-point control words on the
// running stack, stores the stack pointer, loads the other stack and restores
// its registers. A new fiber's stack is laid out so that the first switch
// "returns" into the trampoline with the fiber in r12 and its start in r13.
asm(R"(
    .text
    .globl host_switch_stack
    .type host_switch_stack,@function
host_switch_stack:
    pushq %rbp
    pushq %rbx
    pushq %r12
    pushq %r13
    pushq %r14
    pushq %r15
    subq $8, %rsp
    stmxcsr (%rsp)
    fnstcw 4(%rsp)
    movq %rsp, (%rdi)
    movq %rsi, %rsp
    ldmxcsr (%rsp)
    fldcw 4(%rsp)
    addq $8, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rbx
    popq %rbp
    ret
    .size host_switch_stack, .-host_switch_stack

    .globl host_fiber_trampoline
    .type host_fiber_trampoline,@function
host_fiber_trampoline:
    movq %r12, %rdi
    callq *%r13
    ud2
    .size host_fiber_trampoline, .-host_fiber_trampoline
    .section .note.GNU-stack,"",@progbits
    .text
)");

namespace host {

namespace {
Fiber* g_switching_from = nullptr;
}

Fiber::Fiber(std::size_t stack_bytes) {
  const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  stack_size_ = (stack_bytes + page - 1) / page * page;
  mapped_size_ = stack_size_ + page;  // one guard page below the stack
  void* mem = mmap(nullptr, mapped_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mem == MAP_FAILED) {
    std::fprintf(stderr, "host: cannot map a %zu-byte fiber stack\n", stack_bytes);
    std::abort();
  }
  mprotect(mem, page, PROT_NONE);
  stack_ = static_cast<unsigned char*>(mem) + page;
  bottom_ = stack_;
  size_ = stack_size_;
}

Fiber::~Fiber() {
  if (stack_ != nullptr) {
    const std::size_t page = mapped_size_ - stack_size_;
    munmap(stack_ - page, mapped_size_);
  }
}

void Fiber::start(Entry entry, void* arg) {
  entry_ = entry;
  arg_ = arg;
#ifdef HOST_ASAN
  // Frames abandoned on this stack may have left poisoned shadow behind.
  __asan_unpoison_memory_region(stack_, stack_size_);
#endif
  auto top = reinterpret_cast<std::uintptr_t>(stack_ + stack_size_) & ~std::uintptr_t{15};
  auto* sp = reinterpret_cast<std::uint64_t*>(top - 80);
  auto* control = reinterpret_cast<std::uint32_t*>(sp);
  control[0] = 0x1F80;                                              // MXCSR: all exceptions masked, round to nearest
  control[1] = 0x037F;                                              // x87 control word: default
  sp[1] = 0;                                                        // r15
  sp[2] = 0;                                                        // r14
  sp[3] = reinterpret_cast<std::uint64_t>(&Fiber::begin);           // r13
  sp[4] = reinterpret_cast<std::uint64_t>(this);                    // r12
  sp[5] = 0;                                                        // rbx
  sp[6] = 0;                                                        // rbp
  sp[7] = reinterpret_cast<std::uint64_t>(&host_fiber_trampoline);  // return address
  sp_ = sp;
  fake_stack_ = nullptr;
}

void Fiber::begin(Fiber* self) {
  self->after_switch();
  self->entry_(self->arg_);
  std::fprintf(stderr, "host: a fiber's entry returned\n");
  std::abort();
}

void Fiber::after_switch() {
#ifdef HOST_ASAN
  const void* from_bottom = nullptr;
  std::size_t from_size = 0;
  __sanitizer_finish_switch_fiber(fake_stack_, &from_bottom, &from_size);
  if (g_switching_from != nullptr && g_switching_from->stack_ == nullptr) {
    // The thread's own stack: its bounds are only known from here.
    g_switching_from->bottom_ = from_bottom;
    g_switching_from->size_ = from_size;
  }
#endif
  g_switching_from = nullptr;
}

void Fiber::switch_to(Fiber& from, Fiber& to, bool from_ends) {
#ifdef HOST_ASAN
  __sanitizer_start_switch_fiber(from_ends ? nullptr : &from.fake_stack_, to.bottom_, to.size_);
#else
  (void)from_ends;
#endif
  g_switching_from = &from;
  host_switch_stack(&from.sp_, to.sp_);
  from.after_switch();
}

}  // namespace host
