#include "sim/scenario.h"

#include <fstream>
#include <sstream>

#include "sim/scenario_reader.h"

namespace sim {

namespace {

constexpr double kMaxSeconds = 30.0 * 24 * 3600;  // a month of driving

// One element of the timeline: a step at the cursor's time, or a wait that
// moves the cursor (returns false).
bool read_step(const ScenarioReader& r, const json& v, const std::string& place, double& cursor, Step& out) {
  r.object(v, place);
  for (auto it = v.begin(); it != v.end(); ++it) {
    bool known = it.key() == "at" || it.key() == "wait";
    for (const StepKind& k : step_kinds()) known = known || it.key() == k.name;
    if (!known) {
      std::string list = "at, wait";
      for (const StepKind& k : step_kinds()) list += std::string(", ") + k.name;
      r.fail(ScenarioReader::join(place, it.key()), "unknown field (expected one of: " + list + ")");
    }
  }
  if (v.contains("at")) {
    const double at = r.number(v["at"], ScenarioReader::join(place, "at"), 0, kMaxSeconds);
    if (at < cursor) {
      std::ostringstream o;
      o << "time " << at << " s is before the previous step (" << cursor << " s); steps go forward in time";
      r.fail(ScenarioReader::join(place, "at"), o.str());
    }
    cursor = at;
  }
  const StepKind* kind = nullptr;
  std::string action;
  for (auto it = v.begin(); it != v.end(); ++it) {
    if (it.key() == "at") continue;
    if (!action.empty()) r.fail(place, "one action per step, found both " + action + " and " + it.key());
    action = it.key();
    for (const StepKind& k : step_kinds())
      if (action == k.name) kind = &k;
  }
  if (action.empty()) r.fail(place, "a step needs an action (wait, or one of the step kinds)");
  const std::string where = ScenarioReader::join(place, action);
  if (action == "wait") {
    cursor += r.number(v["wait"], where, 0, kMaxSeconds);
    return false;
  }
  out.at = cursor;
  out.kind = action;
  out.place = where;
  out.action = kind->parse(r, v[action], where);
  return true;
}

}  // namespace

void parse_car(const ScenarioReader& r, const json& v, const std::string& place, Scenario& sc) {
  CarProperties& car = sc.car;
  r.object(v, place);
  r.only_keys(v, place,
              {"pulses_per_km", "injections_per_turn", "lpg_system", "petrol_ml_per_ms", "lpg_ml_per_ms",
               "petrol_tank_litres", "lpg_tank_litres", "petrol_litres", "lpg_litres", "petrol_line_on_lpg",
               "lpg_delay_ms"});
  car.pulses_per_km = r.number_or(v, place, "pulses_per_km", 100, 100000, car.pulses_per_km);
  car.injections_per_turn = r.number_or(v, place, "injections_per_turn", 0.25, 4, car.injections_per_turn);
  if (v.contains("lpg_system")) {
    const std::string s = r.choice(v["lpg_system"], ScenarioReader::join(place, "lpg_system"), {"sequential", "level", "none"});
    car.lpg_system = s == "sequential" ? LpgSystem::Sequential : s == "level" ? LpgSystem::Level : LpgSystem::None;
  }
  car.petrol_litres_per_ms = r.number_or(v, place, "petrol_ml_per_ms", 0.0001, 1, car.petrol_litres_per_ms * 1000) / 1000;
  car.lpg_litres_per_ms = r.number_or(v, place, "lpg_ml_per_ms", 0.0001, 1, car.lpg_litres_per_ms * 1000) / 1000;
  car.petrol_tank_litres = r.number_or(v, place, "petrol_tank_litres", 1, 500, car.petrol_tank_litres);
  car.lpg_tank_litres = r.number_or(v, place, "lpg_tank_litres", 1, 500, car.lpg_tank_litres);
  car.petrol_litres = r.number_or(v, place, "petrol_litres", 0, car.petrol_tank_litres, std::min(car.petrol_litres, car.petrol_tank_litres));
  car.lpg_litres = r.number_or(v, place, "lpg_litres", 0, car.lpg_tank_litres, std::min(car.lpg_litres, car.lpg_tank_litres));
  car.petrol_line_on_lpg = r.boolean_or(v, place, "petrol_line_on_lpg", car.petrol_line_on_lpg);
  car.lpg_delay_ms = r.number_or(v, place, "lpg_delay_ms", 0, 20, car.lpg_delay_ms);
}

Scenario parse_scenario(std::string_view text, const std::string& source) {
  json doc;
  try {
    doc = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& e) {
    // The byte offset as a line and column.
    std::size_t line = 1, col = 1;
    for (std::size_t i = 0; i + 1 < e.byte && i < text.size(); ++i) {
      if (text[i] == '\n') {
        ++line;
        col = 1;
      } else {
        ++col;
      }
    }
    std::string what = e.what();
    const auto p = what.find("syntax error");
    if (p != std::string::npos) what = what.substr(p);
    throw ScenarioError(source + ":" + std::to_string(line) + ":" + std::to_string(col) + ": invalid JSON: " + what);
  }
  const ScenarioReader r(source);
  r.object(doc, "");
  Scenario sc;
  sc.source = source;
  for (auto it = doc.begin(); it != doc.end(); ++it) {
    const std::string& key = it.key();
    if (key == "name") {
      sc.name = r.string(*it, key);
    } else if (key == "description") {
      sc.description = r.string(*it, key);
    } else if (key == "trace_interval") {
      sc.trace_interval = r.number(*it, key, 0.01, 3600);
    } else if (key != "steps") {
      const SectionKind* section = nullptr;
      for (const SectionKind& s : section_kinds())
        if (key == s.name) section = &s;
      if (section == nullptr) {
        std::string list = "name, description, trace_interval, steps";
        for (const SectionKind& s : section_kinds()) list += std::string(", ") + s.name;
        r.fail(key, "unknown field (expected one of: " + list + ")");
      }
      section->parse(r, *it, key, sc);
    }
  }
  if (!doc.contains("steps")) r.fail("", "missing field steps (the timeline)");
  const json& steps = doc["steps"];
  if (!steps.is_array()) r.fail("steps", "expected a list of steps, found " + ScenarioReader::kind(steps));
  double cursor = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    Step s;
    if (read_step(r, steps[i], "steps[" + std::to_string(i) + "]", cursor, s)) sc.steps.push_back(std::move(s));
  }
  sc.end = cursor;
  if (sc.end <= 0) r.fail("steps", "the timeline is empty: give it a duration with wait or at");
  return sc;
}

