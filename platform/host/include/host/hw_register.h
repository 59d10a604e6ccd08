// Memory-mapped registers on the host: each register of a peripheral block is
// a proxy whose reads and writes reach the peripheral's model, so firmware
// code writes `TIM4->ARR = 40000;` exactly as it does on the chip.
#pragma once

#include <cstdint>

extern "C" {
std::uint32_t host_register_read(std::uint32_t id);
void host_register_write(std::uint32_t id, std::uint32_t value);
}

namespace host {

// Register identity: block kind, block instance and register index.
enum class Block : std::uint8_t {
  Gpio = 1,
  Tim,
  Rcc,
  Exti,
  Syscfg,
  Dwt,
  Debug,
  Systick,
  Adc,
  AdcCommon,
  I2c,
  Spi,
  DmaStream,
  Flash,
  Pwr,
  Scb,
};

constexpr std::uint32_t register_id(Block block, unsigned instance, unsigned index) {
  return (static_cast<std::uint32_t>(block) << 24) | (instance << 16) | index;
}
constexpr Block register_block(std::uint32_t id) { return static_cast<Block>(id >> 24); }
constexpr unsigned register_instance(std::uint32_t id) { return (id >> 16) & 0xFF; }
constexpr unsigned register_index(std::uint32_t id) { return id & 0xFFFF; }

}  // namespace host

class HwReg {
 public:
  constexpr explicit HwReg(std::uint32_t id) : id_(id) {}
  HwReg(const HwReg&) = delete;
  HwReg& operator=(const HwReg&) = delete;

  operator std::uint32_t() const { return host_register_read(id_); }
  HwReg& operator=(std::uint32_t v) {
    host_register_write(id_, v);
    return *this;
  }
  HwReg& operator|=(std::uint32_t v) { return *this = host_register_read(id_) | v; }
  HwReg& operator&=(std::uint32_t v) { return *this = host_register_read(id_) & v; }
  HwReg& operator^=(std::uint32_t v) { return *this = host_register_read(id_) ^ v; }
  constexpr std::uint32_t id() const { return id_; }

 private:
  std::uint32_t id_;
};
