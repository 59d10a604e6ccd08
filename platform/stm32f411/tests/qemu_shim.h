// What the check images need from the emulated board that the real board's
// start-up provides otherwise: the core clock of QEMU's STM32F4 model and
// the timers' input clock there. Only the check images contain it.
#pragma once

#include <stdint.h>

// The model's core clock (SysTick counts it) and its timers' input clock.
constexpr uint32_t kQemuCoreClockHz = 168000000U;
constexpr uint32_t kQemuTimerClockHz = 1000000000U;

// Sets SystemCoreClock to the model's core clock and starts the millisecond
// tick on SysTick's kernel tick (the model has no TIM1).
void qemu_shim_init(void);
