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

// The main screen of the default drive from 10 s to 30 s: SPI bytes of one
// pass of the main loop, passes per virtual second, and the speed with the
// panel decoding every byte. A pass is counted where the loop sets `sel` to 0.
void BM_MainScreenPasses(benchmark::State& state) {
  const sim::Scenario scenario = sim::resolve_scenario("default");
  sim::RunOptions options;
  options.write_files = false;
  double virtual_seconds = 0, passes = 0, bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sim::Runner runner(scenario, options);
    runner.run_until(10.0);
    auto* sel = runner.firmware().pointer<std::uint8_t>("sel");
    state.ResumeTiming();
    const std::uint64_t bytes_before = runner.machine().spi1().bytes_sent();
    std::uint64_t first_pass_bytes = 0, last_pass_bytes = 0;
    int seen = 0;
    for (int ms = 1; ms <= 20000; ++ms) {
      runner.run_until(10.0 + ms / 1000.0);
      if (*sel == 0) {
        last_pass_bytes = runner.machine().spi1().bytes_sent();
        if (seen++ == 0) first_pass_bytes = last_pass_bytes;
        *sel = 0xFF;
      }
    }
    virtual_seconds += 20.0;
    passes += seen;
    bytes += static_cast<double>(runner.machine().spi1().bytes_sent() - bytes_before);
    if (seen > 1) state.counters["spi_bytes_per_pass"] = static_cast<double>(last_pass_bytes - first_pass_bytes) / (seen - 1);
  }
  state.counters["passes_per_virtual_s"] = passes / virtual_seconds;
  state.counters["spi_bytes_per_virtual_s"] = bytes / virtual_seconds;
  state.counters["virtual_s_per_s"] = benchmark::Counter(virtual_seconds, benchmark::Counter::kIsRate);
}

void BM_DefaultDrive(benchmark::State& state) { run_builtin(state, "default"); }
void BM_TenHoursIdleThenDrive(benchmark::State& state) { run_builtin(state, "long-idle"); }

BENCHMARK(BM_DefaultDrive)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_MainScreenPasses)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TenHoursIdleThenDrive)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
