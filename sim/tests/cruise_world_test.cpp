// The cruise control's world: the stepper driver and the throttle it turns,
// the car's longitudinal model, the hand-over between the scripted driver
// and the throttle, and the closed loop with the firmware on the built-in
// `cruise` drive, whose deviation figures this prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/machine.h"
#include "idle_image.h"
#include "scenario_error.h"
#include "scratch_dir.h"
#include "sim/runner.h"
#include "sim/scenario.h"
#include "sim/world.h"

namespace {

using host::from_ms;
using host::from_seconds;
using host::Time;
namespace pins = sim::pins;

// The stepper driver's three inputs, driven by the test.
class StepperInputs {
 public:
  explicit StepperInputs(host::Machine& m)
      : g_(m.gpio()),
        en_(g_.add_driver(pins::stepper_en, host::Drive::High)),
        step_(g_.add_driver(pins::stepper_step, host::Drive::High)),
        dir_(g_.add_driver(pins::stepper_dir, host::Drive::Low)) {}
  void energise(bool on) { g_.set_drive(en_, on ? host::Drive::Low : host::Drive::High); }
  // `n` steps, opening when n > 0.
  void steps(int n) {
    g_.set_drive(dir_, n < 0 ? host::Drive::High : host::Drive::Low);
    for (int i = 0; i < std::abs(n); ++i) {
      g_.set_drive(step_, host::Drive::Low);
      g_.set_drive(step_, host::Drive::High);
    }
  }

