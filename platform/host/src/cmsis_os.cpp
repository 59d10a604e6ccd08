// CMSIS-RTOS v2 and native kernel calls, routed to the host kernel.
#include "machine_impl.h"

using host::impl;

extern "C" {

osStatus_t osKernelInitialize(void) { return impl().rtos.initialize(); }
osStatus_t osKernelStart(void) { return impl().rtos.start(); }
uint32_t osKernelGetTickCount(void) { return impl().rtos.ticks(); }

osThreadId_t osThreadNew(osThreadFunc_t func, void* argument, const osThreadAttr_t* attr) {
  return impl().rtos.create(func, argument, attr);
}

osStatus_t osDelay(uint32_t ticks) { return impl().rtos.delay(ticks); }

void vTaskSuspend(TaskHandle_t xTaskToSuspend) {
  host::Rtos& k = impl().rtos;
  k.suspend(k.from_handle(xTaskToSuspend));
}

void vTaskResume(TaskHandle_t xTaskToResume) {
  host::Rtos& k = impl().rtos;
  if (xTaskToResume == nullptr) return;
  k.resume(k.from_handle(xTaskToResume));
}

TickType_t xTaskGetTickCount(void) {
  impl().cpu.charge_poll(host::cost::kRegister);
  return impl().rtos.ticks();
}

eTaskState eTaskGetState(TaskHandle_t xTask) {
  host::Rtos& k = impl().rtos;
  impl().cpu.charge_poll(host::cost::kHalCall);
  return k.state(k.from_handle(xTask));
}

}  // extern "C"
