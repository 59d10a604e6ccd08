// The processor: virtual time, the running context, and the points where
// interrupts and task switches can happen.
//
// Every platform call charges its cost in cycles. When the charge reaches the
// next scheduled event the running fiber hands control to the host side,
// which fires the event (the world moves, a timer sets its flag); back on the
// fiber, pending interrupts are taken, nested by priority, and a task switch
// requested by the kernel happens once no handler is active.
#pragma once

#include <cstdint>

#include "fiber.h"
#include "host/time.h"

namespace host {

struct MachineImpl;

enum class ContextKind : std::uint8_t { Boot, Task, Idle };

struct Context {
  explicit Context(std::size_t stack_bytes, ContextKind k, const char* n) : fiber(stack_bytes), kind(k), name(n) {}
  Fiber fiber;
  ContextKind kind;
  const char* name;
};

class Cpu {
 public:
  // A context that makes this many side-effect-free calls in a row, with no
  // interrupt in between, is polling: nothing it reads can change before the
  // next event, so time moves on to that event.
  static constexpr std::uint32_t kPollLimit = 8;
  static constexpr std::size_t kStackBytes = 1 << 20;

  explicit Cpu(MachineImpl& m);

  Time now() const { return now_; }
  const Time& now_ref() const { return now_; }

  // Cost of a read whose value is the time itself (a counter register). A
  // timing loop reads it over and over: after its first microsecond the loop
  // runs at half-microsecond steps instead of instruction by instruction,
  // which bounds how far it may overrun its end and keeps long waits cheap.
  void charge_timed_read() {
    if (!in_fiber_) return;
    const std::uint32_t c = timed_streak_ < kFineTimedReads ? kTimedReadCycles : kCoarseTimedReadCycles;
    ++timed_streak_;
    poll_streak_ = 0;
    now_ += c;
    if (now_ >= check_at_) slow_path();
  }

  // Cost of an operation with effects (a write, a bus transfer, a kernel call).
  // Accesses from the host side (a test or a tool reading a register) cost
  // the processor nothing.
  void charge(std::uint32_t cycles) {
    if (!in_fiber_) return;
    poll_streak_ = 0;
    timed_streak_ = 0;
    now_ += cycles;
    if (now_ >= check_at_) slow_path();
  }
  // Cost of a read that changes nothing (a pin level, a no-op).
  void charge_poll(std::uint32_t cycles) {
    if (!in_fiber_) return;
    timed_streak_ = 0;
    now_ += cycles;
    if (++poll_streak_ >= kPollLimit && exception_depth == 0) {
      fast_forward();
    } else if (now_ >= check_at_) {
      slow_path();
    }
  }
  // Busy until virtual time t (a blocking transfer); interrupts and task
  // switches happen meanwhile.
  void busy_until(Time t);
  // Something became pending: look at interrupts at the next charge.
  void attention() { check_at_ = now_; }
  // An event was scheduled at t: stop the fiber before it.
  void event_scheduled(Time t);

  // ---- host side ----
  void run_until(Time target);
  // Starts the firmware's start-up context from the top (reset).
  void boot(void (*entry)(void*), void* arg);
  // Stops the processor. From the host side it only marks it stopped; from a
  // firmware context it leaves that context for good.
  void halt();
  // Stops the processor at once; only from a firmware context.
  [[noreturn]] void halt_now() { halt_here(); }
  bool running() const { return running_; }

  // ---- contexts ----
  Context* current() const { return current_; }
  // Switches to another context and returns when this one is resumed.
  void switch_to(Context& next);
  // Leaves the running context for good (start-up handing over to the kernel).
  [[noreturn]] void abandon_to(Context& next);
  // The idle loop: time moves to the next event.
  void idle();
  bool in_firmware() const { return in_fiber_; }

  int exception_depth = 0;
  Time idle_time = 0;
  Time fast_forwarded = 0;
  std::uint64_t fast_forwards = 0;

 private:
  static constexpr std::uint32_t kFineTimedReads = 16;
  static constexpr std::uint32_t kTimedReadCycles = 6;  // load, subtract, compare, branch
  static constexpr std::uint32_t kCoarseTimedReadCycles = 50;

  void slow_path();
  bool fire_here();
  void fast_forward();
  void yield_to_host();
  [[noreturn]] void halt_here();

  MachineImpl& m_;
  Time now_ = 0;
  Time budget_end_ = 0;  // the fiber runs until here, then the host fires events
  Time target_ = 0;      // where the host's run_until stops
  Time check_at_ = 0;    // next charge at or past this looks at interrupts
  std::uint32_t poll_streak_ = 0;
  std::uint32_t timed_streak_ = 0;
  bool running_ = false;
  bool in_fiber_ = false;
  bool halt_pending_ = false;
  Fiber host_;
  Context boot_;
  Context* current_ = nullptr;
};

}  // namespace host