 private:
  host::Gpio& g_;
  host::Gpio::DriverId en_, step_, dir_;
};

class Powered : public ::testing::Test {
 protected:
  Powered() { machine.set_powered(true); }
  test::TestImage image = idle_image();
  host::Machine machine{image};
  StepperInputs inputs{machine};
};

// ---------------------------------------------------------------- stepper and throttle

TEST_F(Powered, DriverStepsOnRisingEdgesWhileEnergisedAndLosesStepsAtTheStops) {
  sim::StepperThrottle throttle(machine, 50);
  inputs.steps(5);  // released: nothing moves
  EXPECT_EQ(throttle.position_steps(), 0);
  EXPECT_EQ(throttle.steps(), 0u);
  inputs.energise(true);
  inputs.steps(10);
  inputs.steps(-3);
  EXPECT_EQ(throttle.position_steps(), 7);
  EXPECT_DOUBLE_EQ(throttle.opening(), 7.0 / 50.0);
  inputs.steps(60);  // 43 to the open stop, 17 lost
  EXPECT_EQ(throttle.position_steps(), 50);
  inputs.steps(-70);  // 50 to the closed stop, 20 lost
  EXPECT_EQ(throttle.position_steps(), 0);
  EXPECT_EQ(throttle.lost_steps(), 37u);
  EXPECT_EQ(throttle.steps(), 143u);
}

TEST_F(Powered, ReleasedOrUnpoweredTheReturnSpringClosesTheThrottle) {
  sim::StepperThrottle throttle(machine, 2000);
  std::vector<bool> told;
  throttle.on_energised([&](Time, bool on) { told.push_back(on); });
  inputs.energise(true);
  inputs.steps(300);
  inputs.energise(false);
  EXPECT_FALSE(throttle.energised());
  EXPECT_EQ(throttle.position_steps(), 0);
  inputs.energise(true);
  inputs.steps(300);
  machine.set_powered(false);  // the driver runs from the board's supply
  EXPECT_FALSE(throttle.energised());
  EXPECT_EQ(throttle.position_steps(), 0);
  inputs.steps(10);
  EXPECT_EQ(throttle.position_steps(), 0);
  EXPECT_EQ(told, (std::vector<bool>{true, false, true, false}));
}

// ---------------------------------------------------------------- longitudinal model

double kmh(double ms) { return ms * 3.6; }

// Runs the model at a fixed opening and gradient; returns the speed in km/h.
double run_model(sim::LongitudinalModel& m, double seconds, double opening, double gradient) {
  for (int i = 0; i < static_cast<int>(seconds * 100); ++i) m.advance(0.01, opening, gradient, true);
  return kmh(m.speed_ms());
}

TEST(Longitudinal, SpeedSettlesWhereDriveMeetsResistanceAndAClimbNeedsMoreThrottle) {
  sim::LongitudinalModel m(sim::VehicleProperties{});
  m.start(90 / 3.6, 0, 0, true);
  const double level = run_model(m, 600, 0.17, 0);
  const double steady = m.speed_ms();
  EXPECT_NEAR(m.wheel_force(m.combustion_torque_nm() - m.drag_torque(steady)), m.resistance(steady, 0), 1.0);
  EXPECT_GT(level, 80);  // a sixth of the travel holds about motorway speed
  EXPECT_LT(level, 100);
  const double climbing = run_model(m, 600, 0.17, 4);
  EXPECT_LT(climbing, level - 20);
  // Holding the level speed on 4 % takes a good deal more throttle.
  sim::LongitudinalModel c(sim::VehicleProperties{});
  c.start(level / 3.6, 0, 4, true);
  EXPECT_NEAR(run_model(c, 600, 0.5, 4), level, 12);
}

TEST(Longitudinal, SpeedFollowsTheThrottleWithLag) {
  sim::LongitudinalModel m(sim::VehicleProperties{});
  m.start(60 / 3.6, 0, 0, true);
  // The torque builds up over a few tenths of a second after the throttle opens.
  const double v0 = m.speed_ms();
  m.advance(0.01, 1.0, 0, true);
  const double early = (m.speed_ms() - v0) / 0.01;
  run_model(m, 1.0, 1.0, 0);
  const double v1 = m.speed_ms();
  m.advance(0.01, 1.0, 0, true);
  const double later = (m.speed_ms() - v1) / 0.01;
  EXPECT_LT(early, 0.1 * later);
  EXPECT_GT(later, 0.5);
  // Full throttle in top gear: 60 to 100 km/h in a plausible time.
  double t = 1.02;
  while (kmh(m.speed_ms()) < 100 && t < 60) {
    m.advance(0.01, 1.0, 0, true);
    t += 0.01;
  }
  EXPECT_GT(t, 8);
  EXPECT_LT(t, 30);
}

TEST(Longitudinal, ClosedThrottleSlowsTheCarWhichNeverRollsBack) {
  sim::LongitudinalModel m(sim::VehicleProperties{});
  m.start(90 / 3.6, 0, 0, true);
  const double v = run_model(m, 1, 0, 0);
  EXPECT_GT(90 - v, 1.0);  // engine braking and drag: a km/h or two a second
  EXPECT_LT(90 - v, 4.0);
  EXPECT_EQ(run_model(m, 120, 0, 10), 0.0);
  EXPECT_EQ(run_model(m, 10, 0, 10), 0.0);
  // Off the engine, a steep descent rolls the car forward.
  EXPECT_GT(run_model(m, 10, 0, -15), 10.0);
}

TEST(Road, GradientChangesLinearlyOverItsStretch) {
  sim::Road road;
  road.change_gradient(1.0, 4, 0.1);
  EXPECT_EQ(road.gradient_percent(0.9), 0);
  EXPECT_DOUBLE_EQ(road.gradient_percent(1.05), 2);
  EXPECT_EQ(road.gradient_percent(1.2), 4);
  road.change_gradient(1.05, -2, 0.2);  // a change within a change starts where it is
  EXPECT_DOUBLE_EQ(road.gradient_percent(1.05), 2);
  EXPECT_NEAR(road.gradient_percent(1.15), 0, 1e-12);
  EXPECT_EQ(road.gradient_percent(2.0), -2);
}

TEST(Road, VehicleSectionAndGradientStepsAreRead) {
  const sim::Scenario sc = sim::parse_scenario(R"({
    "vehicle": {"mass_kg": 1500, "gear_ratio": 2.9, "throttle_steps": 1800},
    "steps": [{"gradient": 4}, {"gradient": {"percent": -3, "over_m": 250}}, {"wait": 1}]})",
                                               "x.json");
  EXPECT_EQ(sc.car.vehicle.mass_kg, 1500);
  EXPECT_EQ(sc.car.vehicle.gear_ratio, 2.9);
  EXPECT_EQ(sc.car.vehicle.throttle_steps, 1800);
  EXPECT_EQ(sc.car.vehicle.drag_area_m2, sim::VehicleProperties{}.drag_area_m2);
  ASSERT_EQ(sc.steps.size(), 2u);
  EXPECT_EQ(sc.steps[1].kind, "gradient");
  auto error_of = [](const char* text) { return scenario_error_of(text, "x.json"); };
  EXPECT_EQ(error_of(R"({"steps": [{"gradient": 45}, {"wait": 1}]})"),
            "x.json: steps[0].gradient: value 45 out of range -30..30");
  EXPECT_EQ(error_of(R"({"vehicle": {"throttle_steps": 20.5}, "steps": [{"wait": 1}]})"),
            "x.json: vehicle.throttle_steps: expected a whole number, found 20.5");
  EXPECT_NE(error_of(R"({"vehicle": {"cd": 0.3}, "steps": [{"wait": 1}]})").find("vehicle.cd: unknown field"),
            std::string::npos);
}

