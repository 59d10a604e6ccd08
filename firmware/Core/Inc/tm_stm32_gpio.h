// GPIO set-up helpers working straight on the port registers.
#pragma once

#include <stdint.h>

#include "stm32f4xx_hal.h"

typedef enum {
  TM_GPIO_Mode_IN = 0x00,   // input
  TM_GPIO_Mode_OUT = 0x01,  // general output
  TM_GPIO_Mode_AF = 0x02,   // alternate function
  TM_GPIO_Mode_AN = 0x03,   // analog
} TM_GPIO_Mode_t;

typedef enum {
  TM_GPIO_OType_PP = 0x00,  // push-pull
  TM_GPIO_OType_OD = 0x01,  // open drain
} TM_GPIO_OType_t;

typedef enum {
  TM_GPIO_PuPd_NOPULL = 0x00,
  TM_GPIO_PuPd_UP = 0x01,
  TM_GPIO_PuPd_DOWN = 0x02,
} TM_GPIO_PuPd_t;

typedef enum {
  TM_GPIO_Speed_Low = 0x00,
  TM_GPIO_Speed_Medium = 0x01,
  TM_GPIO_Speed_Fast = 0x02,
  TM_GPIO_Speed_High = 0x03,
} TM_GPIO_Speed_t;

#define TM_GPIO_SetPinLow(GPIOx, GPIO_Pin) ((GPIOx)->BSRR = (uint32_t)(GPIO_Pin) << 16)
#define TM_GPIO_SetPinHigh(GPIOx, GPIO_Pin) ((GPIOx)->BSRR = (uint32_t)(GPIO_Pin))
#define TM_GPIO_GetInputPinValue(GPIOx, GPIO_Pin) ((((GPIOx)->IDR & (GPIO_Pin)) == 0) ? 0 : 1)

void TM_GPIO_Init(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, TM_GPIO_Mode_t GPIO_Mode, TM_GPIO_OType_t GPIO_OType,
                  TM_GPIO_PuPd_t GPIO_PuPd, TM_GPIO_Speed_t GPIO_Speed);
void TM_GPIO_INT_Init(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, TM_GPIO_Mode_t GPIO_Mode, TM_GPIO_OType_t GPIO_OType,
                      TM_GPIO_PuPd_t GPIO_PuPd, TM_GPIO_Speed_t GPIO_Speed);
void TM_GPIO_SetPinAsInput(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
void TM_GPIO_SetPinAsOutput(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin);
uint16_t TM_GPIO_GetPortSource(GPIO_TypeDef* GPIOx);
void TM_GPIO_INT_EnableClock(GPIO_TypeDef* GPIOx);
