// kp-sim: runs the trip computer's firmware on the simulated board.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "sim/eeprom_world.h"
#include "sim/eeprom_show.h"
#include "sim/message_text.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "sim/serve.h"

namespace {

constexpr const char* kUsage =
    "usage: kp-sim run [SCENARIO] [--out DIR] [--eeprom FILE] [--quiet]\n"
    "       kp-sim serve [SCENARIO] [--port N] [--eeprom FILE]  (see kp-sim serve --help)\n"
    "       kp-sim list\n"
    "       kp-sim eeprom show FILE [--json]\n"
    "       kp-sim help\n"
    "\n"
    "run          runs SCENARIO (a built-in name or a JSON file; default: the built-in\n"
    "             drive \"default\") and writes trace.jsonl, final.json, eeprom.bin and\n"
    "             snapshot files to DIR (default ./kp-out). --eeprom FILE: the unit's\n"
    "             memory comes from FILE (a missing file is a new chip) and goes back\n"
    "             to it at the end, so it is kept from one run to the next\n"
    "list         names the built-in scenarios\n"
    "eeprom show  prints the record in an EEPROM image: each value, what the\n"
    "             integrity check would do with it, and the trip channels\n";

struct UsageError {
  std::string message;
};

int list() {
  for (const auto& b : sim::builtin_scenarios()) {
    std::string summary;
    try {
      summary = nlohmann::json::parse(b.json).value("description", "");
    } catch (const std::exception&) {
    }
    std::printf("%-12s %s\n", b.name, summary.c_str());
  }
  return 0;
}

int eeprom(const std::vector<std::string>& args) {
  if (args.empty() || args[0] != "show") throw UsageError{"eeprom takes the command show"};
  std::optional<std::string> file;
  bool as_json = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json") {
      as_json = true;
    } else if (args[i].rfind("-", 0) == 0) {
      throw UsageError{"unknown option " + args[i]};
    } else if (!file) {
      file = args[i];
    } else {
      throw UsageError{"eeprom show takes one file"};
    }
  }
  if (!file) throw UsageError{"eeprom show needs an image file"};
  const sim::ojson d = sim::describe_eeprom(sim::read_eeprom_image(*file, sim::MissingImage::Refuse), *file);
  if (as_json) {
    std::printf("%s\n", d.dump(2).c_str());
  } else {
    std::fputs(sim::format_eeprom(d).c_str(), stdout);
  }
  return 0;
}

int run(const std::vector<std::string>& args) {
  std::optional<std::string> scenario_name;
  sim::RunOptions options;
  bool quiet = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--out") {
      if (i + 1 >= args.size()) throw UsageError{"--out needs a directory"};
      options.out_dir = args[++i];
    } else if (a == "--eeprom") {
      if (i + 1 >= args.size()) throw UsageError{"--eeprom needs a file"};
      const std::string& file = args[++i];
      // Read at once: a bad image is refused before anything runs.
      options.eeprom_file = sim::RunOptions::EepromFile{file, sim::read_eeprom_image(file)};
    } else if (a == "--quiet") {
      quiet = true;
    } else if (a.rfind("-", 0) == 0) {
      throw UsageError{"unknown option " + a};
    } else if (!scenario_name) {
      scenario_name = a;
    } else {
      throw UsageError{"more than one scenario given (" + *scenario_name + ", " + a + ")"};
    }
  }
  const sim::Scenario scenario = sim::resolve_scenario(scenario_name.value_or("default"));
  sim::Runner runner(scenario, options);
  const auto wall_start = std::chrono::steady_clock::now();
  const sim::RunSummary s = runner.run();
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  if (!quiet) {
    std::printf("kp-sim: %s: %.1f s of virtual time in %.2f s (%.0fx real time)\n", scenario.name.c_str(),
                s.virtual_seconds, wall, wall > 0 ? s.virtual_seconds / wall : 0.0);
    std::printf("  true distance: %.3f km on petrol, %.3f km on LPG; fuel used: %.3f l petrol, %.3f l LPG\n",
                s.truth.distance_petrol_km, s.truth.distance_lpg_km, s.truth.fuel_petrol_l, s.truth.fuel_lpg_l);
    std::printf("  %llu interrupts, %llu task switches, %llu boots; output in %s\n",
                static_cast<unsigned long long>(s.stats.interrupts), static_cast<unsigned long long>(s.stats.task_switches),
                static_cast<unsigned long long>(s.stats.boots), options.out_dir.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
      std::fputs(kUsage, stdout);
      return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "run") return run(args);
    if (command == "serve") return sim::serve_main(args);
    if (command == "eeprom") return eeprom(args);
    if (command == "list") {
      if (!args.empty()) throw UsageError{"list takes no arguments"};
      return list();
    }
    throw UsageError{"unknown command " + command};
  } catch (const UsageError& e) {
    std::fprintf(stderr, "kp-sim: %s (see kp-sim help)\n", sim::one_line(e.message).c_str());
    return 2;
  } catch (const sim::ScenarioError& e) {
    std::fprintf(stderr, "kp-sim: %s\n", sim::one_line(e.what()).c_str());
    return 2;
  } catch (const sim::RunError& e) {
    std::fprintf(stderr, "kp-sim: %s\n", sim::one_line(e.what()).c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kp-sim: %s\n", sim::one_line(e.what()).c_str());
    return 1;
  }
}
