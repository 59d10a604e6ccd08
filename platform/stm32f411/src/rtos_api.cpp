// CMSIS-RTOS v2 and the native task calls of the firmware, over the chip's
// kernel: tasks get their stacks and control blocks from the kernel heap and
// a C-library state of their own.
#include <reent.h>
#include <string.h>

#include "cmsis_os2.h"
#include "kernel_port.h"
#include "stm32f4xx.h"
#include "task.h"

namespace {

struct TaskBlock {
  kp_task task;
  struct _reent reent;
};

constexpr uint32_t kDefaultStackBytes = 512;
constexpr uint32_t kInitialXpsr = 0x01000000U;      // Thumb state
constexpr uint32_t kExcReturnThreadPsp = 0xFFFFFFFDU;  // thread mode, process stack, no FP frame

bool initialized;

// A task function that returns parks its task for good.
void task_exit(void) {
  for (;;) vTaskSuspend(nullptr);
}

// The frame the switch code pops: r4-r11 and the exception return code, then
// the processor's own r0-r3, r12, lr, pc, xPSR.
uint32_t* initial_frame(uint32_t* top, osThreadFunc_t func, void* argument) {
  uint32_t* sp = (uint32_t*)((uintptr_t)top & ~(uintptr_t)7U);
  *--sp = kInitialXpsr;
  *--sp = (uint32_t)(uintptr_t)func & ~1U;
  *--sp = (uint32_t)(uintptr_t)&task_exit;
  *--sp = 0x12121212U;                    // r12
  *--sp = 0x03030303U;                    // r3
  *--sp = 0x02020202U;                    // r2
  *--sp = 0x01010101U;                    // r1
  *--sp = (uint32_t)(uintptr_t)argument;  // r0
  *--sp = kExcReturnThreadPsp;
  for (uint32_t r = 11; r >= 4; r--) *--sp = r * 0x01010101U;
  return sp;
}

void idle_task(void*) {
  for (;;) __WFI();
}

}  // namespace

kp_task kp_idle_tcb;

osStatus_t osKernelInitialize(void) {
  if (kp_in_interrupt()) return osErrorISR;
  if (kp_sched.started) return osError;
  if (!initialized) {
    kp_sched_init(&kp_sched);
    initialized = true;
  }
  return osOK;
}

osThreadId_t osThreadNew(osThreadFunc_t func, void* argument, const osThreadAttr_t* attr) {
  if (kp_in_interrupt() || func == nullptr || !initialized) return nullptr;
  const uint32_t stack_bytes = (attr != nullptr && attr->stack_size != 0) ? attr->stack_size : kDefaultStackBytes;
  const int32_t priority = (attr != nullptr && attr->priority != osPriorityNone) ? attr->priority : osPriorityNormal;
  if (priority < osPriorityIdle || priority >= (int32_t)configMAX_PRIORITIES) return nullptr;
  if (kp_sched.task_count == KP_MAX_TASKS) return nullptr;
  auto* block = static_cast<TaskBlock*>(kp_heap_alloc(sizeof(TaskBlock)));
  auto* stack = static_cast<uint32_t*>(kp_heap_alloc(stack_bytes));
  if (block == nullptr || stack == nullptr) return nullptr;
  memset(block, 0, sizeof *block);
  _REENT_INIT_PTR(&block->reent);
  kp_task* t = &block->task;
  t->port = &block->reent;
  t->sp = initial_frame(stack + stack_bytes / 4U, func, argument);
  kp_enter_critical();
  const bool added = kp_sched_add(&kp_sched, t, (uint32_t)priority, attr != nullptr ? attr->name : nullptr);
  kp_exit_critical();
  return added ? (osThreadId_t)t : nullptr;
}

extern "C" __attribute__((noreturn)) void kp_port_start_first_task(void);

osStatus_t osKernelStart(void) {
  if (kp_in_interrupt()) return osErrorISR;
  if (!initialized || kp_sched.started) return osError;
  const uint32_t idle_bytes = configMINIMAL_STACK_SIZE * 4U;
  auto* idle_stack = static_cast<uint32_t*>(kp_heap_alloc(idle_bytes));
  if (idle_stack == nullptr) return osErrorNoMemory;
  __disable_irq();
  kp_idle_tcb.sp = initial_frame(idle_stack + idle_bytes / 4U, &idle_task, nullptr);
  kp_idle_tcb.port = _impure_ptr;
  kp_idle_tcb.name = "IDLE";
  kp_idle_tcb.state = eReady;
  kp_sched_start(&kp_sched);
  kp_task* first = kp_sched.current != nullptr ? kp_sched.current : &kp_idle_tcb;
  kp_current_tcb = first;
  _impure_ptr = static_cast<struct _reent*>(first->port);
  kp_port_start_first_task();
}

// The count moves under the caller's feet (SysTick): read it from memory each time.
uint32_t osKernelGetTickCount(void) { return *static_cast<volatile const uint32_t*>(&kp_sched.ticks); }

TickType_t xTaskGetTickCount(void) { return osKernelGetTickCount(); }

osStatus_t osDelay(uint32_t ticks) {
  if (kp_in_interrupt()) return osErrorISR;
  if (!kp_sched.started) return osError;
  kp_enter_critical();
  const bool yield = kp_sched_delay(&kp_sched, ticks);
  if (yield) kp_port_request_switch();
  kp_exit_critical();  // a requested switch happens here
  return osOK;
}

void vTaskSuspend(TaskHandle_t xTaskToSuspend) {
  kp_enter_critical();
  kp_task* t = xTaskToSuspend != nullptr ? reinterpret_cast<kp_task*>(xTaskToSuspend) : kp_sched.current;
  if (kp_sched_is_task(&kp_sched, t) && kp_sched_suspend(&kp_sched, t)) kp_port_request_switch();
  kp_exit_critical();
}

void vTaskResume(TaskHandle_t xTaskToResume) {
  kp_enter_critical();
  kp_task* t = reinterpret_cast<kp_task*>(xTaskToResume);
  if (kp_sched_is_task(&kp_sched, t) && kp_sched_resume(&kp_sched, t)) kp_port_request_switch();
  kp_exit_critical();
}

eTaskState eTaskGetState(TaskHandle_t xTask) {
  kp_enter_critical();
  const eTaskState state = kp_sched_state(&kp_sched, reinterpret_cast<const kp_task*>(xTask));
  kp_exit_critical();
  return state;
}
