// Runs a scenario on the machine and the world as fast as it can, and writes
// what happened: the trace (one JSON object per line); at every snapshot step
// a state file and what each part of the world shows; at the end the same
// (final.json and the parts' pictures) and the EEPROM's image.
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
};

}  // namespace sim
