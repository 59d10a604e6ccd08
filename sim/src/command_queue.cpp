#include "sim/command_queue.h"

#include "sim/message_text.h"
#include "sim/scenario.h"
#include "sim/scenario_reader.h"

namespace sim {

Command parse_command(const json& step, const std::string& source) {
  const ScenarioReader r(source);
  r.object(step, "");
  if (step.size() != 1) r.fail("", "a command is one step: an object with one field, the step's kind");
  const std::string key = step.begin().key();
  if (key == "at" || key == "wait")
    r.fail(printable(key), "a command takes effect when it arrives: no at or wait");
  for (const StepKind& k : step_kinds()) {
    if (key != k.name) continue;
    Command c;
    c.kind = key;
    c.value = step.begin().value();
    c.action = k.parse(r, c.value, key);
    return c;
  }
  std::string list;
  for (const StepKind& k : step_kinds()) list += std::string(list.empty() ? "" : ", ") + k.name;
  r.fail(printable(key), "unknown command (expected one of: " + list + ")");
}

Command parse_command_text(std::string_view text, const std::string& source) {
  json doc;
  try {
    doc = parse_json_strictly(text, 16);
  } catch (const JsonTextError& e) {
    throw ScenarioError(one_line(source + ": invalid JSON: " + e.what()));
  }
  return parse_command(doc, source);
}

void CommandQueue::post(Command c) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(c));
}

std::vector<Command> CommandQueue::take() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Command> out(std::make_move_iterator(queue_.begin()), std::make_move_iterator(queue_.end()));
  queue_.clear();
  return out;
}

bool CommandQueue::empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.empty();
}

}  // namespace sim
