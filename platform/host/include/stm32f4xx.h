// STM32F411xE device header for the host build: interrupt numbers, register
// blocks and their bit names, with each register a proxy to the simulated
// peripheral. Addresses of blocks keep the chip's spacing where firmware
// computes with them (GPIO ports are 0x400 apart).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "host/hw_register.h"
#include "stm32f411_irqn.h"
#include "stm32f411_rcc_bits.h"

#define STM32F411xE 1
#define __NVIC_PRIO_BITS 4U
#define __IO volatile
#define __I volatile const
#define __O volatile

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  HwReg MODER, OTYPER, OSPEEDR, PUPDR, IDR, ODR, BSRR, LCKR;
  HwReg AFR[2];
} GPIO_TypeDef;

typedef struct {
  HwReg CR1, CR2, SMCR, DIER, SR, EGR, CCMR1, CCMR2, CCER, CNT, PSC, ARR, RCR, CCR1, CCR2, CCR3, CCR4, BDTR, DCR, DMAR, OR;
} TIM_TypeDef;

typedef struct {
  HwReg CR, PLLCFGR, CFGR, CIR, AHB1RSTR, AHB2RSTR, APB1RSTR, APB2RSTR, AHB1ENR, AHB2ENR, APB1ENR, APB2ENR,
      AHB1LPENR, AHB2LPENR, APB1LPENR, APB2LPENR, BDCR, CSR, SSCGR, PLLI2SCFGR, DCKCFGR;
} RCC_TypeDef;

typedef struct {
  HwReg IMR, EMR, RTSR, FTSR, SWIER, PR;
} EXTI_TypeDef;

typedef struct {
  HwReg MEMRMP, PMC;
  HwReg EXTICR[4];
  HwReg CMPCR;
} SYSCFG_TypeDef;

typedef struct {
  HwReg SR, CR1, CR2, SMPR1, SMPR2, JOFR1, JOFR2, JOFR3, JOFR4, HTR, LTR, SQR1, SQR2, SQR3, JSQR, JDR1, JDR2, JDR3, JDR4, DR;
} ADC_TypeDef;

typedef struct {
  HwReg CR1, CR2, OAR1, OAR2, DR, SR1, SR2, CCR, TRISE, FLTR;
} I2C_TypeDef;

typedef struct {
  HwReg CR1, CR2, SR, DR, CRCPR, RXCRCR, TXCRCR, I2SCFGR, I2SPR;
} SPI_TypeDef;

typedef struct {
  HwReg CR, NDTR, PAR, M0AR, M1AR, FCR;
} DMA_Stream_TypeDef;

typedef struct {
  HwReg ACR, KEYR, OPTKEYR, SR, CR, OPTCR;
} FLASH_TypeDef;

typedef struct {
  HwReg CR, CSR;
} PWR_TypeDef;

typedef struct {
  HwReg CTRL, CYCCNT, CPICNT, EXCCNT, SLEEPCNT, LSUCNT, FOLDCNT, PCSR;
} DWT_Type;

typedef struct {
  HwReg DHCSR, DCRSR, DCRDR, DEMCR;
} CoreDebug_Type;

typedef struct {
  HwReg CTRL, LOAD, VAL, CALIB;
} SysTick_Type;

// Peripheral blocks of the simulated chip. GPIO blocks are 0x400 bytes apart
// as on the chip, so port arithmetic works the same.
struct HostGpioBlock {
  GPIO_TypeDef regs;
  unsigned char gap[0x400 - sizeof(GPIO_TypeDef)];
};
extern HostGpioBlock host_gpio_blocks[8];
extern TIM_TypeDef host_tim_blocks[12];
extern RCC_TypeDef host_rcc_block;
extern EXTI_TypeDef host_exti_block;
extern SYSCFG_TypeDef host_syscfg_block;
extern ADC_TypeDef host_adc1_block;
extern I2C_TypeDef host_i2c_blocks[3];
extern SPI_TypeDef host_spi_blocks[5];
extern DMA_Stream_TypeDef host_dma_stream_blocks[16];
extern FLASH_TypeDef host_flash_block;
extern PWR_TypeDef host_pwr_block;
extern DWT_Type host_dwt_block;
extern CoreDebug_Type host_coredebug_block;
extern SysTick_Type host_systick_block;

