// The kernel on the Cortex-M4F: its scheduler state, critical sections by
// BASEPRI, the scheduler lock of the C library's allocator, and the switch.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "kernel_sched.h"

extern kp_scheduler kp_sched;
// The task whose registers the CPU holds (the idle task included); the
// switch code reads and writes it.
extern kp_task* volatile kp_current_tcb;
extern volatile uint32_t kp_context_switches;

// Critical sections of task code: mask interrupt priorities 5..15 (the kernel's
// exceptions with them), nestable.
void kp_enter_critical(void);
void kp_exit_critical(void);
// Task switches held back (ticks still counted and interrupts still served).
void kp_sched_lock(void);
void kp_sched_unlock(void);

// Memory for stacks and control blocks, taken once and never given back.
void* kp_heap_alloc(size_t bytes);
size_t kp_heap_free_bytes(void);

void kp_port_request_switch(void);
bool kp_in_interrupt(void);
