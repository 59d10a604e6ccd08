// The car's side of the world: distance and speed pulses, injector pulses
// per fuel and installation, and the truth it keeps; the files the world's
// parts write at the end of a run.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "host/machine.h"
#include "scratch_dir.h"
#include "sim/model_time.h"
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

// Values inside the documented ranges whose times leave the virtual clock's
// range: an engine turning once in thousands of years, a car crawling at
// 1e-12 km/h. The models take them as "never", not as a time soon.
TEST(ModelTime, DurationsBeyondTheClockAreNever) {
  EXPECT_EQ(sim::clock_ticks(std::nan("")), 0u);
  EXPECT_EQ(sim::clock_ticks(-1e300), 0u);
  EXPECT_EQ(sim::clock_ticks(2.5), 2u);
  EXPECT_EQ(sim::clock_ticks(18446744073709549568.0), 18446744073709549568u);  // the last double below 2^64
  EXPECT_EQ(sim::clock_ticks(18446744073709551616.0), host::kNever);
  EXPECT_EQ(sim::ticks_after(1e12), host::kNever);
  EXPECT_EQ(sim::ticks_after(1e-9), 1u);  // rounded up: never earlier than asked
  EXPECT_EQ(sim::later(host::kNever - 5, 5), host::kNever);
  EXPECT_EQ(sim::later(host::kNever - 5, 4), host::kNever - 1);
  sim::Motion m;
  m.ramp_to(0, 1e-12, 0);
  EXPECT_EQ(m.time_at_distance(from_seconds(1), 1.0 / 3600), host::kNever);
  m.ramp_to(0, 1e-6, 0);  // slow, but inside the clock: 1e6 s for a pulse's way
  EXPECT_NEAR(host::to_seconds(m.time_at_distance(0, 1.0 / 3600)), 1e6, 1e-3);
}

TEST_F(CarTest, ATinyEngineSpeedOrVehicleSpeedGivesNoPulseStorm) {
  sim::World world(machine, sim::Scenario{});
  world.set_ignition(true);
  world.car.set_engine(1e-10, 3.0, 0);
  world.car.ramp_speed(1e-12, 0);
  machine.run_until(from_seconds(10));
  // One injection as the engine is turned, the next one never.
  EXPECT_EQ(world.car.truth().injections, 1u);
  EXPECT_EQ(world.car.truth().speed_pulses, 0u);
  EXPECT_LT(world.car.truth().distance_petrol_km, 1e-14);
  // Back to an ordinary engine speed, the injections follow it.
  world.car.set_engine(600, 3.0, 0);
  machine.run_until(from_seconds(11));
  EXPECT_NEAR(static_cast<double>(world.car.truth().injections), 11.0, 1.0);
}

TEST(RunFiles, TheEepromImageIsWrittenAtTheEndNotAtASnapshot) {
  const std::filesystem::path dir = scratch("final");
  sim::RunOptions options;
  options.out_dir = dir.string();
  sim::Runner runner(sim::parse_scenario(R"({"steps": [{"at": 1, "snapshot": "mid"}, {"wait": 1}]})", "a.json"),
                     options);
  runner.run_until(1.5);
  EXPECT_TRUE(std::filesystem::exists(dir / "state-mid.json"));
  EXPECT_TRUE(std::filesystem::exists(dir / "tft-mid.png"));
  EXPECT_FALSE(std::filesystem::exists(dir / "eeprom.bin"));
  runner.run();
  EXPECT_TRUE(std::filesystem::exists(dir / "final.json"));
  EXPECT_EQ(std::filesystem::file_size(dir / "eeprom.bin"), 1024u);
  std::filesystem::remove_all(dir);
}

}  // namespace