#define GPIOA (&host_gpio_blocks[0].regs)
#define GPIOB (&host_gpio_blocks[1].regs)
#define GPIOC (&host_gpio_blocks[2].regs)
#define GPIOD (&host_gpio_blocks[3].regs)
#define GPIOE (&host_gpio_blocks[4].regs)
#define GPIOH (&host_gpio_blocks[7].regs)
#define GPIOA_BASE ((uint32_t)(uintptr_t)GPIOA)
#define GPIOB_BASE (GPIOA_BASE + 0x0400UL)
#define GPIOC_BASE (GPIOA_BASE + 0x0800UL)
#define GPIOD_BASE (GPIOA_BASE + 0x0C00UL)
#define GPIOE_BASE (GPIOA_BASE + 0x1000UL)
#define GPIOH_BASE (GPIOA_BASE + 0x1C00UL)

#define TIM1 (&host_tim_blocks[1])
#define TIM2 (&host_tim_blocks[2])
#define TIM3 (&host_tim_blocks[3])
#define TIM4 (&host_tim_blocks[4])
#define TIM5 (&host_tim_blocks[5])
#define TIM9 (&host_tim_blocks[9])
#define TIM10 (&host_tim_blocks[10])
#define TIM11 (&host_tim_blocks[11])
#define RCC (&host_rcc_block)
#define EXTI (&host_exti_block)
#define SYSCFG (&host_syscfg_block)
#define ADC1 (&host_adc1_block)
#define I2C1 (&host_i2c_blocks[0])
#define I2C2 (&host_i2c_blocks[1])
#define I2C3 (&host_i2c_blocks[2])
#define SPI1 (&host_spi_blocks[0])
#define SPI2 (&host_spi_blocks[1])
#define SPI3 (&host_spi_blocks[2])
#define SPI4 (&host_spi_blocks[3])
#define SPI5 (&host_spi_blocks[4])
#define DMA1_Stream0 (&host_dma_stream_blocks[0])
#define DMA2_Stream0 (&host_dma_stream_blocks[8])
#define DMA2_Stream5 (&host_dma_stream_blocks[13])
#define FLASH (&host_flash_block)
#define PWR (&host_pwr_block)
#define DWT (&host_dwt_block)
#define CoreDebug (&host_coredebug_block)
#define SysTick (&host_systick_block)

// Bits the firmware and the HAL macros use.
#define PWR_CR_VOS_Msk (0x3U << 14)

#define TIM_CR1_CEN (1U << 0)
#define TIM_CR1_URS (1U << 2)
#define TIM_CR1_ARPE (1U << 7)
#define TIM_DIER_UIE (1U << 0)
#define TIM_SR_UIF (1U << 0)
#define TIM_EGR_UG (1U << 0)

#define SysTick_CTRL_ENABLE_Msk (1U << 0)
#define SysTick_CTRL_TICKINT_Msk (1U << 1)
#define SysTick_CTRL_CLKSOURCE_Msk (1U << 2)
#define SysTick_CTRL_COUNTFLAG_Msk (1U << 16)
#define DWT_CTRL_CYCCNTENA_Msk (1U << 0)
#define CoreDebug_DEMCR_TRCENA_Msk (1U << 24)

#define SET_BIT(REG, BIT) ((REG) |= (BIT))
#define CLEAR_BIT(REG, BIT) ((REG) &= ~(BIT))
#define READ_BIT(REG, BIT) ((REG) & (BIT))
#define WRITE_REG(REG, VAL) ((REG) = (VAL))
#define READ_REG(REG) ((uint32_t)(REG))

extern uint32_t SystemCoreClock;

// Core functions (CMSIS). Each costs the processor its cycles in virtual time.
void __NOP(void);
void __DSB(void);
void __ISB(void);
void __disable_irq(void);
void __enable_irq(void);
uint32_t __get_IPSR(void);
uint32_t __get_PRIMASK(void);
__attribute__((noreturn)) void __NVIC_SystemReset(void);
#define NVIC_SystemReset __NVIC_SystemReset
void NVIC_SetPriorityGrouping(uint32_t PriorityGroup);

#ifdef __cplusplus
}
#endif
