// The simulation: the machine, the world around it and the firmware on it,
// owned by one thread. The scenario's steps are one source of timed commands
// (its timeline); commands from elsewhere (the dashboard) are applied between
// two runs of the machine, at the virtual time it stopped at, and recorded
// with that time so a session replays exactly. What it produces goes to
// sinks: the trace file and the state and picture files of snapshots in the
// output directory, and any further trace sinks (the live stream).
//
// run() is `kp-sim run`: the whole timeline as fast as it can, then the
// final files (final.json, the parts' pictures, the EEPROM's image).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/machine.h"
#include "sim/final_record.h"
#include "sim/firmware_view.h"
#include "sim/scenario.h"
#include "sim/world.h"

namespace sim {

class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct RunOptions {
  std::string out_dir = "kp-out";
  bool write_files = true;  // false: run only (benchmarks, tests)
  // The unit's memory kept in an image file from one run to the next: the
  // chip starts from what the file held (read_eeprom_image) instead of what
  // the scenario gives, and its bytes go back to the file at the end.
  struct EepromFile {
    std::string path;
    std::vector<std::uint8_t> image;
  };
  std::optional<EepromFile> eeprom_file;
};

// Receives every trace record (the same objects as trace.jsonl's lines).
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void line(const ojson& record) = 0;
};

// A command applied by hand, with the virtual time it took effect at.
struct AppliedCommand {
  host::Time at = 0;
  std::string kind;
  json value;  // the step's value, as a scenario holds it
};

struct RunSummary {
  double virtual_seconds = 0;
  host::MachineStats stats;
  CarTruth truth;
  std::uint64_t trace_lines = 0;
};

class Runner {
 public:
  Runner(const Scenario& scenario, const RunOptions& options);
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Runs the whole timeline.
  RunSummary run();
  // Runs up to a virtual time (seconds from the start), for tests.
  void run_until(double seconds);
  // Runs the machine up to a virtual time; the timeline's steps on the way
  // are applied at their times. Returns where the machine stopped (at or just
  // after `t`).
  host::Time advance_to(host::Time t);
  host::Time now() const { return machine_->now(); }

  // Applies a command now, between two runs of the machine, and records it.
  // The timeline's next step is then scheduled again, as it would be after a
  // step of the timeline at this time: a replay of the record orders the
  // events of the machine the same way.
  void apply_command(const std::string& kind, const json& value, const Action& action);
  const std::vector<AppliedCommand>& applied_commands() const { return applied_; }
  // How many of the scenario's steps have been applied.
  std::size_t timeline_steps_applied() const;

  // The trace goes to this sink too (not owned; removed with nullptr).
  void set_trace_sink(TraceSink* sink);
  // The end of the run without running further: the trace's last line, the
  // final files and what the parts keep (the EEPROM's image).
  RunSummary finish();

  host::Machine& machine() { return *machine_; }
  World& world() { return *world_; }
  const FirmwareView& firmware() const { return view_; }
  const Scenario& scenario() const { return scenario_; }

  // One trace record of the moment: time, globals (when powered), pins, world.
  ojson record(bool all_globals);
  // A snapshot step: the state file, and what each part of the world shows.
  void snapshot(const std::string& name);
  std::string output_path(const std::string& file) const;

 private:
  class Timeline;
  class Tracer;
  void apply(const Step& step);
  // What each part of the world shows, into the output directory.
  void snapshot_parts(const std::string& name);
  void write_json(const std::string& file, const ojson& value) const;

  Scenario scenario_;
  RunOptions options_;
  std::unique_ptr<host::Machine> machine_;
  std::unique_ptr<World> world_;
  FirmwareView view_;
  std::unique_ptr<Timeline> timeline_;
  std::unique_ptr<Tracer> tracer_;
  std::unique_ptr<LastPowered> last_powered_;  // for final.json
  std::vector<AppliedCommand> applied_;
  bool finished_ = false;
};

}  // namespace sim
