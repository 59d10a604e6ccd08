#include <algorithm>
#include <cmath>

#include "machine_impl.h"

namespace host {

void AdcPort::attach(int channel, AnalogInput* input) { inputs_.at(static_cast<std::size_t>(channel)) = input; }

AnalogInput* AdcPort::input(int channel) const { return inputs_.at(static_cast<std::size_t>(channel)); }

std::uint16_t AdcPort::convert(int channel, Time t) const {
  AnalogInput* in = inputs_.at(static_cast<std::size_t>(channel));
  const double v = in != nullptr ? in->voltage(t) : 0.0;  // an open input reads as ground
  const double counts = std::round(v / kReferenceVolts * 4095.0);
  return static_cast<std::uint16_t>(std::clamp(counts, 0.0, 4095.0));
}

void Adc::reset() {
  initialized_ = enabled_ = converting_ = eoc_ = false;
  channel_ = 0;
  sample_cycles_ = 3;
  prescaler_ = 2;
  data_ = 0;
}

static std::uint32_t sample_cycles(std::uint32_t code) {
  static constexpr std::uint32_t kCycles[8] = {3, 15, 28, 56, 84, 112, 144, 480};
  return kCycles[code & 7u];
}

Time Adc::clock_period_x100() const {
  // ADC clock = PCLK2 / prescaler; its period in hundredths of a 10 ns unit.
  const std::uint64_t adc_hz = m_.rcc.pclk2() / prescaler_;
  return static_cast<Time>(kTimePerSecond * 100ull / adc_hz);
}

HAL_StatusTypeDef Adc::init(ADC_HandleTypeDef* hadc) {
  if (hadc == nullptr || hadc->Instance != ADC1) return HAL_ERROR;
  m_.cpu.charge(cost::kHalInit);
  if (hadc->State == HAL_ADC_STATE_RESET && m_.hooks.adc_msp_init != nullptr) m_.hooks.adc_msp_init(hadc);
  if (!m_.rcc.enabled(Rcc::APB2ENR, RCC_APB2ENR_ADC1EN)) return HAL_ERROR;
  const auto& in = hadc->Init;
  switch (in.ClockPrescaler) {
    case ADC_CLOCK_SYNC_PCLK_DIV2:
      prescaler_ = 2;
      break;
    case ADC_CLOCK_SYNC_PCLK_DIV4:
      prescaler_ = 4;
      break;
    case ADC_CLOCK_SYNC_PCLK_DIV6:
      prescaler_ = 6;
      break;
    case ADC_CLOCK_SYNC_PCLK_DIV8:
      prescaler_ = 8;
      break;
    default:
      return HAL_ERROR;
  }
  if (m_.rcc.pclk2() / prescaler_ > 36'000'000u) return HAL_ERROR;  // above the converter's rating
  if (in.Resolution != ADC_RESOLUTION_12B || in.DataAlign != ADC_DATAALIGN_RIGHT) return HAL_ERROR;
  if (in.NbrOfConversion < 1 || in.NbrOfConversion > 16) return HAL_ERROR;
  initialized_ = true;
  hadc->State = HAL_ADC_STATE_READY;
  hadc->ErrorCode = 0;
  return HAL_OK;
}

HAL_StatusTypeDef Adc::config_channel(ADC_HandleTypeDef* hadc, const ADC_ChannelConfTypeDef& c) {
  if (hadc == nullptr || c.Channel > 18 || c.Rank < 1 || c.Rank > 16 || c.SamplingTime > 7) return HAL_ERROR;
  m_.cpu.charge(cost::kHalCall);
  if (c.Rank == 1) {
    channel_ = c.Channel;
    sample_cycles_ = sample_cycles(c.SamplingTime);
  }
  return HAL_OK;
}

HAL_StatusTypeDef Adc::start(ADC_HandleTypeDef* hadc) {
  if (hadc == nullptr || !initialized_) return HAL_ERROR;
  m_.cpu.charge(cost::kHalCall);
  if (!enabled_) {
    enabled_ = true;
    m_.cpu.busy_until(m_.cpu.now() + 3 * kTimePerUs);  // stabilisation after power-up of the converter
  }
  const Time period = clock_period_x100();
  const Time start = m_.cpu.now();
  sample_at_ = start + sample_cycles_ * period / 100;
  done_at_ = start + (sample_cycles_ + 12) * period / 100;
  converting_ = true;
  eoc_ = false;
  hadc->State = HAL_ADC_STATE_REG_BUSY;
  ++conversions_;
  return HAL_OK;
}

HAL_StatusTypeDef Adc::poll(ADC_HandleTypeDef* hadc, std::uint32_t timeout_ms) {
  if (hadc == nullptr) return HAL_ERROR;
  m_.cpu.charge(cost::kHalCall);
  const Time deadline = timeout_ms == HAL_MAX_DELAY ? kNever : m_.cpu.now() + timeout_ms * kTimePerMs;
  if (!converting_ && !eoc_) {
    // Nothing was started: the end-of-conversion flag never comes.
    if (deadline == kNever) {
      for (;;) m_.cpu.charge_poll(cost::kRegister);
    }
    m_.cpu.busy_until(deadline);
    hadc->State = HAL_ADC_STATE_READY;
    return HAL_TIMEOUT;
  }
  if (converting_) {
    if (done_at_ > deadline) {
      m_.cpu.busy_until(deadline);
      return HAL_TIMEOUT;
    }
    m_.cpu.busy_until(done_at_);
    data_ = m_.adc_port.convert(static_cast<int>(channel_), sample_at_);
    converting_ = false;
    eoc_ = true;
  }
  eoc_ = false;  // the poll clears the end-of-conversion flag
  hadc->State = HAL_ADC_STATE_READY | HAL_ADC_STATE_REG_EOC;
  return HAL_OK;
}

std::uint32_t Adc::value(ADC_HandleTypeDef* hadc) {
  (void)hadc;
  m_.cpu.charge(cost::kRegister);
  if (converting_ && m_.cpu.now() >= done_at_) {
    data_ = m_.adc_port.convert(static_cast<int>(channel_), sample_at_);
    converting_ = false;
  }
  return data_;
}

}  // namespace host
