#include "sim/throttle.h"

#include "sim/board.h"

namespace sim {

StepperThrottle::StepperThrottle(host::Machine& machine, int travel_steps)
    : machine_(machine), travel_(travel_steps > 0 ? travel_steps : 1), supplied_(machine.powered()) {
  auto& g = machine_.gpio();
  g.add_listener(pins::stepper_en, this);
  g.add_listener(pins::stepper_step, this);
  machine_.add_power_listener(this);
  update_energised(machine_.now());
}

StepperThrottle::~StepperThrottle() {
  auto& g = machine_.gpio();
  g.remove_listener(pins::stepper_en, this);
  g.remove_listener(pins::stepper_step, this);
  machine_.remove_power_listener(this);
}

void StepperThrottle::on_pin_level(host::PinId pin, host::Time t, bool level) {
  if (pin == pins::stepper_en) {
    update_energised(t);
    return;
  }
  if (pin != pins::stepper_step || !level || !energised_) return;
  ++steps_;
  const bool closing = machine_.gpio().level(pins::stepper_dir);
  const int next = position_ + (closing ? -1 : 1);
  if (next < 0 || next > travel_) {
    ++lost_;  // the linkage is against its stop
    return;
  }
  position_ = next;
}

void StepperThrottle::on_power(host::Time t, bool on) {
  supplied_ = on;
  update_energised(t);
}

void StepperThrottle::update_energised(host::Time t) {
  const bool now = supplied_ && !machine_.gpio().level(pins::stepper_en);
  if (now == energised_) return;
  energised_ = now;
  if (!now) position_ = 0;  // the return spring closes the throttle
  if (hook_) hook_(t, now);
}

}  // namespace sim
