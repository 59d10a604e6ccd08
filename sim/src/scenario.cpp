#include "sim/scenario.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace sim {

namespace {

using json = nlohmann::json;

// Walks a JSON document keeping the path to each value, so that every
// complaint can say where it is.
class Reader {
 public:
  explicit Reader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void fail(const std::string& place, const std::string& problem) const {
    throw ScenarioError(source_ + ": " + (place.empty() ? "top level" : place) + ": " + problem);
  }

  static std::string kind(const json& v) {
    switch (v.type()) {
      case json::value_t::object: return "an object";
      case json::value_t::array: return "a list";
      case json::value_t::string: return "a string";
      case json::value_t::boolean: return "true/false";
      case json::value_t::null: return "null";
      default: return "a number";
    }
  }

  const json& object(const json& v, const std::string& place) const {
    if (!v.is_object()) fail(place, "expected an object, found " + kind(v));
    return v;
  }

  void only_keys(const json& obj, const std::string& place, std::initializer_list<const char*> allowed) const {
    for (auto it = obj.begin(); it != obj.end(); ++it) {
      bool ok = false;
      for (const char* a : allowed) ok = ok || it.key() == a;
      if (!ok) {
        std::string list;
        for (const char* a : allowed) list += std::string(list.empty() ? "" : ", ") + a;
        fail(join(place, it.key()), "unknown field (expected one of: " + list + ")");
      }
    }
  }

  double number(const json& v, const std::string& place, double lo, double hi) const {
    if (!v.is_number()) fail(place, "expected a number, found " + kind(v));
    const double d = v.get<double>();
    if (!std::isfinite(d) || d < lo || d > hi) fail(place, "value " + v.dump() + " out of range " + range(lo, hi));
    return d;
  }

  int integer(const json& v, const std::string& place, int lo, int hi) const {
    if (!v.is_number_integer()) fail(place, "expected a whole number, found " + (v.is_number() ? v.dump() : kind(v)));
    const auto i = v.get<long long>();
    if (i < lo || i > hi) fail(place, "value " + v.dump() + " out of range " + range(lo, hi));
    return static_cast<int>(i);
  }

  bool boolean(const json& v, const std::string& place) const {
    if (!v.is_boolean()) fail(place, "expected true or false, found " + kind(v));
    return v.get<bool>();
  }

  std::string string(const json& v, const std::string& place) const {
    if (!v.is_string()) fail(place, "expected a string, found " + kind(v));
    return v.get<std::string>();
  }

  static std::string join(const std::string& place, const std::string& key) {
    return place.empty() ? key : place + "." + key;
  }

