// Millisecond time base and busy-wait delays: the HAL tick on TIM1, the
// countdown and software timers it serves, and the processor's cycle counter
// for microsecond timing.
#pragma once

#include <stdint.h>

#include "stm32f4xx_hal.h"

struct _TM_DELAY_Timer_t;

typedef struct _TM_DELAY_Timer_t {
  union {
    struct {
      uint8_t AREN : 1;   // auto-reload enabled
      uint8_t CNTEN : 1;  // counting enabled
    } F;
    uint8_t FlagsVal;
  } Flags;
  uint32_t ARR;  // reload value, ms
  uint32_t CNT;  // milliseconds left
  void (*Callback)(struct _TM_DELAY_Timer_t* timer, void* UserParameters);
  void* UserParameters;
} TM_DELAY_Timer_t;

#define TM_DELAY_MAX_CUSTOM_TIMERS 5

typedef struct {
  uint8_t Count;
  TM_DELAY_Timer_t* Timers[TM_DELAY_MAX_CUSTOM_TIMERS];
} TM_DELAY_Timers_t;

extern volatile uint32_t TM_Time;
extern volatile uint32_t TM_Time2;
extern TM_DELAY_Timers_t CustomTimers;

#define TM_DELAY_SetTime(time) (TM_Time = (time))
#define TM_DELAY_Time() (TM_Time)
#define TM_DELAY_SetTime2(time) (TM_Time2 = (time))
#define TM_DELAY_Time2() (TM_Time2)

// Starts the cycle counter; nonzero when it runs.
uint32_t TM_DELAY_Init(void);
// Called at the end of every tick; empty in this system.
void TM_DELAY_1msHandler(void);
