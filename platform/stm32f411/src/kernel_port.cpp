// The kernel's exceptions on the Cortex-M4F: SysTick counts the ticks and
// asks for time slices, PendSV switches tasks (with the FPU's callee-saved
// registers when the task has used the FPU: lazy stacking keeps the rest),
// SVC starts the first task.
#include "kernel_port.h"

#include <reent.h>

#include "stm32f4xx.h"

kp_scheduler kp_sched;
kp_task* volatile kp_current_tcb;
volatile uint32_t kp_context_switches;

static uint32_t critical_nesting;
static volatile uint32_t lock_depth;
static volatile bool switch_held;

bool kp_in_interrupt(void) { return __get_IPSR() != 0; }

void kp_enter_critical(void) {
  __set_BASEPRI(configMAX_SYSCALL_INTERRUPT_PRIORITY);
  __DSB();
  __ISB();
  critical_nesting++;
}

void kp_exit_critical(void) {
  if (critical_nesting != 0 && --critical_nesting == 0) __set_BASEPRI(0);
}

void kp_sched_lock(void) {
  kp_enter_critical();
  lock_depth = lock_depth + 1;
  kp_exit_critical();
}

void kp_sched_unlock(void) {
  kp_enter_critical();
  lock_depth = lock_depth - 1;
  const bool pend = lock_depth == 0 && switch_held;
  if (pend) switch_held = false;
  kp_exit_critical();
  if (pend) kp_port_request_switch();
}

void kp_port_request_switch(void) {
  if (lock_depth != 0) {
    switch_held = true;
    return;
  }
  SCB->ICSR = SCB_ICSR_PENDSVSET_Msk;
  __DSB();
  __ISB();
}

extern "C" void SysTick_Handler(void) {
  const uint32_t saved = __get_BASEPRI();
  __set_BASEPRI(configMAX_SYSCALL_INTERRUPT_PRIORITY);
  if (kp_sched.started && kp_sched_tick(&kp_sched)) kp_port_request_switch();
  __set_BASEPRI(saved);
}

// Called by PendSV with the outgoing task's registers saved: choose the next.
extern "C" void kp_switch_context(void) {
  extern kp_task kp_idle_tcb;
  kp_task* next = kp_sched_select(&kp_sched);
  if (next == nullptr) next = &kp_idle_tcb;
  if (next != kp_current_tcb) kp_context_switches = kp_context_switches + 1;
  kp_current_tcb = next;
  _impure_ptr = static_cast<struct _reent*>(next->port);
}

// Stack frame: r4-r11 and the exception return code, then s16-s31 when the
// return code says the task has a floating-point frame, then the frame the
// processor stacks itself.
extern "C" __attribute__((naked)) void PendSV_Handler(void) {
  __asm volatile(
      "  mrs r0, psp                \n"
      "  isb                        \n"
      "  ldr r3, =kp_current_tcb    \n"
      "  ldr r2, [r3]               \n"
      "  tst lr, #0x10              \n"
      "  it eq                      \n"
      "  vstmdbeq r0!, {s16-s31}    \n"
      "  stmdb r0!, {r4-r11, lr}    \n"
      "  str r0, [r2]               \n"
      "  mov r0, %0                 \n"
      "  msr basepri, r0            \n"
      "  dsb                        \n"
      "  isb                        \n"
      "  bl kp_switch_context       \n"
      "  mov r0, #0                 \n"
      "  msr basepri, r0            \n"
      "  ldr r3, =kp_current_tcb    \n"
      "  ldr r1, [r3]               \n"
      "  ldr r0, [r1]               \n"
      "  ldmia r0!, {r4-r11, lr}    \n"
      "  tst lr, #0x10              \n"
      "  it eq                      \n"
      "  vldmiaeq r0!, {s16-s31}    \n"
      "  msr psp, r0                \n"
      "  isb                        \n"
      "  bx lr                      \n"
      "  .ltorg                     \n" ::"i"(configMAX_SYSCALL_INTERRUPT_PRIORITY));
}

// The first task: its prepared frame is popped as if it had been switched out.
extern "C" __attribute__((naked)) void SVC_Handler(void) {
  __asm volatile(
      "  ldr r3, =kp_current_tcb    \n"
      "  ldr r1, [r3]               \n"
      "  ldr r0, [r1]               \n"
      "  ldmia r0!, {r4-r11, lr}    \n"
      "  msr psp, r0                \n"
      "  isb                        \n"
      "  mov r0, #0                 \n"
      "  msr basepri, r0            \n"
      "  bx lr                      \n"
      "  .ltorg                     \n");
}

extern "C" uint32_t _estack;

// Starts the first task and never returns: the start-up stack is taken back
// for the interrupts, SysTick and PendSV run at the lowest priority.
extern "C" __attribute__((noreturn)) void kp_port_start_first_task(void) {
  SCB->SHP[(uint32_t)(PendSV_IRQn & 0xF) - 4U] = configKERNEL_INTERRUPT_PRIORITY;
  SCB->SHP[(uint32_t)(SysTick_IRQn & 0xF) - 4U] = configKERNEL_INTERRUPT_PRIORITY;
  SysTick->CTRL = 0;
  SysTick->LOAD = SystemCoreClock / configTICK_RATE_HZ - 1U;
  SysTick->VAL = 0;
  SysTick->CTRL = SysTick_CTRL_CLKSOURCE_Msk | SysTick_CTRL_TICKINT_Msk | SysTick_CTRL_ENABLE_Msk;
  critical_nesting = 0;
  kp_context_switches = 0;
  __asm volatile(
      "  ldr r0, =_estack  \n"
      "  msr msp, r0       \n"
      "  mov r0, #0        \n"
      "  msr control, r0   \n"
      "  isb               \n"
      "  cpsie i           \n"
      "  cpsie f           \n"
      "  dsb               \n"
      "  isb               \n"
      "  svc 0             \n"
      "  .ltorg            \n" ::
          : "r0", "memory");
  __builtin_unreachable();
}
