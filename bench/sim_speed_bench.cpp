// How fast the simulator runs the firmware: virtual seconds per wall-clock
// second on the built-in drives. Reports only; nothing here can fail a build.
#include <benchmark/benchmark.h>

#include "sim/runner.h"
#include "sim/scenario.h"

namespace {

void run_builtin(benchmark::State& state, const char* name) {
  const sim::Scenario scenario = sim::resolve_scenario(name);
  sim::RunOptions options;
  options.write_files = false;
  double virtual_seconds = 0;
  sim::RunSummary last;
  for (auto _ : state) {
    sim::Runner runner(scenario, options);
    last = runner.run();
    virtual_seconds += last.virtual_seconds;
  }
  state.counters["virtual_s_per_s"] = benchmark::Counter(virtual_seconds, benchmark::Counter::kIsRate);
  state.counters["interrupts"] = static_cast<double>(last.stats.interrupts);
  state.counters["task_switches"] = static_cast<double>(last.stats.task_switches);
  state.counters["fast_forwards"] = static_cast<double>(last.stats.fast_forwards);
}

void BM_DefaultDrive(benchmark::State& state) { run_builtin(state, "default"); }
void BM_TenHoursIdleThenDrive(benchmark::State& state) { run_builtin(state, "long-idle"); }

BENCHMARK(BM_DefaultDrive)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_TenHoursIdleThenDrive)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
