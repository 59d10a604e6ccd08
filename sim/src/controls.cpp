#include "sim/controls.h"

#include <cstdlib>

#include "sim/board.h"

namespace sim {

using host::Time;

IgnitionSwitch::IgnitionSwitch(Board& board)
    : board_(board), line_(board.machine().gpio().add_driver(pins::ignition, host::Drive::Low)) {}

void IgnitionSwitch::set(bool on) {
  on_ = on;
  board_.machine().gpio().set_drive(line_, on ? host::Drive::High : host::Drive::Low);
}

PushButton::PushButton(host::Machine& machine, host::PinId pin, bool active_high)
    : Event(machine.events()), machine_(machine), line_(machine.gpio().add_driver(pin)), active_high_(active_high) {}

void PushButton::press() {
  pressed_ = true;
  cancel();
  machine_.gpio().set_drive(line_, active_high_ ? host::Drive::High : host::Drive::Low);
}

void PushButton::release() {
  pressed_ = false;
  cancel();
  machine_.gpio().set_drive(line_, host::Drive::None);
}

void PushButton::press_for(Time duration) {
  press();
  schedule(machine_.now() + duration);
}

RotaryEncoder::RotaryEncoder(host::Machine& machine)
    : Event(machine.events()),
      machine_(machine),
      clk_(machine.gpio().add_driver(pins::enc_clk)),
      dt_(machine.gpio().add_driver(pins::enc_dt)) {}

void RotaryEncoder::turn(int detents) {
  if (detents == 0) return;
  // A turn the other way first finishes what is queued.
  queued_ += detents;
  if (phase_ == 0 && !scheduled()) schedule(machine_.now());
}

void RotaryEncoder::start_detent(Time) {
  forward_ = queued_ > 0;
  queued_ += forward_ ? -1 : 1;
  phase_ = 1;
}

void RotaryEncoder::fire(Time t) {
  auto& g = machine_.gpio();
  if (phase_ == 0) {
    if (queued_ == 0) return;
    start_detent(t);
  }
  // Forward: clock falls, data falls, clock rises (data low), data rises.
  // Backward: data falls, clock falls, data rises, clock rises (data high).
  switch (phase_) {
    case 1: g.set_drive(forward_ ? clk_ : dt_, host::Drive::Low); break;
    case 2: g.set_drive(forward_ ? dt_ : clk_, host::Drive::Low); break;
    case 3: g.set_drive(forward_ ? clk_ : dt_, host::Drive::None); break;
    case 4: g.set_drive(forward_ ? dt_ : clk_, host::Drive::None); break;
  }
  if (phase_ < 4) {
    ++phase_;
    schedule(t + kPhase);
  } else {
    phase_ = 0;
    if (queued_ != 0) schedule(t + kDetentGap);
  }
}

}  // namespace sim
