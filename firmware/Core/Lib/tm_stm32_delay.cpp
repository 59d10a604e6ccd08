// The millisecond tick, the busy-wait delay and the cycle counter.
#include "tm_stm32_delay.h"

volatile uint32_t TM_Time = 0;
volatile uint32_t TM_Time2 = 0;
TM_DELAY_Timers_t CustomTimers = {};

void HAL_IncTick(void) {
  TM_Time = TM_Time + 1;
  if (TM_Time2 != 0) {
    TM_Time2 = TM_Time2 - 1;
  }
  for (uint8_t i = 0; i < CustomTimers.Count; i++) {
    TM_DELAY_Timer_t* timer = CustomTimers.Timers[i];
    if (timer == NULL || !timer->Flags.F.CNTEN) {
      continue;
    }
    if (timer->CNT != 0) {
      timer->CNT--;
    }
    if (timer->CNT == 0) {
      timer->Callback(timer, timer->UserParameters);
      timer->CNT = timer->ARR;
      if (!timer->Flags.F.AREN) {
        timer->Flags.F.CNTEN = 0;  // a one-shot timer stops
      }
    }
  }
  TM_DELAY_1msHandler();
}

uint32_t HAL_GetTick(void) { return TM_Time; }

void HAL_Delay(uint32_t Delay) {
  if (__get_IPSR() == 0) {
    // From a task or the start-up code: watch the tick.
    const uint32_t start = HAL_GetTick();
    while (HAL_GetTick() - start < Delay) {
      __NOP();
    }
  } else {
    // From an interrupt the tick may not advance: count SysTick wraps instead
    // (COUNTFLAG clears when read).
    while (Delay) {
      if (SysTick->CTRL & SysTick_CTRL_COUNTFLAG_Msk) {
        Delay--;
      }
    }
  }
}

uint32_t TM_DELAY_Init(void) {
  CoreDebug->DEMCR &= ~CoreDebug_DEMCR_TRCENA_Msk;
  CoreDebug->DEMCR |= CoreDebug_DEMCR_TRCENA_Msk;
  DWT->CTRL &= ~DWT_CTRL_CYCCNTENA_Msk;
  DWT->CTRL |= DWT_CTRL_CYCCNTENA_Msk;
  DWT->CYCCNT = 0;
  const uint32_t c = DWT->CYCCNT;
  __NOP();
  __NOP();
  return DWT->CYCCNT - c;
}

void TM_DELAY_1msHandler(void) {}
