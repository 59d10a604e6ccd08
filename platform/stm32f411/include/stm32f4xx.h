// STM32F411xE device header: interrupt numbers, peripheral register blocks
// at their addresses on the chip, and the register bits this firmware and
// its HAL use. Register blocks are laid out word for word, reserved words
// included, as the reference manual gives them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define STM32F411xE 1
#define __NVIC_PRIO_BITS 4U
#ifdef __cplusplus
#define __I volatile
#else
#define __I volatile const
#endif
#define __O volatile
#define __IO volatile

#include "stm32f411_irqn.h"
#include "stm32f411_rcc_bits.h"
#include "cortex_m4.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  __IO uint32_t MODER;    // 0x00
  __IO uint32_t OTYPER;   // 0x04
  __IO uint32_t OSPEEDR;  // 0x08
  __IO uint32_t PUPDR;    // 0x0C
  __IO uint32_t IDR;      // 0x10
  __IO uint32_t ODR;      // 0x14
  __IO uint32_t BSRR;     // 0x18
  __IO uint32_t LCKR;     // 0x1C
  __IO uint32_t AFR[2];   // 0x20
} GPIO_TypeDef;

typedef struct {
  __IO uint32_t CR1;    // 0x00
  __IO uint32_t CR2;    // 0x04
  __IO uint32_t SMCR;   // 0x08
  __IO uint32_t DIER;   // 0x0C
  __IO uint32_t SR;     // 0x10
  __IO uint32_t EGR;    // 0x14
  __IO uint32_t CCMR1;  // 0x18
  __IO uint32_t CCMR2;  // 0x1C
  __IO uint32_t CCER;   // 0x20
  __IO uint32_t CNT;    // 0x24
  __IO uint32_t PSC;    // 0x28
  __IO uint32_t ARR;    // 0x2C
  __IO uint32_t RCR;    // 0x30
  __IO uint32_t CCR1;   // 0x34
  __IO uint32_t CCR2;   // 0x38
  __IO uint32_t CCR3;   // 0x3C
  __IO uint32_t CCR4;   // 0x40
  __IO uint32_t BDTR;   // 0x44
  __IO uint32_t DCR;    // 0x48
  __IO uint32_t DMAR;   // 0x4C
  __IO uint32_t OR;     // 0x50
} TIM_TypeDef;

typedef struct {
  __IO uint32_t CR;          // 0x00
  __IO uint32_t PLLCFGR;     // 0x04
  __IO uint32_t CFGR;        // 0x08
  __IO uint32_t CIR;         // 0x0C
  __IO uint32_t AHB1RSTR;    // 0x10
  __IO uint32_t AHB2RSTR;    // 0x14
  uint32_t RESERVED0[2];     // 0x18
  __IO uint32_t APB1RSTR;    // 0x20
  __IO uint32_t APB2RSTR;    // 0x24
  uint32_t RESERVED1[2];     // 0x28
  __IO uint32_t AHB1ENR;     // 0x30
  __IO uint32_t AHB2ENR;     // 0x34
  uint32_t RESERVED2[2];     // 0x38
  __IO uint32_t APB1ENR;     // 0x40
  __IO uint32_t APB2ENR;     // 0x44
  uint32_t RESERVED3[2];     // 0x48
  __IO uint32_t AHB1LPENR;   // 0x50
  __IO uint32_t AHB2LPENR;   // 0x54
  uint32_t RESERVED4[2];     // 0x58
  __IO uint32_t APB1LPENR;   // 0x60
  __IO uint32_t APB2LPENR;   // 0x64
  uint32_t RESERVED5[2];     // 0x68
  __IO uint32_t BDCR;        // 0x70
  __IO uint32_t CSR;         // 0x74
  uint32_t RESERVED6[2];     // 0x78
  __IO uint32_t SSCGR;       // 0x80
  __IO uint32_t PLLI2SCFGR;  // 0x84
  uint32_t RESERVED7;        // 0x88
  __IO uint32_t DCKCFGR;     // 0x8C
} RCC_TypeDef;

typedef struct {
  __IO uint32_t IMR;    // 0x00
  __IO uint32_t EMR;    // 0x04
  __IO uint32_t RTSR;   // 0x08
  __IO uint32_t FTSR;   // 0x0C
  __IO uint32_t SWIER;  // 0x10
  __IO uint32_t PR;     // 0x14
} EXTI_TypeDef;

typedef struct {
  __IO uint32_t MEMRMP;     // 0x00
  __IO uint32_t PMC;        // 0x04
  __IO uint32_t EXTICR[4];  // 0x08
  uint32_t RESERVED[2];     // 0x18
  __IO uint32_t CMPCR;      // 0x20
} SYSCFG_TypeDef;

