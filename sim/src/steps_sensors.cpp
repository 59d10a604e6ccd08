// Steps on the sensors' physical side: filling and draining a tank, the air outside, and
// the thermometer's faults.
#include "sim/runner.h"
#include "sim/scenario_reader.h"
#include "sim/sensors.h"
#include "sim/steps.h"

namespace sim {

namespace {

// "petrol" (the whole tank) or {"fuel": "lpg", "litres": 20}.
std::pair<Fuel, double> read_tank_amount(const ScenarioReader& r, const json& v, const std::string& place) {
  Fuel fuel;
  double litres = 1e9;
  if (v.is_string()) {
    fuel = read_fuel(r, v, place);
  } else {
    r.object(v, place);
    r.only_keys(v, place, {"fuel", "litres"});
    if (!v.contains("fuel")) r.fail(place, "missing field fuel (petrol or lpg)");
    fuel = read_fuel(r, v["fuel"], ScenarioReader::join(place, "fuel"));
    litres = r.number_or(v, place, "litres", 0, 500, litres);
  }
  return {fuel, litres};
}

}  // namespace

std::shared_ptr<const Action> parse_fill(const ScenarioReader& r, const json& v, const std::string& place) {
  // {"fill": "petrol"} fills the tank; {"fill": {"fuel": "lpg", "litres": 20}} adds litres.
  const auto [fuel, litres] = read_tank_amount(r, v, place);
  return make_action([fuel = fuel, litres = litres](StepContext& c) { c.world.car.fill(fuel, litres); });
}

std::shared_ptr<const Action> parse_drain(const ScenarioReader& r, const json& v, const std::string& place) {
  // {"drain": "lpg"} empties the tank; {"drain": {"fuel": "petrol", "litres": 10}} takes litres out.
  const auto [fuel, litres] = read_tank_amount(r, v, place);
  return make_action([fuel = fuel, litres = litres](StepContext& c) { c.world.car.drain(fuel, litres); });
}

std::shared_ptr<const Action> parse_outside_temp(const ScenarioReader& r, const json& v, const std::string& place) {
  const double c = r.number(v, place, -55, 125);
  return make_action([c](StepContext& ctx) {
    if (auto* s = ctx.world.part<SensorsPart>(); s && s->thermometer()) s->thermometer()->set_temperature(c);
  });
}

std::shared_ptr<const Action> parse_thermometer(const ScenarioReader& r, const json& v, const std::string& place) {
  // "lost": off the line; "back": on it again; "corrupt": a byte of the next read-out spoilt.
  const std::string what = r.choice(v, place, {"lost", "back", "corrupt"});
  return make_action([what](StepContext& ctx) {
    auto* s = ctx.world.part<SensorsPart>();
    if (s == nullptr || s->thermometer() == nullptr) return;
    if (what == "lost") s->thermometer()->set_connected(false);
    if (what == "back") s->thermometer()->set_connected(true);
    if (what == "corrupt") s->thermometer()->corrupt_next_readout(3, 0x10);
  });
}

}  // namespace sim
