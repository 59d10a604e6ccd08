// The HAL's millisecond tick on TIM1 instead of SysTick, which the kernel owns.
#include "stm32f4xx_hal.h"

TIM_HandleTypeDef htim1;

HAL_StatusTypeDef HAL_InitTick(uint32_t TickPriority) {
  RCC_ClkInitTypeDef clkconfig;
  uint32_t pFLatency;

  __HAL_RCC_TIM1_CLK_ENABLE();
  HAL_RCC_GetClockConfig(&clkconfig, &pFLatency);
  // TIM1 sits on APB2, whose divider is 1 here: its clock is PCLK2.
  const uint32_t uwTimclock = HAL_RCC_GetPCLK2Freq();
  // Count at 1 MHz, update every 1000 counts.
  const uint32_t uwPrescalerValue = (uwTimclock / 1000000U) - 1U;

  htim1.Instance = TIM1;
  htim1.Init.Period = (1000000U / 1000U) - 1U;
  htim1.Init.Prescaler = uwPrescalerValue;
  htim1.Init.ClockDivision = 0;
  htim1.Init.CounterMode = TIM_COUNTERMODE_UP;
  htim1.Init.AutoReloadPreload = TIM_AUTORELOAD_PRELOAD_DISABLE;

  HAL_StatusTypeDef status = HAL_TIM_Base_Init(&htim1);
  if (status == HAL_OK) {
    status = HAL_TIM_Base_Start_IT(&htim1);
    if (status == HAL_OK) {
      HAL_NVIC_EnableIRQ(TIM1_UP_TIM10_IRQn);
      if (TickPriority < (1UL << __NVIC_PRIO_BITS)) {
        HAL_NVIC_SetPriority(TIM1_UP_TIM10_IRQn, TickPriority, 0U);
        uwTickPrio = TickPriority;
      } else {
        status = HAL_ERROR;
      }
    }
  }
  return status;
}