// The model's 10 ms ramps change speed by almost nothing near a steady
// state; the moment a distance is reached must stay exact on them.
TEST(Road, PulseTimesStayExactOnRampsOfAlmostNoAcceleration) {
  sim::Motion m;
  m.ramp_to(0, 90, 0);
  const Time t0 = from_seconds(1);
  for (const double dv : {1e-11, 1e-8, 1e-4, -1e-8}) {
    m.ramp_to(t0, 90 + dv, from_ms(10));
    // 0.1 m at 90 km/h: 4 ms.
    EXPECT_NEAR(host::to_seconds(m.time_at_distance(t0, m.distance_km(t0) + 0.0001)), 1.004, 2e-8) << dv;
  }
  m.ramp_to(t0, 0, from_ms(10));
  EXPECT_EQ(m.time_at_distance(t0, m.distance_km(t0) + 0.1), host::kNever);
  sim::Motion start;  // from a stop: a quarter of the ramp's distance in half its time
  start.ramp_to(t0, 0.5, from_ms(10));
  EXPECT_NEAR(host::to_seconds(start.time_at_distance(t0, 0.25 * 0.01 / 3600 / 4)), 1.005, 2e-8);
}

// ---------------------------------------------------------------- hand-over

// Speed-sensor pulses counted on the line.
class PulseCounter final : public host::PinListener {
 public:
  explicit PulseCounter(host::Machine& m) : m_(m) { m_.gpio().add_listener(pins::speed, this); }
  ~PulseCounter() override { m_.gpio().remove_listener(pins::speed, this); }
  void on_pin_level(host::PinId, Time, bool level) override { count += level ? 1 : 0; }
  std::uint64_t count = 0;

 private:
  host::Machine& m_;
};

class HandOver : public ::testing::Test {
 protected:
  HandOver() {
    world.set_ignition(true);
    world.car.set_engine(2600, 4.0, 0);
    world.car.ramp_speed(90, from_seconds(10));
    run(20);
  }
  void run(double seconds) { machine.run_for(from_seconds(seconds)); }
  // The speed a moment before and after now.
  double speed_jump() {
    const double before = world.car.speed_kmh();
    machine.run_for(from_ms(1));
    return world.car.speed_kmh() - before;
  }

