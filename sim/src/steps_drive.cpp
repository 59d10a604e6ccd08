// The driving steps: ignition, engine, fuel, speed, the encoder and its
// button, the cruise-control buttons, the supply wire, and snapshots.
#include <cctype>

#include "sim/message_text.h"
#include "sim/runner.h"
#include "sim/scenario_reader.h"
#include "sim/steps.h"
#include "sim/world.h"

namespace sim {

namespace {
host::Time seconds(double s) { return host::from_seconds(s); }
}  // namespace

std::shared_ptr<const Action> parse_ignition(const ScenarioReader& r, const json& v, const std::string& place) {
  const bool on = r.boolean(v, place);
  return make_action([on](StepContext& c) { c.world.set_ignition(on); });
}

std::shared_ptr<const Action> parse_engine(const ScenarioReader& r, const json& v, const std::string& place) {
  r.object(v, place);
  r.only_keys(v, place, {"rpm", "petrol_ms", "lpg_ms"});
  if (v.empty()) r.fail(place, "give at least one of rpm, petrol_ms, lpg_ms");
  std::optional<double> rpm, petrol, lpg;
  if (v.contains("rpm")) rpm = r.number(v["rpm"], ScenarioReader::join(place, "rpm"), 0, 9000);
  if (v.contains("petrol_ms")) petrol = r.number(v["petrol_ms"], ScenarioReader::join(place, "petrol_ms"), 0, 100);
  if (v.contains("lpg_ms")) lpg = r.number(v["lpg_ms"], ScenarioReader::join(place, "lpg_ms"), 0, 100);
  return make_action([rpm, petrol, lpg](StepContext& c) {
    Car& car = c.world.car;
    car.set_engine(rpm.value_or(car.rpm()), petrol.value_or(car.petrol_ms()), lpg.value_or(car.lpg_ms()));
  });
}

std::shared_ptr<const Action> parse_fuel(const ScenarioReader& r, const json& v, const std::string& place) {
  const Fuel f = read_fuel(r, v, place);
  return make_action([f](StepContext& c) { c.world.car.set_fuel(f); });
}

std::shared_ptr<const Action> parse_speed(const ScenarioReader& r, const json& v, const std::string& place) {
  double kmh = 0, over = 0;
  if (v.is_number()) {
    kmh = r.number(v, place, 0, 300);
  } else {
    r.object(v, place);
    r.only_keys(v, place, {"kmh", "over"});
    if (!v.contains("kmh")) r.fail(place, "missing field kmh");
    kmh = r.number(v["kmh"], ScenarioReader::join(place, "kmh"), 0, 300);
    over = r.number_or(v, place, "over", 0, 3600, 0);
  }
  return make_action([kmh, over](StepContext& c) { c.world.car.ramp_speed(kmh, seconds(over)); });
}

std::shared_ptr<const Action> parse_turn(const ScenarioReader& r, const json& v, const std::string& place) {
  const int detents = r.integer(v, place, -100, 100);
  if (detents == 0) r.fail(place, "turn by at least one detent (negative turns backward)");
  return make_action([detents](StepContext& c) { c.world.encoder.turn(detents); });
}

std::shared_ptr<const Action> parse_press(const ScenarioReader& r, const json& v, const std::string& place) {
  const double s = r.number(v, place, 0.005, 3600);
  return make_action([s](StepContext& c) { c.world.button.press_for(seconds(s)); });
}

std::shared_ptr<const Action> parse_supply(const ScenarioReader& r, const json& v, const std::string& place) {
  const bool connected = r.boolean(v, place);
  return make_action([connected](StepContext& c) { c.world.board.set_supply(connected); });
}

std::shared_ptr<const Action> parse_snapshot(const ScenarioReader& r, const json& v, const std::string& place) {
  const std::string name = r.string(v, place);
  if (name.empty() || name.size() > 40) r.fail(place, "a snapshot name has 1 to 40 characters");
  for (char ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '_')
      r.fail(place, "\"" + printable(name) + "\" may only hold letters, digits, - and _ (it names files)");
  std::string lower;
  for (char ch : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (lower == "final") r.fail(place, "\"" + name + "\" names the pictures of the run's end; choose another name");
  return make_action([name](StepContext& c) { c.runner.snapshot(name); });
}

namespace {
template <PushButton World::*... Buttons>
std::shared_ptr<const Action> press_buttons(const ScenarioReader& r, const json& v, const std::string& place) {
  const double s = r.number(v, place, 0.005, 3600);
  return make_action([s](StepContext& c) { ((c.world.*Buttons).press_for(seconds(s)), ...); });
}
}  // namespace

std::shared_ptr<const Action> parse_cc_up(const ScenarioReader& r, const json& v, const std::string& place) {
  return press_buttons<&World::cc_up>(r, v, place);
}
std::shared_ptr<const Action> parse_cc_down(const ScenarioReader& r, const json& v, const std::string& place) {
  return press_buttons<&World::cc_down>(r, v, place);
}
std::shared_ptr<const Action> parse_cc_stop(const ScenarioReader& r, const json& v, const std::string& place) {
  return press_buttons<&World::cc_stop>(r, v, place);
}
std::shared_ptr<const Action> parse_cc_engage(const ScenarioReader& r, const json& v, const std::string& place) {
  return press_buttons<&World::cc_up, &World::cc_down>(r, v, place);
}

}  // namespace sim
