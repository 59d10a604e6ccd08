// Host stacks for the firmware's execution contexts. Each RTOS task (and the
// start-up code and the idle loop) runs on a fiber of its own; interrupt
// handlers run nested on whichever fiber the processor is in, as exception
// frames do on the chip.
#pragma once

#include <cstddef>

namespace host {

class Fiber {
 public:
  using Entry = void (*)(void* arg);

  // The calling thread's own stack (the host side of the simulation).
  Fiber() = default;
  explicit Fiber(std::size_t stack_bytes);
  ~Fiber();
  Fiber(const Fiber&) = delete;
  Fiber& operator=(const Fiber&) = delete;

  // Prepares a fresh start: the next switch into this fiber runs entry(arg)
  // from the top of its stack. Whatever ran on it before is abandoned.
  void start(Entry entry, void* arg);

  // Switches from the running fiber `from` to `to`. Returns when some fiber
  // switches back to `from`. When `from_ends` is true, `from` is abandoned
  // and will only run again after start().
  static void switch_to(Fiber& from, Fiber& to, bool from_ends = false);

 private:
  static void begin(Fiber* self);
  void after_switch();

  void* sp_ = nullptr;
  unsigned char* stack_ = nullptr;
  std::size_t stack_size_ = 0;
  std::size_t mapped_size_ = 0;
  Entry entry_ = nullptr;
  void* arg_ = nullptr;
  // Sanitizer bookkeeping: where this fiber's stack lies, and its fake stack.
  const void* bottom_ = nullptr;
  std::size_t size_ = 0;
  void* fake_stack_ = nullptr;
};

}  // namespace host
