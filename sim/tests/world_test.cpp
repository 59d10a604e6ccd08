// The car's side of the world: distance and speed pulses, injector pulses
// per fuel and installation, and the truth it keeps; the files the world's
// parts write at the end of a run.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/machine.h"
#include "scratch_dir.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "sim/world.h"

namespace {

using host::from_seconds;

TEST(Motion, DistanceAlongARampAndAtConstantSpeed) {
  sim::Motion m;
  m.ramp_to(0, 90.0, from_seconds(10));  // 0 to 90 km/h in 10 s
  EXPECT_NEAR(m.distance_km(from_seconds(10)), 0.125, 1e-12);
  EXPECT_NEAR(m.distance_km(from_seconds(20)), 0.375, 1e-12);
  EXPECT_NEAR(m.speed_kmh(from_seconds(5)), 45.0, 1e-12);
  // The moment a given distance is reached, inside and after the ramp.
  EXPECT_NEAR(host::to_seconds(m.time_at_distance(0, 0.03125)), 5.0, 1e-6);
  EXPECT_NEAR(host::to_seconds(m.time_at_distance(0, 0.375)), 20.0, 1e-6);
  m.ramp_to(from_seconds(20), 0.0, from_seconds(10));  // and down to a stop
  EXPECT_EQ(m.time_at_distance(from_seconds(20), 1.0), host::kNever);
}

class CarTest : public ::testing::Test {
 protected:
  host::Machine machine{host::LinkedFirmware::instance()};
};

TEST_F(CarTest, SpeedSensorGivesItsPulsesPerKmAndTruthSplitsDistanceByFuel) {
  sim::Scenario sc;
  sc.car.pulses_per_km = 5000;
  const sim::CarProperties& props = sc.car;
  sim::World world(machine, sc);
  world.set_ignition(true);
  world.car.set_engine(2000, 4.0, 5.0);
  world.car.ramp_speed(72, 0);  // 20 m/s
  machine.run_until(from_seconds(50));  // 1 km on petrol
  world.car.set_fuel(sim::Fuel::Lpg);
  machine.run_until(from_seconds(75));  // 0.5 km on LPG
  const sim::CarTruth& t = world.car.truth();
  EXPECT_NEAR(t.distance_petrol_km, 1.0, 1e-9);
  EXPECT_NEAR(t.distance_lpg_km, 0.5, 1e-9);
  EXPECT_NEAR(static_cast<double>(t.speed_pulses), 7500.0, 1.0);
  // 2000 rev/min, one injection a turn: 33.3 a second of 4 ms petrol ...
  EXPECT_NEAR(t.fuel_petrol_l, 50.0 * 2000.0 / 60.0 * 4.0 * 0.00001, 0.0005);
  // ... then LPG injections of 5 ms.
  EXPECT_NEAR(t.fuel_lpg_l, 25.0 * 2000.0 / 60.0 * 5.0 * 0.00001, 0.0005);
  EXPECT_NEAR(world.car.petrol_litres(), props.petrol_litres - t.fuel_petrol_l, 1e-9);
}

TEST_F(CarTest, IgnitionOffStopsTheEngineAndLowersTheInjectorLines) {
  sim::World world(machine, sim::Scenario{});
  world.set_ignition(true);
  world.car.set_engine(800, 3.0, 0);
  machine.run_until(from_seconds(1));
  EXPECT_GT(world.car.truth().injections, 5u);
  world.set_ignition(false);
  const auto n = world.car.truth().injections;
  machine.run_until(from_seconds(2));
  EXPECT_EQ(world.car.truth().injections, n);
  EXPECT_EQ(world.car.rpm(), 0);
  EXPECT_FALSE(machine.gpio().level(sim::pins::wtr_pb));
}

TEST(RunFiles, TheEepromImageIsWrittenAtTheEndNotAtASnapshotNamedFinal) {
  const std::filesystem::path dir = scratch("final");
  sim::RunOptions options;
  options.out_dir = dir.string();
  sim::Runner runner(sim::parse_scenario(R"({"steps": [{"at": 1, "snapshot": "final"}, {"wait": 1}]})", "a.json"),
                     options);
  runner.run_until(1.5);
  EXPECT_TRUE(std::filesystem::exists(dir / "state-final.json"));
  EXPECT_TRUE(std::filesystem::exists(dir / "tft-final.png"));
  EXPECT_FALSE(std::filesystem::exists(dir / "eeprom.bin"));
  runner.run();
  EXPECT_TRUE(std::filesystem::exists(dir / "final.json"));
  EXPECT_EQ(std::filesystem::file_size(dir / "eeprom.bin"), 1024u);
  std::filesystem::remove_all(dir);
}

}  // namespace
