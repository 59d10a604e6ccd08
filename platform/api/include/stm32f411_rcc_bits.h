// Clock-enable bits of the STM32F411's RCC registers that the firmware and
// the HAL's clock macros use; the same on the chip and in the simulator.
#pragma once

#define RCC_AHB1ENR_GPIOAEN (1U << 0)
#define RCC_AHB1ENR_GPIOBEN (1U << 1)
#define RCC_AHB1ENR_GPIOCEN (1U << 2)
#define RCC_AHB1ENR_GPIODEN (1U << 3)
#define RCC_AHB1ENR_GPIOEEN (1U << 4)
#define RCC_AHB1ENR_GPIOHEN (1U << 7)
#define RCC_AHB1ENR_DMA1EN (1U << 21)
#define RCC_AHB1ENR_DMA2EN (1U << 22)
#define RCC_APB1ENR_TIM2EN (1U << 0)
#define RCC_APB1ENR_TIM3EN (1U << 1)
#define RCC_APB1ENR_TIM4EN (1U << 2)
#define RCC_APB1ENR_TIM5EN (1U << 3)
#define RCC_APB1ENR_I2C1EN (1U << 21)
#define RCC_APB1ENR_PWREN (1U << 28)
#define RCC_APB2ENR_TIM1EN (1U << 0)
#define RCC_APB2ENR_ADC1EN (1U << 8)
#define RCC_APB2ENR_SPI1EN (1U << 12)
#define RCC_APB2ENR_SYSCFGEN (1U << 14)
