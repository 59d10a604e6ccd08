#include "timer.h"

#include "machine_impl.h"

namespace host {

Timer::Timer(MachineImpl& m, int number, int bits, int irq)
    : Event(m.events), m_(m), number_(number), bits_(bits), exception_(Nvic::exception_of_irq(irq)) {
  fires_on_processor();
}

void Timer::reset() {
  cancel();
  cr1_ = cr2_ = smcr_ = dier_ = sr_ = 0;
  psc_ = psc_active_ = 0;
  arr_ = bits_ == 32 ? 0xFFFFFFFFu : 0xFFFFu;
  for (auto& r : other_) r = 0;
  clock_hz_ = m_.rcc.timer_clock(number_);
  base_time_ = m_.cpu.now();
  base_count_ = 0;
  updates_ = 0;
}

void Timer::stop_all() {
  cancel();
  cr1_ &= ~1u;
}

// Counter ticks are (prescaler + 1) kernel clocks; time is in 10 ns units.
// The products take 128 bits at most; most of them fit in 64, and a 64-bit
// division costs a fraction of a 128-bit one.
namespace {
std::uint64_t divide(unsigned __int128 num, unsigned __int128 den) {
  if ((num >> 64) == 0 && (den >> 64) == 0) return static_cast<std::uint64_t>(num) / static_cast<std::uint64_t>(den);
  return static_cast<std::uint64_t>(num / den);
}
}  // namespace

std::uint64_t Timer::ticks_between(Time from, Time to) const {
  if (to <= from) return 0;
  const unsigned __int128 num = static_cast<unsigned __int128>(to - from) * clock_hz_;
  const unsigned __int128 den = static_cast<unsigned __int128>(kTimePerSecond) * (psc_active_ + 1ull);
  return divide(num, den);
}

Time Timer::time_after_ticks(Time from, std::uint64_t ticks) const {
  const unsigned __int128 num = static_cast<unsigned __int128>(ticks) * kTimePerSecond * (psc_active_ + 1ull);
  return from + static_cast<Time>(divide(num + clock_hz_ - 1, clock_hz_));
}

std::uint32_t Timer::counter() {
  if (!counting()) return static_cast<std::uint32_t>(base_count_);
  const std::uint64_t c = base_count_ + ticks_between(base_time_, m_.cpu.now());
  return static_cast<std::uint32_t>(c % max_count());
}

void Timer::rebase() {
  if (!counting()) return;
  const Time now = m_.cpu.now();
  const std::uint64_t ticks = ticks_between(base_time_, now);
  base_count_ = (base_count_ + ticks) % max_count();
  base_time_ = time_after_ticks(base_time_, ticks);
}

void Timer::schedule_update() {
  if (!counting()) {
    cancel();
    return;
  }
  const std::uint64_t c = base_count_;
  const std::uint64_t arr = arr_;
  // Ticks until the counter passes the auto-reload value; a counter already
  // beyond it runs to the end of its range first.
  const std::uint64_t ticks = c <= arr ? arr - c + 1 : max_count() - c + arr + 1;
  schedule(time_after_ticks(base_time_, ticks));
}

void Timer::fire(Time t) {
  ++updates_;
  base_time_ = t;
  base_count_ = 0;
  psc_active_ = psc_;
  sr_ |= 1u;
  if (dier_ & 1u) m_.nvic.set_pending(exception_);
  schedule_update();
}

void Timer::force_update() {
  // Update generation: the counter restarts and the prescaler is loaded.
  // The update flag is left clear, as the HAL leaves it after initialisation.
  base_time_ = m_.cpu.now();
  base_count_ = 0;
  psc_active_ = psc_;
  schedule_update();
}

void Timer::clock_changed() {
  rebase();
  clock_hz_ = m_.rcc.timer_clock(number_);
  if (counting()) {
    base_time_ = m_.cpu.now();
    schedule_update();
  }
}

std::uint32_t Timer::read(unsigned reg) {
  switch (reg) {
    case CR1:
      return cr1_;
    case CR2:
      return cr2_;
    case SMCR:
      return smcr_;
    case DIER:
      return dier_;
    case SR:
      return sr_;
    case EGR:
      return 0;
    case CNT:
      return counter();
    case PSC:
      return psc_;
    case ARR:
      return arr_;
    default:
      return reg < kRegCount ? other_[reg] : 0;
  }
}

void Timer::write(unsigned reg, std::uint32_t value) {
  const std::uint32_t mask = bits_ == 32 ? 0xFFFFFFFFu : 0xFFFFu;
  switch (reg) {
    case CR1: {
      const bool was = counting();
      rebase();
      cr1_ = value & 0x3FFu;
      if (!was && counting()) {
        base_time_ = m_.cpu.now();
        schedule_update();
      } else if (was && !counting()) {
        cancel();
      }
      break;
    }
    case CR2:
      cr2_ = value;
      break;
    case SMCR:
      smcr_ = value;
      break;
    case DIER:
      dier_ = value;
      if (asserted()) m_.nvic.set_pending(exception_);
      break;
    case SR:
      sr_ &= value;  // flags are cleared by writing 0
      break;
    case EGR:
      if (value & 1u) force_update();
      break;
    case CNT:
      rebase();
      base_time_ = m_.cpu.now();
      base_count_ = value & mask;
      schedule_update();
      break;
    case PSC:
      psc_ = value & 0xFFFFu;
      break;
    case ARR:
      rebase();
      arr_ = value & mask;
      if (counting()) schedule_update();
      break;
    default:
      if (reg < kRegCount) other_[reg] = value;
  }
}

}  // namespace host
