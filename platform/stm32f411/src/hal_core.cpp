// HAL start-up, interrupt priorities and the system reset.
#include "stm32f4xx_hal.h"

uint32_t uwTickPrio = 1UL << __NVIC_PRIO_BITS;  // no valid priority yet

HAL_StatusTypeDef HAL_Init(void) {
  FLASH->ACR = FLASH->ACR | FLASH_ACR_ICEN | FLASH_ACR_DCEN | FLASH_ACR_PRFTEN;
  HAL_NVIC_SetPriorityGrouping(NVIC_PRIORITYGROUP_4);
  // The tick runs from the 16 MHz oscillator until the clocks are raised.
  if (HAL_InitTick(TICK_INT_PRIORITY) != HAL_OK) return HAL_ERROR;
  HAL_MspInit();
  return HAL_OK;
}

void NVIC_SetPriorityGrouping(uint32_t PriorityGroup) {
  const uint32_t aircr = SCB->AIRCR & ~(0xFFFFUL << 16 | SCB_AIRCR_PRIGROUP_Msk);
  SCB->AIRCR = aircr | SCB_AIRCR_VECTKEY | ((PriorityGroup & 7U) << SCB_AIRCR_PRIGROUP_Pos);
}

void NVIC_SetPriority(IRQn_Type IRQn, uint32_t priority) {
  const uint8_t value = (uint8_t)((priority << (8U - __NVIC_PRIO_BITS)) & 0xFFU);
  if ((int32_t)IRQn >= 0) {
    NVIC->IP[(uint32_t)IRQn] = value;
  } else {
    SCB->SHP[((uint32_t)IRQn & 0xFU) - 4U] = value;
  }
}

uint32_t NVIC_GetPriority(IRQn_Type IRQn) {
  if ((int32_t)IRQn >= 0) return (uint32_t)NVIC->IP[(uint32_t)IRQn] >> (8U - __NVIC_PRIO_BITS);
  return (uint32_t)SCB->SHP[((uint32_t)IRQn & 0xFU) - 4U] >> (8U - __NVIC_PRIO_BITS);
}

void NVIC_EnableIRQ(IRQn_Type IRQn) {
  if ((int32_t)IRQn >= 0) NVIC->ISER[(uint32_t)IRQn >> 5] = 1UL << ((uint32_t)IRQn & 0x1FU);
}

void NVIC_DisableIRQ(IRQn_Type IRQn) {
  if ((int32_t)IRQn >= 0) {
    NVIC->ICER[(uint32_t)IRQn >> 5] = 1UL << ((uint32_t)IRQn & 0x1FU);
    __DSB();
    __ISB();
  }
}

void HAL_NVIC_SetPriorityGrouping(uint32_t PriorityGroup) { NVIC_SetPriorityGrouping(PriorityGroup); }

// With grouping 4 every priority bit is a preemption bit: no subpriority.
void HAL_NVIC_SetPriority(IRQn_Type IRQn, uint32_t PreemptPriority, uint32_t SubPriority) {
  (void)SubPriority;
  NVIC_SetPriority(IRQn, PreemptPriority & 0xFU);
}

void HAL_NVIC_EnableIRQ(IRQn_Type IRQn) { NVIC_EnableIRQ(IRQn); }
void HAL_NVIC_DisableIRQ(IRQn_Type IRQn) { NVIC_DisableIRQ(IRQn); }

void __NVIC_SystemReset(void) {
  __DSB();
  SCB->AIRCR = SCB_AIRCR_VECTKEY | (SCB->AIRCR & SCB_AIRCR_PRIGROUP_Msk) | SCB_AIRCR_SYSRESETREQ_Msk;
  __DSB();
  for (;;) {
    __NOP();
  }
}
