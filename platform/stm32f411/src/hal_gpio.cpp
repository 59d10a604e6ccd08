// Pins: mode, output type, speed, pull, alternate function, and the
// pin-change interrupt lines routed through SYSCFG to EXTI.
#include "stm32f4xx_hal.h"

namespace {

// Fields of the HAL's GPIO mode word.
constexpr uint32_t kModeMask = 0x3U;         // input, output, alternate, analog
constexpr uint32_t kOpenDrain = 0x10U;
constexpr uint32_t kExti = 0x10000000U;
constexpr uint32_t kExtiIt = 0x00010000U;
constexpr uint32_t kExtiEvt = 0x00020000U;
constexpr uint32_t kRising = 0x00100000U;
constexpr uint32_t kFalling = 0x00200000U;

uint32_t port_index(const GPIO_TypeDef* port) { return ((uint32_t)(uintptr_t)port - GPIOA_BASE) / 0x400U; }

void set_bit(volatile uint32_t& reg, uint32_t bit, bool on) { reg = on ? (reg | bit) : (reg & ~bit); }

}  // namespace

void HAL_GPIO_Init(GPIO_TypeDef* GPIOx, GPIO_InitTypeDef* init) {
  for (uint32_t pin = 0; pin < 16; pin++) {
    const uint32_t bit = 1U << pin;
    if ((init->Pin & bit) == 0) continue;
    const uint32_t mode = init->Mode & kModeMask;
    if (mode == GPIO_MODE_OUTPUT_PP || mode == GPIO_MODE_AF_PP) {
      GPIOx->OSPEEDR = (GPIOx->OSPEEDR & ~(3U << (2 * pin))) | ((init->Speed & 3U) << (2 * pin));
      set_bit(GPIOx->OTYPER, bit, (init->Mode & kOpenDrain) != 0);
    }
    if (mode != GPIO_MODE_ANALOG) {
      GPIOx->PUPDR = (GPIOx->PUPDR & ~(3U << (2 * pin))) | ((init->Pull & 3U) << (2 * pin));
    }
    if (mode == GPIO_MODE_AF_PP) {
      volatile uint32_t& afr = GPIOx->AFR[pin >> 3];
      const uint32_t shift = 4U * (pin & 7U);
      afr = (afr & ~(0xFU << shift)) | ((init->Alternate & 0xFU) << shift);
    }
    GPIOx->MODER = (GPIOx->MODER & ~(3U << (2 * pin))) | (mode << (2 * pin));
    if ((init->Mode & kExti) != 0) {
      volatile uint32_t& cr = SYSCFG->EXTICR[pin >> 2];
      const uint32_t shift = 4U * (pin & 3U);
      cr = (cr & ~(0xFU << shift)) | (port_index(GPIOx) << shift);
      set_bit(EXTI->RTSR, bit, (init->Mode & kRising) != 0);
      set_bit(EXTI->FTSR, bit, (init->Mode & kFalling) != 0);
      set_bit(EXTI->EMR, bit, (init->Mode & kExtiEvt) != 0);
      set_bit(EXTI->IMR, bit, (init->Mode & kExtiIt) != 0);
    }
  }
}

GPIO_PinState HAL_GPIO_ReadPin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin) {
  return (GPIOx->IDR & GPIO_Pin) != 0 ? GPIO_PIN_SET : GPIO_PIN_RESET;
}

void HAL_GPIO_WritePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin, GPIO_PinState PinState) {
  GPIOx->BSRR = PinState != GPIO_PIN_RESET ? (uint32_t)GPIO_Pin : (uint32_t)GPIO_Pin << 16;
}

void HAL_GPIO_TogglePin(GPIO_TypeDef* GPIOx, uint16_t GPIO_Pin) {
  const uint32_t odr = GPIOx->ODR;
  GPIOx->BSRR = ((odr & GPIO_Pin) << 16) | (~odr & GPIO_Pin);
}

void HAL_GPIO_EXTI_IRQHandler(uint16_t GPIO_Pin) {
  if ((EXTI->PR & GPIO_Pin) != 0) {
    EXTI->PR = GPIO_Pin;  // cleared by writing 1
    HAL_GPIO_EXTI_Callback(GPIO_Pin);
  }
}
