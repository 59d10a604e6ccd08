// Everything the simulated microcontroller is made of, and the firmware
// entry points the platform calls back (resolved by name from the image, as
// the chip's vector table and the HAL's weak callbacks would be).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "buses_impl.h"
#include "core_peripherals.h"
#include "cpu.h"
#include "exti.h"
#include "host/machine.h"
#include "nvic.h"
#include "rcc.h"
#include "rtos.h"
#include "stm32f4xx_hal.h"
#include "timer.h"

namespace host {

struct FirmwareHooks {
  int (*main)() = nullptr;
  void (*msp_init)() = nullptr;
  HAL_StatusTypeDef (*init_tick)(std::uint32_t) = nullptr;
  void (*gpio_exti_callback)(std::uint16_t) = nullptr;
  void (*tim_period_elapsed)(TIM_HandleTypeDef*) = nullptr;
  void (*tim_base_msp_init)(TIM_HandleTypeDef*) = nullptr;
  void (*adc_msp_init)(ADC_HandleTypeDef*) = nullptr;
  void (*i2c_msp_init)(I2C_HandleTypeDef*) = nullptr;
  void (*spi_msp_init)(SPI_HandleTypeDef*) = nullptr;
  void (*spi_tx_complete)(SPI_HandleTypeDef*) = nullptr;
  void (*spi_error)(SPI_HandleTypeDef*) = nullptr;
};

// Costs of platform operations in processor cycles, close to what the HAL
// code takes on the chip.
namespace cost {
inline constexpr std::uint32_t kRegister = 2;
inline constexpr std::uint32_t kPinRead = 8;
inline constexpr std::uint32_t kPinWrite = 8;
inline constexpr std::uint32_t kNop = 1;
inline constexpr std::uint32_t kHalCall = 40;
inline constexpr std::uint32_t kHalInit = 400;
inline constexpr std::uint32_t kKernelCall = 150;
inline constexpr std::uint32_t kExceptionEntry = 12;
inline constexpr std::uint32_t kExceptionExit = 12;
}  // namespace cost

struct MachineImpl {
  explicit MachineImpl(Machine& owner, FirmwareImage& firmware);
  ~MachineImpl();

  // Power and reset.
  void set_powered(bool on);
  void request_reset();  // from firmware: leaves the running context
  void boot();
  void reset_peripherals();
  void power_lost();
  // A firmware fault that stops the processor (a missing handler, a task
  // function returning): reported once on stderr.
  void fault(const std::string& what);

  Timer* timer_of(const TIM_TypeDef* instance);
  std::string context_name() const;

  Machine& owner;
  FirmwareImage& firmware;
  FirmwareHooks hooks;
  EventQueue events;
  Cpu cpu;
  Nvic nvic;
  Rtos rtos;
  Rcc rcc;
  Gpio gpio;
  Exti exti;
  std::uint32_t syscfg_memrmp = 0, syscfg_pmc = 0, syscfg_cmpcr = 0;
  bool syscfg_clock() const;
  std::vector<std::unique_ptr<Timer>> timers;  // index = timer number, null where the chip has none
  SysTickTimer systick;
  CycleCounter cycles;
  AdcPort adc_port;
  Adc adc;
  I2cBus i2c_bus;
  I2cMaster i2c1;
  SpiPort spi_port;
  SpiMaster spi1;
  std::uint32_t flash_acr = 0;
  std::uint32_t pwr_cr = 0x00004000;
  bool powered = false;
  bool reset_pending = false;
  std::vector<PowerListener*> power_listeners;
  std::uint64_t events_fired = 0;
  std::uint64_t boots = 0;
  std::string fault_message;
};

// The machine in existence (null when there is none). Every platform call
// goes through it, so it is reached without a call.
extern MachineImpl* g_impl;
[[noreturn]] void no_machine_running();
inline MachineImpl& impl() {
  if (g_impl == nullptr) [[unlikely]]
    no_machine_running();
  return *g_impl;
}
inline bool have_impl() { return g_impl != nullptr; }

}  // namespace host
