#include "cpu.h"

#include <algorithm>

#include "machine_impl.h"

namespace host {

Cpu::Cpu(MachineImpl& m) : m_(m), boot_(kStackBytes, ContextKind::Boot, "boot") {}

void Cpu::event_scheduled(Time t) {
  if (t < budget_end_) {
    budget_end_ = t;
    if (t < check_at_) check_at_ = t;
  }
}

void Cpu::run_until(Time target) {
  target_ = target;
  for (;;) {
    m_.events_fired += m_.events.fire_due(now_);
    if (m_.reset_pending) {
      m_.reset_pending = false;
      if (m_.powered) m_.boot();
      continue;
    }
    if (now_ >= target) return;
    const Time next = std::min(m_.events.next_time(), target);
    if (!running_) {
      if (next > now_) now_ = next;
      continue;
    }
    budget_end_ = next;
    if (check_at_ > next) check_at_ = next;
    in_fiber_ = true;
    Fiber::switch_to(host_, current_->fiber);
    in_fiber_ = false;
  }
}

void Cpu::yield_to_host() { Fiber::switch_to(current_->fiber, host_); }

void Cpu::slow_path() {
  for (;;) {
    if (halt_pending_) halt_here();
    if (now_ < budget_end_) break;
    poll_streak_ = 0;
    if (fire_here()) continue;
    yield_to_host();
  }
  check_at_ = budget_end_;
  m_.nvic.deliver();
  if (exception_depth == 0 && m_.rtos.switch_pending()) m_.rtos.switch_now();
}

// A due event of the chip's own peripherals fires where the processor stands,
// saving the hand-over to the host side and back; the host loop would do
// just the same with it (the processor then goes on to the next event or the
// end of the run, whichever comes first).
bool Cpu::fire_here() {
  if (now_ >= target_) return false;
  in_fiber_ = false;  // as on the host side: what the event does costs the processor nothing
  const bool fired = m_.events.fire_due_on_processor(now_);
  in_fiber_ = true;
  if (!fired) return false;
  ++m_.events_fired;
  budget_end_ = std::min(m_.events.next_time(), target_);
  if (check_at_ > budget_end_) check_at_ = budget_end_;
  return true;
}

void Cpu::fast_forward() {
  if (budget_end_ > now_) {
    ++fast_forwards;
    fast_forwarded += budget_end_ - now_;
    now_ = budget_end_;
  }
  slow_path();
}

void Cpu::busy_until(Time t) {
  if (!in_fiber_) return;
  poll_streak_ = 0;
  while (now_ < t) {
    if (t < check_at_) {
      now_ = t;
      return;
    }
    if (check_at_ > now_) now_ = check_at_;
    slow_path();
  }
}

void Cpu::idle() {
  if (budget_end_ > now_) {
    idle_time += budget_end_ - now_;
    now_ = budget_end_;
  }
  slow_path();
}

void Cpu::boot(void (*entry)(void*), void* arg) {
  boot_.fiber.start(entry, arg);
  current_ = &boot_;
  exception_depth = 0;
  poll_streak_ = 0;
  halt_pending_ = false;
  running_ = true;
  check_at_ = now_;
}

void Cpu::halt() {
  if (!running_) return;
  if (in_fiber_) {
    halt_pending_ = true;
    check_at_ = now_;
    return;
  }
  running_ = false;
}

void Cpu::halt_here() {
  halt_pending_ = false;
  running_ = false;
  exception_depth = 0;
  Fiber::switch_to(current_->fiber, host_, true);
  __builtin_unreachable();
}

void Cpu::switch_to(Context& next) {
  Context* prev = current_;
  if (prev == &next) return;
  current_ = &next;
  Fiber::switch_to(prev->fiber, next.fiber);
}

void Cpu::abandon_to(Context& next) {
  Context* prev = current_;
  current_ = &next;
  Fiber::switch_to(prev->fiber, next.fiber, true);
  __builtin_unreachable();
}

}  // namespace host