Scenario load_scenario_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(path + ": cannot read the scenario file");
  std::ostringstream text;
  text << in.rdbuf();
  Scenario sc = parse_scenario(text.str(), path);
  if (sc.name.empty()) {
    const auto slash = path.find_last_of('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = base.rfind('.');
    sc.name = dot == std::string::npos ? base : base.substr(0, dot);
  }
  return sc;
}

const BuiltinScenario* find_builtin(std::string_view name) {
  for (const BuiltinScenario& b : builtin_scenarios())
    if (name == b.name) return &b;
  return nullptr;
}

Scenario resolve_scenario(const std::string& name_or_path) {
  if (const BuiltinScenario* b = find_builtin(name_or_path)) {
    Scenario sc = parse_scenario(b->json, std::string("built-in scenario ") + b->name);
    sc.name = b->name;
    return sc;
  }
  if (name_or_path.find('/') == std::string::npos && name_or_path.find('.') == std::string::npos) {
    std::string names;
    for (const BuiltinScenario& b : builtin_scenarios()) names += std::string(names.empty() ? "" : ", ") + b.name;
    throw ScenarioError(name_or_path + ": no built-in scenario of that name (built-in: " + names +
                        "); a scenario file needs its path, e.g. ./" + name_or_path + ".json");
  }
  return load_scenario_file(name_or_path);
}

}  // namespace sim