typedef struct {
  __IO uint32_t SR;     // 0x00
  __IO uint32_t CR1;    // 0x04
  __IO uint32_t CR2;    // 0x08
  __IO uint32_t SMPR1;  // 0x0C
  __IO uint32_t SMPR2;  // 0x10
  __IO uint32_t JOFR1;  // 0x14
  __IO uint32_t JOFR2;  // 0x18
  __IO uint32_t JOFR3;  // 0x1C
  __IO uint32_t JOFR4;  // 0x20
  __IO uint32_t HTR;    // 0x24
  __IO uint32_t LTR;    // 0x28
  __IO uint32_t SQR1;   // 0x2C
  __IO uint32_t SQR2;   // 0x30
  __IO uint32_t SQR3;   // 0x34
  __IO uint32_t JSQR;   // 0x38
  __IO uint32_t JDR1;   // 0x3C
  __IO uint32_t JDR2;   // 0x40
  __IO uint32_t JDR3;   // 0x44
  __IO uint32_t JDR4;   // 0x48
  __IO uint32_t DR;     // 0x4C
} ADC_TypeDef;

typedef struct {
  __IO uint32_t CSR;  // 0x00 (0x300 from ADC1)
  __IO uint32_t CCR;  // 0x04
  __IO uint32_t CDR;  // 0x08
} ADC_Common_TypeDef;

typedef struct {
  __IO uint32_t CR1;    // 0x00
  __IO uint32_t CR2;    // 0x04
  __IO uint32_t OAR1;   // 0x08
  __IO uint32_t OAR2;   // 0x0C
  __IO uint32_t DR;     // 0x10
  __IO uint32_t SR1;    // 0x14
  __IO uint32_t SR2;    // 0x18
  __IO uint32_t CCR;    // 0x1C
  __IO uint32_t TRISE;  // 0x20
  __IO uint32_t FLTR;   // 0x24
} I2C_TypeDef;

typedef struct {
  __IO uint32_t CR1;      // 0x00
  __IO uint32_t CR2;      // 0x04
  __IO uint32_t SR;       // 0x08
  __IO uint32_t DR;       // 0x0C
  __IO uint32_t CRCPR;    // 0x10
  __IO uint32_t RXCRCR;   // 0x14
  __IO uint32_t TXCRCR;   // 0x18
  __IO uint32_t I2SCFGR;  // 0x1C
  __IO uint32_t I2SPR;    // 0x20
} SPI_TypeDef;

typedef struct {
  __IO uint32_t LISR;   // 0x00
  __IO uint32_t HISR;   // 0x04
  __IO uint32_t LIFCR;  // 0x08
  __IO uint32_t HIFCR;  // 0x0C
} DMA_TypeDef;

typedef struct {
  __IO uint32_t CR;    // 0x00
  __IO uint32_t NDTR;  // 0x04
  __IO uint32_t PAR;   // 0x08
  __IO uint32_t M0AR;  // 0x0C
  __IO uint32_t M1AR;  // 0x10
  __IO uint32_t FCR;   // 0x14
} DMA_Stream_TypeDef;

typedef struct {
  __IO uint32_t ACR;      // 0x00
  __IO uint32_t KEYR;     // 0x04
  __IO uint32_t OPTKEYR;  // 0x08
  __IO uint32_t SR;       // 0x0C
  __IO uint32_t CR;       // 0x10
  __IO uint32_t OPTCR;    // 0x14
} FLASH_TypeDef;

typedef struct {
  __IO uint32_t CR;   // 0x00
  __IO uint32_t CSR;  // 0x04
} PWR_TypeDef;

// Peripheral addresses (memory map of the STM32F411).
#define PERIPH_BASE 0x40000000UL
#define APB1PERIPH_BASE PERIPH_BASE
#define APB2PERIPH_BASE (PERIPH_BASE + 0x00010000UL)
#define AHB1PERIPH_BASE (PERIPH_BASE + 0x00020000UL)

