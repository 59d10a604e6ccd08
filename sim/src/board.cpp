#include "sim/board.h"

namespace sim {

namespace pins {

const std::vector<Named>& all() {
  static const std::vector<Named> table = {
      {"aux", aux},           {"pblvl", pblvl},         {"lpglvl", lpglvl},         {"Vbat", vbat},
      {"speed", speed},       {"cc_up", cc_up},         {"relay", relay},           {"enc_but", enc_but},
      {"enc_dt", enc_dt},     {"enc_clk", enc_clk},     {"stepper_en", stepper_en}, {"stepper_step", stepper_step},
      {"stepper_dir", stepper_dir}, {"cc_stop", cc_stop}, {"pk3", pk3},             {"pk2", pk2},
      {"pk1", pk1},           {"temp", temp},           {"cc_down", cc_down},       {"wtr_pb", wtr_pb},
      {"wtr_lpg", wtr_lpg},   {"ignition", ignition},   {"buzzer", buzzer},         {"lcd_dc", lcd_dc},
      {"lcd_cs", lcd_cs},     {"lcd_res", lcd_res},
  };
  return table;
}

std::optional<host::PinId> by_name(std::string_view name) {
  for (const Named& n : all())
    if (name == n.name) return n.pin;
  return host::parse_pin(name);
}

}  // namespace pins

Board::Board(host::Machine& machine) : Event(machine.events()), machine_(machine) {
  auto& g = machine.gpio();
  // Resistors on the board: the relay driver's input pulled down, the
  // encoder module's pull-ups, the 1-Wire pull-up.
  g.add_driver(pins::relay, host::Drive::PullDown);
  g.add_driver(pins::enc_clk, host::Drive::PullUp);
  g.add_driver(pins::enc_dt, host::Drive::PullUp);
  g.add_driver(pins::enc_but, host::Drive::PullUp);
  g.add_driver(pins::temp, host::Drive::PullUp);
  g.add_listener(pins::ignition, this);
  g.add_listener(pins::relay, this);
}

Board::~Board() {
  machine_.gpio().remove_listener(pins::ignition, this);
  machine_.gpio().remove_listener(pins::relay, this);
}

void Board::update_power() {
  const auto& g = machine_.gpio();
  const bool on = supply_ && (g.level(pins::ignition) || g.level(pins::relay));
  if (on) {
    cancel();  // back within the hold-up time, or never gone
    if (!machine_.powered()) {
      ++power_ons_;
      machine_.set_powered(true);
    }
  } else if (machine_.powered() && !scheduled()) {
    schedule(machine_.now() + kHoldUp);
  }
}

void Board::fire(host::Time) { machine_.set_powered(false); }

void Board::set_supply(bool connected) {
  supply_ = connected;
  update_power();
}

void Board::on_pin_level(host::PinId, host::Time, bool) { update_power(); }

}  // namespace sim
