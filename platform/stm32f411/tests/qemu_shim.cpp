// QEMU's netduinoplus2 (an STM32F405) does not model the clock tree, TIM1 or
// the cycle counter: here the core clock is the model's fixed one, and the
// millisecond tick the HAL's time-outs read follows the kernel's SysTick.
#include "qemu_shim.h"

#include "cmsis_os2.h"
#include "stm32f4xx_hal.h"

void qemu_shim_init(void) { SystemCoreClock = kQemuCoreClockHz; }

extern "C" uint32_t HAL_GetTick(void) { return osKernelGetTickCount(); }
