// The GPIO ports of the simulated chip, with the lines outside it.
//
// Inside: mode, pull, output type and output latch per pin, as the port
// registers set them. Outside: any number of parties may drive or pull a
// line; the level every party sees is resolved from all drives together.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/pins.h"

namespace host {

class Exti;

enum class PinMode : std::uint8_t { Input = 0, Output = 1, Alternate = 2, Analog = 3 };
enum class PinPull : std::uint8_t { None = 0, Up = 1, Down = 2 };

class Gpio {
 public:
  static constexpr int kPorts = 8;

  using DriverId = std::uint32_t;

  Gpio();

  // ---- the world's side ----
  // Adds a party that drives or pulls this line (a sensor, a switch, a
  // resistor). Returns its handle; parties stay across resets of the chip.
  DriverId add_driver(PinId pin, Drive initial = Drive::None);
  void set_drive(DriverId driver, Drive drive);
  Drive drive_of(DriverId driver) const;
  // The line's resolved level.
  bool level(PinId pin) const;
  // True while the chip itself drives the line (output mode).
  bool driven_by_chip(PinId pin) const;
  PinMode mode(PinId pin) const;
  PinPull pull(PinId pin) const;
  bool open_drain(PinId pin) const;
  bool output_latch(PinId pin) const;
  void add_listener(PinId pin, PinListener* listener);
  void remove_listener(PinId pin, PinListener* listener);
  // Number of times a strong high met a strong low on some line.
  std::uint64_t contentions() const { return contentions_; }

  // ---- the chip's side ----
  enum Reg : std::uint8_t { MODER, OTYPER, OSPEEDR, PUPDR, IDR, ODR, BSRR, LCKR, AFRL, AFRH, kRegCount };
  std::uint32_t read(int port, Reg reg) const;
  void write(int port, Reg reg, std::uint32_t value);
  // The bit set/reset register, as every pin write of the HAL uses it: set
  // wins when both bits of a pin are written, and only pins whose latch
  // changes are resolved again. A push-pull output that nothing outside
  // drives takes its latch's level without a resolution.
  void write_bsrr(int port, std::uint32_t value) {
    Port& p = ports_[port];
    if (!p.clock) return;  // an unclocked port ignores writes
    const std::uint32_t odr = (p.regs[ODR] & ~(value >> 16)) | (value & 0xFFFFu);
    const std::uint32_t changed = odr ^ p.regs[ODR];
    if (changed == 0) return;
    p.regs[ODR] = odr;
    resolve_pins(port, changed);
  }
  bool clock_enabled(int port) const;
  void set_clock_enabled(int port, bool on);
  // Registers to their reset values (the chip was reset or powered up).
  void reset_registers();
  // The chip lost power: it neither drives nor pulls any line.
  void unpowered();
  void set_exti(Exti* exti) { exti_ = exti; }
  void set_clock(const Time* now) { now_ = now; }

 private:
  struct Line {
    std::vector<DriverId> drivers;
    // Replaced on every change, never changed in place: a notification
    // keeps the set it started with.
    std::shared_ptr<const std::vector<PinListener*>> listeners;
  };
  struct Port {
    std::array<std::uint32_t, kRegCount> regs{};
    std::uint32_t levels = 0;  // resolved line levels, one bit per pin
    // Push-pull outputs of a powered chip on lines no other party drives:
    // their level is their latch's.
    std::uint32_t plain_outputs = 0;
    std::uint32_t driven_lines = 0;  // lines with a party of the world on them
    bool clock = false;
  };
  struct Driver {
    PinId pin;
    Drive drive;
  };

  void resolve(PinId pin);
  void resolve_pins(int port, std::uint32_t pins) {
    for (; pins != 0; pins &= pins - 1) {
      const int n = __builtin_ctz(pins);
      if ((ports_[port].plain_outputs >> n) & 1u) {
        follow_latch(port, n);
      } else {
        resolve(PinId{static_cast<std::uint8_t>(port), static_cast<std::uint8_t>(n)});
      }
    }
  }
  void changed_level(PinId pin, bool level);
  // A plain output's line takes its latch's level.
  void follow_latch(int port, int n) {
    const Port& p = ports_[port];
    const bool level = (p.regs[ODR] >> n) & 1u;
    if (level != (((p.levels >> n) & 1u) != 0))
      changed_level(PinId{static_cast<std::uint8_t>(port), static_cast<std::uint8_t>(n)}, level);
  }
  void resolve_port(int port);
  void update_plain_outputs(int port);
  Line& line(PinId pin) { return lines_[pin.index()]; }
  const Line& line(PinId pin) const { return lines_[pin.index()]; }

  std::array<Port, kPorts> ports_{};
  std::array<Line, kPorts * 16> lines_{};
  // Listener sets replaced while notifications run, kept until the last of
  // them is done, so a notification never copies the set it walks.
  int notifying_ = 0;
  std::vector<std::shared_ptr<const std::vector<PinListener*>>> retired_;
  std::vector<Driver> drivers_;
  bool powered_ = false;
  Exti* exti_ = nullptr;
  const Time* now_ = nullptr;
  std::uint64_t contentions_ = 0;
};

}  // namespace host