 private:
  static std::string range(double lo, double hi) {
    std::ostringstream o;
    o << lo << ".." << hi;
    return o.str();
  }
  std::string source_;
};

void read_car(const Reader& r, const json& v, const std::string& place, CarProperties& car) {
  r.object(v, place);
  r.only_keys(v, place,
              {"pulses_per_km", "injections_per_turn", "lpg_system", "petrol_ml_per_ms", "lpg_ml_per_ms",
               "petrol_tank_litres", "lpg_tank_litres", "petrol_litres", "lpg_litres", "petrol_line_on_lpg",
               "lpg_delay_ms"});
  auto at = [&](const char* key) { return Reader::join(place, key); };
  if (v.contains("pulses_per_km")) car.pulses_per_km = r.number(v["pulses_per_km"], at("pulses_per_km"), 100, 100000);
  if (v.contains("injections_per_turn"))
    car.injections_per_turn = r.number(v["injections_per_turn"], at("injections_per_turn"), 0.25, 4);
  if (v.contains("lpg_system")) {
    const std::string s = r.string(v["lpg_system"], at("lpg_system"));
    if (s == "sequential") {
      car.lpg_system = LpgSystem::Sequential;
    } else if (s == "level") {
      car.lpg_system = LpgSystem::Level;
    } else if (s == "none") {
      car.lpg_system = LpgSystem::None;
    } else {
      r.fail(at("lpg_system"), "\"" + s + "\" is not sequential, level or none");
    }
  }
  if (v.contains("petrol_ml_per_ms"))
    car.petrol_litres_per_ms = r.number(v["petrol_ml_per_ms"], at("petrol_ml_per_ms"), 0.0001, 1) / 1000.0;
  if (v.contains("lpg_ml_per_ms"))
    car.lpg_litres_per_ms = r.number(v["lpg_ml_per_ms"], at("lpg_ml_per_ms"), 0.0001, 1) / 1000.0;
  if (v.contains("petrol_tank_litres"))
    car.petrol_tank_litres = r.number(v["petrol_tank_litres"], at("petrol_tank_litres"), 1, 500);
  if (v.contains("lpg_tank_litres")) car.lpg_tank_litres = r.number(v["lpg_tank_litres"], at("lpg_tank_litres"), 1, 500);
  if (v.contains("petrol_litres"))
    car.petrol_litres = r.number(v["petrol_litres"], at("petrol_litres"), 0, car.petrol_tank_litres);
  if (v.contains("lpg_litres")) car.lpg_litres = r.number(v["lpg_litres"], at("lpg_litres"), 0, car.lpg_tank_litres);
  if (v.contains("petrol_line_on_lpg")) car.petrol_line_on_lpg = r.boolean(v["petrol_line_on_lpg"], at("petrol_line_on_lpg"));
  if (v.contains("lpg_delay_ms")) car.lpg_delay_ms = r.number(v["lpg_delay_ms"], at("lpg_delay_ms"), 0, 20);
}

constexpr double kMaxSeconds = 30.0 * 24 * 3600;  // a month of driving

// A step, or nothing for a wait (which only moves the cursor).
std::optional<Step> read_step(const Reader& r, const json& v, const std::string& place, double& cursor) {
  r.object(v, place);
  static const char* kActions[] = {"ignition", "engine", "fuel", "speed", "turn", "press", "wait", "snapshot",
                                   "cc_up", "cc_down", "cc_stop", "cc_engage"};
  r.only_keys(v, place,
              {"at", "ignition", "engine", "fuel", "speed", "turn", "press", "wait", "snapshot", "cc_up", "cc_down",
               "cc_stop", "cc_engage"});
  if (v.contains("at")) {
    const double at = r.number(v["at"], Reader::join(place, "at"), 0, kMaxSeconds);
    if (at < cursor) {
      std::ostringstream o;
      o << "time " << at << " s is before the previous step (" << cursor << " s); steps go forward in time";
      r.fail(Reader::join(place, "at"), o.str());
    }
    cursor = at;
  }
  const char* action = nullptr;
  for (const char* a : kActions) {
    if (!v.contains(a)) continue;
    if (action != nullptr) r.fail(place, std::string("one action per step, found both ") + action + " and " + a);
    action = a;
  }
  if (action == nullptr) r.fail(place, "a step needs an action (ignition, engine, fuel, speed, turn, press, wait, snapshot or a cruise button)");
  const std::string where = Reader::join(place, action);
  const json& a = v[action];
  Step s{};
  s.at = cursor;
  s.place = where;
  const std::string name = action;
  if (name == "ignition") {
    s.kind = Step::Kind::Ignition;
    s.flag = r.boolean(a, where);
  } else if (name == "engine") {
    s.kind = Step::Kind::Engine;
    r.object(a, where);
    r.only_keys(a, where, {"rpm", "petrol_ms", "lpg_ms"});
    if (a.empty()) r.fail(where, "give at least one of rpm, petrol_ms, lpg_ms");
    if (a.contains("rpm")) s.rpm = r.number(a["rpm"], Reader::join(where, "rpm"), 0, 9000);
    if (a.contains("petrol_ms")) s.petrol_ms = r.number(a["petrol_ms"], Reader::join(where, "petrol_ms"), 0, 100);
    if (a.contains("lpg_ms")) s.lpg_ms = r.number(a["lpg_ms"], Reader::join(where, "lpg_ms"), 0, 100);
  } else if (name == "fuel") {
    s.kind = Step::Kind::Fuel;
    const std::string f = r.string(a, where);
    if (f == "petrol") {
      s.fuel = Fuel::Petrol;
    } else if (f == "lpg") {
      s.fuel = Fuel::Lpg;
    } else {
      r.fail(where, "\"" + f + "\" is not petrol or lpg");
    }
  } else if (name == "speed") {
    s.kind = Step::Kind::Speed;
    if (a.is_number()) {
      s.kmh = r.number(a, where, 0, 300);
    } else {
      r.object(a, where);
      r.only_keys(a, where, {"kmh", "over"});
      if (!a.contains("kmh")) r.fail(where, "missing field kmh");
      s.kmh = r.number(a["kmh"], Reader::join(where, "kmh"), 0, 300);
      if (a.contains("over")) s.over = r.number(a["over"], Reader::join(where, "over"), 0, 3600);
    }
  } else if (name == "turn") {
    s.kind = Step::Kind::Turn;
    s.detents = r.integer(a, where, -100, 100);
    if (s.detents == 0) r.fail(where, "turn by at least one detent (negative turns backward)");
  } else if (name == "press") {
    s.kind = Step::Kind::Press;
    s.seconds = r.number(a, where, 0.005, 3600);
  } else if (name == "wait") {
    cursor += r.number(a, where, 0, kMaxSeconds);
    return std::nullopt;
  } else if (name == "snapshot") {
    s.kind = Step::Kind::Snapshot;
    s.name = r.string(a, where);
    if (s.name.empty() || s.name.size() > 40) r.fail(where, "a snapshot name has 1 to 40 characters");
    for (char c : s.name)
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
        r.fail(where, "\"" + s.name + "\" may only hold letters, digits, - and _ (it names files)");
  } else {
    s.kind = Step::Kind::CruiseButton;
    s.name = name;
    s.seconds = r.number(a, where, 0.005, 3600);
  }
  return s;
}

}  // namespace

Scenario parse_scenario(std::string_view text, const std::string& source) {
  json doc;
  try {
    doc = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& e) {
    // Turn the byte offset into a line and column.
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
  const Reader r(source);
  r.object(doc, "");
  r.only_keys(doc, "", {"name", "description", "car", "trace_interval", "steps"});
  Scenario sc;
  sc.source = source;
  if (doc.contains("name")) sc.name = r.string(doc["name"], "name");
  if (doc.contains("description")) sc.description = r.string(doc["description"], "description");
  if (doc.contains("car")) read_car(r, doc["car"], "car", sc.car);
  if (doc.contains("trace_interval")) sc.trace_interval = r.number(doc["trace_interval"], "trace_interval", 0.01, 3600);
  if (!doc.contains("steps")) r.fail("", "missing field steps (the timeline)");
  const json& steps = doc["steps"];
  if (!steps.is_array()) r.fail("steps", "expected a list of steps, found " + Reader::kind(steps));
  double cursor = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (auto s = read_step(r, steps[i], "steps[" + std::to_string(i) + "]", cursor)) sc.steps.push_back(std::move(*s));
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
