// The Cortex-M4F core's own registers (system control block, SysTick, NVIC,
// data watchpoint and trace unit, debug control, FPU) at their architectural
// addresses, and the core instructions the firmware and the kernel use.
// Included by stm32f4xx.h after the interrupt numbers.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
  __I uint32_t CPUID;    // 0x00
  __IO uint32_t ICSR;    // 0x04
  __IO uint32_t VTOR;    // 0x08
  __IO uint32_t AIRCR;   // 0x0C
  __IO uint32_t SCR;     // 0x10
  __IO uint32_t CCR;     // 0x14
  __IO uint8_t SHP[12];  // 0x18: priorities of the system handlers 4..15
  __IO uint32_t SHCSR;   // 0x24
  __IO uint32_t CFSR;    // 0x28
  __IO uint32_t HFSR;    // 0x2C
  __IO uint32_t DFSR;    // 0x30
  __IO uint32_t MMFAR;   // 0x34
  __IO uint32_t BFAR;    // 0x38
  __IO uint32_t AFSR;    // 0x3C
  __I uint32_t PFR[2];   // 0x40
  __I uint32_t DFR;      // 0x48
  __I uint32_t ADR;      // 0x4C
  __I uint32_t MMFR[4];  // 0x50
  __I uint32_t ISAR[5];  // 0x60
  uint32_t RESERVED0[5];  // 0x74
  __IO uint32_t CPACR;   // 0x88
} SCB_Type;

typedef struct {
  __IO uint32_t CTRL;  // 0x00
  __IO uint32_t LOAD;  // 0x04
  __IO uint32_t VAL;   // 0x08
  __I uint32_t CALIB;  // 0x0C
} SysTick_Type;

typedef struct {
  __IO uint32_t ISER[8];  // 0x000
  uint32_t RESERVED0[24];
  __IO uint32_t ICER[8];  // 0x080
  uint32_t RESERVED1[24];
  __IO uint32_t ISPR[8];  // 0x100
  uint32_t RESERVED2[24];
  __IO uint32_t ICPR[8];  // 0x180
  uint32_t RESERVED3[24];
  __IO uint32_t IABR[8];  // 0x200
  uint32_t RESERVED4[56];
  __IO uint8_t IP[240];  // 0x300
  uint32_t RESERVED5[644];
  __O uint32_t STIR;  // 0xE00
} NVIC_Type;

typedef struct {
  __IO uint32_t CTRL;      // 0x00
  __IO uint32_t CYCCNT;    // 0x04
  __IO uint32_t CPICNT;    // 0x08
  __IO uint32_t EXCCNT;    // 0x0C
  __IO uint32_t SLEEPCNT;  // 0x10
  __IO uint32_t LSUCNT;    // 0x14
  __IO uint32_t FOLDCNT;   // 0x18
  __I uint32_t PCSR;       // 0x1C
} DWT_Type;

typedef struct {
  __IO uint32_t DHCSR;  // 0x00
  __O uint32_t DCRSR;   // 0x04
  __IO uint32_t DCRDR;  // 0x08
  __IO uint32_t DEMCR;  // 0x0C
} CoreDebug_Type;

typedef struct {
  uint32_t RESERVED0;    // 0x00
  __IO uint32_t FPCCR;   // 0x04
  __IO uint32_t FPCAR;   // 0x08
  __IO uint32_t FPDSCR;  // 0x0C
  __I uint32_t MVFR0;    // 0x10
  __I uint32_t MVFR1;    // 0x14
} FPU_Type;

#define SCS_BASE 0xE000E000UL
#define DWT_BASE 0xE0001000UL
#define SysTick_BASE (SCS_BASE + 0x0010UL)
#define NVIC_BASE (SCS_BASE + 0x0100UL)
#define SCB_BASE (SCS_BASE + 0x0D00UL)
#define CoreDebug_BASE 0xE000EDF0UL
#define FPU_BASE (SCS_BASE + 0x0F30UL)

