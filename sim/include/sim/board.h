// The trip computer's board as the world sees it: which microcontroller pin
// each signal of the car reaches, the resistors on the lines, and the supply
// (ignition OR the power-hold relay).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/machine.h"

namespace sim {

// Signals of the board, by the names the firmware's pin map gives them.
namespace pins {
inline constexpr host::PinId aux = host::pin_id('A', 0);
inline constexpr host::PinId pblvl = host::pin_id('A', 2);
inline constexpr host::PinId lpglvl = host::pin_id('A', 3);
inline constexpr host::PinId vbat = host::pin_id('A', 4);
inline constexpr host::PinId speed = host::pin_id('A', 8);
inline constexpr host::PinId cc_up = host::pin_id('A', 9);
inline constexpr host::PinId relay = host::pin_id('A', 10);
inline constexpr host::PinId enc_but = host::pin_id('A', 11);
inline constexpr host::PinId enc_dt = host::pin_id('A', 12);
inline constexpr host::PinId enc_clk = host::pin_id('A', 15);
inline constexpr host::PinId stepper_en = host::pin_id('B', 0);
inline constexpr host::PinId stepper_step = host::pin_id('B', 1);
inline constexpr host::PinId stepper_dir = host::pin_id('B', 2);
inline constexpr host::PinId cc_stop = host::pin_id('B', 3);
inline constexpr host::PinId pk3 = host::pin_id('B', 4);
inline constexpr host::PinId pk2 = host::pin_id('B', 5);
inline constexpr host::PinId pk1 = host::pin_id('B', 6);
inline constexpr host::PinId temp = host::pin_id('B', 9);
inline constexpr host::PinId cc_down = host::pin_id('B', 10);
inline constexpr host::PinId wtr_pb = host::pin_id('B', 12);
inline constexpr host::PinId wtr_lpg = host::pin_id('B', 13);
inline constexpr host::PinId ignition = host::pin_id('B', 14);
inline constexpr host::PinId buzzer = host::pin_id('B', 15);
inline constexpr host::PinId lcd_dc = host::pin_id('C', 13);
inline constexpr host::PinId lcd_cs = host::pin_id('C', 14);
inline constexpr host::PinId lcd_res = host::pin_id('C', 15);

// The ADC1 input a pin reaches: PA0..PA7 are ADC1_IN0..IN7 (the board's
// analog signals are all there).
constexpr int adc_channel(host::PinId pin) {
  if (pin.port != 0 || pin.pin > 7) throw std::invalid_argument("not an analog input of the board");
  return pin.pin;
}

struct Named {
  const char* name;
  host::PinId pin;
};
// Every named signal, for traces and tools.
const std::vector<Named>& all();
std::optional<host::PinId> by_name(std::string_view name);
}  // namespace pins

// Power supply of the board: on while the ignition line or the relay output
// is high. The relay's driver input has a pull-down, so a chip that stops
// driving it (reset, power loss) releases the relay. When both go low the
// supply's capacitors and the relay's release time keep the board running
// for a short hold-up time; a supply that returns within it is not lost.
class Board : private host::PinListener, private host::Event {
 public:
  static constexpr host::Time kHoldUp = 20 * host::kTimePerMs;

  explicit Board(host::Machine& machine);
  ~Board() override;
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  host::Machine& machine() { return machine_; }
  bool powered() const { return machine_.powered(); }
  bool relay() const { return machine_.gpio().level(pins::relay); }
  std::uint32_t power_cycles() const { return power_ons_; }

  // Updates the supply from the ignition and relay lines.
  void update_power();
  // The unit's supply wire: cut, the board loses its power whatever the
  // ignition and the relay do (a loose connector, a flat battery).
  void set_supply(bool connected);
  bool supply() const { return supply_; }

 private:
  void on_pin_level(host::PinId pin, host::Time t, bool level) override;
  void fire(host::Time t) override;

  host::Machine& machine_;
  std::uint32_t power_ons_ = 0;
  bool supply_ = true;
};

}  // namespace sim
