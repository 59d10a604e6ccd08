// Reset and the vector table of the STM32F411: the FPU is switched on before
// any floating-point instruction, initialised data is copied from flash, the
// rest zeroed, constructors run, then main. Every handler the chip has is in
// the table; one the program does not define loops in Default_Handler.
#include <stdint.h>
#include <string.h>

#include "stm32f4xx.h"

extern "C" {
extern uint32_t _estack;
extern uint32_t _sidata, _sdata, _edata, _sbss, _ebss;
void __libc_init_array(void);
int main(void);
void Reset_Handler(void);
void kp_reset_continue(void);

void Default_Handler(void) {
  for (;;) {
  }
}

#define KP_WEAK_HANDLER(name) void name(void) __attribute__((weak, alias("Default_Handler")))
KP_WEAK_HANDLER(NMI_Handler);
KP_WEAK_HANDLER(HardFault_Handler);
KP_WEAK_HANDLER(MemManage_Handler);
KP_WEAK_HANDLER(BusFault_Handler);
KP_WEAK_HANDLER(UsageFault_Handler);
KP_WEAK_HANDLER(SVC_Handler);
KP_WEAK_HANDLER(DebugMon_Handler);
KP_WEAK_HANDLER(PendSV_Handler);
KP_WEAK_HANDLER(SysTick_Handler);
KP_WEAK_HANDLER(WWDG_IRQHandler);
KP_WEAK_HANDLER(PVD_IRQHandler);
KP_WEAK_HANDLER(TAMP_STAMP_IRQHandler);
KP_WEAK_HANDLER(RTC_WKUP_IRQHandler);
KP_WEAK_HANDLER(FLASH_IRQHandler);
KP_WEAK_HANDLER(RCC_IRQHandler);
KP_WEAK_HANDLER(EXTI0_IRQHandler);
KP_WEAK_HANDLER(EXTI1_IRQHandler);
KP_WEAK_HANDLER(EXTI2_IRQHandler);
KP_WEAK_HANDLER(EXTI3_IRQHandler);
KP_WEAK_HANDLER(EXTI4_IRQHandler);
KP_WEAK_HANDLER(DMA1_Stream0_IRQHandler);
KP_WEAK_HANDLER(DMA1_Stream1_IRQHandler);
KP_WEAK_HANDLER(DMA1_Stream2_IRQHandler);
KP_WEAK_HANDLER(DMA1_Stream3_IRQHandler);
KP_WEAK_HANDLER(DMA1_Stream4_IRQHandler);
KP_WEAK_HANDLER(DMA1_Stream5_IRQHandler);
KP_WEAK_HANDLER(DMA1_Stream6_IRQHandler);
KP_WEAK_HANDLER(ADC_IRQHandler);
KP_WEAK_HANDLER(EXTI9_5_IRQHandler);
KP_WEAK_HANDLER(TIM1_BRK_TIM9_IRQHandler);
KP_WEAK_HANDLER(TIM1_UP_TIM10_IRQHandler);
KP_WEAK_HANDLER(TIM1_TRG_COM_TIM11_IRQHandler);
KP_WEAK_HANDLER(TIM1_CC_IRQHandler);
KP_WEAK_HANDLER(TIM2_IRQHandler);
KP_WEAK_HANDLER(TIM3_IRQHandler);
KP_WEAK_HANDLER(TIM4_IRQHandler);
KP_WEAK_HANDLER(I2C1_EV_IRQHandler);
KP_WEAK_HANDLER(I2C1_ER_IRQHandler);
KP_WEAK_HANDLER(I2C2_EV_IRQHandler);
KP_WEAK_HANDLER(I2C2_ER_IRQHandler);
KP_WEAK_HANDLER(SPI1_IRQHandler);
KP_WEAK_HANDLER(SPI2_IRQHandler);
KP_WEAK_HANDLER(USART1_IRQHandler);
KP_WEAK_HANDLER(USART2_IRQHandler);
KP_WEAK_HANDLER(EXTI15_10_IRQHandler);
KP_WEAK_HANDLER(RTC_Alarm_IRQHandler);
KP_WEAK_HANDLER(OTG_FS_WKUP_IRQHandler);
KP_WEAK_HANDLER(DMA1_Stream7_IRQHandler);
KP_WEAK_HANDLER(SDIO_IRQHandler);
KP_WEAK_HANDLER(TIM5_IRQHandler);
KP_WEAK_HANDLER(SPI3_IRQHandler);
KP_WEAK_HANDLER(DMA2_Stream0_IRQHandler);
KP_WEAK_HANDLER(DMA2_Stream1_IRQHandler);
KP_WEAK_HANDLER(DMA2_Stream2_IRQHandler);
KP_WEAK_HANDLER(DMA2_Stream3_IRQHandler);
KP_WEAK_HANDLER(DMA2_Stream4_IRQHandler);
KP_WEAK_HANDLER(OTG_FS_IRQHandler);
KP_WEAK_HANDLER(DMA2_Stream5_IRQHandler);
KP_WEAK_HANDLER(DMA2_Stream6_IRQHandler);
KP_WEAK_HANDLER(DMA2_Stream7_IRQHandler);
KP_WEAK_HANDLER(USART6_IRQHandler);
KP_WEAK_HANDLER(I2C3_EV_IRQHandler);
KP_WEAK_HANDLER(I2C3_ER_IRQHandler);
KP_WEAK_HANDLER(FPU_IRQHandler);
KP_WEAK_HANDLER(SPI4_IRQHandler);
KP_WEAK_HANDLER(SPI5_IRQHandler);
}

