// The road's gradient as a scenario step.
#include "sim/scenario_reader.h"
#include "sim/steps.h"
#include "sim/world.h"

namespace sim {

namespace {
constexpr double kDefaultOverMetres = 100;  // a road's change of gradient is gradual
}  // namespace

// {"gradient": 4} or {"gradient": {"percent": -3, "over_m": 200}}: the
// gradient (rise per 100 m, negative downhill) reached over that much road
// from where the car is.
std::shared_ptr<const Action> parse_gradient(const ScenarioReader& r, const json& v, const std::string& place) {
  double percent = 0, over_m = kDefaultOverMetres;
  if (v.is_number()) {
    percent = r.number(v, place, -30, 30);
  } else {
    r.object(v, place);
    r.only_keys(v, place, {"percent", "over_m"});
    if (!v.contains("percent")) r.fail(place, "missing field percent");
    percent = r.number(v["percent"], ScenarioReader::join(place, "percent"), -30, 30);
    over_m = r.number_or(v, place, "over_m", 0, 10000, over_m);
  }
  return make_action([percent, over_m](StepContext& c) { c.world.car.set_gradient(percent, over_m / 1000.0); });
}

}  // namespace sim
