// HAL start-up, the NVIC calls and the CMSIS core functions.
#include "machine_impl.h"

extern "C" {

uint32_t SystemCoreClock = 16000000U;
uint32_t uwTickPrio = 16U;  // no valid priority until the tick is set up

HAL_StatusTypeDef HAL_Init(void) {
  host::MachineImpl& m = host::impl();
  m.cpu.charge(host::cost::kHalInit);
  // Flash prefetch, instruction and data caches on.
  m.flash_acr |= (1u << 8) | (1u << 9) | (1u << 10);
  HAL_NVIC_SetPriorityGrouping(NVIC_PRIORITYGROUP_4);
  if (m.hooks.init_tick != nullptr) m.hooks.init_tick(TICK_INT_PRIORITY);
  if (m.hooks.msp_init != nullptr) m.hooks.msp_init();
  return HAL_OK;
}

void HAL_NVIC_SetPriorityGrouping(uint32_t PriorityGroup) {
  (void)PriorityGroup;  // four bits of pre-emption priority, no sub-priority
  host::impl().cpu.charge(host::cost::kRegister);
}

void NVIC_SetPriorityGrouping(uint32_t PriorityGroup) { HAL_NVIC_SetPriorityGrouping(PriorityGroup); }

void HAL_NVIC_SetPriority(IRQn_Type IRQn, uint32_t PreemptPriority, uint32_t SubPriority) {
  (void)SubPriority;
  host::MachineImpl& m = host::impl();
  m.cpu.charge(host::cost::kHalCall);
  const int e = host::Nvic::exception_of_irq(IRQn);
  if (e < 4 || e >= host::Nvic::kExceptions) return;  // NMI and hard fault have fixed priorities
  m.nvic.set_priority(e, static_cast<std::uint8_t>(PreemptPriority & 0x0F));
}

void HAL_NVIC_EnableIRQ(IRQn_Type IRQn) {
  host::MachineImpl& m = host::impl();
  m.cpu.charge(host::cost::kHalCall);
  if (IRQn >= 0) m.nvic.enable(host::Nvic::exception_of_irq(IRQn), true);
}

void HAL_NVIC_DisableIRQ(IRQn_Type IRQn) {
  host::MachineImpl& m = host::impl();
  m.cpu.charge(host::cost::kHalCall);
  if (IRQn >= 0) m.nvic.enable(host::Nvic::exception_of_irq(IRQn), false);
}

void __NOP(void) { host::impl().cpu.charge_poll(host::cost::kNop); }
void __DSB(void) { host::impl().cpu.charge_poll(host::cost::kNop); }
void __ISB(void) { host::impl().cpu.charge_poll(host::cost::kNop); }

void __disable_irq(void) {
  host::MachineImpl& m = host::impl();
  m.cpu.charge(1);
  m.nvic.set_primask(true);
}

void __enable_irq(void) {
  host::MachineImpl& m = host::impl();
  m.nvic.set_primask(false);
  m.cpu.charge(1);
}

uint32_t __get_IPSR(void) {
  host::MachineImpl& m = host::impl();
  m.cpu.charge_poll(1);
  return m.nvic.active_exception();
}

uint32_t __get_PRIMASK(void) {
  host::MachineImpl& m = host::impl();
  m.cpu.charge_poll(1);
  return m.nvic.primask() ? 1u : 0u;
}

void __NVIC_SystemReset(void) {
  host::impl().request_reset();
  __builtin_unreachable();
}

}  // extern "C"
