// The register blocks' layout against the reference manuals' offsets: a
// misplaced or missing reserved word fails the build here.
#include <stddef.h>

#include "stm32f4xx.h"

static_assert(offsetof(GPIO_TypeDef, BSRR) == 0x18 && offsetof(GPIO_TypeDef, AFR) == 0x20, "GPIO");
static_assert(offsetof(TIM_TypeDef, CNT) == 0x24 && offsetof(TIM_TypeDef, ARR) == 0x2C && offsetof(TIM_TypeDef, OR) == 0x50,
              "TIM");
static_assert(offsetof(RCC_TypeDef, APB1RSTR) == 0x20 && offsetof(RCC_TypeDef, AHB1ENR) == 0x30 &&
                  offsetof(RCC_TypeDef, APB1ENR) == 0x40 && offsetof(RCC_TypeDef, APB2ENR) == 0x44 &&
                  offsetof(RCC_TypeDef, AHB1LPENR) == 0x50 && offsetof(RCC_TypeDef, BDCR) == 0x70 &&
                  offsetof(RCC_TypeDef, SSCGR) == 0x80 && offsetof(RCC_TypeDef, DCKCFGR) == 0x8C,
              "RCC");
static_assert(offsetof(EXTI_TypeDef, PR) == 0x14, "EXTI");
static_assert(offsetof(SYSCFG_TypeDef, EXTICR) == 0x08 && offsetof(SYSCFG_TypeDef, CMPCR) == 0x20, "SYSCFG");
static_assert(offsetof(ADC_TypeDef, SQR3) == 0x34 && offsetof(ADC_TypeDef, DR) == 0x4C, "ADC");
static_assert(offsetof(ADC_Common_TypeDef, CCR) == 0x04, "ADC common");
static_assert(offsetof(I2C_TypeDef, SR1) == 0x14 && offsetof(I2C_TypeDef, FLTR) == 0x24, "I2C");
static_assert(offsetof(SPI_TypeDef, DR) == 0x0C && offsetof(SPI_TypeDef, I2SPR) == 0x20, "SPI");
static_assert(offsetof(DMA_TypeDef, HIFCR) == 0x0C && sizeof(DMA_Stream_TypeDef) == 0x18, "DMA");
static_assert(offsetof(FLASH_TypeDef, ACR) == 0x00 && offsetof(FLASH_TypeDef, OPTCR) == 0x14, "FLASH");
static_assert(offsetof(SCB_Type, SHP) == 0x18 && offsetof(SCB_Type, SHCSR) == 0x24 && offsetof(SCB_Type, CPACR) == 0x88,
              "SCB");
static_assert(offsetof(NVIC_Type, ICER) == 0x80 && offsetof(NVIC_Type, ISPR) == 0x100 && offsetof(NVIC_Type, IP) == 0x300 &&
                  offsetof(NVIC_Type, STIR) == 0xE00,
              "NVIC");
static_assert(offsetof(SysTick_Type, CALIB) == 0x0C, "SysTick");
static_assert(offsetof(DWT_Type, CYCCNT) == 0x04, "DWT");
static_assert(offsetof(CoreDebug_Type, DEMCR) == 0x0C, "CoreDebug");
static_assert(FPU_BASE + offsetof(FPU_Type, FPCCR) == 0xE000EF34UL, "FPU");
static_assert(DMA2_Stream5_BASE == 0x40026488UL && RCC_BASE == 0x40023800UL && EXTI_BASE == 0x40013C00UL &&
                  SYSCFG_BASE == 0x40013800UL && GPIOH_BASE == 0x40021C00UL && I2C1_BASE == 0x40005400UL &&
                  ADC1_BASE == 0x40012000UL && SPI1_BASE == 0x40013000UL && TIM1_BASE == 0x40010000UL &&
                  TIM5_BASE == 0x40000C00UL,
              "addresses");
