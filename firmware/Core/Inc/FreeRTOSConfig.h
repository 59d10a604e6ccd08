// Kernel settings of the trip computer, read by the kernel of every platform
// it runs on: preemption, 1 ms time slices among the three equal-priority
// tasks, the heap the task stacks come from, and the interrupt priorities
// the kernel uses and masks.
#pragma once

#define configUSE_PREEMPTION 1
#define configUSE_TIME_SLICING 1
#define configTICK_RATE_HZ 1000U
#define configMAX_PRIORITIES 56
// In words of the stack (4 bytes each): the idle task's stack.
#define configMINIMAL_STACK_SIZE 128U
#define configTOTAL_HEAP_SIZE 32768U
// Each task has its own C-library state, so formatted output may run in
// several tasks at once.
#define configUSE_NEWLIB_REENTRANT 1
// No software timers: nothing in the firmware uses them.
#define configUSE_TIMERS 0
#define configTIMER_TASK_STACK_DEPTH 256U

// Interrupt priorities, 4 bits on this chip, 0 the highest. The kernel's own
// exceptions (SysTick, PendSV) run at the lowest; its critical sections mask
// every priority from configLIBRARY_MAX_SYSCALL_INTERRUPT_PRIORITY down,
// numerically 5 to 15, and leave 0 to 4 running.
#define configPRIO_BITS 4
#define configLIBRARY_LOWEST_INTERRUPT_PRIORITY 15
#define configLIBRARY_MAX_SYSCALL_INTERRUPT_PRIORITY 5
#define configKERNEL_INTERRUPT_PRIORITY (configLIBRARY_LOWEST_INTERRUPT_PRIORITY << (8 - configPRIO_BITS))
#define configMAX_SYSCALL_INTERRUPT_PRIORITY (configLIBRARY_MAX_SYSCALL_INTERRUPT_PRIORITY << (8 - configPRIO_BITS))