using Vector = void (*)(void);

// 16 core entries, then the chip's 86 interrupt lines (0 = reserved line).
extern "C" __attribute__((section(".isr_vector"), used)) const Vector g_pfnVectors[16 + 86] = {
    reinterpret_cast<Vector>(&_estack),
    Reset_Handler,
    NMI_Handler,
    HardFault_Handler,
    MemManage_Handler,
    BusFault_Handler,
    UsageFault_Handler,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    SVC_Handler,
    DebugMon_Handler,
    nullptr,
    PendSV_Handler,
    SysTick_Handler,
    WWDG_IRQHandler,  // 0
    PVD_IRQHandler,
    TAMP_STAMP_IRQHandler,
    RTC_WKUP_IRQHandler,
    FLASH_IRQHandler,
    RCC_IRQHandler,
    EXTI0_IRQHandler,
    EXTI1_IRQHandler,
    EXTI2_IRQHandler,
    EXTI3_IRQHandler,
    EXTI4_IRQHandler,  // 10
    DMA1_Stream0_IRQHandler,
    DMA1_Stream1_IRQHandler,
    DMA1_Stream2_IRQHandler,
    DMA1_Stream3_IRQHandler,
    DMA1_Stream4_IRQHandler,
    DMA1_Stream5_IRQHandler,
    DMA1_Stream6_IRQHandler,
    ADC_IRQHandler,
    nullptr,
    nullptr,  // 20
    nullptr,
    nullptr,
    EXTI9_5_IRQHandler,
    TIM1_BRK_TIM9_IRQHandler,
    TIM1_UP_TIM10_IRQHandler,
    TIM1_TRG_COM_TIM11_IRQHandler,
    TIM1_CC_IRQHandler,
    TIM2_IRQHandler,
    TIM3_IRQHandler,
    TIM4_IRQHandler,  // 30
    I2C1_EV_IRQHandler,
    I2C1_ER_IRQHandler,
    I2C2_EV_IRQHandler,
    I2C2_ER_IRQHandler,
    SPI1_IRQHandler,
    SPI2_IRQHandler,
    USART1_IRQHandler,
    USART2_IRQHandler,
    nullptr,
    EXTI15_10_IRQHandler,  // 40
    RTC_Alarm_IRQHandler,
    OTG_FS_WKUP_IRQHandler,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    DMA1_Stream7_IRQHandler,
    nullptr,
    SDIO_IRQHandler,
    TIM5_IRQHandler,  // 50
    SPI3_IRQHandler,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    DMA2_Stream0_IRQHandler,
    DMA2_Stream1_IRQHandler,
    DMA2_Stream2_IRQHandler,
    DMA2_Stream3_IRQHandler,
    DMA2_Stream4_IRQHandler,  // 60
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    OTG_FS_IRQHandler,
    DMA2_Stream5_IRQHandler,
    DMA2_Stream6_IRQHandler,
    DMA2_Stream7_IRQHandler,  // 70
    USART6_IRQHandler,
    I2C3_EV_IRQHandler,
    I2C3_ER_IRQHandler,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,  // 80
    FPU_IRQHandler,
    nullptr,
    nullptr,
    SPI4_IRQHandler,
    SPI5_IRQHandler,  // 85
};

// The FPU is enabled first, in instructions the compiler cannot reorder
// below any floating-point code of its own.
extern "C" __attribute__((naked, noreturn)) void Reset_Handler(void) {
  __asm volatile(
      "  ldr r0, =0xE000ED88    \n"  // CPACR: CP10 and CP11 full access
      "  ldr r1, [r0]           \n"
      "  orr r1, r1, #0x00F00000\n"
      "  str r1, [r0]           \n"
      "  dsb                    \n"
      "  isb                    \n"
      "  ldr r0, =_estack       \n"
      "  mov sp, r0             \n"
      "  b kp_reset_continue    \n"
      "  .ltorg                 \n");
}

extern "C" __attribute__((noreturn, used)) void kp_reset_continue(void) {
  // Automatic and lazy stacking of the FPU state on exceptions.
  FPU->FPCCR = FPU->FPCCR | FPU_FPCCR_ASPEN_Msk | FPU_FPCCR_LSPEN_Msk;
  SCB->VTOR = (uint32_t)(uintptr_t)g_pfnVectors;
  for (uint32_t *src = &_sidata, *dst = &_sdata; dst < &_edata;) *dst++ = *src++;
  for (uint32_t* dst = &_sbss; dst < &_ebss;) *dst++ = 0;
  SystemInit();
  __libc_init_array();
  main();
  for (;;) {
  }
}