  test::TestImage image = idle_image();
  host::Machine machine{image};
  sim::World world{machine, sim::Scenario{}};
  StepperInputs inputs{machine};
  PulseCounter pulses{machine};
};

TEST_F(HandOver, TheThrottleDrivesWhileTheStepperHoldsItAndTheScriptGoesOnFromThere) {
  sim::Car& car = world.car;
  ASSERT_TRUE(machine.powered());
  EXPECT_EQ(car.speed_kmh(), 90);
  inputs.energise(true);
  EXPECT_TRUE(car.cruising());
  EXPECT_LT(std::abs(speed_jump()), 0.01);
  // Throttle closed: the car slows; opened to 40 %, it gathers speed.
  run(5);
  const double coasted = car.speed_kmh();
  EXPECT_LT(coasted, 85);
  inputs.steps(800);
  run(10);
  EXPECT_GT(car.speed_kmh(), coasted + 5);
  // A gradient set now is met some way along the road and slows the car.
  car.set_gradient(6, 0.05);
  EXPECT_EQ(car.gradient_percent(), 0);
  run(10);
  EXPECT_EQ(car.gradient_percent(), 6);
  const double on_climb = car.speed_kmh();
  run(5);
  EXPECT_LT(car.speed_kmh(), on_climb);

  // The driver takes the car back at the speed it has and holds it.
  const double at_release = car.speed_kmh();
  inputs.energise(false);
  EXPECT_FALSE(car.cruising());
  EXPECT_LT(std::abs(speed_jump()), 0.01);
  run(3);
  EXPECT_NEAR(car.speed_kmh(), at_release, 0.05);
  // Whatever moved the car, one pulse per 1/3600 km.
  EXPECT_NEAR(static_cast<double>(pulses.count), car.distance_km() * 3600.0, 1.0);
  EXPECT_EQ(car.truth().speed_pulses, pulses.count);
}

TEST_F(HandOver, ASpeedStepGivenWhileCruisingIsTakenUpFromTheCurrentSpeed) {
  sim::Car& car = world.car;
  inputs.energise(true);
  inputs.steps(360);
  car.ramp_speed(50, from_seconds(20));  // the driver's plan, for later
  run(5);
  EXPECT_GT(car.speed_kmh(), 80);
  const double v = car.speed_kmh();
  inputs.energise(false);  // 15 s of the ramp are left
  run(7.5);
  EXPECT_NEAR(car.speed_kmh(), (v + 50) / 2, 0.1);
  run(7.5);
  EXPECT_NEAR(car.speed_kmh(), 50, 1e-9);
}

TEST_F(HandOver, AStandingCarStaysWithTheDriver) {
  sim::Car& car = world.car;
  car.ramp_speed(0, 0);
  run(1);
  inputs.energise(true);
  inputs.steps(2000);  // the configuration menu's test runs the motor out
  run(5);
  EXPECT_FALSE(car.cruising());
  EXPECT_EQ(car.speed_kmh(), 0);
  car.ramp_speed(30, from_seconds(5));  // and the driver may move off
  run(5);
  EXPECT_EQ(car.speed_kmh(), 30);
}

// ---------------------------------------------------------------- closed loop

// One line of the trace, what the figures need.
struct Sample {
  double t, speed, measured, target, steps;
  int engaged;
  std::string driver;
};

std::vector<Sample> read_trace(const std::filesystem::path& file) {
  std::vector<Sample> out;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const auto j = nlohmann::json::parse(line);
    if (!j.contains("ccenable")) continue;  // unpowered
    const auto& w = j["world"];
    out.push_back({j["t"].get<double>(), w["speed_kmh"].get<double>(), j["speed"].get<double>(),
                   j["targetspeed"].get<double>(), w["throttle_steps"].get<double>(), j["ccenable"].get<int>(),
                   w["driver"].get<std::string>()});
  }
  return out;
}

