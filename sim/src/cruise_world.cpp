#include "sim/cruise_world.h"

#include "sim/json.h"

namespace sim {

void CruisePart::trace(ojson& world) {
  const Car& car = world_.car;
  world["cc_up"] = world_.cc_up.pressed();
  world["cc_down"] = world_.cc_down.pressed();
  world["cc_stop"] = world_.cc_stop.pressed();
  const StepperThrottle& t = car.throttle();
  world["throttle_steps"] = t.position_steps();
  world["throttle"] = json_number(t.opening());
  world["throttle_lost_steps"] = t.lost_steps();
  world["stepper_energised"] = t.energised();
  world["driver"] = car.cruising() ? "cruise" : "script";
  world["gradient_pct"] = json_number(car.gradient_percent());
}

}  // namespace sim
