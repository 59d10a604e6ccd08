// General-purpose and advanced timers, counting up from their kernel clock
// through the prescaler to the auto-reload value. The counter is derived from
// virtual time; the update event is a scheduled event that sets the update
// flag and requests the interrupt when enabled. Auto-reload written while
// running applies to the running period (no preload in this board).
#pragma once

#include <cstdint>

#include "host/events.h"

namespace host {

struct MachineImpl;

class Timer final : public Event {
 public:
  enum Reg : std::uint8_t {
    CR1,
    CR2,
    SMCR,
    DIER,
    SR,
    EGR,
    CCMR1,
    CCMR2,
    CCER,
    CNT,
    PSC,
    ARR,
    RCR,
    CCR1,
    CCR2,
    CCR3,
    CCR4,
    BDTR,
    DCR,
    DMAR,
    OR,
    kRegCount
  };

  Timer(MachineImpl& m, int number, int bits, int irq);

  void reset();
  void stop_all();  // power lost
  std::uint32_t read(unsigned reg);
  void write(unsigned reg, std::uint32_t value);
  // The timer's kernel clock changed (clock tree reconfigured).
  void clock_changed();
  void fire(Time t) override;

  int number() const { return number_; }
  int exception() const { return exception_; }
  bool asserted() const { return (sr_ & 1u) && (dier_ & 1u); }
  bool counting() const { return (cr1_ & 1u) != 0; }
  std::uint64_t updates() const { return updates_; }
  std::uint32_t counter();

 private:
  std::uint64_t max_count() const { return bits_ == 32 ? 0x1'0000'0000ull : 0x1'0000ull; }
  std::uint64_t ticks_between(Time from, Time to) const;
  Time time_after_ticks(Time from, std::uint64_t ticks) const;
  void rebase();
  void schedule_update();
  void force_update();

  MachineImpl& m_;
  int number_;
  int bits_;
  int exception_;
  std::uint32_t cr1_ = 0, cr2_ = 0, smcr_ = 0, dier_ = 0, sr_ = 0;
  std::uint32_t psc_ = 0, psc_active_ = 0, arr_ = 0;
  std::uint32_t other_[kRegCount] = {};
  std::uint64_t clock_hz_ = 16'000'000;
  Time base_time_ = 0;            // a tick boundary
  std::uint64_t base_count_ = 0;  // the counter at base_time_
  std::uint64_t updates_ = 0;
};

}  // namespace host
