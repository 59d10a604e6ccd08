#include "core_peripherals.h"

#include "machine_impl.h"

namespace host {

SysTickTimer::SysTickTimer(MachineImpl& m) : Event(m.events), m_(m) { fires_on_processor(); }

void SysTickTimer::reset() {
  cancel();
  ctrl_ = load_ = 0;
  wraps_ = wraps_seen_ = 0;
}

Time SysTickTimer::period() const {
  // Processor clock (CLKSOURCE = 1) or processor clock / 8.
  const std::uint64_t clocks = (load_ + 1ull) * ((ctrl_ & 4u) ? 1u : 8u);
  return clocks * kTimePerSecond / SystemCoreClock;
}

std::uint32_t SysTickTimer::read(unsigned reg) {
  switch (reg) {
    case CTRL: {
      std::uint32_t v = ctrl_ & 7u;
      if (wraps_ != wraps_seen_) v |= 1u << 16;  // COUNTFLAG, cleared by this read
      wraps_seen_ = wraps_;
      return v;
    }
    case LOAD:
      return load_;
    case VAL: {
      if (!(ctrl_ & 1u) || load_ == 0) return 0;
      const Time p = period();
      const Time into = (m_.cpu.now() - start_) % p;
      return static_cast<std::uint32_t>(load_ - into * load_ / p);
    }
    default:
      return 0;
  }
}

void SysTickTimer::write(unsigned reg, std::uint32_t value) {
  switch (reg) {
    case CTRL: {
      const bool was = ctrl_ & 1u;
      ctrl_ = value & 7u;
      if ((ctrl_ & 1u) && !was && load_ != 0) {
        start_ = m_.cpu.now();
        schedule(start_ + period());
      } else if (!(ctrl_ & 1u)) {
        cancel();
      }
      break;
    }
    case LOAD:
      load_ = value & 0x00FFFFFFu;
      break;
    case VAL:
      if (ctrl_ & 1u) {
        start_ = m_.cpu.now();
        schedule(start_ + period());
      }
      break;
    default:
      break;
  }
}

void SysTickTimer::fire(Time t) {
  ++wraps_;
  start_ = t;
  schedule(t + period());
  if (ctrl_ & 2u) m_.nvic.set_pending(Nvic::kSysTick);
}

void CycleCounter::reset() {
  ctrl_ = demcr_ = 0;
  base_value_ = 0;
  base_time_ = m_.cpu.now();
}

CycleCounter::CycleCounter(MachineImpl& m) : m_(m), now_(&m.cpu.now_ref()) {}

std::uint32_t CycleCounter::scaled(Time elapsed) {
  const std::uint64_t cycles =
      static_cast<std::uint64_t>(static_cast<unsigned __int128>(elapsed) * SystemCoreClock / kTimePerSecond);
  return static_cast<std::uint32_t>(cycles);
}

void CycleCounter::rebase(std::uint32_t value) {
  base_value_ = value;
  base_time_ = m_.cpu.now();
}


void CycleCounter::write_dwt(unsigned reg, std::uint32_t value) {
  if (reg == CTRL) {
    const std::uint32_t v = value_now();
    ctrl_ = value;
    rebase(v);
  } else if (reg == CYCCNT) {
    rebase(value);
  }
}

void CycleCounter::write_demcr(std::uint32_t value) {
  const std::uint32_t v = value_now();
  demcr_ = value;
  rebase(v);
}

}  // namespace host