#define TIM2_BASE (APB1PERIPH_BASE + 0x0000UL)
#define TIM3_BASE (APB1PERIPH_BASE + 0x0400UL)
#define TIM4_BASE (APB1PERIPH_BASE + 0x0800UL)
#define TIM5_BASE (APB1PERIPH_BASE + 0x0C00UL)
#define I2C1_BASE (APB1PERIPH_BASE + 0x5400UL)
#define PWR_BASE (APB1PERIPH_BASE + 0x7000UL)
#define TIM1_BASE (APB2PERIPH_BASE + 0x0000UL)
#define ADC1_BASE (APB2PERIPH_BASE + 0x2000UL)
#define ADC1_COMMON_BASE (APB2PERIPH_BASE + 0x2300UL)
#define SPI1_BASE (APB2PERIPH_BASE + 0x3000UL)
#define SYSCFG_BASE (APB2PERIPH_BASE + 0x3800UL)
#define EXTI_BASE (APB2PERIPH_BASE + 0x3C00UL)
#define TIM9_BASE (APB2PERIPH_BASE + 0x4000UL)
#define TIM10_BASE (APB2PERIPH_BASE + 0x4400UL)
#define TIM11_BASE (APB2PERIPH_BASE + 0x4800UL)
#define GPIOA_BASE (AHB1PERIPH_BASE + 0x0000UL)
#define GPIOB_BASE (AHB1PERIPH_BASE + 0x0400UL)
#define GPIOC_BASE (AHB1PERIPH_BASE + 0x0800UL)
#define GPIOD_BASE (AHB1PERIPH_BASE + 0x0C00UL)
#define GPIOE_BASE (AHB1PERIPH_BASE + 0x1000UL)
#define GPIOH_BASE (AHB1PERIPH_BASE + 0x1C00UL)
#define RCC_BASE (AHB1PERIPH_BASE + 0x3800UL)
#define FLASH_R_BASE (AHB1PERIPH_BASE + 0x3C00UL)
#define DMA1_BASE (AHB1PERIPH_BASE + 0x6000UL)
#define DMA2_BASE (AHB1PERIPH_BASE + 0x6400UL)
#define DMA2_Stream0_BASE (DMA2_BASE + 0x010UL)
#define DMA2_Stream5_BASE (DMA2_BASE + 0x010UL + 5UL * 0x018UL)

#define TIM1 ((TIM_TypeDef*)TIM1_BASE)
#define TIM2 ((TIM_TypeDef*)TIM2_BASE)
#define TIM3 ((TIM_TypeDef*)TIM3_BASE)
#define TIM4 ((TIM_TypeDef*)TIM4_BASE)
#define TIM5 ((TIM_TypeDef*)TIM5_BASE)
#define TIM9 ((TIM_TypeDef*)TIM9_BASE)
#define TIM10 ((TIM_TypeDef*)TIM10_BASE)
#define TIM11 ((TIM_TypeDef*)TIM11_BASE)
#define I2C1 ((I2C_TypeDef*)I2C1_BASE)
#define PWR ((PWR_TypeDef*)PWR_BASE)
#define ADC1 ((ADC_TypeDef*)ADC1_BASE)
#define ADC1_COMMON ((ADC_Common_TypeDef*)ADC1_COMMON_BASE)
#define SPI1 ((SPI_TypeDef*)SPI1_BASE)
#define SYSCFG ((SYSCFG_TypeDef*)SYSCFG_BASE)
#define EXTI ((EXTI_TypeDef*)EXTI_BASE)
#define GPIOA ((GPIO_TypeDef*)GPIOA_BASE)
#define GPIOB ((GPIO_TypeDef*)GPIOB_BASE)
#define GPIOC ((GPIO_TypeDef*)GPIOC_BASE)
#define GPIOD ((GPIO_TypeDef*)GPIOD_BASE)
#define GPIOE ((GPIO_TypeDef*)GPIOE_BASE)
#define GPIOH ((GPIO_TypeDef*)GPIOH_BASE)
#define RCC ((RCC_TypeDef*)RCC_BASE)
#define FLASH ((FLASH_TypeDef*)FLASH_R_BASE)
#define DMA1 ((DMA_TypeDef*)DMA1_BASE)
#define DMA2 ((DMA_TypeDef*)DMA2_BASE)
#define DMA2_Stream0 ((DMA_Stream_TypeDef*)DMA2_Stream0_BASE)
#define DMA2_Stream5 ((DMA_Stream_TypeDef*)DMA2_Stream5_BASE)

// ---------------------------------------------------------------- bits
#define RCC_CR_HSION (1U << 0)
#define RCC_CR_HSIRDY (1U << 1)
#define RCC_CR_HSITRIM_Pos 3U
#define RCC_CR_HSITRIM_Msk (0x1FU << RCC_CR_HSITRIM_Pos)
#define RCC_CR_HSEON (1U << 16)
#define RCC_CR_HSERDY (1U << 17)
#define RCC_CR_PLLON (1U << 24)
#define RCC_CR_PLLRDY (1U << 25)
#define RCC_PLLCFGR_PLLM_Pos 0U
#define RCC_PLLCFGR_PLLN_Pos 6U
#define RCC_PLLCFGR_PLLP_Pos 16U
#define RCC_PLLCFGR_PLLSRC (1U << 22)
#define RCC_PLLCFGR_PLLQ_Pos 24U
#define RCC_CFGR_SW_Msk (0x3U << 0)
#define RCC_CFGR_SWS_Pos 2U
#define RCC_CFGR_SWS_Msk (0x3U << RCC_CFGR_SWS_Pos)
#define RCC_CFGR_HPRE_Pos 4U
#define RCC_CFGR_HPRE_Msk (0xFU << RCC_CFGR_HPRE_Pos)
#define RCC_CFGR_PPRE1_Pos 10U
#define RCC_CFGR_PPRE1_Msk (0x7U << RCC_CFGR_PPRE1_Pos)
#define RCC_CFGR_PPRE2_Pos 13U
#define RCC_CFGR_PPRE2_Msk (0x7U << RCC_CFGR_PPRE2_Pos)

