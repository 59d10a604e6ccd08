// The kinds of scenario step. Each kind reads its own JSON value and makes
// an action; the runner applies the action at the step's time. A new kind of
// step is a parser in a file of its own and one line in step_kinds().
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

class World;
class Runner;
class ScenarioReader;

struct StepContext {
  World& world;
  Runner& runner;
};

class Action {
 public:
  virtual ~Action() = default;
  virtual void apply(StepContext& ctx) const = 0;
};

using StepParser = std::shared_ptr<const Action> (*)(const ScenarioReader& reader, const nlohmann::json& value,
                                                    const std::string& place);

struct StepKind {
  const char* name;
  StepParser parse;
};

// Every kind of step a scenario may hold.
const std::vector<StepKind>& step_kinds();

// An action from a lambda, for the simple kinds.
template <typename F>
std::shared_ptr<const Action> make_action(F fn) {
  struct Impl final : Action {
    explicit Impl(F f) : fn(std::move(f)) {}
    void apply(StepContext& ctx) const override { fn(ctx); }
    F fn;
  };
  return std::make_shared<Impl>(std::move(fn));
}

// Parsers of the driving steps (steps_drive.cpp): ignition, engine, fuel,
// speed, the encoder and its button, the cruise-control buttons, the supply
// wire, snapshots.
std::shared_ptr<const Action> parse_ignition(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_engine(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_fuel(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_speed(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_turn(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_press(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_snapshot(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_cc_up(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_cc_down(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_cc_stop(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_cc_engage(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_supply(const ScenarioReader&, const nlohmann::json&, const std::string&);
// The sensors' physical side (steps_sensors.cpp): tanks filled and drained, the air outside,
// the thermometer's faults.
std::shared_ptr<const Action> parse_fill(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_drain(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_outside_temp(const ScenarioReader&, const nlohmann::json&, const std::string&);
std::shared_ptr<const Action> parse_thermometer(const ScenarioReader&, const nlohmann::json&, const std::string&);
// The road (steps_road.cpp).
std::shared_ptr<const Action> parse_gradient(const ScenarioReader&, const nlohmann::json&, const std::string&);

}  // namespace sim
