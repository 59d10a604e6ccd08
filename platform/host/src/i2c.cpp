#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "machine_impl.h"

namespace host {

void I2cBus::attach(std::uint8_t address, I2cTarget* target) {
  if (address > 0x7F) throw std::invalid_argument("I2C address " + std::to_string(address) + " is not a 7-bit address");
  if (targets_.count(address) != 0)
    throw std::invalid_argument("two devices on I2C address 0x" + [&] {
      char b[8];
      std::snprintf(b, sizeof b, "%02X", address);
      return std::string(b);
    }());
  targets_[address] = target;
}

void I2cBus::detach(std::uint8_t address) { targets_.erase(address); }

I2cTarget* I2cBus::target(std::uint8_t address) const {
  auto it = targets_.find(address);
  return it == targets_.end() ? nullptr : it->second;
}

void I2cBus::remove_monitor(I2cMonitor* monitor) {
  monitors_.erase(std::remove(monitors_.begin(), monitors_.end(), monitor), monitors_.end());
}

namespace {
constexpr std::uint32_t kByteOverhead = 60;  // the HAL's flag polling between bytes
}

void I2cMaster::reset() {
  initialized_ = false;
  target_ = nullptr;
  addressed_.clear();
  in_transaction_ = false;
}

void I2cMaster::cut() {
  if (!in_transaction_) return;
  in_transaction_ = false;
  tr_.end = m_.cpu.now();
  tr_.complete = false;
  for (I2cMonitor* mon : bus_.monitors()) mon->on_i2c_transaction(tr_);
  target_ = nullptr;
  addressed_.clear();
}

HAL_StatusTypeDef I2cMaster::init(I2C_HandleTypeDef* hi2c) {
  if (hi2c == nullptr || hi2c->Instance != I2C1) return HAL_ERROR;
  m_.cpu.charge(cost::kHalInit);
  if (hi2c->State == HAL_I2C_STATE_RESET) {
    hi2c->Lock = HAL_UNLOCKED;
    if (m_.hooks.i2c_msp_init != nullptr) m_.hooks.i2c_msp_init(hi2c);
  }
  if (!m_.rcc.enabled(Rcc::APB1ENR, RCC_APB1ENR_I2C1EN)) return HAL_ERROR;
  const auto& in = hi2c->Init;
  if (in.ClockSpeed == 0 || in.ClockSpeed > 400'000) return HAL_ERROR;
  if (in.AddressingMode != I2C_ADDRESSINGMODE_7BIT && in.AddressingMode != I2C_ADDRESSINGMODE_10BIT) return HAL_ERROR;
  if (m_.rcc.pclk1() < 2'000'000u) return HAL_ERROR;
  bit_time_ = kTimePerSecond / in.ClockSpeed;
  initialized_ = true;
  hi2c->ErrorCode = HAL_I2C_ERROR_NONE;
  hi2c->State = HAL_I2C_STATE_READY;
  hi2c->Mode = HAL_I2C_MODE_NONE;
  return HAL_OK;
}

bool I2cMaster::begin(I2C_HandleTypeDef* hi2c) {
  m_.cpu.charge(cost::kHalCall);
  if (hi2c == nullptr || hi2c->State != HAL_I2C_STATE_READY || !initialized_) return false;
  hi2c->State = HAL_I2C_STATE_BUSY;
  hi2c->ErrorCode = HAL_I2C_ERROR_NONE;
  return true;
}

void I2cMaster::finish(I2C_HandleTypeDef* hi2c) {
  hi2c->State = HAL_I2C_STATE_READY;
  hi2c->Mode = HAL_I2C_MODE_NONE;
}

bool I2cMaster::start_condition(std::uint8_t address, bool read) {
  if (!in_transaction_) {
    in_transaction_ = true;
    tr_ = I2cTransaction{};
    tr_.start = m_.cpu.now();
    tr_.address = address;
    tr_.initiator = m_.context_name();
  }
  m_.cpu.busy_until(m_.cpu.now() + bit_time_);  // start condition
  m_.cpu.busy_until(m_.cpu.now() + 9 * bit_time_ + kByteOverhead);
  ++bytes_;
  target_ = m_.i2c_bus.target(address);
  const bool ack = target_ != nullptr && target_->i2c_start(m_.cpu.now(), address, read);
  if (!ack) {
    target_ = nullptr;
  } else if (std::find(addressed_.begin(), addressed_.end(), target_) == addressed_.end()) {
    addressed_.push_back(target_);
  }
  if (tr_.address == address && tr_.written.empty()) tr_.acknowledged = ack;
  return ack;
}

bool I2cMaster::write_byte(std::uint8_t byte) {
  m_.cpu.busy_until(m_.cpu.now() + 9 * bit_time_ + kByteOverhead);
  ++bytes_;
  tr_.written.push_back(byte);
  return target_ != nullptr && target_->i2c_write(m_.cpu.now(), byte);
}

std::uint8_t I2cMaster::read_byte(bool ack) {
  m_.cpu.busy_until(m_.cpu.now() + 9 * bit_time_ + kByteOverhead);
  ++bytes_;
  const std::uint8_t b = target_ != nullptr ? target_->i2c_read(m_.cpu.now(), ack) : 0xFF;
  tr_.read.push_back(b);
  return b;
}

void I2cMaster::stop_condition() {
  m_.cpu.busy_until(m_.cpu.now() + bit_time_);
  // The devices that answered in this transaction see its end; the others
  // were idle all along.
  for (I2cTarget* t : addressed_) t->i2c_stop(m_.cpu.now());
  addressed_.clear();
  target_ = nullptr;
  in_transaction_ = false;
  tr_.end = m_.cpu.now();
  tr_.complete = true;
  for (I2cMonitor* mon : bus_.monitors()) mon->on_i2c_transaction(tr_);
}

HAL_StatusTypeDef I2cMaster::mem_write(I2C_HandleTypeDef* hi2c, std::uint16_t dev, std::uint16_t mem,
                                       std::uint16_t mem_size, const std::uint8_t* data, std::uint16_t size) {
  if (!begin(hi2c)) return HAL_BUSY;
  if (mem_size != I2C_MEMADD_SIZE_8BIT && mem_size != I2C_MEMADD_SIZE_16BIT) {
    finish(hi2c);
    return HAL_ERROR;
  }
  hi2c->State = HAL_I2C_STATE_BUSY_TX;
  hi2c->Mode = HAL_I2C_MODE_MEM;
  const auto address = static_cast<std::uint8_t>((dev >> 1) & 0x7F);
  bool ok = start_condition(address, false);
  if (ok && mem_size == I2C_MEMADD_SIZE_16BIT) ok = write_byte(static_cast<std::uint8_t>(mem >> 8));
  if (ok) ok = write_byte(static_cast<std::uint8_t>(mem & 0xFF));
  for (std::uint16_t i = 0; ok && i < size; ++i) ok = write_byte(data[i]);
  stop_condition();
  if (!ok) hi2c->ErrorCode = HAL_I2C_ERROR_AF;
  finish(hi2c);
  return ok ? HAL_OK : HAL_ERROR;
}

HAL_StatusTypeDef I2cMaster::mem_read(I2C_HandleTypeDef* hi2c, std::uint16_t dev, std::uint16_t mem,
                                      std::uint16_t mem_size, std::uint8_t* data, std::uint16_t size) {
  if (!begin(hi2c)) return HAL_BUSY;
  if ((mem_size != I2C_MEMADD_SIZE_8BIT && mem_size != I2C_MEMADD_SIZE_16BIT) || data == nullptr || size == 0) {
    finish(hi2c);
    return HAL_ERROR;
  }
  hi2c->State = HAL_I2C_STATE_BUSY_RX;
  hi2c->Mode = HAL_I2C_MODE_MEM;
  const auto address = static_cast<std::uint8_t>((dev >> 1) & 0x7F);
  bool ok = start_condition(address, false);
  if (ok && mem_size == I2C_MEMADD_SIZE_16BIT) ok = write_byte(static_cast<std::uint8_t>(mem >> 8));
  if (ok) ok = write_byte(static_cast<std::uint8_t>(mem & 0xFF));
  if (ok) ok = start_condition(address, true);  // repeated start, read
  for (std::uint16_t i = 0; ok && i < size; ++i) data[i] = read_byte(i + 1 < size);
  stop_condition();
  if (!ok) hi2c->ErrorCode = HAL_I2C_ERROR_AF;
  finish(hi2c);
  return ok ? HAL_OK : HAL_ERROR;
}

HAL_StatusTypeDef I2cMaster::is_device_ready(I2C_HandleTypeDef* hi2c, std::uint16_t dev, std::uint32_t trials) {
  if (!begin(hi2c)) return HAL_BUSY;
  const auto address = static_cast<std::uint8_t>((dev >> 1) & 0x7F);
  for (std::uint32_t i = 0; i < trials; ++i) {
    const bool ack = start_condition(address, false);
    stop_condition();
    if (ack) {
      finish(hi2c);
      return HAL_OK;
    }
  }
  hi2c->ErrorCode = HAL_I2C_ERROR_AF;
  finish(hi2c);
  return HAL_ERROR;
}

}  // namespace host