#define FLASH_ACR_LATENCY_Msk (0xFU << 0)
#define FLASH_ACR_PRFTEN (1U << 8)
#define FLASH_ACR_ICEN (1U << 9)
#define FLASH_ACR_DCEN (1U << 10)
#define PWR_CR_VOS_Msk (0x3U << 14)

#define TIM_CR1_CEN (1U << 0)
#define TIM_CR1_URS (1U << 2)
#define TIM_CR1_DIR (1U << 4)
#define TIM_CR1_CMS_Msk (0x3U << 5)
#define TIM_CR1_ARPE (1U << 7)
#define TIM_CR1_CKD_Msk (0x3U << 8)
#define TIM_CR2_MMS_Msk (0x7U << 4)
#define TIM_SMCR_SMS_Msk (0x7U << 0)
#define TIM_SMCR_TS_Msk (0x7U << 4)
#define TIM_SMCR_MSM (1U << 7)
#define TIM_SMCR_ECE (1U << 14)
#define TIM_DIER_UIE (1U << 0)
#define TIM_SR_UIF (1U << 0)
#define TIM_EGR_UG (1U << 0)

#define ADC_SR_EOC (1U << 1)
#define ADC_SR_OVR (1U << 5)
#define ADC_CR1_SCAN (1U << 8)
#define ADC_CR1_DISCEN (1U << 11)
#define ADC_CR1_RES_Msk (0x3U << 24)
#define ADC_CR2_ADON (1U << 0)
#define ADC_CR2_CONT (1U << 1)
#define ADC_CR2_ALIGN (1U << 11)
#define ADC_CR2_EOCS (1U << 10)
#define ADC_CR2_EXTEN_Msk (0x3U << 28)
#define ADC_CR2_SWSTART (1U << 30)
#define ADC_SQR1_L_Pos 20U
#define ADC_CCR_ADCPRE_Msk (0x3U << 16)

#define I2C_CR1_PE (1U << 0)
#define I2C_CR1_START (1U << 8)
#define I2C_CR1_STOP (1U << 9)
#define I2C_CR1_ACK (1U << 10)
#define I2C_CR1_POS (1U << 11)
#define I2C_CR1_SWRST (1U << 15)
#define I2C_SR1_SB (1U << 0)
#define I2C_SR1_ADDR (1U << 1)
#define I2C_SR1_BTF (1U << 2)
#define I2C_SR1_RXNE (1U << 6)
#define I2C_SR1_TXE (1U << 7)
#define I2C_SR1_BERR (1U << 8)
#define I2C_SR1_ARLO (1U << 9)
#define I2C_SR1_AF (1U << 10)
#define I2C_SR2_BUSY (1U << 1)
#define I2C_CCR_FS (1U << 15)

#define SPI_CR1_SPE (1U << 6)
#define SPI_CR2_TXDMAEN (1U << 1)
#define SPI_SR_RXNE (1U << 0)
#define SPI_SR_TXE (1U << 1)
#define SPI_SR_OVR (1U << 6)
#define SPI_SR_BSY (1U << 7)

#define DMA_SxCR_EN (1U << 0)
#define DMA_SxCR_DMEIE (1U << 1)
#define DMA_SxCR_TEIE (1U << 2)
#define DMA_SxCR_HTIE (1U << 3)
#define DMA_SxCR_TCIE (1U << 4)
#define DMA_SxFCR_DMDIS (1U << 2)
// Flags of one stream in LISR/HISR and LIFCR/HIFCR, from the stream's bit offset.
#define DMA_FLAG_FEIF (1U << 0)
#define DMA_FLAG_DMEIF (1U << 2)
#define DMA_FLAG_TEIF (1U << 3)
#define DMA_FLAG_HTIF (1U << 4)
#define DMA_FLAG_TCIF (1U << 5)

#define SET_BIT(REG, BIT) ((REG) |= (BIT))
#define CLEAR_BIT(REG, BIT) ((REG) &= ~(BIT))
#define READ_BIT(REG, BIT) ((REG) & (BIT))
#define WRITE_REG(REG, VAL) ((REG) = (VAL))
#define READ_REG(REG) ((REG))
#define MODIFY_REG(REG, CLEARMASK, SETMASK) WRITE_REG((REG), (((READ_REG(REG)) & (~(CLEARMASK))) | (SETMASK)))

extern uint32_t SystemCoreClock;
void SystemInit(void);

#ifdef __cplusplus
}
#endif
