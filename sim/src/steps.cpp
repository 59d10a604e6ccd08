// Every kind of scenario step, by the name it has in a scenario file.
#include "sim/steps.h"

namespace sim {

const std::vector<StepKind>& step_kinds() {
  static const std::vector<StepKind> kinds = {
      {"ignition", parse_ignition},
      {"engine", parse_engine},
      {"fuel", parse_fuel},
      {"speed", parse_speed},
      {"turn", parse_turn},
      {"press", parse_press},
      {"snapshot", parse_snapshot},
      {"cc_up", parse_cc_up},
      {"cc_down", parse_cc_down},
      {"cc_stop", parse_cc_stop},
      {"cc_engage", parse_cc_engage},
      {"supply", parse_supply},
      {"fill", parse_fill},
      {"drain", parse_drain},
      {"outside_temp", parse_outside_temp},
      {"thermometer", parse_thermometer},
      {"gradient", parse_gradient},
  };
  return kinds;
}

}  // namespace sim
