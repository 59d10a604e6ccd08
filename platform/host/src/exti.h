// External interrupt controller with the SYSCFG line-to-port selection: an
// edge of the selected port's pin sets the line's pending bit when the line
// is unmasked and that edge is enabled.
#pragma once

#include <array>
#include <cstdint>

#include "host/pins.h"

namespace host {

struct MachineImpl;

class Exti {
 public:
  enum Reg : std::uint8_t { IMR, EMR, RTSR, FTSR, SWIER, PR, kRegCount };

  explicit Exti(MachineImpl& m) : m_(m) {}
  void reset();
  std::uint32_t read(unsigned reg) const;
  void write(unsigned reg, std::uint32_t value);
  std::uint32_t read_exticr(unsigned n) const { return exticr_[n]; }
  void write_exticr(unsigned n, std::uint32_t value);
  // True when an edge of the pin may set a pending bit: its line is unmasked
  // and selects the pin's port. Most pin changes are of lines nobody watches.
  bool watches(PinId pin) const { return (watched_[pin.port] >> pin.pin) & 1u; }
  void on_edge(PinId pin, bool rising);
  // Interrupt request of an exception number fed by EXTI lines.
  bool asserted(int exception) const;
  static std::uint32_t lines_of(int exception);
  static int exception_of_line(unsigned line);

 private:
  void update_watched();

  MachineImpl& m_;
  std::array<std::uint32_t, kRegCount> regs_{};
  std::array<std::uint32_t, 4> exticr_{};
  std::array<std::uint32_t, 8> watched_{};  // a mask of pins a port, from IMR and the selections
};

}  // namespace host
