// A scenario: the car's properties (and those of the other parts of the
// world) and a timeline of steps at virtual times. Read from JSON and checked
// field by field; every problem is reported as one line naming the file, the
// place in it and the problem.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/car.h"
#include "sim/eeprom_world.h"
#include "sim/sensors.h"
#include "sim/oled_world.h"
#include "sim/steps.h"

namespace sim {

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Step {
  double at = 0;        // seconds from the scenario's start
  std::string kind;     // the step's action name
  std::string place;    // where in the file, for messages
  std::shared_ptr<const Action> action;
};

struct Scenario {
  std::string name;
  std::string source;   // file name or "built-in scenario <name>"
  std::string description;
  double trace_interval = 1.0;
  CarProperties car;
  EepromSetup eeprom;
  SensorSetup sensors;
  OledSetup oled;
  std::vector<Step> steps;  // in time order
  double end = 0;           // seconds: the run ends here
};

class ScenarioReader;

// A top-level section of a scenario besides the timeline. A new section is
// a parser in a file of its own, one line in section_kinds() and its data
// in Scenario.
struct SectionKind {
  const char* name;
  void (*parse)(const ScenarioReader& reader, const nlohmann::json& value, const std::string& place, Scenario& out);
};
const std::vector<SectionKind>& section_kinds();
void parse_car(const ScenarioReader& reader, const nlohmann::json& value, const std::string& place, Scenario& out);

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
