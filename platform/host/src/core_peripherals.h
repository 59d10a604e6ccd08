// Peripherals of the Cortex-M4 core the firmware touches: the SysTick timer
// (the kernel's tick, with its COUNTFLAG), the data watchpoint and trace
// unit's cycle counter, and the debug monitor control register.
#pragma once

#include <cstdint>

#include "host/events.h"
#include "stm32f4xx.h"

namespace host {

struct MachineImpl;

class SysTickTimer final : public Event {
 public:
  enum Reg : std::uint8_t { CTRL, LOAD, VAL, CALIB };
  explicit SysTickTimer(MachineImpl& m);
  void reset();
  std::uint32_t read(unsigned reg);
  void write(unsigned reg, std::uint32_t value);
  void fire(Time t) override;

 private:
  Time period() const;
  MachineImpl& m_;
  std::uint32_t ctrl_ = 0, load_ = 0;
  Time start_ = 0;
  std::uint64_t wraps_ = 0;
  std::uint64_t wraps_seen_ = 0;  // wraps when CTRL was last read
};

class CycleCounter {
 public:
  enum DwtReg : std::uint8_t { CTRL, CYCCNT };
  explicit CycleCounter(MachineImpl& m);
  void reset();
  std::uint32_t read_dwt(unsigned reg) {
    if (reg == CYCCNT) return value_now();
    return reg == CTRL ? ctrl_ : 0;
  }
  void write_dwt(unsigned reg, std::uint32_t value);
  std::uint32_t read_demcr() const { return demcr_; }
  void write_demcr(std::uint32_t value);

 private:
  bool counting() const { return (ctrl_ & 1u) && (demcr_ & (1u << 24)); }
  std::uint32_t value_now() {
    if (!counting()) return base_value_;
    const Time elapsed = now() - base_time_;
    if (SystemCoreClock == kTimePerSecond) return base_value_ + static_cast<std::uint32_t>(elapsed);
    return base_value_ + scaled(elapsed);
  }
  Time now() const { return *now_; }
  static std::uint32_t scaled(Time elapsed);
  void rebase(std::uint32_t value);
  MachineImpl& m_;
  const Time* now_;
  std::uint32_t ctrl_ = 0, demcr_ = 0;
  std::uint32_t base_value_ = 0;
  Time base_time_ = 0;
};

}  // namespace host
