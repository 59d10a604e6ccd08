// CMSIS-RTOS v2 API over each platform's kernel: the calls this firmware makes.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* osThreadId_t;
typedef void (*osThreadFunc_t)(void* argument);

typedef enum {
  osOK = 0,
  osError = -1,
  osErrorTimeout = -2,
  osErrorResource = -3,
  osErrorParameter = -4,
  osErrorNoMemory = -5,
  osErrorISR = -6,
} osStatus_t;

typedef enum {
  osPriorityNone = 0,
  osPriorityIdle = 1,
  osPriorityLow = 8,
  osPriorityBelowNormal = 16,
  osPriorityNormal = 24,
  osPriorityAboveNormal = 32,
  osPriorityHigh = 40,
  osPriorityRealtime = 48,
  osPriorityISR = 56,
  osPriorityError = -1,
} osPriority_t;

typedef struct {
  const char* name;
  uint32_t attr_bits;
  void* cb_mem;
  uint32_t cb_size;
  void* stack_mem;
  uint32_t stack_size;
  osPriority_t priority;
  uint32_t tz_module;
  uint32_t reserved;
} osThreadAttr_t;

osStatus_t osKernelInitialize(void);
osStatus_t osKernelStart(void);
uint32_t osKernelGetTickCount(void);
osThreadId_t osThreadNew(osThreadFunc_t func, void* argument, const osThreadAttr_t* attr);
osStatus_t osDelay(uint32_t ticks);

#ifdef __cplusplus
}
#endif
