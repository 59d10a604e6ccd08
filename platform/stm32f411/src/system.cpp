// The core clock as the chip comes out of reset: the 16 MHz internal
// oscillator. The clock set-up (HAL_RCC_ClockConfig) keeps SystemCoreClock
// up to date from then on.
#include "stm32f4xx.h"

uint32_t SystemCoreClock = 16000000U;

void SystemInit(void) {}