// How the true speed follows the target over a phase [from, to) seconds that
// begins when the target becomes `target`: the largest excursions above and
// below it once the speed has first come within ±1 km/h of it, the times
// from the phase's start after which it stays within ±2 and ±1 km/h, and
// the mean and largest error over the phase's last 20 s.
struct Figures {
  double start = 0, above = 0, below = 0, settle2 = 0, settle = 0, mean_error = 0, max_error = 0;
};

Figures figures(const std::vector<Sample>& trace, double from, double to, double target) {
  Figures f;
  for (const Sample& s : trace)
    if (s.t >= from && s.target == target) {
      from = s.t;
      break;
    }
  f.start = from;
  double last_out = from, last_out2 = from;
  double sum = 0;
  int n = 0;
  bool reached = false;
  for (const Sample& s : trace) {
    if (s.t < from || s.t >= to) continue;
    const double e = s.speed - s.target;
    reached = reached || std::abs(e) <= 1.0;
    if (reached) {
      f.above = std::max(f.above, e);
      f.below = std::max(f.below, -e);
    }
    if (std::abs(e) > 1.0) last_out = s.t;
    if (std::abs(e) > 2.0) last_out2 = s.t;
    if (s.t >= to - 20) {
      sum += e;
      ++n;
      f.max_error = std::max(f.max_error, std::abs(e));
    }
  }
  f.settle = last_out - from;
  f.settle2 = last_out2 - from;
  f.mean_error = n > 0 ? sum / n : 0;
  return f;
}

// Runs the built-in cruise drive and returns its trace. `without_kick` is a
// what-if: at the engagement the control's memory of the error is set to the
// new error, so the first derivative step finds no change.
std::vector<Sample> run_cruise(const std::string& name, bool without_kick = false) {
  sim::RunOptions options;
  options.out_dir = scratch(name).string();
  sim::Runner runner(sim::resolve_scenario("cruise"), options);
  if (without_kick) {
    const sim::FirmwareView& fw = runner.firmware();
    double t = 39.9;  // the drive engages at 40 s
    runner.run_until(t);
    while (t < 45 && fw.read<int>("ccenable") == 0) runner.run_until(t += 0.001);
    *fw.pointer<float>("lasterror") = fw.read<float>("targetspeed") - fw.read<float>("speed");
  }
  runner.run();
  auto trace = read_trace(std::filesystem::path(options.out_dir) / "trace.jsonl");
  const std::filesystem::path dir(options.out_dir);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::remove(dir.parent_path(), ec);  // when the other run is done too
  return trace;
}

// The engagement: the speed then, the lowest speed before the throttle
// opens, the largest opening and the lowest speed in the next 3 s, and the
// lowest and highest speed in the next 20 s.
struct Engagement {
  double at = 0, speed = 0, before_opening = 0, opening_steps = 0, lowest_3s = 0, lowest = 0, highest = 0;
};

Engagement engagement(const std::vector<Sample>& trace) {
  Engagement e;
  const auto first = std::find_if(trace.begin(), trace.end(), [](const Sample& s) { return s.engaged != 0; });
  if (first == trace.end()) return e;
  e.at = first->t;
  e.speed = e.before_opening = e.lowest_3s = e.lowest = e.highest = first->speed;
  bool opened = false;
  for (auto s = first; s != trace.end() && s->t < e.at + 20; ++s) {
    opened = opened || s->steps > 0;
    if (!opened) e.before_opening = std::min(e.before_opening, s->speed);
    if (s->t < e.at + 3) {
      e.opening_steps = std::max(e.opening_steps, s->steps);
      e.lowest_3s = std::min(e.lowest_3s, s->speed);
    }
    e.lowest = std::min(e.lowest, s->speed);
    e.highest = std::max(e.highest, s->speed);
  }
  return e;
}

