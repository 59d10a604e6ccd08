// A scenario: the car's properties and a timeline of steps at virtual times
// (ignition, engine, fuel, speed, the encoder and its button, waits and
// snapshots). Read from JSON, checked field by field; every problem is
// reported as one line naming the file, the place in it and the problem.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/car.h"

namespace sim {

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Step {
  enum class Kind { Ignition, Engine, Fuel, Speed, Turn, Press, Snapshot, CruiseButton };
  Kind kind;
  double at = 0;               // seconds from the scenario's start
  std::string place;           // where in the file, for messages
  bool flag = false;           // ignition
  std::optional<double> rpm, petrol_ms, lpg_ms;  // engine
  Fuel fuel = Fuel::Petrol;    // fuel
  double kmh = 0, over = 0;    // speed
  int detents = 0;             // turn
  double seconds = 0;          // press, cruise button
  std::string name;            // snapshot; cruise button: cc_up, cc_down, cc_stop, cc_engage
};

struct Scenario {
  std::string name;
  std::string source;          // file name or "built-in <name>"
  std::string description;
  CarProperties car;
  double trace_interval = 1.0;
  std::vector<Step> steps;     // in time order
  double end = 0;              // seconds: the run ends here
};

// Parses scenario JSON text; `source` names it in messages.
Scenario parse_scenario(std::string_view text, const std::string& source);
// Reads a file; a missing or unreadable file is a ScenarioError too.
Scenario load_scenario_file(const std::string& path);

struct BuiltinScenario {
  const char* name;
  const char* json;
};
const std::vector<BuiltinScenario>& builtin_scenarios();
const BuiltinScenario* find_builtin(std::string_view name);
// A built-in scenario by name, or a JSON file by path.
Scenario resolve_scenario(const std::string& name_or_path);

}  // namespace sim
