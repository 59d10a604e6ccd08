#include "host/gpio.h"

#include <algorithm>
#include <stdexcept>

#include "exti.h"

namespace host {

namespace {
// Reset values: the debug pins PA13..PA15 and PB3, PB4 start in their
// alternate function, with the pulls the debug port needs.
constexpr std::uint32_t kResetModer[Gpio::kPorts] = {0xA8000000u, 0x00000280u};
constexpr std::uint32_t kResetSpeed[Gpio::kPorts] = {0x0C000000u, 0x000000C0u};
constexpr std::uint32_t kResetPull[Gpio::kPorts] = {0x64000000u, 0x00000100u};

// One bit per pin from one bit per two-bit field (each field's low bit).
constexpr std::uint32_t pins_of_field_bits(std::uint32_t x) {
  x &= 0x55555555u;
  x = (x | (x >> 1)) & 0x33333333u;  // gather every other bit
  x = (x | (x >> 2)) & 0x0F0F0F0Fu;
  x = (x | (x >> 4)) & 0x00FF00FFu;
  return (x | (x >> 8)) & 0x0000FFFFu;
}
static_assert(pins_of_field_bits(0x40000001u) == 0x8001u);
}  // namespace

Gpio::Gpio() = default;

Gpio::DriverId Gpio::add_driver(PinId pin, Drive initial) {
  const auto id = static_cast<DriverId>(drivers_.size());
  drivers_.push_back(Driver{pin, initial});
  line(pin).drivers.push_back(id);
  ports_[pin.port].driven_lines |= 1u << pin.pin;
  update_plain_outputs(pin.port);
  resolve(pin);
  return id;
}

void Gpio::set_drive(DriverId driver, Drive drive) {
  Driver& d = drivers_.at(driver);
  if (d.drive == drive) return;
  d.drive = drive;
  resolve(d.pin);
}

Drive Gpio::drive_of(DriverId driver) const { return drivers_.at(driver).drive; }

bool Gpio::level(PinId pin) const { return (ports_[pin.port].levels >> pin.pin) & 1u; }

PinMode Gpio::mode(PinId pin) const {
  return static_cast<PinMode>((ports_[pin.port].regs[MODER] >> (2 * pin.pin)) & 3u);
}

PinPull Gpio::pull(PinId pin) const {
  return static_cast<PinPull>((ports_[pin.port].regs[PUPDR] >> (2 * pin.pin)) & 3u);
}

bool Gpio::open_drain(PinId pin) const { return (ports_[pin.port].regs[OTYPER] >> pin.pin) & 1u; }
bool Gpio::output_latch(PinId pin) const { return (ports_[pin.port].regs[ODR] >> pin.pin) & 1u; }

bool Gpio::driven_by_chip(PinId pin) const { return powered_ && mode(pin) == PinMode::Output; }

void Gpio::add_listener(PinId pin, PinListener* listener) {
  auto& set = line(pin).listeners;
  auto v = set ? *set : std::vector<PinListener*>{};
  v.push_back(listener);
  if (notifying_ > 0 && set) retired_.push_back(set);
  set = std::make_shared<const std::vector<PinListener*>>(std::move(v));
}

void Gpio::remove_listener(PinId pin, PinListener* listener) {
  auto& set = line(pin).listeners;
  if (!set) return;
  auto v = *set;
  v.erase(std::remove(v.begin(), v.end(), listener), v.end());
  if (notifying_ > 0) retired_.push_back(set);
  set = v.empty() ? nullptr : std::make_shared<const std::vector<PinListener*>>(std::move(v));
}

bool Gpio::clock_enabled(int port) const { return ports_[port].clock; }
void Gpio::set_clock_enabled(int port, bool on) { ports_[port].clock = on; }

void Gpio::reset_registers() {
  powered_ = true;
  for (int p = 0; p < kPorts; ++p) {
    ports_[p].regs = {};
    ports_[p].regs[MODER] = kResetModer[p];
    ports_[p].regs[OSPEEDR] = kResetSpeed[p];
    ports_[p].regs[PUPDR] = kResetPull[p];
    ports_[p].clock = false;
    update_plain_outputs(p);
  }
  for (int p = 0; p < kPorts; ++p) resolve_port(p);
}

void Gpio::unpowered() {
  powered_ = false;
  for (int p = 0; p < kPorts; ++p) {
    ports_[p].clock = false;
    update_plain_outputs(p);
  }
  for (int p = 0; p < kPorts; ++p) resolve_port(p);
}

std::uint32_t Gpio::read(int port, Reg reg) const {
  const Port& p = ports_[port];
  if (!p.clock) return 0;
  if (reg == IDR) {
    // Pins in analog mode have their input buffer off and read 0.
    const std::uint32_t moder = p.regs[MODER];
    return p.levels & ~pins_of_field_bits(moder & (moder >> 1));  // mode field 11
  }
  if (reg == BSRR) return 0;
  return p.regs[reg];
}

void Gpio::write(int port, Reg reg, std::uint32_t value) {
  Port& p = ports_[port];
  if (!p.clock || reg == IDR) return;  // an unclocked port ignores writes
  if (reg == BSRR) {
    write_bsrr(port, value);
    return;
  }
  const std::uint32_t before = p.regs[reg];
  p.regs[reg] = value;
  const std::uint32_t diff = before ^ value;
  std::uint32_t changed = 0;  // pins whose line may have changed
  if (reg == MODER || reg == PUPDR) changed = pins_of_field_bits(diff | (diff >> 1));
  if (reg == OTYPER || reg == ODR) changed = diff & 0xFFFFu;
  if (reg == MODER || reg == OTYPER) update_plain_outputs(port);
  resolve_pins(port, changed);
}

void Gpio::update_plain_outputs(int port) {
  Port& p = ports_[port];
  std::uint32_t plain = 0;
  if (powered_) {
    const std::uint32_t moder = p.regs[MODER];
    plain = pins_of_field_bits(moder & ~(moder >> 1)) & ~p.regs[OTYPER] & ~p.driven_lines;  // mode field 01, push-pull
  }
  p.plain_outputs = plain & 0xFFFFu;
}

void Gpio::resolve_port(int port) {
  for (int i = 0; i < 16; ++i) resolve(PinId{static_cast<std::uint8_t>(port), static_cast<std::uint8_t>(i)});
}

void Gpio::resolve(PinId pin) {
  const Port& port = ports_[pin.port];
  const unsigned n = pin.pin;
  bool strong_low = false, strong_high = false, pull_up = false, pull_down = false;
  if (powered_) {
    if (((port.regs[MODER] >> (2 * n)) & 3u) == static_cast<std::uint32_t>(PinMode::Output)) {
      if (((port.regs[ODR] >> n) & 1u) == 0) {
        strong_low = true;
      } else if (((port.regs[OTYPER] >> n) & 1u) == 0) {
        strong_high = true;
      }
    }
    const std::uint32_t p = (port.regs[PUPDR] >> (2 * n)) & 3u;
    pull_up = p == static_cast<std::uint32_t>(PinPull::Up);
    pull_down = p == static_cast<std::uint32_t>(PinPull::Down);
  }
  for (DriverId d : line(pin).drivers) {
    switch (drivers_[d].drive) {
      case Drive::Low:
        strong_low = true;
        break;
      case Drive::High:
        strong_high = true;
        break;
      case Drive::PullUp:
        pull_up = true;
        break;
      case Drive::PullDown:
        pull_down = true;
        break;
      case Drive::None:
        break;
    }
  }
  const bool was = ((port.levels >> n) & 1u) != 0;
  bool level = was;
  if (strong_low && strong_high) {
    ++contentions_;
    level = false;
  } else if (strong_low) {
    level = false;
  } else if (strong_high) {
    level = true;
  } else if (pull_up != pull_down) {
    level = pull_up;
  }
  if (level != was) changed_level(pin, level);
}

// Most resolutions leave the level as it was; a change is told apart from
// them so that they stay cheap.
void Gpio::changed_level(PinId pin, bool level) {
  ports_[pin.port].levels ^= 1u << pin.pin;
  const Time t = now_ != nullptr ? *now_ : 0;
  if (exti_ != nullptr && powered_ && exti_->watches(pin)) exti_->on_edge(pin, level);
  // Listeners may change drives in turn, or (un)register: the set taken
  // here stays as it is until the last of them is called.
  if (const std::vector<PinListener*>* listeners = line(pin).listeners.get()) {
    ++notifying_;
    for (PinListener* listener : *listeners) listener->on_pin_level(pin, t, level);
    if (--notifying_ == 0 && !retired_.empty()) retired_.clear();
  }
}

}  // namespace host
