// Native kernel task calls the firmware uses besides CMSIS-RTOS v2.
#pragma once

#include "FreeRTOS.h"

#ifdef __cplusplus
extern "C" {
#endif

struct tskTaskControlBlock;
typedef struct tskTaskControlBlock* TaskHandle_t;

typedef enum { eRunning = 0, eReady, eBlocked, eSuspended, eDeleted, eInvalid } eTaskState;

void vTaskSuspend(TaskHandle_t xTaskToSuspend);
void vTaskResume(TaskHandle_t xTaskToResume);
TickType_t xTaskGetTickCount(void);
eTaskState eTaskGetState(TaskHandle_t xTask);

#ifdef __cplusplus
}
#endif