#define SCB ((SCB_Type*)SCB_BASE)
#define SysTick ((SysTick_Type*)SysTick_BASE)
#define NVIC ((NVIC_Type*)NVIC_BASE)
#define DWT ((DWT_Type*)DWT_BASE)
#define CoreDebug ((CoreDebug_Type*)CoreDebug_BASE)
#define FPU ((FPU_Type*)FPU_BASE)

#define SCB_ICSR_PENDSVSET_Msk (1UL << 28)
#define SCB_ICSR_PENDSTSET_Msk (1UL << 26)
#define SCB_AIRCR_VECTKEY (0x5FAUL << 16)
#define SCB_AIRCR_PRIGROUP_Pos 8U
#define SCB_AIRCR_PRIGROUP_Msk (7UL << SCB_AIRCR_PRIGROUP_Pos)
#define SCB_AIRCR_SYSRESETREQ_Msk (1UL << 2)
#define SCB_CPACR_CP10_CP11_FULL (0xFUL << 20)
#define SysTick_CTRL_ENABLE_Msk (1UL << 0)
#define SysTick_CTRL_TICKINT_Msk (1UL << 1)
#define SysTick_CTRL_CLKSOURCE_Msk (1UL << 2)
#define SysTick_CTRL_COUNTFLAG_Msk (1UL << 16)
#define DWT_CTRL_CYCCNTENA_Msk (1UL << 0)
#define CoreDebug_DEMCR_TRCENA_Msk (1UL << 24)
#define FPU_FPCCR_ASPEN_Msk (1UL << 31)
#define FPU_FPCCR_LSPEN_Msk (1UL << 30)

// Core instructions.
static inline __attribute__((always_inline)) void __NOP(void) { __asm volatile("nop"); }
static inline __attribute__((always_inline)) void __DSB(void) { __asm volatile("dsb 0xF" ::: "memory"); }
static inline __attribute__((always_inline)) void __ISB(void) { __asm volatile("isb 0xF" ::: "memory"); }
static inline __attribute__((always_inline)) void __WFI(void) { __asm volatile("wfi"); }
static inline __attribute__((always_inline)) void __disable_irq(void) { __asm volatile("cpsid i" ::: "memory"); }
static inline __attribute__((always_inline)) void __enable_irq(void) { __asm volatile("cpsie i" ::: "memory"); }
static inline __attribute__((always_inline)) uint32_t __get_IPSR(void) {
  uint32_t r;
  __asm volatile("mrs %0, ipsr" : "=r"(r));
  return r;
}
static inline __attribute__((always_inline)) uint32_t __get_PRIMASK(void) {
  uint32_t r;
  __asm volatile("mrs %0, primask" : "=r"(r)::"memory");
  return r;
}
static inline __attribute__((always_inline)) uint32_t __get_BASEPRI(void) {
  uint32_t r;
  __asm volatile("mrs %0, basepri" : "=r"(r)::"memory");
  return r;
}
static inline __attribute__((always_inline)) void __set_BASEPRI(uint32_t value) {
  __asm volatile("msr basepri, %0" ::"r"(value) : "memory");
}
static inline __attribute__((always_inline)) uint32_t __get_CONTROL(void) {
  uint32_t r;
  __asm volatile("mrs %0, control" : "=r"(r));
  return r;
}

void NVIC_SetPriorityGrouping(uint32_t PriorityGroup);
void NVIC_SetPriority(IRQn_Type IRQn, uint32_t priority);
uint32_t NVIC_GetPriority(IRQn_Type IRQn);
void NVIC_EnableIRQ(IRQn_Type IRQn);
void NVIC_DisableIRQ(IRQn_Type IRQn);
__attribute__((noreturn)) void __NVIC_SystemReset(void);
#define NVIC_SystemReset __NVIC_SystemReset

#ifdef __cplusplus
}
#endif
