// The battery and lambda voltages of the sensors part: what they are follows
// from when the engine started and stopped, not from when anybody looked.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "host/machine.h"
#include "idle_image.h"
#include "scratch_dir.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "sim/sensors.h"
#include "sim/world.h"

namespace {

using host::from_seconds;

// The world on an idle firmware: nothing reads the inputs but the test.
class Sensors : public ::testing::Test {
 protected:
  Sensors() { world.set_ignition(true); }
  void engine_at(double seconds, double rpm) {
    machine.run_until(from_seconds(seconds));
    world.car.set_engine(rpm, 3.0, 0);
  }
  double battery_at(double seconds) {
    machine.run_until(from_seconds(seconds));
    return sensors().battery_volts(machine.now());
  }
  double lambda_at(double seconds) {
    machine.run_until(from_seconds(seconds));
    return sensors().lambda_volts(machine.now());
  }
  sim::SensorsPart& sensors() { return *world.part<sim::SensorsPart>(); }

  test::TestImage image = idle_image();
  host::Machine machine{image};
  sim::World world{machine, sim::Scenario{}};
  const double rest = sim::SensorSetup{}.battery_rest_volts;
  const double charging = sim::SensorSetup{}.battery_charging_volts;
};

TEST_F(Sensors, TheBatteryChargesFromTheEngineStartWhenNobodyLookedInBetween) {
  engine_at(1.0, 900);
  EXPECT_NEAR(battery_at(3.0), charging + (rest - charging) * std::exp(-1.0), 1e-9);  // 2 s: one time constant
}

TEST_F(Sensors, TheBatteryRemembersARunOfTheEngineBetweenTwoLooks) {
  EXPECT_EQ(battery_at(0.5), rest);
  engine_at(1.0, 900);
  engine_at(2.0, 0);
  const double at_stop = charging + (rest - charging) * std::exp(-0.5);
  EXPECT_NEAR(battery_at(5.0), rest + (at_stop - rest) * std::exp(-1.5), 1e-9);
}

// The battery 4 s into a drive whose engine starts at 1 s, read every `step`
// seconds from the start before (0: not before).
double battery_read_every(double step) {
  test::TestImage image = idle_image();
  host::Machine machine{image};
  sim::World world{machine, sim::Scenario{}};
  auto& sensors = *world.part<sim::SensorsPart>();
  world.set_ignition(true);
  bool started = false;
  for (double t = 0; step > 0 && t < 4.0; t += step) {
    if (!started && t >= 1.0) {
      machine.run_until(from_seconds(1.0));
      world.car.set_engine(900, 3.0, 0);
      started = true;
    }
    machine.run_until(from_seconds(t));
    (void)sensors.battery_volts(machine.now());
  }
  machine.run_until(from_seconds(1.0));
  if (!started) world.car.set_engine(900, 3.0, 0);
  machine.run_until(from_seconds(4.0));
  return sensors.battery_volts(machine.now());
}

TEST(SensorsRead, TheBatteryIsTheSameHoweverOftenItIsRead) {
  const double unread = battery_read_every(0);
  EXPECT_NEAR(battery_read_every(0.3), unread, 1e-12);
  EXPECT_NEAR(battery_read_every(0.01), unread, 1e-12);
}

TEST_F(Sensors, TheLambdaProbeRegulatesOnceTheEngineHasRunLongEnough) {
  EXPECT_EQ(lambda_at(0.5), 0.0);  // a cold probe with the engine stopped
  engine_at(1.0, 900);
  const double after = sim::SensorSetup{}.lambda_closed_loop_after_s;
  EXPECT_EQ(lambda_at(1.0 + after - 0.5), 0.45);  // not yet regulating
  // Closed loop, a quarter of the swing's period: rich.
  const double period = sim::SensorSetup{}.lambda_period_s;
  const double rich = (std::floor((1.0 + after) / period) + 1.25) * period;
  EXPECT_NEAR(lambda_at(rich), 0.45 + 0.35 * std::tanh(6.0), 1e-9);
}

// ---------------------------------------------------------------- in a run

// The trace lines of a run by time (whole seconds only).
std::map<long, nlohmann::json> whole_seconds(const std::filesystem::path& trace) {
  std::map<long, nlohmann::json> out;
  std::ifstream in(trace);
  std::string line;
  while (std::getline(in, line)) {
    const auto j = nlohmann::json::parse(line);
    const double t = j["t"].get<double>();
    if (t == std::floor(t)) out[static_cast<long>(t)] = j;
  }
  return out;
}

TEST(SensorsRun, TheBatteryAndTheLambdaProbeDoNotDependOnTheTraceInterval) {
  const std::string steps = R"("steps": [{"ignition": true}, {"at": 1.37, "engine": {"rpm": 900, "petrol_ms": 2.8}},
      {"at": 9.61, "engine": {"rpm": 2500}}, {"at": 20.73, "engine": {"rpm": 0}},
      {"at": 24.29, "engine": {"rpm": 1200}}, {"at": 61.5, "engine": {"rpm": 300}}, {"wait": 6}])";
  const std::filesystem::path dir = scratch("interval");
  std::map<long, nlohmann::json> traces[2];
  const char* intervals[2] = {"1", "0.1"};
  for (int k = 0; k < 2; ++k) {
    sim::RunOptions options;
    options.out_dir = (dir / intervals[k]).string();
    const std::string text = std::string("{\"trace_interval\": ") + intervals[k] + ", " + steps + "}";
    sim::Runner(sim::parse_scenario(text, "interval.json"), options).run();
    traces[k] = whole_seconds(dir / intervals[k] / "trace.jsonl");
  }
  int compared = 0;
  for (const auto& [t, a] : traces[0]) {
    const auto it = traces[1].find(t);
    if (it == traces[1].end()) continue;
    const auto& b = it->second;
    ++compared;
    EXPECT_EQ(a["world"]["battery_v"], b["world"]["battery_v"]) << "t = " << t;
    EXPECT_EQ(a["world"]["lambda_v"], b["world"]["lambda_v"]) << "t = " << t;
    EXPECT_EQ(a.value("voltage", -1.0), b.value("voltage", -1.0)) << "t = " << t;
    EXPECT_EQ(a.value("aux_voltage", -1.0), b.value("aux_voltage", -1.0)) << "t = " << t;
  }
  EXPECT_GE(compared, 60);
  // The drive did reach the charging voltage and the closed loop.
  EXPECT_GT(traces[0][20]["world"]["battery_v"].get<double>(), 14.0);
  EXPECT_LT(traces[0][61]["world"]["lambda_v"].get<double>(), 0.3);
  std::filesystem::remove_all(dir);
}

}  // namespace