void print(const char* what, const Engagement& e) {
  std::printf("  %-24s %6.2f %7.2f %10.2f %9.0f %10.2f %11.2f %12.2f\n", what, e.at, e.speed, e.before_opening,
              e.opening_steps, e.lowest_3s, e.lowest, e.highest);
}

TEST(CruiseDrive, HoldsTheTargetOnTheLevelRecoversOnTheClimbAndLetsGoAtTheStop) {
  const auto trace = run_cruise("run");
  ASSERT_GT(trace.size(), 1800u);
  auto at = [&](double t) {
    for (const Sample& s : trace)
      if (s.t >= t) return s;
    return trace.back();
  };
  // The phases of the drive (sim/scenarios/cruise.json).
  struct Phase {
    const char* name;
    double from, to, target;
  };
  const Phase phases[] = {{"engaged on the level", 40, 100, 90}, {"raised by two steps", 100, 160, 100},
                          {"4 % climb", 160, 260, 100},          {"3 % descent", 260, 330, 100},
                          {"level again", 330, 370, 100},        {"lowered by one step", 370, 425, 95}};
  std::printf("\n  cruise drive: true speed against the target (km/h; times in s)\n");
  std::printf("  %-22s %6s %6s %7s %7s %10s %10s %11s %10s\n", "phase", "from", "target", "above", "below",
              "within 2 ", "within 1 ", "mean error", "max error");
  std::vector<Figures> f;
  for (const Phase& p : phases) {
    EXPECT_EQ(at(p.from + 5).target, p.target) << p.name;
    f.push_back(figures(trace, p.from, p.to, p.target));
    const Figures& x = f.back();
    std::printf("  %-22s %6.2f %6.0f %7.2f %7.2f %10.2f %10.2f %11.2f %10.2f\n", p.name, x.start, p.target, x.above,
                x.below, x.settle2, x.settle, x.mean_error, x.max_error);
  }
  // Level road: within a few km/h throughout, and held closely at the end.
  EXPECT_LT(f[0].above, 3);
  EXPECT_LT(f[0].below, 3);
  EXPECT_LT(f[0].max_error, 1.5);
  EXPECT_LT(std::abs(f[0].mean_error), 1.0);
  // The climb costs some speed and the control wins it back.
  EXPECT_GT(f[2].below, 1);
  EXPECT_LT(f[2].below, 5);
  EXPECT_LT(f[2].settle, 90);
  EXPECT_LT(f[2].max_error, 1.5);
  EXPECT_LT(f[4].max_error, 1.5);
  EXPECT_LT(f[5].max_error, 1.5);
  // The measured speed follows the truth while cruising.
  for (const Sample& s : trace) {
    if (s.engaged && s.t > 45) {
      ASSERT_NEAR(s.measured, s.speed, 1.0) << "at " << s.t << " s";
    }
  }
  // Stop: the motor has run back, 20 steps past closed, and let go.
  const Sample stopped = at(428);
  EXPECT_EQ(stopped.engaged, 0);
  EXPECT_EQ(stopped.steps, 0);
  EXPECT_EQ(stopped.driver, "script");
  EXPECT_LT(at(470).speed, 0.01);

  // The first derivative step after engaging opens the throttle for a
  // second; what the engagement looks like with it and, as a what-if,
  // without it.
  const Engagement with = engagement(trace);
  const Engagement without = engagement(run_cruise("no-kick", true));
  std::printf("\n  engagement (km/h, s; steps)\n  %-24s %6s %7s %10s %9s %10s %11s %12s\n", "", "at", "speed",
              "coasts to", "opens to", "lowest 3 s", "lowest 20 s", "highest 20 s");
  print("as built", with);
  print("what-if: no first kick", without);
  EXPECT_GT(with.opening_steps, 400);
  EXPECT_LT(without.opening_steps, with.opening_steps);
  // The kick holds the speed up while the foot is off and the other terms
  // have not yet acted.
  EXPECT_GT(with.lowest_3s, without.lowest_3s);
}

}  // namespace
