// Interrupt and exception handlers.
#include "stm32f4xx_it.h"

#include "board_setup.h"
#include "cruise_control.h"
#include "main.h"
#include "trip_computer.h"

extern TIM_HandleTypeDef htim1;

// Faults end in a loop, as on any unrecoverable error.
void NMI_Handler(void) {
  while (1) {
    __NOP();
  }
}

void HardFault_Handler(void) {
  while (1) {
    __NOP();
  }
}

void MemManage_Handler(void) {
  while (1) {
    __NOP();
  }
}

void BusFault_Handler(void) {
  while (1) {
    __NOP();
  }
}

void UsageFault_Handler(void) {
  while (1) {
    __NOP();
  }
}

void DebugMon_Handler(void) {}

// Speed sensor, PA8.
void EXTI9_5_IRQHandler(void) { HAL_GPIO_EXTI_IRQHandler(speed_Pin); }

// The HAL's millisecond tick.
void TIM1_UP_TIM10_IRQHandler(void) { HAL_TIM_IRQHandler(&htim1); }

// Once a second.
void TIM3_IRQHandler(void) {
  OneSecInt();
  HAL_TIM_IRQHandler(&htim3);
}

// Stepper tick.
void TIM4_IRQHandler(void) {
  StepperControlnterrupt();
  HAL_TIM_IRQHandler(&htim4);
}

// Petrol injector PB12, LPG injector PB13, encoder clock PA15, in this order.
void EXTI15_10_IRQHandler(void) {
  HAL_GPIO_EXTI_IRQHandler(wtr_pb_Pin);
  HAL_GPIO_EXTI_IRQHandler(wtr_lpg_Pin);
  HAL_GPIO_EXTI_IRQHandler(enc_clk_Pin);
}

// Cruise-control tick.
void TIM5_IRQHandler(void) {
  CriuseControlInterrupt();
  HAL_TIM_IRQHandler(&htim5);
}

// Display transfer by DMA completed.
void DMA2_Stream5_IRQHandler(void) { HAL_DMA_IRQHandler(&hdma_spi1_tx); }
