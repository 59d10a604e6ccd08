#include "tm_stm32_gpio.h"

void TM_GPIO_Init(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, TM_GPIO_Mode_t GPIO_Mode, TM_GPIO_OType_t GPIO_OType,
                  TM_GPIO_PuPd_t GPIO_PuPd, TM_GPIO_Speed_t GPIO_Speed) {
  if (GPIO_Pin == 0x00) {
    return;
  }
  TM_GPIO_INT_EnableClock(GPIOx);
  TM_GPIO_INT_Init(GPIOx, GPIO_Pin, GPIO_Mode, GPIO_OType, GPIO_PuPd, GPIO_Speed);
}

void TM_GPIO_INT_Init(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, TM_GPIO_Mode_t GPIO_Mode, TM_GPIO_OType_t GPIO_OType,
                      TM_GPIO_PuPd_t GPIO_PuPd, TM_GPIO_Speed_t GPIO_Speed) {
  for (uint8_t pinpos = 0; pinpos < 0x10; pinpos++) {
    if ((GPIO_Pin & (1U << pinpos)) == 0) {
      continue;
    }
    GPIOx->PUPDR = (GPIOx->PUPDR & ~(0x03U << (2 * pinpos))) | ((uint32_t)GPIO_PuPd << (2 * pinpos));
    GPIOx->MODER = (GPIOx->MODER & ~(0x03U << (2 * pinpos))) | ((uint32_t)GPIO_Mode << (2 * pinpos));
    if (GPIO_Mode == TM_GPIO_Mode_OUT || GPIO_Mode == TM_GPIO_Mode_AF) {
      GPIOx->OTYPER = (GPIOx->OTYPER & ~(0x01U << pinpos)) | ((uint32_t)GPIO_OType << pinpos);
      GPIOx->OSPEEDR = (GPIOx->OSPEEDR & ~(0x03U << (2 * pinpos))) | ((uint32_t)GPIO_Speed << (2 * pinpos));
    }
  }
}

void TM_GPIO_SetPinAsInput(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin) {
  for (uint8_t i = 0x00; i < 0x10; i++) {
    if (GPIO_Pin & (1U << i)) {
      GPIOx->MODER = GPIOx->MODER & ~(0x03U << (2 * i));
    }
  }
}

void TM_GPIO_SetPinAsOutput(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin) {
  for (uint8_t i = 0x00; i < 0x10; i++) {
    if (GPIO_Pin & (1U << i)) {
      GPIOx->MODER = (GPIOx->MODER & ~(0x03U << (2 * i))) | (0x01U << (2 * i));
    }
  }
}

uint16_t TM_GPIO_GetPortSource(GPIO_TypeDef* GPIOx) {
  // Port blocks are 0x400 bytes apart, A first.
  return (uint16_t)(((uint32_t)(uintptr_t)GPIOx - GPIOA_BASE) / (GPIOB_BASE - GPIOA_BASE));
}

void TM_GPIO_INT_EnableClock(GPIO_TypeDef* GPIOx) {
  RCC->AHB1ENR |= (1U << TM_GPIO_GetPortSource(GPIOx));
}
