#include "sim/scenario.h"

#include <cctype>
#include <map>
#include <sstream>

#include "sim/files.h"
#include "sim/message_text.h"
#include "sim/scenario_reader.h"

namespace sim {

namespace {

constexpr double kMaxSeconds = 30.0 * 24 * 3600;  // a month of driving
constexpr std::size_t kMaxScenarioBytes = 16u << 20;

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
      r.fail(ScenarioReader::join(place, printable(it.key())), "unknown field (expected one of: " + list + ")");
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
    const double wait = r.number(v["wait"], where, 0, kMaxSeconds);
    // The waits together too: the virtual clock has a limit, and a month of
    // driving is far inside it.
    if (cursor + wait > kMaxSeconds) {
      std::ostringstream o;
      o << "the timeline would run to " << cursor + wait << " s, beyond a month (" << kMaxSeconds << " s)";
      r.fail(where, o.str());
    }
    cursor += wait;
    return false;
  }
  out.at = cursor;
  out.kind = action;
  out.place = where;
  out.action = kind->parse(r, v[action], where);
  return true;
}

// A snapshot's name as it names files where case does not count.
std::string folded(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
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
    doc = parse_json_strictly(text);
  } catch (const JsonTextError& e) {
    const std::string name = printable(source, 160);
    if (e.line == 0) throw ScenarioError(one_line(name + ": " + (e.place.empty() ? "top level" : e.place) + ": " + e.what()));
    throw ScenarioError(one_line(name + ":" + std::to_string(e.line) + ":" + std::to_string(e.column) +
                                 ": invalid JSON: " + e.what()));
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
        r.fail(printable(key), "unknown field (expected one of: " + list + ")");
      }
      section->parse(r, *it, key, sc);
    }
  }
  if (!doc.contains("steps")) r.fail("", "missing field steps (the timeline)");
  const json& steps = doc["steps"];
  if (!steps.is_array()) r.fail("steps", "expected a list of steps, found " + ScenarioReader::kind(steps));
  double cursor = 0;
  std::map<std::string, std::string> snapshots;  // by the name its files get on any file system, to its place
  for (std::size_t i = 0; i < steps.size(); ++i) {
    Step s;
    if (!read_step(r, steps[i], "steps[" + std::to_string(i) + "]", cursor, s)) continue;
    if (s.kind == "snapshot") {
      const std::string name = steps[i]["snapshot"].get<std::string>();
      const auto [at, fresh] = snapshots.emplace(folded(name), s.place);
      if (!fresh)
        r.fail(s.place, "the snapshot name \"" + name + "\" is taken by " + at->second + " (its files would be overwritten)");
    }
    sc.steps.push_back(std::move(s));
  }
  sc.end = cursor;
  if (sc.end <= 0) r.fail("steps", "the timeline is empty: give it a duration with wait or at");
  return sc;
}

Scenario load_scenario_file(const std::string& path) {
  Scenario sc = parse_scenario(read_regular_file(path, "scenario file", kMaxScenarioBytes), path);
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
  if (name_or_path.empty()) throw ScenarioError("\"\": an empty scenario name (give a built-in name or a file)");
  if (const BuiltinScenario* b = find_builtin(name_or_path)) {
    Scenario sc = parse_scenario(b->json, std::string("built-in scenario ") + b->name);
    sc.name = b->name;
    return sc;
  }
  if (name_or_path.find('/') == std::string::npos && name_or_path.find('.') == std::string::npos) {
    std::string names;
    for (const BuiltinScenario& b : builtin_scenarios()) names += std::string(names.empty() ? "" : ", ") + b.name;
    throw ScenarioError(printable(name_or_path) + ": no built-in scenario of that name (built-in: " + names +
                        "); a scenario file needs its path, e.g. ./" + printable(name_or_path) + ".json");
  }
  return load_scenario_file(name_or_path);
}

}  // namespace sim
