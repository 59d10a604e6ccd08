// kp-sim: runs the trip computer's firmware on the simulated board.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "sim/eeprom_show.h"
#include "sim/eeprom_world.h"
#include "sim/message_text.h"
#include "sim/progress.h"
#include "sim/record_overlay.h"
#include "sim/report.h"
#include "sim/run_dir.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "sim/serve.h"
#include "sim/suggest.h"

#ifndef KP_VERSION
#define KP_VERSION "unknown"
#endif

namespace {

namespace fs = std::filesystem;

// A wrong command line: one line, exit status 2.
struct UsageError {
  std::string message;
};

constexpr const char* kUsage =
    "usage: kp-sim run [SCENARIO] [--out DIR] [--eeprom FILE] [--quiet]\n"
    "       kp-sim report RUN_DIR [--out FILE]\n"
    "       kp-sim serve [SCENARIO] [--port N] [--bind ADDRESS] [--eeprom FILE] [--out DIR] [--quiet]\n"
    "       kp-sim list\n"
    "       kp-sim eeprom show FILE [--json]\n"
    "       kp-sim help | --help | --version   (COMMAND --help for each command)\n"
    "\n"
    "run          runs SCENARIO (a built-in name or a JSON file; default: the built-in\n"
    "             drive \"default\") and writes trace.jsonl, final.json, eeprom.bin,\n"
    "             snapshot pictures and report.html to DIR (default ./kp-out). An earlier\n"
    "             run's files in DIR are removed first; other files are left alone.\n"
    "             --eeprom FILE: the unit's memory comes from FILE (a missing file is a\n"
    "             new chip), the scenario's eeprom.record over it, and goes back to FILE\n"
    "             at the end, so it is kept from one run to the next\n"
    "report       writes the HTML report of a finished run (default RUN_DIR/report.html)\n"
    "serve        runs the unit live and serves its dashboard at http://127.0.0.1:N/\n"
    "             (default port 8080; 0 picks a free one); SCENARIO plays first, the\n"
    "             session then goes on by hand; its files go to DIR (default ./kp-serve)\n"
    "list         names the built-in scenarios\n"
    "eeprom show  prints the record in an EEPROM image: each value, what the\n"
    "             integrity check would do with it, and the trip channels\n";

std::vector<std::string> builtin_names() {
  std::vector<std::string> names;
  for (const auto& b : sim::builtin_scenarios()) names.push_back(b.name);
  return names;
}

std::string did_you_mean(const std::string& word, const std::vector<std::string>& candidates) {
  const auto c = sim::closest(word, candidates);
  return c ? " (did you mean " + *c + "?)" : std::string();
}

// The long option names a command takes, for "did you mean".
std::vector<std::string> option_names(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* o : command.get_options())
    for (const std::string& n : o->get_lnames()) names.push_back("--" + n);
  return names;
}

// Anything CLI11 left over: an unknown option, or one word too many.
void refuse_extras(const CLI::App& command, const std::string& too_many) {
  for (const std::string& a : command.remaining()) {
    if (a.size() > 1 && a[0] == '-') {
      const std::string name = a.substr(0, a.find('='));
      throw UsageError{"unknown option " + sim::printable(a) + " for " + command.get_name() +
                       did_you_mean(name, option_names(command))};
    }
    throw UsageError{too_many + " (" + sim::printable(a) + ")"};
  }
}

sim::Scenario resolve(const std::string& name) {
  const bool looks_like_file = name.find('/') != std::string::npos || name.find('.') != std::string::npos;
  if (!name.empty() && !looks_like_file && sim::find_builtin(name) == nullptr) {
    const auto near = sim::closest(name, builtin_names());
    if (near)
      throw sim::ScenarioError(sim::printable(name) + ": no built-in scenario of that name (did you mean " + *near +
                               "?); a scenario file needs its path, e.g. ./" + sim::printable(name) + ".json");
  }
  return sim::resolve_scenario(name);
}

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

int eeprom_show(const std::string& file, bool as_json) {
  const sim::ojson d = sim::describe_eeprom(sim::read_eeprom_image(file, sim::MissingImage::Refuse), file);
  if (as_json) {
    std::printf("%s\n", d.dump(2).c_str());
  } else {
    std::fputs(sim::format_eeprom(d).c_str(), stdout);
  }
  return 0;
}

struct RunArgs {
  std::string scenario = "default";
  std::string out = "kp-out";
  std::optional<std::string> eeprom;
  bool quiet = false;
};

