// The cruise control's throttle actuator: a stepper-motor driver with enable,
// step and direction inputs, and the throttle it turns, between the
// mechanical stops of closed (step 0) and fully open (the travel in steps).
#pragma once

#include <cstdint>
#include <functional>

#include "host/machine.h"

namespace sim {

// The driver takes a step on each rising edge of its step input while it is
// energised (enable input low, and supplied: it runs from the board's
// supply), toward closed while the direction input is high. A step against a
// stop is lost. Released, the motor no longer holds the linkage and the
// throttle's return spring closes it.
class StepperThrottle : private host::PinListener, private host::PowerListener {
 public:
  // Called when the driver is energised or released.
  using EnergisedHook = std::function<void(host::Time t, bool energised)>;

  StepperThrottle(host::Machine& machine, int travel_steps);
  ~StepperThrottle() override;
  StepperThrottle(const StepperThrottle&) = delete;
  StepperThrottle& operator=(const StepperThrottle&) = delete;

  void on_energised(EnergisedHook hook) { hook_ = std::move(hook); }

  bool energised() const { return energised_; }
  // Position in steps from closed, and as a fraction of the travel.
  int position_steps() const { return position_; }
  double opening() const { return static_cast<double>(position_) / travel_; }
  // Step edges the driver acted on, and those of them lost at a stop.
  std::uint64_t steps() const { return steps_; }
  std::uint64_t lost_steps() const { return lost_; }

 private:
  void on_pin_level(host::PinId pin, host::Time t, bool level) override;
  void on_power(host::Time t, bool on) override;
  void update_energised(host::Time t);

  host::Machine& machine_;
  int travel_;
  int position_ = 0;
  bool supplied_;
  bool energised_ = false;
  std::uint64_t steps_ = 0;
  std::uint64_t lost_ = 0;
  EnergisedHook hook_;
};

}  // namespace sim
