// A session: a simulation started from a scenario (or from nothing) and
// driven on by hand. Every command applied is recorded with its virtual time
// (in the runner); saving writes the session as a scenario of the ordinary
// format, the steps of the starting scenario that took effect merged with
// the commands, which `kp-sim run` replays to the same outputs.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "sim/command_queue.h"
#include "sim/json.h"
#include "sim/runner.h"
#include "sim/scenario.h"

namespace sim {

// What a session starts from: the scenario's JSON and where it came from
// (its messages name it; its relative files are found from it).
struct SessionStart {
  json doc;
  std::string source;
  std::string name;
};
// A built-in name or a scenario file (checked as `kp-sim run` checks it);
// nullopt: a parked car, ignition off, and no steps.
SessionStart session_start(const std::optional<std::string>& name_or_path);

struct SavedSession {
  std::string scenario_file;  // the scenario
  std::string tft_file;       // what the colour display showed when it was saved
  double at = 0;              // virtual seconds: the saved scenario ends here
  std::size_t steps = 0;
};

class Session {
 public:
  Session(SessionStart start, RunOptions options);

  Runner& runner() { return *runner_; }
  const SessionStart& start() const { return start_; }

  // Applies a command now. A snapshot's name must be new to the session
  // (its files would be overwritten): ScenarioError otherwise.
  void apply(const Command& c);
  // The EEPROM stops answering from now on (as the scenario's
  // eeprom.stops_answering_at would have it).
  void eeprom_stops_answering();
  // Starts again from the beginning; `oled_present` false leaves the OLED out.
  void restart(bool oled_present);

  // The session so far as a scenario (the EEPROM's start image, when it has
  // one, goes to `image_file` next to it).
  json document(const std::string& image_file) const;
  static std::string format(const json& document);
  // Writes DIR/BASE.json (and DIR/BASE-eeprom.bin, DIR/BASE-tft.png), then
  // reads the scenario back to check it. Throws RunError or ScenarioError.
  SavedSession save(const std::string& dir, const std::string& base = "session");

 private:
  void build();

  SessionStart start_;
  RunOptions options_;
  std::unique_ptr<Runner> runner_;
  std::set<std::string> snapshot_names_;  // folded to lower case
};

}  // namespace sim
