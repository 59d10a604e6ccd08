// Reset and clock control: peripheral clock enables and the clock tree
// (HSI, PLL, bus prescalers) from which every rate on the chip follows.
#pragma once

#include <cstdint>

#include "stm32f4xx_hal.h"

namespace host {

struct MachineImpl;

class Rcc {
 public:
  enum Reg : std::uint8_t {
    CR,
    PLLCFGR,
    CFGR,
    CIR,
    AHB1RSTR,
    AHB2RSTR,
    APB1RSTR,
    APB2RSTR,
    AHB1ENR,
    AHB2ENR,
    APB1ENR,
    APB2ENR,
    AHB1LPENR,
    AHB2LPENR,
    APB1LPENR,
    APB2LPENR,
    BDCR,
    CSR,
    SSCGR,
    PLLI2SCFGR,
    DCKCFGR,
    kRegCount
  };

  explicit Rcc(MachineImpl& m) : m_(m) {}
  void reset();
  std::uint32_t read(unsigned reg) const;
  void write(unsigned reg, std::uint32_t value);

  HAL_StatusTypeDef osc_config(const RCC_OscInitTypeDef& osc);
  HAL_StatusTypeDef clock_config(const RCC_ClkInitTypeDef& clk, std::uint32_t latency);
  void get_clock_config(RCC_ClkInitTypeDef* clk, std::uint32_t* latency) const;

  std::uint32_t sysclk() const { return sysclk_; }
  std::uint32_t hclk() const { return sysclk_ / ahb_div_; }
  std::uint32_t pclk1() const { return hclk() / apb1_div_; }
  std::uint32_t pclk2() const { return hclk() / apb2_div_; }
  // Kernel clock of timer n: the APB clock, doubled when its prescaler is not 1.
  std::uint32_t timer_clock(int n) const;
  bool enabled(unsigned reg, std::uint32_t bit) const { return (regs_[reg] & bit) != 0; }
  // Changes whenever the bus clocks may have changed (for values derived
  // from them and kept).
  std::uint32_t clock_generation() const { return clock_generation_; }

 private:
  void apply();

  MachineImpl& m_;
  std::uint32_t regs_[kRegCount] = {};
  bool hsi_on_ = true;
  bool pll_on_ = false;
  std::uint32_t pll_hz_ = 0;
  std::uint32_t pll_m_ = 16, pll_n_ = 192, pll_p_ = 2, pll_q_ = 4;
  std::uint32_t sysclk_source_ = RCC_SYSCLKSOURCE_HSI;
  std::uint32_t sysclk_ = 16'000'000;
  std::uint32_t ahb_div_ = 1, apb1_div_ = 1, apb2_div_ = 1;
  std::uint32_t ahb_code_ = RCC_SYSCLK_DIV1, apb1_code_ = RCC_HCLK_DIV1, apb2_code_ = RCC_HCLK_DIV1;
  std::uint32_t latency_ = 0;
  std::uint32_t clock_generation_ = 1;
};

}  // namespace host
