#include "rcc.h"

#include "machine_impl.h"

namespace host {

void Rcc::reset() {
  for (auto& r : regs_) r = 0;
  regs_[CR] = 0x00000083u;  // HSI on and ready
  regs_[PLLCFGR] = 0x24003010u;
  hsi_on_ = true;
  pll_on_ = false;
  pll_hz_ = 0;
  sysclk_source_ = RCC_SYSCLKSOURCE_HSI;
  sysclk_ = 16'000'000;
  ahb_div_ = apb1_div_ = apb2_div_ = 1;
  ahb_code_ = RCC_SYSCLK_DIV1;
  apb1_code_ = apb2_code_ = RCC_HCLK_DIV1;
  latency_ = 0;
  SystemCoreClock = sysclk_;
  ++clock_generation_;
}

std::uint32_t Rcc::read(unsigned reg) const { return reg < kRegCount ? regs_[reg] : 0; }

void Rcc::write(unsigned reg, std::uint32_t value) {
  if (reg >= kRegCount) return;
  regs_[reg] = value;
  if (reg == AHB1ENR) {
    for (int p = 0; p < Gpio::kPorts; ++p) m_.gpio.set_clock_enabled(p, (value >> p) & 1u);
  }
}

std::uint32_t Rcc::timer_clock(int n) const {
  const bool apb2 = n == 1 || n >= 9;
  const std::uint32_t pclk = apb2 ? pclk2() : pclk1();
  const std::uint32_t div = apb2 ? apb2_div_ : apb1_div_;
  return div == 1 ? pclk : 2 * pclk;
}

HAL_StatusTypeDef Rcc::osc_config(const RCC_OscInitTypeDef& osc) {
  if (osc.OscillatorType & RCC_OSCILLATORTYPE_HSE) return HAL_TIMEOUT;  // no crystal on this board
  if (osc.OscillatorType & RCC_OSCILLATORTYPE_HSI) {
    if (osc.HSIState == RCC_HSI_OFF && sysclk_source_ == RCC_SYSCLKSOURCE_HSI) return HAL_ERROR;
    if (osc.HSICalibrationValue > 0x1F) return HAL_ERROR;
    hsi_on_ = osc.HSIState == RCC_HSI_ON;
  }
  if (osc.PLL.PLLState == RCC_PLL_ON) {
    if (osc.PLL.PLLSource != RCC_PLLSOURCE_HSI || !hsi_on_) return HAL_TIMEOUT;
    const auto& p = osc.PLL;
    if (p.PLLM < 2 || p.PLLM > 63 || p.PLLN < 50 || p.PLLN > 432 || p.PLLQ < 2 || p.PLLQ > 15) return HAL_ERROR;
    if (p.PLLP != 2 && p.PLLP != 4 && p.PLLP != 6 && p.PLLP != 8) return HAL_ERROR;
    const std::uint64_t vco_in = 16'000'000ull / p.PLLM;
    const std::uint64_t vco = vco_in * p.PLLN;
    if (vco_in < 950'000 || vco_in > 2'100'000 || vco < 100'000'000 || vco > 432'000'000) return HAL_ERROR;
    if (sysclk_source_ == RCC_SYSCLKSOURCE_PLLCLK) return HAL_ERROR;  // cannot retune the running PLL
    pll_m_ = p.PLLM;
    pll_n_ = p.PLLN;
    pll_p_ = p.PLLP;
    pll_q_ = p.PLLQ;
    pll_hz_ = static_cast<std::uint32_t>(vco / p.PLLP);
    pll_on_ = true;
    regs_[CR] |= 0x03000000u;
  } else if (osc.PLL.PLLState == RCC_PLL_OFF) {
    if (sysclk_source_ == RCC_SYSCLKSOURCE_PLLCLK) return HAL_ERROR;
    pll_on_ = false;
    regs_[CR] &= ~0x03000000u;
  }
  m_.cpu.charge(cost::kHalInit);
  return HAL_OK;
}

static std::uint32_t ahb_divider(std::uint32_t code) {
  switch (code) {
    case RCC_SYSCLK_DIV1:
      return 1;
    case RCC_SYSCLK_DIV2:
      return 2;
    case RCC_SYSCLK_DIV4:
      return 4;
    case RCC_SYSCLK_DIV8:
      return 8;
    case RCC_SYSCLK_DIV16:
      return 16;
    default:
      return 0;
  }
}

static std::uint32_t apb_divider(std::uint32_t code) {
  switch (code) {
    case RCC_HCLK_DIV1:
      return 1;
    case RCC_HCLK_DIV2:
      return 2;
    case RCC_HCLK_DIV4:
      return 4;
    case RCC_HCLK_DIV8:
      return 8;
    case RCC_HCLK_DIV16:
      return 16;
    default:
      return 0;
  }
}

HAL_StatusTypeDef Rcc::clock_config(const RCC_ClkInitTypeDef& clk, std::uint32_t latency) {
  m_.cpu.charge(cost::kHalInit);
  if (latency > FLASH_LATENCY_5) return HAL_ERROR;
  std::uint32_t source = sysclk_source_;
  std::uint32_t ahb = ahb_code_, apb1 = apb1_code_, apb2 = apb2_code_;
  if (clk.ClockType & RCC_CLOCKTYPE_SYSCLK) {
    if (clk.SYSCLKSource == RCC_SYSCLKSOURCE_PLLCLK && !pll_on_) return HAL_ERROR;
    if (clk.SYSCLKSource == RCC_SYSCLKSOURCE_HSE) return HAL_ERROR;
    if (clk.SYSCLKSource == RCC_SYSCLKSOURCE_HSI && !hsi_on_) return HAL_ERROR;
    source = clk.SYSCLKSource;
  }
  if (clk.ClockType & RCC_CLOCKTYPE_HCLK) ahb = clk.AHBCLKDivider;
  if (clk.ClockType & RCC_CLOCKTYPE_PCLK1) apb1 = clk.APB1CLKDivider;
  if (clk.ClockType & RCC_CLOCKTYPE_PCLK2) apb2 = clk.APB2CLKDivider;
  if (ahb_divider(ahb) == 0 || apb_divider(apb1) == 0 || apb_divider(apb2) == 0) return HAL_ERROR;
  const std::uint32_t sys = source == RCC_SYSCLKSOURCE_PLLCLK ? pll_hz_ : 16'000'000u;
  const std::uint32_t hclk = sys / ahb_divider(ahb);
  // Flash wait states needed at 2.7..3.6 V: one per 30 MHz of HCLK.
  const std::uint32_t needed = hclk <= 30'000'000 ? 0 : (hclk - 1) / 30'000'000;
  if (latency < needed) return HAL_ERROR;
  if (sys > 100'000'000 || hclk / apb_divider(apb1) > 50'000'000 || hclk / apb_divider(apb2) > 100'000'000)
    return HAL_ERROR;
  sysclk_source_ = source;
  sysclk_ = sys;
  ahb_code_ = ahb;
  apb1_code_ = apb1;
  apb2_code_ = apb2;
  ahb_div_ = ahb_divider(ahb);
  apb1_div_ = apb_divider(apb1);
  apb2_div_ = apb_divider(apb2);
  ++clock_generation_;
  latency_ = latency;
  m_.flash_acr = (m_.flash_acr & ~0xFu) | latency;
  apply();
  // The HAL re-times its tick for the new clock.
  if (m_.hooks.init_tick != nullptr) m_.hooks.init_tick(uwTickPrio);
  return HAL_OK;
}

void Rcc::get_clock_config(RCC_ClkInitTypeDef* clk, std::uint32_t* latency) const {
  clk->ClockType = RCC_CLOCKTYPE_SYSCLK | RCC_CLOCKTYPE_HCLK | RCC_CLOCKTYPE_PCLK1 | RCC_CLOCKTYPE_PCLK2;
  clk->SYSCLKSource = sysclk_source_;
  clk->AHBCLKDivider = ahb_code_;
  clk->APB1CLKDivider = apb1_code_;
  clk->APB2CLKDivider = apb2_code_;
  *latency = latency_;
}

void Rcc::apply() {
  SystemCoreClock = hclk();
  for (auto& t : m_.timers)
    if (t) t->clock_changed();
}

}  // namespace host
