// Nested vectored interrupt controller: priorities, pending and active
// exceptions, and their delivery. A lower number is a higher priority; a
// pending exception pre-empts only when its priority is strictly higher than
// that of every active one, so equal priorities never nest. Among pending
// exceptions of one priority the lower exception number goes first.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace host {

struct MachineImpl;

class Nvic {
 public:
  static constexpr int kExceptions = 16 + 86;
  static constexpr int kSysTick = 15;
  static constexpr int kPendSV = 14;

  using Handler = void (*)();
  // Level of a peripheral's interrupt request: while it is asserted after a
  // handler returns, the exception becomes pending again.
  using Source = std::function<bool()>;

  explicit Nvic(MachineImpl& m);

  void reset();
  static int exception_of_irq(int irqn) { return irqn + 16; }

  void set_priority(int exception, std::uint8_t priority);
  std::uint8_t priority(int exception) const { return priority_[exception]; }
  void enable(int exception, bool on);
  bool enabled(int exception) const { return enabled_[exception]; }
  void set_pending(int exception);
  bool pending(int exception) const;
  void set_handler(int exception, Handler handler, std::string name);
  void set_kernel_handler(int exception, std::function<void()> handler, std::string name);
  void set_source(int exception, Source source) { source_[exception] = std::move(source); }
  void set_primask(bool masked);
  bool primask() const { return primask_; }

  // Takes every pending exception that may pre-empt what runs now.
  void deliver();

  // Number of the active exception (IPSR), 0 in thread mode.
  std::uint32_t active_exception() const { return depth_ == 0 ? 0u : static_cast<std::uint32_t>(active_[depth_ - 1]); }
  const std::string& name(int exception) const { return names_[exception]; }
  std::uint64_t taken() const { return taken_; }

 private:
  int best_pending() const;
  int execution_priority() const;
  void take(int exception);

  MachineImpl& m_;
  std::array<std::uint8_t, kExceptions> priority_{};
  std::array<bool, kExceptions> enabled_{};
  std::array<std::uint64_t, 2> pending_bits_{};
  std::array<Handler, kExceptions> handler_{};
  std::array<std::function<void()>, kExceptions> kernel_handler_{};
  std::array<Source, kExceptions> source_{};
  std::array<std::string, kExceptions> names_{};
  std::array<int, kExceptions> active_{};
  int depth_ = 0;
  bool primask_ = false;
  std::uint64_t taken_ = 0;
};

}  // namespace host