// Virtual seconds run between looks at the progress display. The same for
// every run whether or not anything is shown, so a terminal does not change
// what a run computes.
constexpr double kStretch = 10.0;

int run(const RunArgs& a) {
  const sim::Scenario scenario = resolve(a.scenario);
  sim::RunOptions options;
  options.out_dir = a.out;
  sim::check_output_dir(a.out);
  if (a.eeprom) {
    // Read and checked at once: a bad image, or one that could not be
    // written back, is refused before anything runs.
    sim::record::Image image = sim::read_eeprom_image(*a.eeprom);
    sim::check_eeprom_write_back(scenario.eeprom, *a.eeprom);
    options.eeprom_file = sim::RunOptions::EepromFile{*a.eeprom, sim::overlay_record(scenario.eeprom, image)};
  }
  const sim::record::Image& start_image =
      options.eeprom_file ? options.eeprom_file->image : scenario.eeprom.image.value_or(sim::record::Image());
  for (const std::string& w : sim::record_warnings(scenario.eeprom, start_image))
    std::fprintf(stderr, "kp-sim: warning: %s: %s\n", sim::printable(scenario.source, 160).c_str(),
                 sim::one_line(w).c_str());
  sim::clear_earlier_run(a.out);

  const auto wall_start = std::chrono::steady_clock::now();
  sim::RunSummary s;
  {
    sim::Runner runner(scenario, options);
    sim::Progress progress(stderr, !a.quiet && isatty(STDERR_FILENO) == 1, scenario.end);
    for (double t = kStretch; t < scenario.end; t += kStretch) {
      runner.run_until(t);
      progress.update(t);
    }
    progress.done();
    s = runner.run();
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  const std::string report = (fs::path(a.out) / "report.html").string();
  sim::write_report(a.out, report, "kp-sim run: " + scenario.name);
  if (!a.quiet) {
    std::printf("kp-sim: %s: %.1f s of virtual time in %.2f s (%.0fx real time)\n", scenario.name.c_str(),
                s.virtual_seconds, wall, wall > 0 ? s.virtual_seconds / wall : 0.0);
    std::printf("  true distance: %.3f km on petrol, %.3f km on LPG; fuel used: %.3f l petrol, %.3f l LPG\n",
                s.truth.distance_petrol_km, s.truth.distance_lpg_km, s.truth.fuel_petrol_l, s.truth.fuel_lpg_l);
    std::printf("  %llu interrupts, %llu task switches, %llu boots; output in %s\n",
                static_cast<unsigned long long>(s.stats.interrupts), static_cast<unsigned long long>(s.stats.task_switches),
                static_cast<unsigned long long>(s.stats.boots), a.out.c_str());
    std::printf("  report: %s\n", report.c_str());
  }
  return 0;
}

int report(const std::string& dir, const std::optional<std::string>& out) {
  const std::string file = out.value_or((fs::path(dir) / "report.html").string());
  sim::write_report(dir, file, "kp-sim report: " + fs::path(dir).lexically_normal().string());
  std::printf("%s\n", file.c_str());
  return 0;
}

int dispatch(int argc, char** argv) {
  CLI::App app{"kp-sim: runs the trip computer's firmware on the simulated board, in virtual time.", "kp-sim"};
  app.set_version_flag("--version", "kp-sim " KP_VERSION);
  app.allow_extras();
  app.require_subcommand(0, 1);
  app.footer("A wrong command line or a bad file gets one line on stderr and exit status 2.\n");

  RunArgs run_args;
  CLI::App* run_cmd = app.add_subcommand("run", "Run a scenario as fast as it goes and write what happened.");
  run_cmd->add_option("scenario", run_args.scenario, "a built-in name (kp-sim list) or a scenario JSON file")
      ->capture_default_str();
  run_cmd->add_option("--out", run_args.out,
                      "output directory; an earlier run's files in it are removed first, other files are kept")
      ->capture_default_str();
  run_cmd->add_option("--eeprom", run_args.eeprom,
                      "the unit's memory: a 1024-byte image read before and written back after the run (a missing "
                      "file is a new chip); the scenario's eeprom.record goes over it");
  run_cmd->add_flag("--quiet", run_args.quiet, "no summary and no progress; warnings and errors still show");
  run_cmd->allow_extras();

  std::string report_dir;
  std::optional<std::string> report_out;
  CLI::App* report_cmd = app.add_subcommand("report", "Write the HTML report of a finished run.");
  report_cmd->add_option("RUN_DIR", report_dir, "the directory kp-sim run wrote")->required();
  report_cmd->add_option("--out", report_out, "the page to write (default RUN_DIR/report.html)");
  report_cmd->allow_extras();

  sim::ServeOptions serve_args;
  CLI::App* serve_cmd = app.add_subcommand(
      "serve", "Run the unit live and serve its dashboard: both displays, the controls, the faults, the run rate "
               "and plots.");
  serve_cmd->add_option("scenario", serve_args.scenario,
                        "a built-in name or a scenario JSON file that plays first; the session then goes on by hand");
  serve_cmd->add_option("--port", serve_args.port, "the port (0: any free one)")
      ->check(CLI::Range(0, 65535))
      ->capture_default_str();
  serve_cmd->add_option("--bind", serve_args.bind,
                        "the address to listen on (the page has no password: another than the loopback one only on "
                        "a network you trust)")
      ->check([](const std::string& v) { return v.empty() ? std::string("an empty address") : std::string(); })
      ->capture_default_str();
  serve_cmd->add_option("--eeprom", serve_args.eeprom,
                        "the unit's memory comes from FILE and goes back to it at the end");
  serve_cmd->add_option("--out", serve_args.out_dir,
                        "the session's files at the end, as kp-sim run writes them, and each saved session "
                        "(session.json replays with kp-sim run)")
      ->check([](const std::string& v) { return v.empty() ? std::string("an empty directory name") : std::string(); })
      ->capture_default_str();
  serve_cmd->add_flag("--quiet", serve_args.quiet, "no messages but warnings and errors");
  serve_cmd->allow_extras();

  CLI::App* list_cmd = app.add_subcommand("list", "Name the built-in scenarios.");
  list_cmd->allow_extras();

  std::string image_file;
  bool as_json = false;
  CLI::App* eeprom_cmd = app.add_subcommand("eeprom", "Look into EEPROM image files.");
  eeprom_cmd->allow_extras();
  CLI::App* show_cmd = eeprom_cmd->add_subcommand(
      "show", "Print each value of the record in an image, what the integrity check would do with it, and the trip "
              "channels.");
  show_cmd->add_option("file", image_file, "a 1024-byte EEPROM image")->required();
  show_cmd->add_flag("--json", as_json, "as JSON");
  show_cmd->allow_extras();

  CLI::App* help_cmd = app.add_subcommand("help", "Print this help.");

  if (argc <= 1) {
    std::fputs(kUsage, stdout);
    return 2;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    throw UsageError{e.what()};
  }

  if (help_cmd->parsed()) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (run_cmd->parsed()) {
    refuse_extras(*run_cmd, "more than one scenario given");
    return run(run_args);
  }
  if (report_cmd->parsed()) {
    refuse_extras(*report_cmd, "report takes one run directory");
    return report(report_dir, report_out);
  }
  if (serve_cmd->parsed()) {
    refuse_extras(*serve_cmd, "more than one scenario given");
    return sim::serve_command(serve_args);
  }
  if (list_cmd->parsed()) {
    refuse_extras(*list_cmd, "list takes no arguments");
    return list();
  }
  if (eeprom_cmd->parsed()) {
    if (!show_cmd->parsed()) {
      refuse_extras(*eeprom_cmd, "eeprom takes the command show");
      throw UsageError{"eeprom takes the command show"};
    }
    refuse_extras(*show_cmd, "eeprom show takes one file");
    return eeprom_show(image_file, as_json);
  }
  // No command: the first word left over is a misspelt one, or an option.
  const std::vector<std::string> commands = {"run", "report", "serve", "list", "eeprom", "help"};
  for (const std::string& a : app.remaining()) {
    if (a.size() > 1 && a[0] == '-')
      throw UsageError{"unknown option " + sim::printable(a) + did_you_mean(a, {"--help", "--version"})};
    throw UsageError{"unknown command " + sim::printable(a) + did_you_mean(a, commands)};
  }
  throw UsageError{"no command given"};
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return dispatch(argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "kp-sim: %s (see kp-sim help)\n", sim::one_line(e.message).c_str());
    return 2;
  } catch (const sim::ScenarioError& e) {
    std::fprintf(stderr, "kp-sim: %s\n", sim::one_line(e.what()).c_str());
    return 2;
  } catch (const sim::ReportError& e) {
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
