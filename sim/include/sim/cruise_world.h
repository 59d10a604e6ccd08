// The cruise control's side of the world in scenarios and traces: the
// vehicle section (the car's longitudinal properties and throttle travel),
// and the trace of the three buttons, the throttle's true position, whether
// the stepper driver holds it, who drives the car and the gradient.
#pragma once

#include <string>

#include "sim/world.h"

namespace sim {

class ScenarioReader;
struct Scenario;
void parse_vehicle_section(const ScenarioReader& reader, const nlohmann::json& value, const std::string& place,
                           Scenario& out);

class CruisePart final : public WorldPart {
 public:
  explicit CruisePart(const World& world) : world_(world) {}
  void trace(ojson& world) override;

 private:
  const World& world_;
};

}  // namespace sim
