// kp-speed: how many virtual seconds the simulator runs per second of CPU
// time, on the built-in drives and an hour of ignition-on idle, with the SPI
// bytes per virtual second the panel takes; optionally beside another build
// of kp-sim (the "before" of a change), run the same way in the same call.
// It reports only, and exits 0 whatever the figures.
//
//   kp-speed [--before KP_SIM] [--runs N] [--only NAME[,NAME...]]
//
// Every figure is a whole `kp-sim run NAME --out DIR` process (files
// written, as a user runs it), timed by its own CPU time (user + system, from
// the kernel's accounting of the finished child), not the wall clock: these
// machines are shared. With --runs N the median of N runs is shown.
#include <spawn.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sim/runner.h"
#include "sim/scenario.h"

extern char** environ;

namespace {

struct Case {
  std::string label;
  std::string scenario;  // a built-in name or a file
};

struct Timing {
  double cpu_seconds = 0;
  bool ok = false;
};

// Runs `kp-sim run SCENARIO --out DIR` and returns the child's CPU time.
Timing run_child(const std::string& kp_sim, const std::string& scenario, const std::string& out_dir) {
  std::vector<std::string> args = {kp_sim, "run", scenario, "--out", out_dir};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, kp_sim.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  Timing t;
  if (rc != 0) {
    std::fprintf(stderr, "kp-speed: cannot start %s: %s\n", kp_sim.c_str(), std::strerror(rc));
    return t;
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return t;
  t.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  t.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!t.ok) std::fprintf(stderr, "kp-speed: %s run %s failed\n", kp_sim.c_str(), scenario.c_str());
  return t;
}

// The first run's files stay in `keep` (for comparing two builds' outputs).
std::optional<double> median_cpu(const std::string& kp_sim, const std::string& scenario, int runs,
                                 const std::filesystem::path& keep) {
  std::vector<double> times;
  std::error_code ec;
  std::filesystem::remove_all(keep, ec);
  for (int i = 0; i < runs; ++i) {
    const std::filesystem::path dir = i == 0 ? keep : std::filesystem::path(keep.string() + "-scratch");
    const Timing t = run_child(kp_sim, scenario, dir.string());
    if (i > 0) std::filesystem::remove_all(dir, ec);
    if (!t.ok) return std::nullopt;
    times.push_back(t.cpu_seconds);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Virtual length of the scenario, and SPI bytes per virtual second over its
// first `slice` seconds (the panel's traffic does not depend on the build:
// the bus keeps its real timing).
struct Traffic {
  double virtual_seconds = 0;
  double spi_bytes_per_s = 0;
};

Traffic traffic(const std::string& scenario, double slice) {
  const sim::Scenario s = sim::resolve_scenario(scenario);
  sim::RunOptions options;
  options.write_files = false;
  sim::Runner runner(s, options);
  Traffic t;
  t.virtual_seconds = s.end;
  const double until = std::min(slice, t.virtual_seconds);
  runner.run_until(until);
  t.spi_bytes_per_s = static_cast<double>(runner.machine().spi1().bytes_sent()) / until;
  return t;
}

std::string read_file(const std::filesystem::path& p) {
  std::FILE* f = std::fopen(p.c_str(), "rb");
  if (f == nullptr) return {};
  std::string data;
  char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) data.append(buf, n);
  std::fclose(f);
  return data;
}

// Files that differ between two output directories, or are in one only.
int differing_files(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::vector<std::string> names;
  for (const auto& dir : {a, b})
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  int differ = 0;
  for (const std::string& n : names) {
    const bool both = std::filesystem::exists(a / n) && std::filesystem::exists(b / n);
    if (!both || read_file(a / n) != read_file(b / n)) ++differ;
  }
  return differ;
}

std::string cell(std::optional<double> v, const char* format) {
  if (!v) return "-";
  char b[32];
  std::snprintf(b, sizeof b, format, *v);
  return b;
}

[[noreturn]] void usage_error(const std::string& what) {
  std::fprintf(stderr, "kp-speed: %s (usage: kp-speed [--before KP_SIM] [--runs N] [--only NAME,...])\n", what.c_str());
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  std::string before;
  int runs = 1;
  std::vector<std::string> only;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if ((a == "--before" || a == "--runs" || a == "--only") && i + 1 >= argc) usage_error(a + " needs a value");
    if (a == "--before") {
      before = argv[++i];
    } else if (a == "--runs") {
      char* end = nullptr;
      const long n = std::strtol(argv[++i], &end, 10);
      if (end == nullptr || *end != '\0' || n < 1 || n > 50) usage_error("--runs takes a number from 1 to 50");
      runs = static_cast<int>(n);
    } else if (a == "--only") {
      std::stringstream list(argv[++i]);
      for (std::string name; std::getline(list, name, ',');) only.push_back(name);
    } else {
      usage_error("unknown argument '" + a + "'");
    }
  }
  if (!before.empty() && access(before.c_str(), X_OK) != 0) usage_error("--before: cannot run '" + before + "'");

  const std::vector<Case> all = {{"default", "default"},
                                 {"cruise", "cruise"},
                                 {"long-idle", "long-idle"},
                                 {"idle-hour", KP_IDLE_HOUR_SCENARIO}};
  std::vector<Case> cases;
  for (const Case& c : all)
    if (only.empty() || std::find(only.begin(), only.end(), c.label) != only.end()) cases.push_back(c);
  if (cases.empty()) usage_error("--only names none of default, cruise, long-idle, idle-hour");

  std::printf("speed factor = virtual s / CPU s of a whole `kp-sim run` (median of %d)\n", runs);
  std::printf("%-10s %10s %13s %10s %13s %10s %8s %14s  %s\n", "case", "virtual s", "before CPU s", "before x",
              "after CPU s", "after x", "before/", "SPI bytes", "outputs");
  std::printf("%-10s %10s %13s %10s %13s %10s %8s %14s  %s\n", "", "", "", "", "", "", "after", "per virtual s",
              "before vs after");
  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("kp-speed-" + std::to_string(getpid()));
  for (const Case& c : cases) {
    const Traffic tr = traffic(c.scenario, 120.0);
    std::optional<double> b;
    if (!before.empty()) b = median_cpu(before, c.scenario, runs, work / "before");
    const std::optional<double> a = median_cpu(KP_SIM_PATH, c.scenario, runs, work / "after");
    std::string outputs = "-";
    if (a && b) {
      const int n = differing_files(work / "before", work / "after");
      outputs = n == 0 ? "identical" : std::to_string(n) + " files differ";
    }
    const auto factor = [&](std::optional<double> cpu) -> std::optional<double> {
      if (!cpu || *cpu <= 0) return std::nullopt;
      return tr.virtual_seconds / *cpu;
    };
    std::optional<double> gain;
    if (a && b && *a > 0) gain = *b / *a;
    std::printf("%-10s %10.1f %13s %10s %13s %10s %8s %14.0f  %s\n", c.label.c_str(), tr.virtual_seconds,
                cell(b, "%.2f").c_str(), cell(factor(b), "%.0f").c_str(), cell(a, "%.2f").c_str(),
                cell(factor(a), "%.0f").c_str(), cell(gain, "%.2fx").c_str(), tr.spi_bytes_per_s, outputs.c_str());
    std::fflush(stdout);
  }
  std::error_code ec;
  std::filesystem::remove_all(work, ec);
  return 0;
}
