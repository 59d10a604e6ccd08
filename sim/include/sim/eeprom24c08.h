// A 24C08 serial EEPROM (8 kbit, 1024 bytes) on the I2C bus, as its data
// sheet describes it: four device addresses 0x50..0x53 (0xA0..0xA6 in 8-bit
// form), one per 256-byte block, with a one-byte word address; a write
// loads a 16-byte page buffer whose address wraps inside the page and is
// programmed after the stop condition during a 5 ms write cycle in which the
// chip acknowledges nothing; a read runs on sequentially from the current
// address and rolls over at the end of the memory.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "host/devices.h"
#include "host/events.h"
#include "host/machine.h"

namespace sim {

class Eeprom24c08 final : public host::I2cTarget, public host::PowerListener, private host::Event {
 public:
  static constexpr std::size_t kSize = 1024;
  static constexpr unsigned kPage = 16;
  static constexpr std::uint8_t kFirstAddress = 0x50;
  static constexpr host::Time kWriteCycle = 5 * host::kTimePerMs;

  explicit Eeprom24c08(host::Machine& machine);
  ~Eeprom24c08() override;

  // The memory as programmed (a page still in its write cycle not yet in it).
  const std::array<std::uint8_t, kSize>& memory() const { return memory_; }
  void load(const std::vector<std::uint8_t>& image);
  std::vector<std::uint8_t> image() const { return {memory_.begin(), memory_.end()}; }

  // Faults: not fitted at all, or no answer from time t on.
  void set_absent(bool absent) { absent_ = absent; }
  void stop_answering_at(host::Time t) { dead_at_ = t; }

  std::uint64_t pages_programmed() const { return pages_programmed_; }
  std::uint64_t pages_lost() const { return pages_lost_; }

  // I2C target.
  bool i2c_start(host::Time t, std::uint8_t address, bool read) override;
  bool i2c_write(host::Time t, std::uint8_t byte) override;
  std::uint8_t i2c_read(host::Time t, bool master_acks) override;
  void i2c_stop(host::Time t) override;
  void on_power(host::Time t, bool on) override;

 private:
  enum class State { Idle, WordAddress, Writing, Reading };
  bool answering(host::Time t) const;
  void fire(host::Time t) override;  // the write cycle ends: the page is programmed

  host::Machine& machine_;
  std::array<std::uint8_t, kSize> memory_{};
  State state_ = State::Idle;
  unsigned block_ = 0;
  unsigned pointer_ = 0;  // the current address, 0..1023
  // The page buffer: what a write loaded and where.
  std::array<std::uint8_t, kPage> page_{};
  std::uint16_t loaded_ = 0;  // a bit per byte of the page
  unsigned page_base_ = 0;
  // The write cycle in progress while the event is scheduled.
  host::Time cycle_end_ = 0;
  std::array<std::uint8_t, kPage> programming_page_{};
  std::uint16_t programming_mask_ = 0;
  unsigned programming_base_ = 0;
  bool absent_ = false;
  host::Time dead_at_ = host::kNever;
  bool powered_ = false;
  std::uint64_t pages_programmed_ = 0;
  std::uint64_t pages_lost_ = 0;
};

}  // namespace sim
