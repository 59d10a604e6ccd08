// Commands from outside the simulation (the dashboard): each one is a
// scenario step without its time, read by the same parsers with the same
// checks and ranges, so a command a scenario could not hold is refused
// before anything happens. Other threads post them; the simulation's thread
// takes them at its next step boundary.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sim/json.h"
#include "sim/steps.h"

namespace sim {

struct Command {
  std::string kind;  // a step kind ("ignition", "turn", ...)
  json value;        // its value, as a scenario step holds it
  std::shared_ptr<const Action> action;
};

// One JSON object with one field, a step kind: {"turn": 1}. Throws
// ScenarioError naming the problem (`source` names the sender).
Command parse_command(const json& step, const std::string& source = "command");
Command parse_command_text(std::string_view text, const std::string& source = "command");

// Posted from any thread, taken in order by the simulation's thread.
class CommandQueue {
 public:
  void post(Command c);
  std::vector<Command> take();
  bool empty() const;

 private:
  mutable std::mutex mutex_;
  std::deque<Command> queue_;
};

}  // namespace sim
